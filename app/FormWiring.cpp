// The rules that span pages: what an operation holds while it runs and gives back as it ends,
// the address box a search fills, and the messages of a timeout or a refusal. The pages show the
// rest of what the bus reports themselves.
#include "app/Unit1.h"
#include "bus/SensorBus.h"
#include "pages/ModbusTexts.h"
#include "pages/SearchInput.h"
#include "pages/StreamPage.h"
#include "protocol/DeviceList.h"
#include "protocol/DeviceUnit.h"
#include "widgets/ProgressBar.h"
#include "widgets/RadioGroup.h"
#include <QComboBox>
#include <QMessageBox>
#include <QTabWidget>

namespace {
constexpr int SearchSpeedCount = 8;

// An unplugged adapter is named as such: no sensor could have answered.
void ShowTimeoutMessage(QWidget* owner, const TOutcome& outcome)
{
    const QString text =
        outcome.Kind == TOutcomeKind::PortLost
            ? QStringLiteral("Нет связи с портом %1. Проверьте подключение и повторите операцию.")
                  .arg(outcome.Port)
            : QStringLiteral("Превышен интервал ожидания ответа от датчика");
    QMessageBox box(QMessageBox::NoIcon, QStringLiteral("Veltrano"), text, QMessageBox::Ok, owner);
    box.exec();
}

void ShowRefusal(QWidget* owner, std::uint8_t code)
{
    if (const auto message = ModbusExceptionMessage(code)) {
        QMessageBox box(QMessageBox::NoIcon, message->caption, message->text, QMessageBox::Ok, owner);
        box.exec();
    }
}

bool IsParameterOperation(TOperationCode code)
{
    return code == TOperationCode::ReadParameters || code == TOperationCode::Defaults ||
           code == TOperationCode::WriteParameters || code == TOperationCode::SaveToFlash ||
           code == TOperationCode::ReadSeveral || code == TOperationCode::Clone;
}
} // namespace

void TForm1::OnStarted(TOperationCode code)
{
    if (IsParameterOperation(code)) {
        PageControl1->setEnabled(false);
        ComboBox1->setEnabled(false);
        RadioGroup_protocol_obm->setEnabled(false);
    } else if (code == TOperationCode::StartStream) {
        TabSheet1->setEnabled(false);
        TabSheet5->setEnabled(false);
        ComboBox1->setEnabled(false);
        RadioGroup_protocol_obm->setEnabled(false);
    } else if (code == TOperationCode::Search) {
        ComboBox1->setEnabled(false);
        ComboBox2->setEnabled(false);
        RadioGroup_protocol_obm->setEnabled(false);
        QProgressBar1->setValue(0);
        QProgressBar1->SetCaption(QString());
        QProgressBar1->show();
    }
}

void TForm1::OnFinished(TOperationCode code, const TOutcome& outcome)
{
    if (outcome.Kind == TOutcomeKind::Stopped)
        return;
    if (outcome.Kind == TOutcomeKind::Timeout || outcome.Kind == TOutcomeKind::PortLost) {
        if (bus_->StreamRunning())
            TabSheet2->StopAfterTimeout();
        ShowTimeoutMessage(this, outcome);
        ResetFormElements();
    } else if (outcome.Kind == TOutcomeKind::Refused) {
        ShowRefusal(this, outcome.ExceptionCode);
    }
    if (IsParameterOperation(code))
        EnableAfterWrite();
    else if (code == TOperationCode::Search)
        EndSearch(outcome);
}

// A search that found nothing leaves the other three pages as it disabled them; one that
// listed sensors, or could not go on, gives them back.
void TForm1::EndSearch(const TOutcome& outcome)
{
    QProgressBar1->setValue(0);
    QProgressBar1->hide();
    ComboBox1->setEnabled(true);
    ComboBox2->setEnabled(true);
    ActivateModbus();
    if (outcome.Kind != TOutcomeKind::NotFound) {
        TabSheet2->setEnabled(true);
        TabSheet3->setEnabled(true);
        TabSheet5->setEnabled(true);
    }
    if (outcome.Kind != TOutcomeKind::Done) {
        ComboBox1->clear();
        ComboBox1->setCurrentIndex(-1);
    }
}

void TForm1::OnReplied(TDevice*, const TReplyNote& note)
{
    // The factory values are set: the parameters being read back need not hold the window.
    if (note.Event == TReplyEvent::DefaultsSet)
        EnableAfterWrite();
}

void TForm1::OnSearchProgress(int address, int speed, int range)
{
    if (address == 1)
        QProgressBar1->setMaximum(range * SearchSpeedCount);
    QProgressBar1->setValue(QProgressBar1->value() + 1);
    QProgressBar1->SetCaption(SearchProgressCaption(address, speed));
}

// After the probe passes found sensors: their addresses in the address box before they are
// identified.
void TForm1::OnSearchPassesDone(int found)
{
    for (int index = 0; index < found; ++index)
        if (const TDevice* const device = bus_->Devices().At(index))
            AddAddressItem(QString::number(MyHex(device->AdressStr.load())));
    if (found > 0)
        ComboBox1->setCurrentIndex(0);
}

// The records are gone: nothing may name them, and no page may work on them until a search
// lists new ones.
void TForm1::OnDevicesCleared()
{
    TabSheet2->setEnabled(false);
    TabSheet3->setEnabled(false);
    TabSheet5->setEnabled(false);
    ComboBox1->clear();
    ComboBox1->setCurrentIndex(-1);
}

void TForm1::EnableAfterWrite()
{
    PageControl1->setEnabled(true);
    ComboBox1->setEnabled(true);
    ActivateModbus();
}

void TForm1::EnableAfterStream()
{
    TabSheet1->setEnabled(true);
    TabSheet3->setEnabled(true);
    TabSheet5->setEnabled(true);
    ComboBox1->setEnabled(true);
    ActivateModbus();
}
