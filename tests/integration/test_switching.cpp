#include "BusFormFixture.h"
#include "bus/SensorBus.h"
#include "widgets/RadioGroup.h"
#include <QComboBox>
#include <QPushButton>
#include <QTabWidget>
#include <iostream>

namespace {

const QString Timeout = QStringLiteral("Превышен интервал ожидания ответа от датчика");

TEST_F(BusFormTest, SwitchingButtonsSendTheirCommandAndShowTheEcho)
{
    struct Case {
        QPushButton* TSearchPage::*button;
        QByteArray frame;
        const char* shown;
        bool on;
    };
    const Case cases[] = {
        {&TSearchPage::Button3, "#1AON\r", "  Датчик включён", true},
        {&TSearchPage::Button2, "#1AOF\r", "  Датчик выключен", false},
        {&TSearchPage::Button12, "#1ASU\r", "  Датчик настроен", false},
    };
    for (const Case& c : cases) {
        bus.clearLog();
        form->SetStatusText(0, QStringLiteral("старое"));
        (form->TabSheet1->*c.button)->click();
        EXPECT_TRUE(form->Bus().Busy());
        EXPECT_TRUE(form->ComboBox1->isEnabled()) << "the switching buttons disable nothing";
        EXPECT_TRUE(form->RadioGroup_protocol_obm->isEnabled());
        ASSERT_TRUE(WaitFor([&] { return form->StatusText(0) == QString::fromUtf8(c.shown); })) << c.shown;
        ASSERT_TRUE(WaitIdle());
        EXPECT_EQ(Heard(), std::vector<QByteArray>{c.frame});
        if (c.frame != "#1ASU\r") {
            EXPECT_EQ(bus.status(sensor).on, c.on) << c.frame.constData();
        }
    }
}

TEST_F(BusFormTest, SwitchOnRoundTripAtFullSpeed)
{
    constexpr int Runs = 20;
    qint64 toEcho = 0;
    qint64 toRelease = 0;
    for (int run = 0; run < Runs; ++run) {
        QElapsedTimer clock;
        form->SetStatusText(0, QString());
        clock.start();
        form->TabSheet1->Button3->click();
        ASSERT_TRUE(WaitFor([&] { return !form->StatusText(0).isEmpty(); }, 2000));
        toEcho += clock.nsecsElapsed();
        ASSERT_TRUE(WaitIdle());
        toRelease += clock.nsecsElapsed();
    }
    const double echoMs = double(toEcho) / Runs / 1e6;
    const double releaseMs = double(toRelease) / Runs / 1e6;
    RecordProperty("switch_on_echo_ms", QString::number(echoMs, 'f', 1).toStdString());
    RecordProperty("switch_on_release_ms", QString::number(releaseMs, 'f', 1).toStdString());
    std::cout << "switch-on at 115200 baud, mean of " << Runs << ": launch to echo shown " << echoMs
              << " ms, launch to launcher free " << releaseMs << " ms\n";
    EXPECT_GE(releaseMs, 100.0) << "the launcher is held 100 ms after every operation";
}

TEST_F(BusFormTest, MissingReplyEndsInTheTimeoutMessageAndAUsableWindow)
{
    form->Bus().SetWatchdogTime(600);
    SimFaults faults;
    faults.noAnswer = true;
    bus.setFaults(sensor, faults);
    form->SetStatusText(1, QStringLiteral("занят"));
    form->SetStatusText(2, QStringLiteral("ошибка"));
    ModalCloser closer(form.get());
    form->TabSheet1->Button3->click();
    ASSERT_TRUE(WaitFor([&] { return !closer.seen().empty(); }, 3000));
    ASSERT_TRUE(WaitIdle());
    ASSERT_EQ(closer.seen().size(), 1u);
    EXPECT_EQ(closer.seen()[0].text, Timeout);
    EXPECT_GE(closer.seen()[0].atMs, 600);
    EXPECT_LT(closer.seen()[0].atMs, 1500);
    for (int panel = 0; panel <= 2; ++panel)
        EXPECT_TRUE(form->StatusText(panel).isEmpty()) << "panel " << panel;
    EXPECT_TRUE(form->PageControl1->isEnabled());
    EXPECT_TRUE(form->ComboBox1->isEnabled());
    EXPECT_TRUE(form->RadioGroup_protocol_obm->isEnabled());

    // Usable again: the sensor answers and the next switch-on goes through.
    bus.setFaults(sensor, SimFaults{});
    form->TabSheet1->Button3->click();
    EXPECT_TRUE(WaitFor([&] { return form->StatusText(0) == QStringLiteral("  Датчик включён"); }));
    EXPECT_TRUE(WaitIdle());
    EXPECT_EQ(closer.seen().size(), 1u);
}

TEST_F(BusFormTest, ASecondLaunchWhileOneRunsDoesNothing)
{
    form->Bus().SetWatchdogTime(500);
    SimFaults faults;
    faults.noAnswer = true;
    bus.setFaults(sensor, faults);
    ModalCloser closer(form.get());
    form->TabSheet1->Button3->click();
    ASSERT_TRUE(form->Bus().Busy());
    QTest::qWait(50);
    form->SetStatusText(0, QStringLiteral("старое"));
    form->TabSheet1->Button2->click();
    form->TabSheet5->Button15->click();
    EXPECT_TRUE(form->StatusText(0).isEmpty()) << "the refused button still clears panel 0";
    EXPECT_TRUE(form->PageControl1->isEnabled()) << "a refused save to flash disables nothing";
    EXPECT_TRUE(form->ComboBox1->isEnabled());
    EXPECT_TRUE(form->StatusText(1).isEmpty());
    ASSERT_TRUE(WaitFor([&] { return !closer.seen().empty(); }));
    ASSERT_TRUE(WaitIdle());
    QTest::qWait(100);
    EXPECT_EQ(Heard(), std::vector<QByteArray>{"#1AON\r"});
    EXPECT_EQ(closer.seen().size(), 1u);
}

TEST_F(BusFormTest, SaveToFlashReportsItsEndAndEnablesTheControls)
{
    form->TabSheet5->Button15->click();
    EXPECT_EQ(form->StatusText(1), QStringLiteral("Запись параметров во FLASH..."));
    EXPECT_FALSE(form->PageControl1->isEnabled());
    EXPECT_FALSE(form->ComboBox1->isEnabled());
    EXPECT_FALSE(form->RadioGroup_protocol_obm->isEnabled());
    ASSERT_TRUE(
        WaitFor([&] { return form->StatusText(1) == QStringLiteral("Параметры записаны во FLASH"); }));
    EXPECT_TRUE(form->PageControl1->isEnabled());
    EXPECT_TRUE(form->ComboBox1->isEnabled());
    EXPECT_TRUE(form->RadioGroup_protocol_obm->isEnabled());
    EXPECT_TRUE(WaitIdle());
    EXPECT_EQ(Heard(), std::vector<QByteArray>{"#1AFL\r"});
}

TEST_F(BusFormTest, SaveToFlashWithoutAnEchoTimesOutAndEnablesTheControls)
{
    form->Bus().SetWatchdogTime(400);
    SimFaults faults;
    faults.noAnswer = true;
    bus.setFaults(sensor, faults);
    ModalCloser closer(form.get());
    form->TabSheet5->Button15->click();
    ASSERT_TRUE(WaitFor([&] { return !closer.seen().empty(); }));
    ASSERT_TRUE(WaitIdle());
    EXPECT_EQ(closer.seen()[0].text, Timeout);
    EXPECT_TRUE(form->StatusText(1).isEmpty()) << form->StatusText(1).toStdString();
    EXPECT_TRUE(form->PageControl1->isEnabled());
    EXPECT_TRUE(form->ComboBox1->isEnabled());
    EXPECT_TRUE(form->RadioGroup_protocol_obm->isEnabled());
}

TEST_F(BusFormTest, SaveToFlashForAnEntryWithoutRecordLeavesNothingDisabled)
{
    form->AddAddressItem(QStringLiteral("27"));
    form->ComboBox1->setCurrentText(QStringLiteral("27"));
    ASSERT_EQ(form->ComboBox1->currentText(), QStringLiteral("27"));
    ModalCloser closer(form.get());
    form->TabSheet5->Button15->click();
    ASSERT_TRUE(WaitIdle(1000)) << "ends at once, not by the watchdog";
    EXPECT_TRUE(form->PageControl1->isEnabled());
    EXPECT_TRUE(form->ComboBox1->isEnabled());
    EXPECT_TRUE(form->RadioGroup_protocol_obm->isEnabled());
    EXPECT_TRUE(form->StatusText(1).isEmpty());
    EXPECT_TRUE(Heard().empty());
    EXPECT_TRUE(closer.seen().empty());
}

TEST_F(BusFormTest, WithAnEmptyAddressBoxTheButtonsSendNothing)
{
    form->ComboBox1->clear();
    form->SetStatusText(0, QStringLiteral("старое"));
    for (QPushButton* button : {form->TabSheet1->Button3, form->TabSheet1->Button2, form->TabSheet1->Button12,
                                form->TabSheet5->Button15, form->TabSheet3->Button9,
                                form->TabSheet3->Button10, form->TabSheet3->Button11}) {
        button->click();
        EXPECT_FALSE(form->Bus().Busy()) << button->objectName().toStdString();
    }
    EXPECT_TRUE(form->StatusText(0).isEmpty());
    EXPECT_TRUE(form->PageControl1->isEnabled());
    QTest::qWait(100);
    EXPECT_TRUE(Heard().empty());
}

} // namespace
