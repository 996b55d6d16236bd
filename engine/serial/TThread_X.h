#pragma once
#include "serial/TCommPortDriver.h"

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

class PortLink;

// The polling thread of one open period: waits for bytes up to the polling delay, reads them as
// they come, and hands each chunk, stamped with its line speed and time, to the receive event on
// this thread; then waits again, until stopped. It never waits for another thread, so a slow
// reader of the chunks cannot hold the line's bytes back in the system's queue.
//
// A std::thread rather than a QThread: a joined std::thread and the standard mutexes below show
// the thread sanitizer every ordering the driver relies on.
class TThread_X {
  public:
    TThread_X(std::shared_ptr<PortLink> port, std::uint16_t inBufSize, TComPortReceiveDataEvent onReceive,
              std::uint16_t pollingDelay);
    ~TThread_X(); // requestStop(), then join()
    TThread_X(const TThread_X&) = delete;
    TThread_X& operator=(const TThread_X&) = delete;

    void start();
    // Any thread, never blocks; the thread ends within a polling delay, at once when the port
    // closes. A chunk being handed over is still handed over.
    void requestStop();
    // Waits for the thread to end.
    void join();
    bool ended() const { return ended_.load(); }

    std::atomic<std::uint32_t> nRead{0}; // bytes taken by the current read

  private:
    void run();
    void cycle();
    void pause(int ms);

    const std::shared_ptr<PortLink> FComPortHandle_thread;
    const std::uint16_t FComPortInBufSize_thread;
    const std::uint16_t FComPortPollingDelay_thread;
    const TComPortReceiveDataEvent FComPortReceiveData_thread;
    std::vector<char> FTempInBuffer_thread;
    std::atomic<bool> stop_{false};
    std::atomic<bool> ended_{false};
    std::mutex pauseMutex_;
    std::condition_variable pauseCv_;
    int lastReadError_ = 0;
    std::thread thread_;
};
