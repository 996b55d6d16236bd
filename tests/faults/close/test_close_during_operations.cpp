#include "CloseChecks.h"
#include "ParamsFixture.h"
#include "bus/SensorBus.h"
#include "pages/StreamChart.h"
#include "protocol/DeviceList.h"
#include "protocol/DeviceUnit.h"
#include "serial/TCommPortDriver.h"
#include "settings/IniFile.h"
#include "settings/Settings.h"
#include "sim/SimRegisters.h"
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTabWidget>
#include <QTreeWidget>
#include <ostream>
#include <string>
#include <utility>

namespace {

// Closing waits for every operation thread to notice the stop; on a loaded two-core machine that
// takes far less than this, and a hang takes far more.
constexpr qint64 CloseBoundMs = 2000;

enum class Op {
    Read,
    Defaults,
    Write,
    AddressChange,
    SwitchOn,
    SwitchOff,
    Configure,
    SaveToFlash,
    ProbePass,
    Identification,
    Stream,
    Latch,
    ReadLatch,
    ReadLast,
    ReadAll,
    LatchAll,
};

struct OpRow {
    Op op;
    const char* name;
    bool inModbus;  // the stream page is the standard protocol's only
    bool halfReply; // a reply it waits for can be caught half-way
};

constexpr OpRow Ops[] = {
    {Op::Read, "Read", true, true},
    {Op::Defaults, "Defaults", true, true},
    {Op::Write, "Write", true, true},
    {Op::AddressChange, "AddressChange", true, true},
    {Op::SwitchOn, "SwitchOn", true, true},
    {Op::SwitchOff, "SwitchOff", true, true},
    {Op::Configure, "Configure", true, true},
    {Op::SaveToFlash, "SaveToFlash", true, true},
    // Split probe answers would make the search find nothing to identify.
    {Op::ProbePass, "ProbePass", true, false},
    {Op::Identification, "Identification", true, false},
    // Split stream groups would starve the recording.
    {Op::Stream, "RecordedStream", false, false},
    {Op::Latch, "Latch", true, true},
    {Op::ReadLatch, "ReadLatch", true, true},
    {Op::ReadLast, "ReadLast", true, true},
    {Op::ReadAll, "ReadAll", true, true},
    // A broadcast has no reply.
    {Op::LatchAll, "LatchAll", true, false},
};

// How the sensor meets the operation. Silent: it does not answer what the operation waits for;
// for the identification that is the identification request, for the recorded stream the stop
// request, which it ignores while it goes on streaming. Half reply: its replies stop after their
// first bytes for a while, and the window closes with a frame half received.
enum class Reply { Answering, HalfReply, Silent };
constexpr const char* ReplyNames[] = {"Answering", "HalfReply", "Silent"};

struct CloseCase {
    OpRow row;
    bool modbus;
    Reply reply;
};

std::vector<CloseCase> AllCases()
{
    std::vector<CloseCase> cases;
    for (const OpRow& row : Ops) {
        for (const bool modbus : {false, true}) {
            if (modbus && !row.inModbus)
                continue;
            for (const Reply reply : {Reply::Answering, Reply::HalfReply, Reply::Silent}) {
                if (reply != Reply::HalfReply || row.halfReply)
                    cases.push_back({row, modbus, reply});
            }
        }
    }
    return cases;
}

void PrintTo(const CloseCase& c, std::ostream* os)
{
    *os << c.row.name << (c.modbus ? " in Modbus RTU" : " in the standard protocol") << ", sensor "
        << ReplyNames[static_cast<int>(c.reply)];
}

std::string CaseName(const ::testing::TestParamInfo<CloseCase>& info)
{
    return std::string(info.param.row.name) + (info.param.modbus ? "_Modbus_" : "_Standard_") +
           ReplyNames[static_cast<int>(info.param.reply)];
}

// Speed of the sensors the bus search finds: the first speed it probes.
constexpr int SearchedSpeed = 9600;
// Stream samples are counts climbing by one at a range of 250 mm: 1/200 mm apart.
constexpr double StreamStep = 1.0 / 200;

class CloseDuringOperation : public ParamsBusTest, public ::testing::WithParamInterface<CloseCase> {
  protected:
    void SetUp() override
    {
        ParamsBusTest::SetUp();
        if (HasFatalFailure())
            return;
        if (GetParam().modbus)
            SelectModbus();
    }

