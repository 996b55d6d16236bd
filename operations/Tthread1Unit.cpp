#include "operations/Tthread1Unit.h"
#include "protocol/DeviceUnit.h"

void Tthread1::Execute()
{
    if (SendLoop(&TDevice::SwitchOn))
        WaitLoop();
}
