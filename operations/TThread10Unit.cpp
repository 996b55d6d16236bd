#include "operations/TThread10Unit.h"
#include "app/Unit1.h"
#include "protocol/DeviceUnit.h"
#include <QThread>
#include <QTimer>

namespace {
// Lets the samples already on the line arrive before the confirmation starts counting.
constexpr unsigned long SettleMs = 100;
constexpr int StopConfirmMs = 2000;
} // namespace

void TThread10::Execute()
{
    Synchronize([this] { form_.SetStatusText(1, QStringLiteral("Останавливаем поток...")); });
    if (!SendLoop(&TDevice::StopThreadResult) || !WaitLoop())
        return;
    QThread::msleep(SettleMs);
    Synchronize([this] {
        form_.Timer2->setInterval(StopConfirmMs);
        form_.Timer2->start();
    });
}
