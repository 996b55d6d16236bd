#include "operations/TThread6Unit.h"
#include "protocol/DeviceUnit.h"

void TThread6::Execute()
{
    if (SendLoop(&TDevice::SwitchResult))
        WaitLoop();
}
