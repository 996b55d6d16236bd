#include "BusFormFixture.h"
#include "CloseChecks.h"
#include "SpawnedProgram.h"
#include "app/SingleInstance.h"
#include "bus/SensorBus.h"
#include "pages/StreamChart.h"
#include "serial/TCommPortDriver.h"
#include "sim/SimRegisters.h"
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QProcessEnvironment>
#include <QPushButton>
#include <QTabWidget>
#include <QTreeWidget>

namespace {

// The test's window is the first instance, set up as the program sets up its own: it holds the
// instance lock in a runtime folder of its own and brings itself to the front when asked. The
// second is the real program, started in the first's working folder, where its Settings.ini lies.
class SecondStartTest : public BusFormTest {
  protected:
    void SetUp() override
    {
        BusFormTest::SetUp();
        if (HasFatalFailure())
            return;
        ASSERT_TRUE(runtime.isValid());
        QFile::setPermissions(runtime.path(),
                              QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
        savedRuntime_ = qgetenv("XDG_RUNTIME_DIR");
        hadRuntime_ = qEnvironmentVariableIsSet("XDG_RUNTIME_DIR");
        qputenv("XDG_RUNTIME_DIR", runtime.path().toLocal8Bit());
        instance = std::make_unique<SingleInstance>(QStringLiteral("Veltrano"));
        ASSERT_EQ(instance->Acquire(), SingleInstance::Outcome::First) << instance->ErrorText().toStdString();
        QObject::connect(instance.get(), &SingleInstance::ActivationRequested, form.get(), [this] {
            activationsDuringOperation += form->Bus().Busy() || form->Bus().StreamRunning() ? 1 : 0;
            ++activations;
            form->BringToFront();
        });
    }

    void TearDown() override
    {
        instance.reset();
        if (hadRuntime_)
            qputenv("XDG_RUNTIME_DIR", savedRuntime_);
        else
            qunsetenv("XDG_RUNTIME_DIR");
        BusFormTest::TearDown();
    }

    // Starts the program a second time, in the first's working folder and runtime folder.
    std::unique_ptr<SpawnedProgram> StartSecond()
    {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        env.insert(QStringLiteral("XDG_RUNTIME_DIR"), runtime.path());
        env.insert(QStringLiteral("QT_LOGGING_RULES"), QStringLiteral("veltrano.app.info=true"));
        env.remove(QStringLiteral("VELTRANO_SCREENSHOTS"));
        auto second = std::make_unique<SpawnedProgram>(QStringLiteral(VELTRANO_EXE), env, work.path());
        EXPECT_TRUE(second->Started());
        return second;
    }

    // Starts the program a second time and waits, serving the first's events all along, until it
    // has ended; its error output goes to *log.
    bool RunSecond(int* exitCode, QByteArray* log)
    {
        const auto second = StartSecond();
        if (!second->Started() || !WaitFor([&] { return second->Ended(); }, 10000))
            return false;
        *exitCode = second->ExitCode();
        *log = second->ErrorOutput();
        return true;
    }

    QByteArray SettingsBytes() const
    {
        QFile file(QDir(work.path()).filePath(QStringLiteral("Settings.ini")));
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("(none)");
    }

    QTemporaryDir runtime;
    std::unique_ptr<SingleInstance> instance;
    int activations = 0;
    int activationsDuringOperation = 0;

  private:
    QByteArray savedRuntime_;
    bool hadRuntime_ = false;
};

TEST_F(SecondStartTest, SecondStartsDuringABusSearchLeaveTheSearchToTheFirst)
{
    for (int address = 1; address <= 3; ++address) {
        SimSensorConfig config;
        config.address = address;
        config.speed = 9600;
        config.model = "VLT";
        ASSERT_GE(bus.addSensor(config), 0);
    }
    form->ComboBox2->setCurrentText(bus.slavePath());
    // Long probes keep the search going while two more starts come and go.
    form->TabSheet1->Edit1->setText(QStringLiteral("150"));
    form->TabSheet1->Edit2->setText(QStringLiteral("3"));
    bus.clearLog();
    form->TabSheet1->Button5->click();
    ASSERT_TRUE(WaitFor([&] { return form->Bus().ReceivePath().Searching(); }));
    const QByteArray settings = SettingsBytes();
    ASSERT_NE(settings, QByteArray("(none)"));
    // The user has put the window away meanwhile; a second start brings it back.
    form->setWindowState(form->windowState() | Qt::WindowMinimized);

    for (int start = 1; start <= 2; ++start) {
        SCOPED_TRACE(start);
        int exitCode = -2;
        QByteArray log;
        ASSERT_TRUE(RunSecond(&exitCode, &log)) << "the second start did not end";
        EXPECT_EQ(exitCode, 0) << log.constData();
        EXPECT_FALSE(log.contains("window exposed")) << "the second start opened no window";
        ASSERT_TRUE(WaitFor([&] { return activations == start; }));
        EXPECT_FALSE(form->windowState() & Qt::WindowMinimized);
        EXPECT_TRUE(form->isVisible());
        EXPECT_EQ(SettingsBytes(), settings) << "the second start wrote no settings";
        EXPECT_TRUE(form->CommPortDriver1->Connected());
    }
    EXPECT_EQ(activationsDuringOperation, 2) << "both starts came during the search";

    ASSERT_TRUE(WaitFor([&] { return form->StatusText(1) == QStringLiteral("Поиск завершён"); }, 20000));
    ASSERT_TRUE(WaitIdle());
    EXPECT_EQ(form->TabSheet1->ListView1->topLevelItemCount(), 3);
    ASSERT_EQ(form->ComboBox1->count(), 3);
    for (int i = 0; i < 3; ++i)
        EXPECT_EQ(form->ComboBox1->itemText(i), QString::number(i + 1));
    // Every probe and identification the search sent, and nothing from anyone else.
    EXPECT_EQ(Heard().size(), 8u * 3u + 3u);
    EXPECT_TRUE(form->CommPortDriver1->Connected());
    EXPECT_FALSE(PortOpensAgain(bus.slavePath())) << "the port is still the first's alone";
}

TEST_F(SecondStartTest, SecondStartDuringARecordedStreamLosesNoSample)
{
    constexpr double step = 1.0 / 200;
    bus.setRegister(sensor, SimReg::ConstantLo, 1);
    bus.setMeasurement(sensor, SimMeasureMode::Counter, 1000);
    form->PageControl1->setCurrentWidget(form->TabSheet2);
    form->TabSheet2->LabeledEdit_RecordThrd->setText(QStringLiteral("1"));
    form->TabSheet2->Button6->click();
    ASSERT_TRUE(WaitFor([&] { return form->StatusText(1) == QStringLiteral("Поток запущен"); }));
    ASSERT_TRUE(WaitIdle());
    TStreamChart& chart = form->TabSheet2->StreamChart();
    ASSERT_TRUE(WaitFor([&] { return !chart.Empty(); }));
    const double firstRecorded = *chart.HeightAt(chart.LastX()) + step;
    form->TabSheet2->CheckBox_RecordThrd->click();
    ASSERT_TRUE(WaitFor([&] { return chart.Count() > 100; }));
    const QByteArray settings = SettingsBytes();

    int exitCode = -2;
    QByteArray log;
    ASSERT_TRUE(RunSecond(&exitCode, &log)) << "the second start did not end";
    EXPECT_EQ(exitCode, 0) << log.constData();
    EXPECT_FALSE(log.contains("window exposed"));
    ASSERT_TRUE(WaitFor([&] { return activations == 1; }));
    EXPECT_EQ(activationsDuringOperation, 1);
    EXPECT_EQ(SettingsBytes(), settings);
    EXPECT_TRUE(form->Bus().StreamRunning());

    const int afterSecond = chart.Count();
    // Enough after the second start alone to give the recording its 300 samples, however quick
    // the second start was.
    ASSERT_TRUE(WaitFor([&] { return chart.Count() > afterSecond + 350; }, 8000)) << "the stream went on";
    const double lastRecorded = *chart.HeightAt(chart.LastX());
    form->TabSheet2->CheckBox_RecordThrd->click();
    ASSERT_EQ(form->StatusText(2), QStringLiteral("Запись потока завершена"));
    form->TabSheet2->Button7->click();
    ASSERT_TRUE(WaitFor([&] { return form->StatusText(1) == QStringLiteral("Поток остановлен"); }, 6000));

    const auto values = RecordedValues(program.path());
    ASSERT_TRUE(values.has_value());
    ASSERT_GT(values->size(), 300u);
    EXPECT_NEAR(values->front(), firstRecorded, step / 100);
    EXPECT_NEAR(values->back(), lastRecorded, step / 100);
    EXPECT_EQ(FirstGap(*values, step), QString());
}

TEST_F(SecondStartTest, ASecondStartWhileTheFirstServesNoEventsEndsOnItsOwnAndIsHeardLater)
{
    // The first's main thread is held up (a long main-thread step): the second cannot be
    // answered, yet must not wait for it.
    const auto second = StartSecond();
    QElapsedTimer clock;
    clock.start();
    ASSERT_TRUE(second->WaitEnded(10000));
    EXPECT_LT(clock.elapsed(), 6000);
    EXPECT_EQ(second->ExitCode(), 0);
    EXPECT_FALSE(second->ErrorOutput().contains("window exposed"));
    EXPECT_EQ(activations, 0);
    // Its request waited in the socket: once the first serves events again it comes to the front.
    EXPECT_TRUE(WaitFor([&] { return activations == 1; }));
}

} // namespace
