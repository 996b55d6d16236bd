#include "app/Unit1.h"
#include "app/Unit_Utils.h"
#include "operations/OperationLog.h"
#include "operations/OperationState.h"
#include "operations/TMasterThreadUnit.h"
#include "operations/TOperationThreads.h"
#include "operations/TThread3Unit.h"
#include "operations/WorkerFactory.h"
#include "protocol/DeviceUnit.h"
#include "protocol/LinkState.h"
#include "serial/TCommPortDriver.h"
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>

namespace {
constexpr std::uint8_t ProbePassCode = 12;
constexpr std::uint8_t IdentificationCode = 13;
// Operations launched back to back stay at least this far apart.
constexpr int PauseAfterOperationMs = 100;

// The record of the address box entry; nullptr when its text is no number or names none.
TDevice* SelectedRecordOrNull(const TForm1& form)
{
    try {
        return form.ChangeDevice(form.ComboBox1->currentText());
    } catch (const EConvertError&) {
        return nullptr;
    }
}

// A stream whose operation timed out is taken for stopped: the page returns to its idle state.
void StopStreamAfterTimeout(TForm1& form)
{
    form.Timer2->stop();
    form.Timer2->setInterval(2000);
    form.Button6->setEnabled(true);
    if (TDevice* const device = SelectedRecordOrNull(form))
        device->threadResultIsExec = false;
    form.SetStatusText(1, QStringLiteral("Поток остановлен"));
    WatchdogTime = 3000;
    form.CheckBox_RecordThrd->setEnabled(false);
    form.CheckBox_RecordThrd->setChecked(false);
    form.UpdateAfterStopThread();
}

// An unplugged adapter is named as such: no sensor could have answered.
void ShowTimeoutMessage(TForm1& form)
{
    const QString text =
        form.CommPortDriver1->PortLost()
            ? QStringLiteral("Нет связи с портом %1. Проверьте подключение и повторите операцию.")
                  .arg(form.CommPortDriver1->ComPort())
            : QStringLiteral("Превышен интервал ожидания ответа от датчика");
    QMessageBox box(QMessageBox::NoIcon, QStringLiteral("Veltrano"), text, QMessageBox::Ok, &form);
    box.exec();
}
} // namespace

bool TForm1::LaunchThread(int LThread)
{
    if (OperationRunning)
        return false;
    if (!HasWorker(LThread)) {
        qCWarning(lcOperations) << "operation" << LThread << "has no worker; launch refused";
        return false;
    }
    OperationRunning = true;
    // After an unplugged adapter is back, the next operation opens its port again. Bytes kept
    // from before the loss can never complete with bytes after it.
    if (CommPortDriver1->PortLost() && CommPortDriver1->Reopen())
        ReceiveBuffer.clear();
    try {
        const auto master = TMasterThread::Create(
            static_cast<std::uint8_t>(LThread),
            [this](std::uint8_t code) { return CreateWorker(code, *this, *operationThreads_); },
            *operationThreads_, [this](TMasterThread& ended) { LaunchTreadOnTerminate(ended); });
        if (!master) {
            OperationRunning = false;
            return false;
        }
    } catch (...) {
        OperationRunning = false;
        throw;
    }
    qCDebug(lcOperations) << "operation" << LThread << "launched";
    return true;
}

void TForm1::LaunchTreadOnTerminate(TMasterThread& Sender)
{
    const std::uint8_t code = Sender.LTread;
    const bool outOfSignal = Sender.OutOfSignal;
    if (outOfSignal) {
        if (StreamRunning)
            StopStreamAfterTimeout(*this);
        ShowTimeoutMessage(*this);
        ReplyReceived = true;
        ResetFormElements();
        if (WritePending)
            RollBackParameterWrite(*this);
    }
    if (code == ProbePassCode) {
        NextSpeedStep();
        return;
    }
    // The launcher stays held through the pause, which runs on a timer rather than blocking the
    // main thread. The end of the search releases it itself, once its worker has really ended.
    QTimer::singleShot(PauseAfterOperationMs, this, [this, code, outOfSignal] {
        if (code == IdentificationCode) {
            EndOfSearchStep(outOfSignal);
            return;
        }
        OperationRunning = false;
    });
}
