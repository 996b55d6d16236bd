// The engine alone, in a QCoreApplication without any widget: bus objects over the real driver
// and simulated buses on pseudo-terminals, as a command line or a script would use them.
#include "BusUnderTest.h"
#include "bus/SensorBus.h"
#include "protocol/DeviceUnit.h"
#include "protocol/RegisterMap.h"
#include "serial/TCommPortDriver.h"
#include "sim/SimBus.h"
#include "sim/SimRegisters.h"
#include <QCoreApplication>
#include <QThread>
#include <QtCore/qtestsupport_core.h>
#include <array>
#include <functional>
#include <gtest/gtest.h>
#include <optional>
#include <set>

namespace {

// The plan a write of image sends to a sensor that keeps its address and speed.
TWritePlan PlanOf(const TParamImage& image, const TDevice& device, TProtocol protocol)
{
    return WritePlanOfImage(image, device.AddressNumber(), device.ComPortSpeed.load(), protocol, false);
}

void Set(TParamImage& image, TParam param, std::uint16_t value)
{
    image[static_cast<std::size_t>(param)] = value;
}

class EngineBusTest : public ::testing::TestWithParam<TProtocol> {};

TEST_P(EngineBusTest, EveryOperationRunsWithoutTheWindow)
{
    const TProtocol protocol = GetParam();
    TBusUnderTest t({Sensor(2, 115200, "VLT-A", 1234), Sensor(3, 921600, "VLT-B", 5678)});
    ASSERT_TRUE(t.started);
    t.bus.SetProtocol(protocol);

    // Search and identification.
    ASSERT_TRUE(t.Done([&] { return t.StartSearch(3); }));
    EXPECT_EQ(t.Found(), (TFound{{2, 115200}, {3, 921600}}));
    TDevice* const a = t.bus.Devices().FindByNumber(2);
    ASSERT_NE(a, nullptr);
    EXPECT_EQ(a->Model.trimmed(), QByteArray("VLT-A"));
    EXPECT_EQ(a->SerialNumber, 1234);
    EXPECT_DOUBLE_EQ(a->ID_D, 250.0);
    EXPECT_DOUBLE_EQ(a->ID_M, 500.0);

    // Read, write changed values, read back.
    ASSERT_TRUE(t.bus.SetLineSpeed(a->ComPortSpeed.load()));
    ASSERT_TRUE(t.Done(TOperationCode::ReadParameters, a));
    EXPECT_EQ(RawOf(TParam::Constant, *a), t.sim.registers(0).pair(SimReg::ConstantLo));
    EXPECT_EQ(RawOf(TParam::Uart, *a), simCodeOfSpeed(115200));
    TParamImage written = ImageOf(*a);
    Set(written, TParam::Constant, 1234);
    Set(written, TParam::MiddlePoint, 9);
    Set(written, TParam::AnalogExit, 1 - RawOf(TParam::AnalogExit, *a));
    Set(written, TParam::Correction, 300);
    Set(written, TParam::CorrectionSign, 1);
    ASSERT_TRUE(t.Done([&] { return t.bus.StartWrite(a, PlanOf(written, *a, protocol)); }));
    a->Nt_Lo = a->Nt_Hi = 0;
    a->MiddlePoint = 0;
    ASSERT_TRUE(t.Done(TOperationCode::ReadParameters, a));
    EXPECT_EQ(ImageOf(*a), written);
    EXPECT_EQ(t.sim.registers(0).pair(SimReg::ConstantLo), 1234);
    EXPECT_EQ(t.sim.registers(0).pair(SimReg::CorrectionLo), 300);

    // Latch, then the latched and the last result.
    ASSERT_TRUE(t.Done(TOperationCode::Latch, a));
    ASSERT_TRUE(t.Done(TOperationCode::ReadLatch, a));
    ASSERT_TRUE(t.Done(TOperationCode::ReadLastResult, a));
    ASSERT_EQ(t.notes.size(), 3u);
    EXPECT_EQ(t.notes[0].Event, TReplyEvent::Latched);
    EXPECT_EQ(t.notes[1].Event, TReplyEvent::LatchedResultRead);
    EXPECT_EQ(t.notes[1].Result.Raw, 20000);
    EXPECT_EQ(t.notes[2].Event, TReplyEvent::LastResultRead);
    EXPECT_EQ(a->wdLastResult, 20000);
    EXPECT_EQ(t.sim.status(0).latched, 20000);
}

// A verified write reads every register back: equal, it is done and verified; a register the
// sensor did not take makes it differ in exactly that parameter.
TEST_P(EngineBusTest, AVerifiedWriteNamesWhatTheSensorDidNotTake)
{
    const TProtocol protocol = GetParam();
    TBusUnderTest t({Sensor(2, 115200)});
    TDevice* const a = t.ReadSensor("02", 115200, protocol);
    ASSERT_NE(a, nullptr);

    TParamImage written = ImageOf(*a);
    Set(written, TParam::MiddlePoint, 9);
    TWritePlan plan = PlanOf(written, *a, protocol);
    plan.Verify = written;
    ASSERT_TRUE(t.bus.StartWrite(a, plan));
    std::optional<TOutcome> outcome = t.End();
    ASSERT_TRUE(outcome);
    EXPECT_EQ(outcome->Kind, TOutcomeKind::Done);
    EXPECT_TRUE(outcome->Verified);
    EXPECT_TRUE(outcome->Differing.empty());

    SimFaults worn;
    worn.stuckRegister = SimReg::ConstantLo;
    t.sim.setFaults(0, worn);
    Set(written, TParam::Constant, RawOf(TParam::Constant, *a) + 7);
    Set(written, TParam::MiddlePoint, 11);
    plan = PlanOf(written, *a, protocol);
    plan.Verify = written;
    ASSERT_TRUE(t.bus.StartWrite(a, plan));
    outcome = t.End();
    ASSERT_TRUE(outcome);
    EXPECT_EQ(outcome->Kind, TOutcomeKind::Differs);
    EXPECT_EQ(outcome->Differing, std::vector<TParam>{TParam::Constant});
    EXPECT_EQ(RawOf(TParam::MiddlePoint, *a), 11) << "the record holds what was read back";
}

// A stop asked for while a write runs lets the register at hand finish and sends no more: the
// outcome counts what the sensor took, and the sensor holds exactly that.
TEST_P(EngineBusTest, AStoppedWriteEndsAfterTheRegisterAtHand)
{
    const TProtocol protocol = GetParam();
    TBusUnderTest t({Sensor(2, 115200)});
    TDevice* const a = t.ReadSensor("02", 115200, protocol);
    ASSERT_NE(a, nullptr);
    const TParamImage before = ImageOf(*a);

    TParamImage written = before;
    Set(written, TParam::GaugeOnOff, 1 - RawOf(TParam::GaugeOnOff, *a)); // register 02
    Set(written, TParam::MiddlePoint, 9);                                // far behind it
    // Standard: stopped while the third register is written; Modbus: while the flag register is.
    const int stopAt = protocol == TProtocol::Modbus ? 1 : 3;
    int sent = 0;
    QObject::connect(&t.bus, &TSensorBus::RequestSent, &t.bus, [&] {
        if (++sent == stopAt)
            t.bus.StopWriteAfterCurrentRegister();
    });
    ASSERT_TRUE(t.bus.StartWrite(a, WritePlanOfImage(written, 2, 115200, protocol, true)));
    const std::optional<TOutcome> outcome = t.End();
    ASSERT_TRUE(outcome);
    EXPECT_EQ(outcome->Kind, TOutcomeKind::Stopped);
    EXPECT_EQ(outcome->Written, stopAt);
    EXPECT_EQ(sent, stopAt) << "nothing is sent after the register at hand";
    EXPECT_FALSE(outcome->Verified);

    ASSERT_TRUE(t.Done(TOperationCode::ReadParameters, a));
    EXPECT_EQ(RawOf(TParam::MiddlePoint, *a), before[static_cast<std::size_t>(TParam::MiddlePoint)]);
    // The standard write has taken registers 01..03, the Modbus one the flag register: both hold
    // the switch.
    EXPECT_EQ(RawOf(TParam::GaugeOnOff, *a), written[static_cast<std::size_t>(TParam::GaugeOnOff)]);
}

// One set written to three sensors on three speeds, each read back; a sensor that falls silent is
// reported and the next still gets its turn; a stop after the current sensor leaves the rest.
TEST_P(EngineBusTest, ACloneSetsEverySensorAndKeepsItsAddress)
{
    const TProtocol protocol = GetParam();
    TBusUnderTest t({Sensor(2, 115200), Sensor(5, 9600), Sensor(7, 921600)});
    ASSERT_TRUE(t.started);
    t.bus.SetProtocol(protocol);
    ASSERT_TRUE(t.Done([&] { return t.StartSearch(7); }));
    std::vector<TDevice*> sensors;
    for (const int address : {2, 5, 7})
        sensors.push_back(t.bus.Devices().FindByNumber(address));
    ASSERT_TRUE(t.Done([&] { return t.bus.StartReadSeveral(sensors, sensors[0]); }));
    EXPECT_EQ(RawOf(TParam::Uart, *sensors[1]), simCodeOfSpeed(9600));

    std::vector<std::pair<int, TOutcome>> reported;
    QObject::connect(
        &t.bus, &TSensorBus::TargetFinished, &t.bus,
        [&](int index, TDevice*, const TOutcome& outcome) { reported.emplace_back(index, outcome); });
    const auto planFor = [&](TDevice& device, std::uint16_t points) {
        TParamImage image = ImageOf(*sensors[0]);
        Set(image, TParam::MiddlePoint, points);
        // Each keeps its own address and speed.
        Set(image, TParam::Address, static_cast<std::uint16_t>(device.AddressNumber()));
        Set(image, TParam::Uart, RawOf(TParam::Uart, device));
        TWritePlan plan = PlanOf(image, device, protocol);
        plan.Verify = image;
        return plan;
    };
    const auto cloneAll = [&](std::uint16_t points) {
        std::vector<TWritePlan> plans;
        for (TDevice* const device : sensors)
            plans.push_back(planFor(*device, points));
        reported.clear();
        return t.Done([&] { return t.bus.StartClone(sensors, plans, sensors[0]); });
    };
    ASSERT_TRUE(cloneAll(13));
    ASSERT_EQ(reported.size(), 3u);
    const std::array<int, 3> addresses{2, 5, 7};
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(reported[static_cast<std::size_t>(i)].first, i);
        EXPECT_EQ(reported[static_cast<std::size_t>(i)].second.Kind, TOutcomeKind::Done);
        EXPECT_TRUE(reported[static_cast<std::size_t>(i)].second.Verified);
        EXPECT_EQ(t.sim.registers(i).get(SimReg::AveragePoints), 13);
        EXPECT_EQ(t.sim.status(i).address, addresses[static_cast<std::size_t>(i)]);
    }

