#include "operations/TThread2Unit.h"
#include "protocol/DeviceUnit.h"

void TThread2::Execute()
{
    if (SendLoop(&TDevice::SwitchOff))
        WaitLoop();
}
