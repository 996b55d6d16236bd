#include "protocol/DeviceUnit.h"
#include "protocol/LinkState.h"
#include <QLoggingCategory>

namespace {
Q_LOGGING_CATEGORY(lcModbusReply, "veltrano.link.modbus", QtWarningMsg)
} // namespace

void TDevice::GetAnswer_modbus()
{
    // The fields of Modbus replies are not decoded yet. The token stays taken, so the waiting
    // operation ends by its watchdog instead of reporting a reply that nothing has read.
    qCWarning(lcModbusReply) << "Modbus reply from" << AdressStr.load() << "not decoded: function"
                             << FrameBuffer[1];
}
