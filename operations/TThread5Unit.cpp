#include "operations/TThread5Unit.h"
#include "app/Unit1.h"
#include "operations/OperationState.h"
#include "protocol/DeviceUnit.h"
#include <QCheckBox>

void TThread5::Execute()
{
    Synchronize([this] { form_.ClearStreamChart(); });
    if (!SendLoop(&TDevice::StartThreadResult))
        return;
    Synchronize([this] {
        StreamRunning = true;
        form_.CheckBox_RecordThrd->setEnabled(true);
        form_.SetStatusText(1, QStringLiteral("Поток запущен"));
    });
}
