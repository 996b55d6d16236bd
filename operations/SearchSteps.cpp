#include "app/Unit1.h"
#include "operations/OperationLog.h"
#include "operations/TThread12Unit.h"
#include "operations/TThread4Unit.h"
#include "protocol/DeviceList.h"
#include "protocol/DeviceUnit.h"
#include "protocol/LinkState.h"
#include "serial/TCommPortDriver.h"
#include "widgets/ProgressBar.h"
#include <QComboBox>
#include <QLabel>
#include <QPushButton>
#include <QTimer>
#include <array>
#include <exception>

namespace {
constexpr int ProbePassCode = 12;
constexpr int IdentificationCode = 13;
// How often the window looks again whether a stopped search worker has ended.
constexpr int WorkerEndPollMs = 1;

constexpr std::array<std::int32_t, 8> SearchSpeeds{9600, 19200, 38400, 57600, 115200, 230400, 460800, 921600};

// The speed probed after speed; 0 after the last one.
std::int32_t NextSearchSpeed(std::int32_t speed)
{
    for (std::size_t i = 0; i + 1 < SearchSpeeds.size(); ++i) {
        if (SearchSpeeds[i] == speed)
            return SearchSpeeds[i + 1];
    }
    return 0;
}

const QString SearchDone = QStringLiteral("Поиск завершён");
const QString SearchNotFound = QStringLiteral("Поиск завершён: не найдено");
const QString SearchFailed = QStringLiteral("Поиск завершён: ошибка поиска");

// The next step of the chain; a step that cannot start ends the search and gives the controls back.
void LaunchSearchStep(TForm1& form, int code)
{
    try {
        if (form.LaunchThread(code))
            return;
        qCWarning(lcOperations) << "search step" << code << "not launched";
    } catch (const std::exception& e) {
        qCWarning(lcOperations) << "search step" << code << "not launched:" << e.what();
    }
    SearchMode = false;
    form.EndSearchWithoutList(SearchFailed);
}
} // namespace

void TForm1::EndSearchWithoutList(const QString& status)
{
    SetStatusText(1, status);
    WatchdogTime = 3000;
    OperationRunning = false;
    Button5->setEnabled(true);
    QProgressBar1->setValue(0);
    QProgressBar1->hide();
    ComboBox1->setEnabled(true);
    ActivateModbus();
    ComboBox1->clear();
    ComboBox1->setCurrentIndex(-1);
    ComboBox2->setEnabled(true);
}

// After each probe pass: the next speed, or the identification of what the passes found.
void TForm1::NextSpeedStep()
{
    // A pass stopped by its watchdog still finishes its current probe; the next one must not
    // probe beside it. The launcher stays held meanwhile.
    if (TThread4::Running()) {
        QTimer::singleShot(WorkerEndPollMs, this, [this] { NextSpeedStep(); });
        return;
    }
    if (const std::int32_t next = NextSearchSpeed(SearchSpeed.load())) {
        SearchSpeed = next;
        OperationRunning = false;
        LaunchSearchStep(*this, ProbePassCode);
        return;
    }
    SearchMode = false;
    const int count = DeviceCount();
    if (count == 0) {
        EndSearchWithoutList(SearchNotFound);
        return;
    }
    ParamsLoaded.assign(static_cast<std::size_t>(count), false);
    for (int index = 0; index < count; ++index)
        AddAddressItem(QString::number(MyHex(Devices.At(index)->AdressStr.load())));
    Label_Hint->show();
    ComboBox1->setCurrentIndex(0);
    SetComPortSpeed(Devices.At(0)->ComPortSpeed.load());
    CommPortDriver1->Connect();
    OperationRunning = false;
    ReplyReceived = true;
    LaunchSearchStep(*this, IdentificationCode);
}

// After the identification: the window is usable again and the list shows what was found.
void TForm1::EndOfSearchStep(bool OutOfSignal)
{
    // A stopped identification ends at its next try; until then it could still take the token.
    if (TThread12::Running()) {
        QTimer::singleShot(WorkerEndPollMs, this, [this, OutOfSignal] { EndOfSearchStep(OutOfSignal); });
        return;
    }
    // An identification request left unanswered must not make a later reply read as its answer.
    ExpectIdent = false;
    SetStatusText(1, SearchDone);
    WatchdogTime = 3000;
    Button5->setEnabled(true);
    TabSheet2->setEnabled(true);
    TabSheet3->setEnabled(true);
    TabSheet5->setEnabled(true);
    ComboBox1->setEnabled(true);
    ComboBox2->setEnabled(true);
    ActivateModbus();
    QProgressBar1->setValue(0);
    QProgressBar1->hide();
    if (OutOfSignal) {
        SetStatusText(1, SearchFailed);
        WatchdogTime = 3000;
        ComboBox1->clear();
        ComboBox1->setCurrentIndex(-1);
    } else {
        AddIDInfo();
    }
    OperationRunning = false;
}
