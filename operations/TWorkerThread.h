#pragma once
#include <atomic>
#include <functional>
#include <memory>
#include <stdexcept>

class TDevice;
class TOperationThreads;

// The address box names no sensor record: the worker cannot go on.
class EWorkerLookup : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

// The worker of one operation: runs Execute on its own thread, frees itself when it has ended,
// and then runs its end notification on the main thread. Terminate asks it to stop; the worker
// notices at its next try. Every error raised by Execute ends the worker like a normal end.
class TWorkerThread : public std::enable_shared_from_this<TWorkerThread> {
  public:
    using TRequest = std::function<bool(TDevice&)>;

    explicit TWorkerThread(TOperationThreads& threads) : threads_(threads) {}
    virtual ~TWorkerThread() = default;
    TWorkerThread(const TWorkerThread&) = delete;
    TWorkerThread& operator=(const TWorkerThread&) = delete;

    // The end notification (OnTerminate); set it before Start. Runs on the main thread.
    void SetOnTerminate(std::function<void()> onTerminate) { onTerminate_ = std::move(onTerminate); }
    // False when the program is closing and nothing was started.
    bool Start();
    void Terminate() { terminated_.store(true); }
    bool Terminated() const { return terminated_.load(); }

  protected:
    virtual void Execute() = 0;

    // Send loop: the record of the sensor selected in the address box, looked up again on every
    // try, is asked to send until its request is taken. False when a stop was requested before
    // it was taken: a stopped worker goes no further. Throws when the address box names no record.
    bool SendLoop(const TRequest& request);
    // Wait loop: until the reply has been handled (ReadEnd of the selected record). False when a
    // stop was requested before. Throws when the address box names no record.
    bool WaitLoop();
    // Both loops on one given record of the list rather than the selected one, for the workers
    // that go through every sensor. False when a stop was requested: a success found after the
    // stop is the timeout's token, not a reply.
    bool RequestAndWait(TDevice& device, const TRequest& request);
    // A main-thread call: runs f there and waits for it. Throws EOperationsClosing once the
    // window has begun to close.
    void Synchronize(const std::function<void()>& f);

  private:
    void Run();

    TOperationThreads& threads_;
    std::atomic<bool> terminated_{false};
    std::function<void()> onTerminate_;
};