    SimFaults silent;
    silent.noAnswer = true;
    t.sim.setFaults(1, silent);
    const int watchdog = t.bus.WatchdogTime();
    t.bus.SetWatchdogTime(500);
    ASSERT_TRUE(cloneAll(15));
    ASSERT_EQ(reported.size(), 3u);
    EXPECT_EQ(reported[1].second.Kind, TOutcomeKind::Timeout);
    EXPECT_EQ(reported[2].second.Kind, TOutcomeKind::Done);
    EXPECT_EQ(t.sim.registers(2).get(SimReg::AveragePoints), 15);

    t.sim.setFaults(1, SimFaults{});
    std::vector<TWritePlan> plans;
    for (TDevice* const device : sensors)
        plans.push_back(planFor(*device, 17));
    reported.clear();
    ASSERT_TRUE(t.Done([&] {
        const bool started = t.bus.StartClone(sensors, plans, sensors[0]);
        t.bus.StopCloneAfterCurrent();
        return started;
    }));
    EXPECT_EQ(reported.size(), 1u);
    EXPECT_EQ(t.sim.registers(0).get(SimReg::AveragePoints), 17);
    EXPECT_EQ(t.sim.registers(1).get(SimReg::AveragePoints), 13) << "untouched after the stop";

    // New addresses in a row, and the slowest sensor at the first one's speed: the sensors and
    // their records follow.
    t.bus.SetWatchdogTime(watchdog);
    plans.clear();
    for (std::size_t i = 0; i < sensors.size(); ++i) {
        const int speed = i == 1 ? 115200 : sensors[i]->ComPortSpeed.load();
        TParamImage image = ImageOf(*sensors[0]);
        Set(image, TParam::Address, static_cast<std::uint16_t>(20 + i));
        Set(image, TParam::Uart, static_cast<std::uint16_t>(simCodeOfSpeed(speed)));
        plans.push_back(WritePlanOfImage(image, 20 + static_cast<int>(i), speed, protocol, true));
    }
    reported.clear();
    ASSERT_TRUE(t.Done([&] { return t.bus.StartClone(sensors, plans, sensors[0]); }));
    ASSERT_EQ(reported.size(), 3u);
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(reported[static_cast<std::size_t>(i)].second.Kind, TOutcomeKind::Done) << i;
        EXPECT_EQ(t.sim.status(i).address, 20 + i);
        EXPECT_EQ(t.sim.status(i).speed, i == 2 ? 921600 : 115200);
        EXPECT_EQ(sensors[static_cast<std::size_t>(i)]->AddressNumber(), 20 + i);
        EXPECT_EQ(sensors[static_cast<std::size_t>(i)]->ComPortSpeed.load(), i == 2 ? 921600 : 115200);
    }
}

