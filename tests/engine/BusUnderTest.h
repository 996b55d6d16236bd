#pragma once
// One bus object over one simulated bus on a pseudo-terminal, with what the bus reports: the
// engine as a command line or a script would use it.
#include "bus/SensorBus.h"
#include "protocol/DeviceUnit.h"
#include "serial/TCommPortDriver.h"
#include "sim/SimBus.h"
#include "sim/SimRegisters.h"
#include <QtCore/qtestsupport_core.h>
#include <functional>
#include <optional>
#include <set>
#include <vector>

inline constexpr int CounterWrap = 50000; // a result's full scale, where a counter stream starts again

inline SimSensorConfig Sensor(int address, int speed, const char* model = "VLT", std::int32_t serial = 1)
{
    SimSensorConfig config;
    config.address = address;
    config.speed = speed;
    config.model = model;
    config.serial = serial;
    config.range = 250.0;
    config.distance = 500.0;
    config.mode = SimMeasureMode::Fixed;
    config.value = 20000;
    return config;
}

using TFound = std::set<std::pair<int, int>>; // address, speed

// One bus object over one simulated bus, with what the bus reports.
class TBusUnderTest {
  public:
    explicit TBusUnderTest(const std::vector<SimSensorConfig>& sensors)
    {
        for (const SimSensorConfig& config : sensors)
            sim.addSensor(config);
        QString error;
        started = sim.start(&error);
        QObject::connect(&bus, &TSensorBus::OperationFinished, &bus,
                         [this](TOperationCode, const TOutcome& outcome) { ended = outcome; });
        QObject::connect(&bus, &TSensorBus::SensorReplied, &bus,
                         [this](TDevice*, const TReplyNote& note) { notes.push_back(note); });
        QObject::connect(&bus, &TSensorBus::StreamSamples, &bus, [this](TDevice*, const TSampleBatch& batch) {
            samples.insert(samples.end(), batch.Samples.begin(), batch.Samples.end());
        });
    }

    TSearchParams Search(int range) const
    {
        TSearchParams params;
        params.Port = sim.slavePath();
        // The simulator judges a probe's line speed when it reads it: the pause leaves room for a
        // simulator held back by a loaded machine, so that it reads each probe before the switch.
        params.DelayMs = 30;
        params.Range = range;
        return params;
    }
    bool StartSearch(int range) { return bus.StartSearch(Search(range)); }
    // Waits for the running operation's end and for the bus to take the next one.
    std::optional<TOutcome> End(int ms = 15000)
    {
        if (!QTest::qWaitFor([&] { return ended.has_value(); }, ms))
            return std::nullopt;
        if (!QTest::qWaitFor([&] { return !bus.Busy(); }, 1000))
            return std::nullopt;
        const std::optional<TOutcome> outcome = ended;
        ended.reset();
        return outcome;
    }
    bool Done(const std::function<bool()>& start)
    {
        if (!start())
            return false;
        const std::optional<TOutcome> outcome = End();
        return outcome && outcome->Kind == TOutcomeKind::Done;
    }
    bool Done(TOperationCode code, TDevice* device)
    {
        return Done([&] { return bus.Start(code, device); });
    }
    // A record of the sensor without a search, its parameters read: null when that fails.
    TDevice* ReadSensor(const QByteArray& address, int speed, TProtocol protocol)
    {
        bus.SetProtocol(protocol);
        TDevice* const device = bus.Devices().Append(address, speed);
        bus.Driver().setComPort(sim.slavePath());
        const bool ready = started && bus.SetLineSpeed(speed) && bus.Driver().Connect() &&
                           Done(TOperationCode::ReadParameters, device);
        return ready ? device : nullptr;
    }
    TFound Found() const
    {
        TFound found;
        for (int i = 0; i < bus.Devices().Count(); ++i)
            found.insert({bus.Devices().At(i)->AddressNumber(), bus.Devices().At(i)->ComPortSpeed.load()});
        return found;
    }

    SimBus sim;
    TSensorBus bus;
    bool started = false;
    std::optional<TOutcome> ended;
    std::vector<TReplyNote> notes;
    std::vector<TStreamSample> samples;
};

// A counter sensor at address 5 and the fastest line speed with a result every 0.1 ms, so that
// the line sets the pace; its record made without a search, the port open at its speed.
class TFastStream {
  public:
    TFastStream() : t({Config()})
    {
        t.sim.setRegister(0, SimReg::PeriodLo, 1);
        t.sim.setRegister(0, SimReg::ConstantLo, 1);
        device = t.bus.Devices().Append("05", 921600);
        t.bus.Driver().setComPort(t.sim.slavePath());
        ready = t.started && t.bus.Driver().Connect() && t.bus.SetLineSpeed(921600);
    }
    TBusUnderTest t;
    TDevice* device = nullptr;
    bool ready = false;

  private:
    static SimSensorConfig Config()
    {
        SimSensorConfig config = Sensor(5, 921600);
        config.mode = SimMeasureMode::Counter;
        config.value = 0;
        return config;
    }
};
