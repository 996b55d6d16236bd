#include "BusFormFixture.h"
#include "bus/SensorBus.h"
#include <QPushButton>
#include <QTableWidget>
#include <QTimer>

namespace {

const QString SensorOn = QStringLiteral("  Датчик включён");

TEST_F(BusFormTest, GarbageBeforeTheReplyIsDropped)
{
    SimFaults faults;
    faults.garbage = QByteArray("\x05zz?\x7f", 5);
    bus.setFaults(sensor, faults);
    ModalCloser closer(form.get());
    form->TabSheet1->Button3->click();
    ASSERT_TRUE(WaitFor([&] { return form->StatusText(0) == SensorOn; }));
    EXPECT_TRUE(WaitIdle());
    EXPECT_TRUE(Unused().isEmpty());
    EXPECT_TRUE(closer.seen().empty());
}

TEST_F(BusFormTest, AReplyInTwoChunksIsHandledOnce)
{
    // The gap is longer than the driver's polling delay, so the halves arrive as two chunks.
    SimFaults faults;
    faults.splitAt = 3;
    faults.splitGapMs = 80;
    bus.setFaults(sensor, faults);
    ModalCloser closer(form.get());
    form->TabSheet3->Button9->click();
    ASSERT_TRUE(WaitFor([&] { return form->TabSheet3->CountRowTable > 0; }));
    ASSERT_TRUE(WaitIdle());
    QTest::qWait(100);
    EXPECT_EQ(form->TabSheet3->CountRowTable, 1);
    EXPECT_EQ(form->TabSheet3->StringGrid1->rowCount(), 1);
    EXPECT_EQ(form->StatusText(1), QStringLiteral("Результат защёлкнут"));
    EXPECT_TRUE(Unused().isEmpty());
    EXPECT_TRUE(closer.seen().empty());
}

TEST_F(BusFormTest, AReplyForAnUnknownAddressIsIgnored)
{
    // A reply of sensor 0x77, of which there is no record, comes first; the real echo would
    // follow long after the watchdog.
    form->Bus().SetWatchdogTime(600);
    SimFaults faults;
    faults.garbage = "!77ON\r";
    faults.splitAt = 6;
    faults.splitGapMs = 5000;
    bus.setFaults(sensor, faults);
    ModalCloser closer(form.get());
    form->TabSheet1->Button3->click();
    ASSERT_TRUE(WaitFor([&] { return !closer.seen().empty(); }));
    EXPECT_EQ(closer.seen()[0].text, QStringLiteral("Превышен интервал ожидания ответа от датчика"));
    EXPECT_TRUE(closer.seen()[0].panel0.isEmpty()) << "the foreign echo was not taken";
    EXPECT_TRUE(WaitIdle());
}

TEST_F(BusFormTest, ModbusFrameWithAWrongCrcReportsAReceptionErrorThatClearsItself)
{
    SelectModbus();
    form->Bus().SetWatchdogTime(500);
    SimFaults faults;
    faults.badCrc = true;
    bus.setFaults(sensor, faults);
    ModalCloser closer(form.get());
    QElapsedTimer clock;
    clock.start();
    form->TabSheet1->Button3->click();
    // The watchdog ends the operation first; the frame timeout runs on.
    ASSERT_TRUE(WaitFor([&] { return !closer.seen().empty(); }));
    ASSERT_TRUE(WaitIdle());
    EXPECT_TRUE(form->StatusText(0).isEmpty());
    EXPECT_TRUE(form->Bus().FrameTimeoutRunning());

    const QString frameError = QStringLiteral("Ошибка приёма данных");
    ASSERT_TRUE(WaitFor([&] { return form->StatusText(2) == frameError; }, 4000));
    const qint64 shownAt = clock.elapsed();
    EXPECT_GE(shownAt, 3000);
    EXPECT_LT(shownAt, 3600);
    EXPECT_TRUE(Unused().isEmpty());
    EXPECT_FALSE(form->Bus().FrameTimeoutRunning());
    EXPECT_TRUE(form->Timer3->isActive());

    ASSERT_TRUE(WaitFor([&] { return form->StatusText(2).isEmpty(); }, 6000));
    EXPECT_GE(clock.elapsed() - shownAt, 4900);
    EXPECT_LT(clock.elapsed() - shownAt, 5600);
    EXPECT_FALSE(form->Timer3->isActive());
    EXPECT_EQ(Heard(), std::vector<QByteArray>{QByteArray::fromHex("1a0600bc4f4effc1")});
}

TEST_F(BusFormTest, ModbusSwitchOnShowsTheEcho)
{
    SelectModbus();
    form->TabSheet1->Button3->click();
    ASSERT_TRUE(WaitFor([&] { return form->StatusText(0) == SensorOn; }));
    EXPECT_TRUE(WaitIdle());
    EXPECT_FALSE(form->Bus().FrameTimeoutRunning());
}

} // namespace
