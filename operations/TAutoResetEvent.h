#pragma once
#include <chrono>
#include <condition_variable>
#include <mutex>

// An event that one wait takes: signalled, it releases a single wait and is reset by it.
// Abandon() releases every present and later wait with Abandoned, for a supervisor that must
// end now. Any thread.
class TAutoResetEvent {
  public:
    enum class TWaitResult { Signaled, TimedOut, Abandoned };

    void SetEvent();
    void ResetEvent();
    void Abandon();
    TWaitResult WaitFor(std::chrono::milliseconds timeout);

  private:
    std::mutex mutex_;
    std::condition_variable changed_;
    bool signaled_ = false;
    bool abandoned_ = false;
};
