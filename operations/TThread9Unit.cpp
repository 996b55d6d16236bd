#include "operations/TThread9Unit.h"
#include "app/Unit1.h"
#include "operations/TOperationThreads.h"
#include "protocol/DeviceUnit.h"
#include <QComboBox>
#include <QTabWidget>
#include <chrono>
#include <exception>

namespace {
// The sensor rewrites its flash before it answers reads again.
constexpr std::chrono::milliseconds DefaultsPause{1000};
} // namespace

void UndoDefaultsStart(TForm1& form)
{
    form.PageControl1->setEnabled(true);
    form.ComboBox1->setEnabled(true);
    form.ActivateModbus();
    form.SetStatusText(1, QString());
}

void TThread9::Execute()
{
    try {
        if (!SendLoop(&TDevice::SetParmDefault))
            return;
        if (!PauseWorker(*this, DefaultsPause))
            return;
        ShowReading();
        if (!ReadParameters())
            return;
    } catch (const EOperationsClosing&) {
        throw;
    } catch (const std::exception&) {
        Synchronize([this] { UndoDefaultsStart(form_); });
        throw;
    }
    FillSelected();
}
