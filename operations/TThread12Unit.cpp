#include "operations/TThread12Unit.h"
#include "app/Unit1.h"
#include "protocol/DeviceList.h"
#include "protocol/DeviceUnit.h"

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
        if (!RequestAndWait(*device, &TDevice::ReadIdent))
            return;
    }
}
