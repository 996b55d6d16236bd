#include "operations/TThread11Unit.h"
#include "app/Unit1.h"
#include "operations/TOperationThreads.h"
#include "protocol/DeviceUnit.h"
#include <QComboBox>
#include <QTabWidget>
#include <exception>

void UndoSaveToFlashStart(TForm1& form)
{
    form.PageControl1->setEnabled(true);
    form.ComboBox1->setEnabled(true);
    form.ActivateModbus();
    form.SetStatusText(1, QString());
}

void TThread11::Execute()
{
    try {
        // A stopped worker leaves the window to the timeout handling, which enables it again.
        if (!SendLoop(&TDevice::SaveToFlash) || !WaitLoop())
            return;
    } catch (const EOperationsClosing&) {
        throw;
    } catch (const std::exception&) {
        // The address box names no sensor: no timeout follows that would enable the controls.
        Synchronize([this] { UndoSaveToFlashStart(form_); });
        throw;
    }
    Synchronize([this] {
        form_.SetStatusText(1, QStringLiteral("Параметры записаны во FLASH"));
        form_.PageControl1->setEnabled(true);
        form_.ComboBox1->setEnabled(true);
        form_.ActivateModbus();
    });
}
