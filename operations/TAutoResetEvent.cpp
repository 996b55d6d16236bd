#include "operations/TAutoResetEvent.h"
#include <algorithm>

void TAutoResetEvent::SetEvent()
{
    {
        const std::lock_guard lock(mutex_);
        signaled_ = true;
    }
    changed_.notify_one();
}

void TAutoResetEvent::ResetEvent()
{
    const std::lock_guard lock(mutex_);
    signaled_ = false;
}

void TAutoResetEvent::Abandon()
{
    {
        const std::lock_guard lock(mutex_);
        abandoned_ = true;
    }
    changed_.notify_all();
}

TAutoResetEvent::TWaitResult TAutoResetEvent::WaitFor(std::chrono::milliseconds timeout)
{
    std::unique_lock lock(mutex_);
    changed_.wait_for(lock, std::max(timeout, std::chrono::milliseconds::zero()),
                      [this] { return signaled_ || abandoned_; });
    if (abandoned_)
        return TWaitResult::Abandoned;
    if (!signaled_)
        return TWaitResult::TimedOut;
    signaled_ = false;
    return TWaitResult::Signaled;
}
