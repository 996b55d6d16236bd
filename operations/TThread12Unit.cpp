#include "operations/TThread12Unit.h"
#include "app/Unit1.h"
#include "protocol/DeviceList.h"
#include "protocol/DeviceUnit.h"
#include <thread>

namespace {
std::atomic<int> liveIdentificationWorkers{0};
} // namespace

TThread12::TThread12(TOperationThreads& threads, TForm1& form)
    : TWorkerThread(threads), form_(form), live_(liveIdentificationWorkers)
{
}

bool TThread12::Running()
{
    return liveIdentificationWorkers.load() > 0;
}

void TThread12::Execute()
{
    const TLiveMark::TReleaseOnExit release(live_);
    const int count = DeviceCount();
    for (int index = 0; index < count; ++index) {
        TDevice* const device = Devices.At(index);
        if (!device)
            return;
        form_.SetComPortSpeed(device->ComPortSpeed.load());
        if (!Identify(*device))
            return;
    }
}

// The loops of every worker, on a record of the list rather than the selected one. A success
// found after a stop request is the timeout's token, not a reply, and ends the worker too.
bool TThread12::Identify(TDevice& device)
{
    while (!device.ReadIdent()) {
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
