#include "operations/TThread14Unit.h"
#include "protocol/DeviceUnit.h"

void TThread14::Execute()
{
    if (SendLoop(&TDevice::Setup))
        WaitLoop();
}
