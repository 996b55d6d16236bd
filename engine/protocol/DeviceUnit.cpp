#include "protocol/DeviceUnit.h"
#include "protocol/ReceiveFraming.h"

int TDevice::AddressNumber() const
{
    return HexAddressNumber(AdressStr.load());
}
