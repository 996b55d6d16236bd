#include "serial/TThread_X.h"

#include "serial/LinkLog.h"
#include "serial/PortLink.h"

#include <QByteArray>
#include <algorithm>
#include <pthread.h>

namespace {
// A device that keeps failing (unplugged adapter, closed pseudo-terminal master) answers poll at
// once; this floor keeps such a port from spinning the thread.
constexpr int kPauseAfterErrorMs = 100;
} // namespace

TThread_X::TThread_X(std::shared_ptr<PortLink> port, std::uint16_t inBufSize, TComPortReceiveDataEvent onReceive,
                     std::uint16_t pollingDelay)
    : FComPortHandle_thread(std::move(port)), FComPortInBufSize_thread(inBufSize),
      FComPortPollingDelay_thread(pollingDelay), FComPortReceiveData_thread(std::move(onReceive)),
      FTempInBuffer_thread(inBufSize)
{
}

TThread_X::~TThread_X()
{
    requestStop();
    join();
}

void TThread_X::start()
{
    thread_ = std::thread([this] { run(); });
    ::pthread_setname_np(thread_.native_handle(), "TThread_X");
}

void TThread_X::join()
{
    if (thread_.joinable())
        thread_.join();
}

void TThread_X::requestStop()
{
    {
        const std::lock_guard lock(pauseMutex_);
        stop_.store(true);
    }
    pauseCv_.notify_all();
}

void TThread_X::run()
{
    try {
        while (!stop_.load())
            cycle();
    } catch (const std::exception& e) {
        qCWarning(lcLink) << "polling thread ended:" << e.what();
    }
    ended_.store(true);
}

void TThread_X::cycle()
{
    nRead.store(0);
    int err = 0;
    {
        // Held until the chunk is handed over, so that an outgoing and an incoming thread deliver
        // in the order the bytes came.
        const std::lock_guard order(FComPortHandle_thread->readOrder());
        int speed = 0;
        std::chrono::steady_clock::time_point firstAt;
        const int n = FComPortHandle_thread->readChunk(FTempInBuffer_thread.data(), FComPortInBufSize_thread,
                                                       FComPortPollingDelay_thread, stop_, err, speed, firstAt);
        if (n > 0) {
            nRead.store(static_cast<std::uint32_t>(n));
            TChunk chunk{QByteArray(FTempInBuffer_thread.data(), n), speed, std::chrono::steady_clock::now(),
                         firstAt};
            if (lcLinkFrames().isDebugEnabled())
                qCDebug(lcLinkFrames) << "RX" << speed << chunk.Bytes.toHex(' ');
            if (FComPortReceiveData_thread) {
                try {
                    FComPortReceiveData_thread(chunk);
                } catch (const std::exception& e) {
                    qCWarning(lcLink) << "receive event failed, polling ends:" << e.what();
                    stop_.store(true);
                }
            }
        }
    }
    if (err != 0 && err != lastReadError_)
        qCInfo(lcLink) << "read failed:" << qt_error_string(err);
    lastReadError_ = err;
    if (err != 0)
        pause(std::max<int>(FComPortPollingDelay_thread, kPauseAfterErrorMs));
}

void TThread_X::pause(int ms)
{
    std::unique_lock lock(pauseMutex_);
    pauseCv_.wait_for(lock, std::chrono::milliseconds(ms), [&] { return stop_.load(); });
}