// Ten seconds of a counter stream at the fastest line speed, a sample every 0.1 ms: every sample
// arrives, in order, none doubled.
TEST(EngineStreamTest, TenSecondsAtTheFastestSpeedLoseNothing)
{
    TFastStream s;
    ASSERT_TRUE(s.ready);
    TBusUnderTest& t = s.t;
    TDevice* const device = s.device;

    ASSERT_TRUE(t.Done(TOperationCode::StartStream, device));
    EXPECT_TRUE(t.bus.StreamRunning());
    EXPECT_FALSE(t.bus.Start(TOperationCode::ReadLatch, device)) << "the stream holds the line";
    QTest::qWait(10000);
    ASSERT_TRUE(t.Done(TOperationCode::StopStream, device));
    ASSERT_TRUE(QTest::qWaitFor([&] { return !device->threadResultIsExec; }, 2000)) << "no stop echo";
    t.bus.StreamEnded();

    const std::uint64_t sent = t.sim.status(0).samplesSent;
    EXPECT_GT(sent, 80000u);
    ASSERT_EQ(t.samples.size(), sent);
    for (std::size_t k = 0; k < t.samples.size(); ++k) {
        ASSERT_TRUE(t.samples[k].Valid) << k;
        ASSERT_EQ(t.samples[k].Value, static_cast<int>(k % CounterWrap)) << k;
    }
}

