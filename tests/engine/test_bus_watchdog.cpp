// The watchdog of the bus's operations and what happens to replies that come after it.
#include "bus/SensorBus.h"
#include "protocol/DeviceUnit.h"
#include "serial/TCommPortDriver.h"
#include "sim/SimBus.h"
#include <QElapsedTimer>
#include <QtCore/qtestsupport_core.h>
#include <gtest/gtest.h>
#include <optional>

namespace {

constexpr int LineSpeed = 115200;
constexpr int WatchdogMs = 400;

class BusWatchdogTest : public ::testing::Test {
  protected:
    void SetUp() override
    {
        SimSensorConfig config;
        config.address = 0x1A;
        config.speed = LineSpeed;
        config.mode = SimMeasureMode::Fixed;
        config.value = 20000;
        sensor = sim.addSensor(config);
        QString error;
        ASSERT_TRUE(sim.start(&error)) << error.toStdString();
        device = bus.Devices().Append("1A", LineSpeed);
        bus.Driver().setComPort(sim.slavePath());
        ASSERT_TRUE(bus.Driver().Connect());
        ASSERT_TRUE(bus.SetLineSpeed(LineSpeed));
        bus.SetWatchdogTime(WatchdogMs);
        QObject::connect(&bus, &TSensorBus::OperationFinished, &bus,
                         [this](TOperationCode, const TOutcome& outcome) { ended = outcome; });
        QObject::connect(&bus, &TSensorBus::SensorReplied, &bus, [this] { ++notes; });
    }

    // Runs an operation to its end; how long it took, with its outcome in ended.
    qint64 Run(TOperationCode code)
    {
        ended.reset();
        QElapsedTimer clock;
        clock.start();
        EXPECT_TRUE(bus.Start(code, device));
        EXPECT_TRUE(QTest::qWaitFor([&] { return ended.has_value(); }, 5000));
        const qint64 ms = clock.elapsed();
        EXPECT_TRUE(QTest::qWaitFor([&] { return !bus.Busy(); }, 1000));
        return ms;
    }

    SimBus sim;
    TSensorBus bus;
    int sensor = -1;
    TDevice* device = nullptr;
    std::optional<TOutcome> ended;
    int notes = 0;
};

TEST_F(BusWatchdogTest, AnUnansweredOperationEndsAtItsWatchdogAndTheDefaultsGetTwiceIt)
{
    SimFaults faults;
    faults.noAnswer = true;
    sim.setFaults(sensor, faults);
    const struct {
        TOperationCode code;
        int factor;
    } cases[] = {{TOperationCode::SwitchOn, 1}, {TOperationCode::ReadParameters, 1}, {TOperationCode::Defaults, 2},
                 {TOperationCode::ReadLatch, 1}};
    for (const auto& c : cases) {
        SCOPED_TRACE(static_cast<int>(c.code));
        const qint64 ms = Run(c.code);
        ASSERT_TRUE(ended);
        EXPECT_EQ(ended->Kind, TOutcomeKind::Timeout);
        EXPECT_GE(ms, c.factor * WatchdogMs);
        EXPECT_LT(ms, c.factor * WatchdogMs + 400);
    }
    EXPECT_EQ(bus.WatchdogTime(), WatchdogMs) << "the defaults' longer watchdog is their own";
}

// The latched result comes 300 ms after the watchdog gave up on it, while the last result is
// awaited: it is no answer to that, leaves no trace and is counted.
TEST_F(BusWatchdogTest, AReplyAfterItsWatchdogIsDroppedAndCounted)
{
    SimFaults faults;
    faults.replyDelayMs = WatchdogMs + 300;
    sim.setFaults(sensor, faults);
    Run(TOperationCode::ReadLatch);
    ASSERT_TRUE(ended);
    EXPECT_EQ(ended->Kind, TOutcomeKind::Timeout);
    sim.setFaults(sensor, SimFaults{});
    const std::uint64_t unmatched = bus.ReceivePath().Unmatched();
    Run(TOperationCode::ReadLastResult);
    ASSERT_TRUE(ended);
    EXPECT_EQ(ended->Kind, TOutcomeKind::Done);
    ASSERT_TRUE(QTest::qWaitFor([&] { return bus.ReceivePath().Unmatched() > unmatched; }, 1000))
        << "the late reply came and was dropped";
    EXPECT_EQ(notes, 1) << "only the last result was shown";
    EXPECT_EQ(device->wdSwitchResult, 0) << "the late latched result was not stored";
}

} // namespace