    // Three sensors at the first searched speed, within the searched addresses 1 to 3; the
    // fixture's sensor lies outside them.
    void PrepareSearch()
    {
        for (int address = 1; address <= 3; ++address) {
            SimSensorConfig config;
            config.address = address;
            config.speed = SearchedSpeed;
            searched_.push_back(bus.addSensor(config));
            ASSERT_GE(searched_.back(), 0);
        }
        form->ComboBox2->setCurrentText(bus.slavePath());
        form->TabSheet1->Edit1->setText(QStringLiteral("40"));
        form->TabSheet1->Edit2->setText(QStringLiteral("3"));
    }

    // A running stream of counts, recorded sample by sample, with well over a hundred samples in
    // the recording.
    void PrepareRecordedStream()
    {
        bus.setRegister(sensor, SimReg::ConstantLo, 1);
        bus.setMeasurement(sensor, SimMeasureMode::Counter, 1000);
        form->PageControl1->setCurrentWidget(form->TabSheet2);
        form->TabSheet2->LabeledEdit_RecordThrd->setText(QStringLiteral("1"));
        form->TabSheet2->Button6->click();
        ASSERT_TRUE(WaitFor([&] { return form->StatusText(1) == QStringLiteral("Поток запущен"); }));
        ASSERT_TRUE(WaitIdle());
        TStreamChart& chart = form->TabSheet2->StreamChart();
        // The start's echo may come before the first sample.
        ASSERT_TRUE(WaitFor([&] { return !chart.Empty(); }));
        // Nothing is handled between this look and the click: the next sample is the first recorded.
        firstRecorded_ = *chart.HeightAt(chart.LastX()) + StreamStep;
        const int from = chart.Count();
        form->TabSheet2->CheckBox_RecordThrd->click();
        ASSERT_TRUE(form->TabSheet2->CheckBox_RecordThrd->isChecked());
        ASSERT_TRUE(WaitFor([&] { return chart.Count() > from + 150; }, 5000));
    }

    // A second sensor on another speed: the latch-all then broadcasts at two speeds with a pause
    // after each, long enough to close the window in.
    void PrepareLatchAll()
    {
        SimSensorConfig config;
        config.address = 0x1B;
        config.speed = SearchedSpeed;
        searched_.push_back(bus.addSensor(config));
        ASSERT_GE(searched_.back(), 0);
        ASSERT_NE(form->Bus().Devices().Append("1B", SearchedSpeed), nullptr);
        form->Bus().SetProbeDelay(400);
    }

    void Prepare(Op op)
    {
        switch (op) {
        case Op::Write:
            ASSERT_TRUE(Read());
            break;
        case Op::AddressChange:
            ASSERT_TRUE(Read());
            SetCell(ParamRow::Address, QStringLiteral("27"));
            break;
        case Op::ProbePass:
        case Op::Identification:
            PrepareSearch();
            break;
        case Op::Stream:
            PrepareRecordedStream();
            break;
        case Op::LatchAll:
            PrepareLatchAll();
            break;
        default:
            break;
        }
    }

    // Replies stop after three bytes for longer than the close takes to come.
    static constexpr int HalfReplyGapMs = 600;

    void SetReplies(Op op, Reply reply)
    {
        SimFaults faults;
        if (reply == Reply::Answering)
            return;
        if (reply == Reply::HalfReply) {
            faults.splitAt = 3;
            faults.splitGapMs = HalfReplyGapMs;
        } else if (op == Op::Stream)
            faults.ignoreStop = true;
        else if (op == Op::Identification)
            faults.noIdentAnswer = true;
        else
            faults.noAnswer = true;
        bus.setFaults(sensor, faults);
        for (const int other : searched_)
            bus.setFaults(other, faults);
    }