// Two ports searched at the same time in one process: each bus finds exactly its own sensors.
TEST(EngineTwoBusesTest, SearchedAtOnceEachFindsItsOwnSensors)
{
    TBusUnderTest first({Sensor(1, 9600), Sensor(4, 230400)});
    TBusUnderTest second({Sensor(2, 57600), Sensor(3, 921600), Sensor(1, 115200)});
    ASSERT_TRUE(first.started && second.started);
    second.bus.SetProtocol(TProtocol::Modbus);
    // Two buses and two simulators share the cores with the other tests: a pause long enough that
    // a simulator held up for a while still reads each probe before its line moves to the next speed.
    const auto search = [](const TBusUnderTest& t) {
        TSearchParams params = t.Search(4);
        params.DelayMs = 60;
        return params;
    };
    ASSERT_TRUE(first.bus.StartSearch(search(first)));
    ASSERT_TRUE(second.bus.StartSearch(search(second)));
    const std::optional<TOutcome> one = first.End();
    const std::optional<TOutcome> two = second.End();
    ASSERT_TRUE(one && two);
    EXPECT_EQ(one->Kind, TOutcomeKind::Done);
    EXPECT_EQ(two->Kind, TOutcomeKind::Done);
    EXPECT_EQ(first.Found(), (TFound{{1, 9600}, {4, 230400}}));
    EXPECT_EQ(second.Found(), (TFound{{2, 57600}, {3, 921600}, {1, 115200}}));
}

