#pragma once
#include <chrono>
#include <thread>

// Polls pred every millisecond until it holds or ms have passed; returns pred's last value. No
// event loop runs meanwhile: the driver needs none.
template <class Pred> bool WaitUntil(Pred pred, int ms)
{
    const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    while (!pred()) {
        if (std::chrono::steady_clock::now() > until)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return true;
}

inline void Pause(int ms)
{
    std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}