    void Start(Op op, Reply reply)
    {
        QPushButton* button = nullptr;
        switch (op) {
        case Op::Read:
            button = form->TabSheet5->Button1;
            break;
        case Op::Defaults:
            button = form->TabSheet5->Button8;
            break;
        case Op::Write:
        case Op::AddressChange:
            button = form->TabSheet5->Button4;
            break;
        case Op::SwitchOn:
            button = form->TabSheet1->Button3;
            break;
        case Op::SwitchOff:
            button = form->TabSheet1->Button2;
            break;
        case Op::Configure:
            button = form->TabSheet1->Button12;
            break;
        case Op::SaveToFlash:
            button = form->TabSheet5->Button15;
            break;
        case Op::ProbePass:
        case Op::Identification:
            button = form->TabSheet1->Button5;
            break;
        // Answering, the stream itself is what runs; silent, the stop it does not answer.
        case Op::Stream:
            button = reply == Reply::Silent ? form->TabSheet2->Button7 : nullptr;
            break;
        case Op::Latch:
            button = form->TabSheet3->Button9;
            break;
        case Op::ReadLatch:
            button = form->TabSheet3->Button10;
            break;
        case Op::ReadLast:
            button = form->TabSheet3->Button11;
            break;
        case Op::ReadAll:
            button = form->TabSheet3->Button_ReadAllLanch;
            break;
        case Op::LatchAll:
            button = form->TabSheet3->Button_LatchAll;
            break;
        }
        if (button)
            button->click();
    }

    bool UnderWay(Op op, std::size_t heardBefore) const
    {
        const bool heard = Heard().size() > heardBefore;
        switch (op) {
        case Op::ProbePass:
            return heard && form->Bus().ReceivePath().Searching();
        case Op::Identification:
            // The passes are over and the list of what they found is in the address box; the
            // identification holds the search until its end step.
            return !form->Bus().ReceivePath().Searching() && form->ComboBox1->count() == 3 &&
                   !form->TabSheet1->Button5->isEnabled() && form->Bus().Busy();
        case Op::Stream:
            return form->Bus().StreamRunning() &&
                   (GetParam().reply != Reply::Silent || (heard && form->Bus().Busy()));
        case Op::LatchAll:
            return heard && form->Bus().Busy();
        default:
            return heard;
        }
    }