// The thread the bus reports on stops for 200 ms after every chunk a probe pass brings: the
// answers are handled long after the line has moved on to other speeds, yet each sensor is
// recorded at the speed it answered at.
TEST(EngineSearchTest, AnswersHandledLateKeepTheSpeedTheyArrivedAt)
{
    TBusUnderTest t(
        {Sensor(1, 9600), Sensor(2, 57600), Sensor(3, 460800), Sensor(5, 115200), Sensor(4, 921600)});
    ASSERT_TRUE(t.started);
    int stalls = 0;
    QObject::connect(&t.bus, &TSensorBus::ChunkReceived, &t.bus, [&] {
        if (t.bus.ReceivePath().Searching()) {
            ++stalls;
            QThread::msleep(200);
        }
    });
    ASSERT_TRUE(t.Done([&] { return t.StartSearch(5); }));
    EXPECT_GE(stalls, 5);
    EXPECT_EQ(t.Found(), (TFound{{1, 9600}, {2, 57600}, {3, 460800}, {5, 115200}, {4, 921600}}));
    EXPECT_EQ(t.bus.Devices().FindByNumber(3)->Model.trimmed(), QByteArray("VLT")) << "identified";
}

// A search can be narrowed to a span of addresses and some line speeds: nothing else is probed.
TEST(EngineSearchTest, ProbesOnlyTheAddressesAndSpeedsAskedFor)
{
    TBusUnderTest t({Sensor(5, 9600), Sensor(5, 115200), Sensor(6, 115200), Sensor(4, 921600)});
    ASSERT_TRUE(t.started);
    TSearchParams params = t.Search(5);
    // One probe a pass: its answer has a pause long enough for a simulator held back by load.
    params.DelayMs = 50;
    params.First = 5;
    params.Speeds = {115200, 921600};
    ASSERT_TRUE(t.Done([&] { return t.bus.StartSearch(params); }));
    EXPECT_EQ(t.Found(), (TFound{{5, 115200}}));
    for (const SimFrameRecord& frame : t.sim.frames())
        EXPECT_TRUE(frame.speed == 115200 || frame.speed == 921600) << frame.speed;

    params.Speeds = {12345};
    EXPECT_FALSE(t.bus.StartSearch(params)) << "no such line speed";
    params.Speeds = {};
    params.First = 6;
    EXPECT_FALSE(t.bus.StartSearch(params)) << "an empty span";
}

INSTANTIATE_TEST_SUITE_P(BothProtocols, EngineBusTest,
                         ::testing::Values(TProtocol::Standard, TProtocol::Modbus),
                         [](const ::testing::TestParamInfo<TProtocol>& protocol) {
                             return std::string(protocol.param == TProtocol::Modbus ? "Modbus" : "Standard");
                         });

} // namespace
