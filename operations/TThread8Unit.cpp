#include "operations/TThread8Unit.h"
#include "protocol/DeviceUnit.h"

void TThread8::Execute()
{
    if (SendLoop(&TDevice::ReadLastResult))
        WaitLoop();
}
