#include "operations/TThread7Unit.h"
#include "protocol/DeviceUnit.h"

void TThread7::Execute()
{
    if (SendLoop(&TDevice::ReadSwitchResult))
        WaitLoop();
}
