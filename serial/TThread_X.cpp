#include "serial/TThread_X.h"

#include "serial/LinkLog.h"
#include "serial/PortLink.h"

#include <QByteArray>
#include <algorithm>
#include <condition_variable>
#include <mutex>
#include <pthread.h>
#include <vector>

namespace {
// A device that keeps failing (unplugged adapter, closed pseudo-terminal master) answers
// poll at once; this floor keeps such a port from spinning the thread at a short delay.
constexpr int kPauseAfterErrorMs = 100;

// Held while a call is posted to the main thread and taken first when it runs there: Qt's event
// queue orders the two threads with futexes the thread sanitizer cannot see, this mutex with one
// it can. Shared by all polling threads, whose posts also meet in the main thread's queue.
std::mutex postingOrder;

template <class F> void PostToMainThread(QObject* context, F&& call)
{
    const std::lock_guard lock(postingOrder);
    QMetaObject::invokeMethod(
        context,
        [call = std::forward<F>(call)] {
            {
                const std::lock_guard turn(postingOrder);
            }
            call();
        },
        Qt::QueuedConnection);
}
} // namespace

// Shared between the thread and the queued hand-off, which may run after the thread has ended.
struct TThread_X::HandOff {
    std::mutex m;
    std::condition_variable cv;
    std::atomic<bool> stop{false};
    bool delivered = false;   // under m
    bool eventFailed = false; // under m
    std::vector<char> FTempInBuffer_thread;
    TComPortReceiveDataEvent FComPortReceiveData_thread;

    void deliver(QObject* sender, int size)
    {
        bool ok = true;
        try {
            FComPortReceiveData_thread(sender, FTempInBuffer_thread.data(), size);
        } catch (const std::exception& e) {
            qCWarning(lcLink) << "receive event failed, polling ends:" << e.what();
            ok = false;
        } catch (...) {
            qCWarning(lcLink) << "receive event failed, polling ends";
            ok = false;
        }
        {
            const std::lock_guard lock(m);
            delivered = true;
            eventFailed = !ok;
        }
        cv.notify_all();
    }
};

TThread_X::TThread_X(std::shared_ptr<PortLink> port, std::uint16_t inBufSize,
                     TComPortReceiveDataEvent onReceive, std::uint16_t pollingDelay, QObject* mainContext,
                     std::function<void(TThread_X*)> onEnded)
    : FComPortHandle_thread(std::move(port)), FComPortInBufSize_thread(inBufSize),
      FComPortPollingDelay_thread(pollingDelay), mainContext_(mainContext), onEnded_(std::move(onEnded)),
      handOff_(std::make_shared<HandOff>())
{
    handOff_->FTempInBuffer_thread.resize(inBufSize);
    handOff_->FComPortReceiveData_thread = std::move(onReceive);
    // Created by whichever thread connects; owned and deleted by the driver on the main thread.
    moveToThread(mainContext->thread());
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
        const std::lock_guard lock(handOff_->m);
        handOff_->stop.store(true);
    }
    handOff_->cv.notify_all();
}

void TThread_X::run()
{
    try {
        while (!handOff_->stop.load())
            cycle();
    } catch (const std::exception& e) {
        qCWarning(lcLink) << "polling thread ended:" << e.what();
    }
    PostToMainThread(mainContext_, [onEnded = onEnded_, self = this] { onEnded(self); });
}

void TThread_X::cycle()
{
    HandOff& h = *handOff_;
    nRead.store(0);
    int err = 0;
    bool handedOver = false;
    {
        const std::lock_guard order(FComPortHandle_thread->readOrder());
        const int n = FComPortHandle_thread->readChunk(h.FTempInBuffer_thread.data(),
                                                       FComPortInBufSize_thread, h.stop, err);
        if (n > 0) {
            nRead.store(static_cast<std::uint32_t>(n));
            if (lcLinkFrames().isDebugEnabled())
                qCDebug(lcLinkFrames) << "RX" << QByteArray(h.FTempInBuffer_thread.data(), n).toHex(' ');
            if (h.FComPortReceiveData_thread) {
                {
                    const std::lock_guard lock(h.m);
                    h.delivered = false;
                }
                PostToMainThread(mainContext_,
                                 [handOff = handOff_, sender = this, n] { handOff->deliver(sender, n); });
                handedOver = true;
            }
        }
    }
    if (err != 0 && err != lastReadError_)
        qCInfo(lcLink) << "read failed:" << qt_error_string(err);
    lastReadError_ = err;

    if (handedOver && !waitDelivered())
        return;
    // A full buffer means the line is still busy: reading on at once keeps a fast stream from
    // overrunning the system's queue while the thread would sleep.
    if (nRead.load() == FComPortInBufSize_thread)
        return;
    pause(err != 0 ? std::max<int>(FComPortPollingDelay_thread, kPauseAfterErrorMs)
                   : FComPortPollingDelay_thread);
}

// False when this thread must end: stopped, or the receive event failed.
bool TThread_X::waitDelivered()
{
    HandOff& h = *handOff_;
    std::unique_lock lock(h.m);
    h.cv.wait(lock, [&] { return h.delivered || h.stop.load(); });
    if (h.delivered && h.eventFailed)
        h.stop.store(true);
    return !h.stop.load();
}

void TThread_X::pause(int ms)
{
    HandOff& h = *handOff_;
    std::unique_lock lock(h.m);
    h.cv.wait_for(lock, std::chrono::milliseconds(ms), [&] { return h.stop.load(); });
}
