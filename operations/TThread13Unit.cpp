#include "operations/TThread13Unit.h"
#include "app/Unit1.h"
#include "operations/TOperationThreads.h"
#include "protocol/DeviceList.h"
#include "protocol/DeviceUnit.h"

void TThread13::Execute()
{
    // The line speed belongs to the driver, which the main thread also switches on an address
    // choice; switching it there keeps the two from crossing.
    const int count = DeviceCount();
    for (int i = 0; i < count; ++i) {
        TDevice* const device = Devices.At(i);
        if (!device)
            break;
        const int speed = device->ComPortSpeed.load();
        Synchronize([this, speed] { form_.SetComPortSpeed(speed); });
        if (!RequestAndWait(*device, &TDevice::ReadSwitchResult))
            break;
    }
    // Also after a stop: the next operation addresses the chosen sensor at its own speed.
    Synchronize([this] { form_.LineToSelectedSpeed(); });
}