    std::vector<int> searched_;
    double firstRecorded_ = 0;
};

TEST_P(CloseDuringOperation, ClosesPromptlyAndLeavesNothingBehind)
{
    const CloseCase& c = GetParam();
    ModalCloser closer(form.get());
    Prepare(c.row.op);
    if (HasFatalFailure())
        return;
    SetReplies(c.row.op, c.reply);
    const std::size_t heardBefore = Heard().size();
    Start(c.row.op, c.reply);
    ASSERT_TRUE(WaitFor([&] { return UnderWay(c.row.op, heardBefore); }, 8000))
        << "the operation never got going";
    // The first bytes of the reply come at once, the rest only after the gap.
    if (c.reply == Reply::HalfReply)
        QTest::qWait(HalfReplyGapMs / 3);
    EXPECT_TRUE(form->Bus().Busy() || form->Bus().StreamRunning()) << "closed during an operation";
    EXPECT_FALSE(PortOpensAgain(bus.slavePath())) << "the open window holds its port";
    EXPECT_GT(OperationThreadCount(), 0) << "at least the port's polling thread runs";

    const QRect geometry(form->x(), form->y(), form->width(), form->height());
    std::optional<double> lastReceived;
    if (c.row.op == Op::Stream)
        lastReceived = form->TabSheet2->StreamChart().HeightAt(form->TabSheet2->StreamChart().LastX());

    QElapsedTimer clock;
    clock.start();
    form->close();
    form.reset();
    const qint64 closing = clock.elapsed();
    RecordProperty("close_ms", static_cast<int>(closing));
    EXPECT_LT(closing, CloseBoundMs);
    EXPECT_EQ(OperationThreadCount(), 0);
    // Whatever the threads had queued for the window finds it gone.
    QTest::qWait(100);
    EXPECT_TRUE(closer.seen().empty())
        << "closing shows no message: " << closer.seen().front().text.toStdString();
    EXPECT_TRUE(PortOpensAgain(bus.slavePath()));

    IniFile ini(SettingsPaths{work.path(), program.path()}.WorkingFile());
    ini.Load();
    EXPECT_FALSE(ini.ReadBool(settings::MainForm, settings::Maximized, true));
    EXPECT_EQ(QRect(ini.ReadInteger(settings::MainForm, settings::Left, -1),
                    ini.ReadInteger(settings::MainForm, settings::Top, -1),
                    ini.ReadInteger(settings::MainForm, settings::Width, -1),
                    ini.ReadInteger(settings::MainForm, settings::Height, -1)),
              geometry);

    if (c.row.op == Op::Stream) {
        EXPECT_FALSE(QFile::exists(QDir(program.path()).filePath(QStringLiteral("Thread.txt.part"))));
        const auto values = RecordedValues(program.path());
        ASSERT_TRUE(values.has_value());
        ASSERT_GT(values->size(), 150u);
        EXPECT_NEAR(values->front(), firstRecorded_, StreamStep / 100);
        EXPECT_EQ(FirstGap(*values, StreamStep), QString());
        ASSERT_TRUE(lastReceived.has_value());
        EXPECT_NEAR(values->back(), *lastReceived, StreamStep / 100)
            << "the last sample received is recorded";
    }
}

// A termination request (as at the end of the user's session) reaches the window while a modal
// message is open: the window closes under the message, and the message's OK is the last thing
// the user has to do. Nothing that runs after the OK may open the port again or write over what
// the close saved.
class CloseUnderMessage : public BusFormTest {
  protected:
    // Presses button, closes the window as soon as a message box is up, then presses the box's OK.
    // Returns the box's caption and text.
    std::pair<QString, QString> CloseUnderTheMessage(QPushButton* button)
    {
        std::pair<QString, QString> shown;
        bool closedUnderMessage = false;
        bool messageEnded = false;
        QTimer poll;
        QObject::connect(&poll, &QTimer::timeout, [&] {
            auto* const box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            if (!box || !box->isVisible())
                return;
            if (!closedUnderMessage) {
                shown = {box->windowTitle(), box->text()};
                closedUnderMessage = true;
                form->close(); // what the termination request does
                return;
            }
            messageEnded = true;
            box->button(QMessageBox::Ok)->click();
        });
        poll.start(20);
        button->click();
        EXPECT_TRUE(WaitFor([&] { return messageEnded; }, 5000));
        poll.stop();
        return shown;
    }

