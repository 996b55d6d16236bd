#include "operations/TWorkerThread.h"
#include "operations/OperationLog.h"
#include "operations/TOperationThreads.h"
#include "protocol/DeviceList.h"
#include "protocol/DeviceUnit.h"
#include "protocol/LinkState.h"
#include <exception>
#include <thread>

namespace {
TDevice& SelectedRecord()
{
    TDevice* const device = SelectedDevice();
    if (!device)
        throw EWorkerLookup("no sensor record for address " + SelectedAddressText().toStdString());
    return *device;
}
} // namespace

bool TWorkerThread::Start()
{
    return threads_.Start(
        "TWorkerThread", [self = shared_from_this()] { self->Run(); },
        [weak = weak_from_this()] {
            if (const auto self = weak.lock())
                self->Terminate();
        });
}

void TWorkerThread::Run()
{
    try {
        Execute();
    } catch (const std::exception& e) {
        qCDebug(lcOperations) << "worker ended by an error:" << e.what();
    } catch (...) {
        qCDebug(lcOperations) << "worker ended by an error";
    }
    if (onTerminate_)
        threads_.Post(onTerminate_);
}

// Between tries the processor is offered to others: the reply that ends the loop is handled on
// the main thread, which may share a core with this one.
//
// A success is checked against the stop once more: after a timeout the window frees the token
// only once the worker has been told to stop, so a worker that finds the token free but has been
// stopped meanwhile was handed the timeout's token, not a reply.
bool TWorkerThread::SendLoop(const TRequest& request)
{
    while (!Terminated()) {
        if (request(SelectedRecord()))
            return !Terminated();
        std::this_thread::yield();
    }
    return false;
}

bool TWorkerThread::WaitLoop()
{
    while (!Terminated()) {
        if (SelectedRecord().ReadEnd())
            return !Terminated();
        std::this_thread::yield();
    }
    return false;
}

bool TWorkerThread::RequestAndWait(TDevice& device, const TRequest& request)
{
    while (!request(device)) {
        if (Terminated())
            return false;
        std::this_thread::yield();
    }
    while (!device.ReadEnd()) {
        if (Terminated())
            return false;
        std::this_thread::yield();
    }
    return !Terminated();
}

void TWorkerThread::Synchronize(const std::function<void()>& f)
{
    threads_.Synchronize(f);
}
