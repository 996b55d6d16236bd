#include "operations/TMasterThreadUnit.h"
#include "operations/OperationLog.h"
#include "operations/TOperationThreads.h"
#include "operations/TWorkerThread.h"
#include "protocol/LinkState.h"
#include <algorithm>
#include <limits>

namespace {
// The probe pass of the bus search: its expiry is part of the search and reports nothing.
constexpr std::uint8_t ProbePassCode = 12;
constexpr std::uint8_t DefaultsCode = 5;
} // namespace

std::chrono::milliseconds WatchdogWait(std::uint8_t code, std::int32_t watchdogTime)
{
    const std::int64_t wait = std::int64_t{watchdogTime} * (code == DefaultsCode ? 2 : 1);
    return std::chrono::milliseconds(
        std::clamp<std::int64_t>(wait, 0, std::numeric_limits<std::int32_t>::max()));
}

TMasterThread::TMasterThread(std::uint8_t LnchThr, TWorkerFactory createWorker, TOperationThreads& threads,
                             TOnTerminate onTerminate)
    : LTread(LnchThr), createWorker_(std::move(createWorker)), threads_(threads),
      onTerminate_(std::move(onTerminate))
{
}

std::shared_ptr<TMasterThread> TMasterThread::Create(std::uint8_t LnchThr, TWorkerFactory createWorker,
                                                     TOperationThreads& threads, TOnTerminate onTerminate)
{
    std::shared_ptr<TMasterThread> master(
        new TMasterThread(LnchThr, std::move(createWorker), threads, std::move(onTerminate)));
    const bool started = threads.Start(
        "TMasterThread", [master] { master->Execute(); },
        [weak = std::weak_ptr(master)] {
            if (const auto self = weak.lock())
                self->Event1.Abandon();
        });
    return started ? master : nullptr;
}

void TMasterThread::StartWorker()
{
    ActiveThread = createWorker_(LTread);
    if (!ActiveThread)
        return;
    // Attached before the worker starts, so that even a worker that ends at once is heard.
    ActiveThread->SetOnTerminate([weak = weak_from_this()] {
        if (const auto self = weak.lock())
            self->WorkerDone();
    });
    if (!ActiveThread->Start())
        Event1.Abandon();
}

void TMasterThread::Execute()
{
    OutOfSignal = false;
    Event1.ResetEvent();
    TAutoResetEvent::TWaitResult result = TAutoResetEvent::TWaitResult::Abandoned;
    try {
        StartWorker();
        if (ActiveThread)
            result = Event1.WaitFor(WatchdogWait(LTread, WatchdogTime.load()));
    } catch (const std::exception& e) {
        qCWarning(lcOperations) << "operation" << LTread << "could not start its worker:" << e.what();
    }
    // Anything but the worker's end counts as expiry.
    if (result != TAutoResetEvent::TWaitResult::Signaled) {
        if (ActiveThread)
            ActiveThread->Terminate();
        OutOfSignal = LTread != ProbePassCode;
        qCDebug(lcOperations) << "operation" << LTread << "watchdog expired";
    }
    // The worker frees itself when it ends; the supervisor does not wait for a stopped one.
    ActiveThread.reset();
    threads_.Post([self = shared_from_this()] { self->onTerminate_(*self); });
}

void TMasterThread::WorkerDone()
{
    Event1.SetEvent();
}
