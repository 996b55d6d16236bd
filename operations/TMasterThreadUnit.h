#pragma once
#include "operations/TAutoResetEvent.h"
#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>

class TOperationThreads;
class TWorkerThread;

// How long the supervisor of operation code waits for its worker, given the watchdog time.
// The defaults operation (code 5) reads back every parameter after a pause of its own and gets
// twice the time; the doubling holds for that operation only and never changes WatchdogTime.
std::chrono::milliseconds WatchdogWait(std::uint8_t code, std::int32_t watchdogTime);

// The supervisor of one operation: starts the operation's worker, waits for its end at most the
// watchdog time, asks it to stop when the time has run out, and then ends; its end notification
// runs on the main thread. It never waits for a stopped worker.
class TMasterThread : public std::enable_shared_from_this<TMasterThread> {
  public:
    // The worker of an operation code, not yet started; nullptr for a code without one.
    using TWorkerFactory = std::function<std::shared_ptr<TWorkerThread>(std::uint8_t)>;
    using TOnTerminate = std::function<void(TMasterThread&)>;

    // TMasterThread.Create(false, LnchThr): the supervisor of operation LnchThr, started at once;
    // onTerminate is its end notification. nullptr when the program is closing.
    static std::shared_ptr<TMasterThread> Create(std::uint8_t LnchThr, TWorkerFactory createWorker,
                                                 TOperationThreads& threads, TOnTerminate onTerminate);

    // The end notification of the worker; main thread.
    void WorkerDone();

    const std::uint8_t LTread;
    // The watchdog expired (never for a probe pass, code 12). Read once the supervisor has ended.
    std::atomic<bool> OutOfSignal{false};

  private:
    TMasterThread(std::uint8_t LnchThr, TWorkerFactory createWorker, TOperationThreads& threads,
                  TOnTerminate onTerminate);
    void Execute();
    void StartWorker();

    TAutoResetEvent Event1;
    std::shared_ptr<TWorkerThread> ActiveThread;
    const TWorkerFactory createWorker_;
    TOperationThreads& threads_;
    const TOnTerminate onTerminate_;
};