    void ExpectClosedAndReleased()
    {
        ASSERT_TRUE(WaitIdle());
        EXPECT_FALSE(form->isVisible());
        EXPECT_FALSE(form->CommPortDriver1->Connected()) << "the end of the operation opens no port again";
        EXPECT_TRUE(PortOpensAgain(bus.slavePath()));
        const int width = form->width();

        QElapsedTimer clock;
        clock.start();
        form.reset();
        EXPECT_LT(clock.elapsed(), CloseBoundMs);
        EXPECT_EQ(OperationThreadCount(), 0);
        IniFile ini(SettingsPaths{work.path(), program.path()}.WorkingFile());
        ini.Load();
        EXPECT_EQ(ini.ReadInteger(settings::MainForm, settings::Width, -1), width);
    }
};

// The message comes from the operation's end notice, after its watchdog.
TEST_F(CloseUnderMessage, ATerminationRequestDuringTheTimeoutMessageClosesTheWindowUnderIt)
{
    form->Bus().SetWatchdogTime(400);
    SimFaults faults;
    faults.noAnswer = true;
    bus.setFaults(sensor, faults);
    const auto shown = CloseUnderTheMessage(form->TabSheet1->Button3);
    EXPECT_EQ(shown.second, QStringLiteral("Превышен интервал ожидания ответа от датчика"));
    ExpectClosedAndReleased();
}

// The message comes from the operation's end, which the sensor's refusal brought.
TEST_F(CloseUnderMessage, ATerminationRequestDuringAModbusExceptionMessageClosesTheWindowUnderIt)
{
    SelectModbus();
    SimFaults faults;
    faults.modbusException = 2;
    bus.setFaults(sensor, faults);
    const auto shown = CloseUnderTheMessage(form->TabSheet3->Button10);
    EXPECT_TRUE(shown.first.startsWith(QStringLiteral("Принят код ошибки по протоколу Modbus")))
        << shown.first.toStdString() << " / " << shown.second.toStdString();
    ExpectClosedAndReleased();
}

// The adapter is pulled out while an operation waits for its reply, and the window is closed
// before the watchdog ends the operation.
TEST_F(CloseUnderMessage, ClosingAfterTheAdapterIsPulledOutNeitherHangsNorCrashes)
{
    SimFaults faults;
    faults.noAnswer = true;
    bus.setFaults(sensor, faults);
    ModalCloser closer(form.get());
    form->TabSheet5->Button1->click();
    ASSERT_TRUE(WaitFor([&] { return !Heard().empty(); }));
    bus.vanish();
    QTest::qWait(200);
    ASSERT_TRUE(form->Bus().Busy());
    const int width = form->width();

    QElapsedTimer clock;
    clock.start();
    form->close();
    form.reset();
    EXPECT_LT(clock.elapsed(), CloseBoundMs);
    EXPECT_EQ(OperationThreadCount(), 0);
    QTest::qWait(100);
    EXPECT_TRUE(closer.seen().empty()) << closer.seen().front().text.toStdString();
    IniFile ini(SettingsPaths{work.path(), program.path()}.WorkingFile());
    ini.Load();
    EXPECT_EQ(ini.ReadInteger(settings::MainForm, settings::Width, -1), width);
    QString error;
    ASSERT_TRUE(bus.reappear(&error)) << error.toStdString();
    EXPECT_TRUE(PortOpensAgain(bus.slavePath()));
}

// The built-in demonstration bus lives inside the window: closing during a search on it takes the
// bus down with the window, after the threads that use it.
using CloseOnDemoBus = BusFormTest;

TEST_F(CloseOnDemoBus, ClosingDuringASearchOfTheDemoBusNeitherHangsNorCrashes)
{
    ModalCloser closer(form.get());
    form->CommPortDriver1->Disconnect();
    form->ComboBox2->setCurrentText(DemoPortName);
    form->TabSheet1->Edit1->setText(QStringLiteral("20"));
    form->TabSheet1->Edit2->setText(QStringLiteral("40"));
    form->TabSheet1->Button5->click();
    int passes = 0;
    QObject::connect(&form->Bus(), &TSensorBus::SearchProgress, form.get(),
                     [&](int address, int) { passes += address == 1 ? 1 : 0; });
    ASSERT_TRUE(WaitFor([&] { return passes > 1; }, 8000)) << "a pass or more done";

    QElapsedTimer clock;
    clock.start();
    form->close();
    form.reset();
    EXPECT_LT(clock.elapsed(), CloseBoundMs);
    EXPECT_EQ(OperationThreadCount(), 0);
    QTest::qWait(100);
    EXPECT_TRUE(closer.seen().empty()) << closer.seen().front().text.toStdString();
}

INSTANTIATE_TEST_SUITE_P(EveryOperation, CloseDuringOperation, ::testing::ValuesIn(AllCases()), CaseName);

} // namespace
