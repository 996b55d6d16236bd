// The window's side of the operations: starting one for the chosen sensor, and what its end
// shows. The bus runs them.
#include "app/Unit1.h"
#include "bus/SensorBus.h"
#include "pages/ModbusTexts.h"
#include "pages/PageHelpers.h"
#include "protocol/DeviceUnit.h"
#include "serial/TCommPortDriver.h"
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QTabWidget>
#include <QTimer>

namespace {
// A stream whose operation timed out is taken for stopped: the page returns to its idle state.
void StopStreamAfterTimeout(TForm1& form)
{
    form.Timer2->stop();
    form.Timer2->setInterval(2000);
    form.Button6->setEnabled(true);
    form.SetStatusText(1, QStringLiteral("Поток остановлен"));
    form.CheckBox_RecordThrd->setEnabled(false);
    form.CheckBox_RecordThrd->setChecked(false);
    form.UpdateAfterStopThread();
}

// An unplugged adapter is named as such: no sensor could have answered.
void ShowTimeoutMessage(TForm1& form, const TOutcome& outcome)
{
    const QString text =
        outcome.Kind == TOutcomeKind::PortLost
            ? QStringLiteral("Нет связи с портом %1. Проверьте подключение и повторите операцию.").arg(outcome.Port)
            : QStringLiteral("Превышен интервал ожидания ответа от датчика");
    QMessageBox box(QMessageBox::NoIcon, QStringLiteral("Veltrano"), text, QMessageBox::Ok, &form);
    box.exec();
}

void ShowRefusal(TForm1& form, std::uint8_t code)
{
    if (const auto message = ModbusExceptionMessage(code)) {
        QMessageBox box(QMessageBox::NoIcon, message->caption, message->text, QMessageBox::Ok, &form);
        box.exec();
    }
}

bool Failed(const TOutcome& outcome)
{
    return outcome.Kind == TOutcomeKind::Timeout || outcome.Kind == TOutcomeKind::PortLost;
}
} // namespace

bool TForm1::LaunchThread(TOperationCode LThread)
{
    if (LThread == TOperationCode::ReadAllLatches)
        return bus_->StartReadAllLatches(SelectedDevice());
    return bus_->Start(LThread, SelectedDevice());
}

void TForm1::LaunchTreadOnTerminate(TOperationCode code, const TOutcome& outcome)
{
    if (outcome.Kind == TOutcomeKind::Stopped)
        return;
    if (Failed(outcome)) {
        if (bus_->StreamRunning())
            StopStreamAfterTimeout(*this);
        ShowTimeoutMessage(*this, outcome);
        ResetFormElements();
        if (code == TOperationCode::WriteParameters)
            RollBackParameterWrite(outcome.AddressWritten);
    } else if (outcome.Kind == TOutcomeKind::Refused) {
        ShowRefusal(*this, outcome.ExceptionCode);
    }
    const bool done = outcome.Kind == TOutcomeKind::Done;
    // Refused or unable to go on: what the operation disabled is given back, without a timeout.
    const bool ended = outcome.Kind == TOutcomeKind::Refused || outcome.Kind == TOutcomeKind::Failed;
    switch (code) {
    case TOperationCode::ReadParameters:
    case TOperationCode::Defaults:
        if (done) {
            if (const TDevice* const record = SelectedDevice())
                FillForm(*record);
            else
                UndoParamReadStart();
        } else if (ended) {
            UndoParamReadStart();
        }
        break;
    case TOperationCode::WriteParameters:
        if (done) {
            SetStatusText(1, QStringLiteral("Параметры записаны"));
            EnableAfterWrite();
        } else if (ended) {
            RollBackParameterWrite(outcome.AddressWritten);
            EnableAfterWrite();
            SetStatusText(1, QString());
        }
        break;
    case TOperationCode::SaveToFlash:
        if (done)
            SetStatusText(1, QStringLiteral("Параметры записаны во FLASH"));
        if (done || ended)
            EnableAfterWrite();
        if (ended)
            SetStatusText(1, QString());
        break;
    case TOperationCode::StartStream:
        if (done) {
            CheckBox_RecordThrd->setEnabled(true);
            SetStatusText(1, QStringLiteral("Поток запущен"));
        }
        break;
    case TOperationCode::StopStream:
        if (done) {
            Timer2->setInterval(2000);
            Timer2->start();
        }
        break;
    case TOperationCode::LatchAll:
        if (done) {
            SetStatusText(1, QStringLiteral("Результаты защёлкнуты"));
            AddLatchRow(-1, LatchConfirmColumn, QStringLiteral("           Защёлкнуты все"));
        }
        break;
    case TOperationCode::Search:
        if (outcome.Kind == TOutcomeKind::NotFound)
            EndSearchWithoutList(QStringLiteral("Поиск завершён: не найдено"));
        else
            EndOfSearchStep(outcome);
        break;
    default:
        break;
    }
}

void TForm1::EnableAfterWrite()
{
    PageControl1->setEnabled(true);
    ComboBox1->setEnabled(true);
    ActivateModbus();
}

void TForm1::UndoParamReadStart()
{
    EnableAfterWrite();
    const int index = ComboBox1->currentIndex();
    if (index >= 0 && static_cast<std::size_t>(index) < ParamsLoaded.size())
        ParamsLoaded[static_cast<std::size_t>(index)] = false;
    Label_Hint->show();
    SetStatusText(1, QString());
}

// The bus has given the record its old address back unless the sensor took the new one; the
// address box follows it.
void TForm1::RollBackParameterWrite(bool addressWritten)
{
    Label_Hint->show();
    if (!addressWritten)
        UpdateComboBoxOfAdres(writeOldAddress_);
}
