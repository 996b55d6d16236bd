#pragma once
#include <atomic>

// Marks one worker as alive from its making until its body has returned (or until it is
// destroyed, if it never ran). The supervisor does not wait for a worker it has stopped; the
// count lets the bus search wait for it before the next step, so two never run at once.
class TLiveMark {
  public:
    explicit TLiveMark(std::atomic<int>& count) : count_(count) { count_.fetch_add(1); }
    ~TLiveMark() { Release(); }
    TLiveMark(const TLiveMark&) = delete;
    TLiveMark& operator=(const TLiveMark&) = delete;

    void Release()
    {
        if (held_.exchange(false))
            count_.fetch_sub(1);
    }

    // Releases the mark when the body leaves its scope, by a return or by an error.
    class TReleaseOnExit {
      public:
        explicit TReleaseOnExit(TLiveMark& mark) : mark_(mark) {}
        ~TReleaseOnExit() { mark_.Release(); }
        TReleaseOnExit(const TReleaseOnExit&) = delete;
        TReleaseOnExit& operator=(const TReleaseOnExit&) = delete;

      private:
        TLiveMark& mark_;
    };

  private:
    std::atomic<int>& count_;
    std::atomic<bool> held_{true};
};
