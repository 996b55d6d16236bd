// veltrano-sim: a simulated sensor bus on a pseudo-terminal, for trying the program without hardware.
#include "sim/DemoBus.h"
#include "sim/SimBus.h"
#include "sim/SimOptions.h"

#include <QStringList>

#include <csignal>
#include <cstdio>
#include <pthread.h>

namespace {

void print(FILE* stream, const QString& text)
{
    std::fputs(text.toLocal8Bit().constData(), stream);
    std::fflush(stream);
}

int findSensor(const SimBus& bus, const SimFaultOption& fault)
{
    for (int i = 0; i < bus.sensorCount(); ++i) {
        const SimSensorStatus s = bus.status(i);
        if (s.address == fault.address && (fault.speed == 0 || s.speed == fault.speed))
            return i;
    }
    return -1;
}

bool addSensors(SimBus& bus, const SimOptions& options, QString* error)
{
    std::vector<SimSensorOption> sensors = options.sensors;
    if (sensors.empty()) {
        for (const SimSensorConfig& config : simDemoSensors())
            sensors.push_back({config, {}, {}, {}});
    }
    for (const SimSensorOption& sensor : sensors) {
        const int index = bus.addSensor(sensor.config, error);
        if (index < 0)
            return false;
        if (sensor.objectType)
            bus.setRegister(index, SimReg::ObjectType, static_cast<std::uint8_t>(*sensor.objectType));
        if (sensor.period) {
            bus.setRegister(index, SimReg::PeriodLo, static_cast<std::uint8_t>(*sensor.period & 0xFF));
            bus.setRegister(index, SimReg::PeriodHi, static_cast<std::uint8_t>(*sensor.period >> 8));
        }
        if (sensor.constant) {
            bus.setRegister(index, SimReg::ConstantLo, static_cast<std::uint8_t>(*sensor.constant & 0xFF));
            bus.setRegister(index, SimReg::ConstantHi, static_cast<std::uint8_t>(*sensor.constant >> 8));
        }
    }
    for (const SimFaultOption& fault : options.faults) {
        const int index = findSensor(bus, fault);
        if (index < 0) {
            *error = QStringLiteral("--fault names no sensor at address %1").arg(fault.address);
            return false;
        }
        bus.setFaults(index, fault.faults);
    }
    return true;
}

} // namespace

int main(int argc, char** argv)
{
    QStringList args;
    for (int i = 1; i < argc; ++i)
        args << QString::fromLocal8Bit(argv[i]);
    QString error;
    const std::optional<SimOptions> options = simParseOptions(args, &error);
    if (!options) {
        print(stderr, QStringLiteral("veltrano-sim: %1\nTry veltrano-sim --help.\n").arg(error));
        return 2;
    }
    if (options->help) {
        print(stdout, simUsage());
        return 0;
    }

    // Blocked before the bus thread starts, so that it inherits the mask and the stopSignals wait
    // for sigwait below.
    sigset_t stopSignals;
    sigemptyset(&stopSignals);
    sigaddset(&stopSignals, SIGINT);
    sigaddset(&stopSignals, SIGTERM);
    sigaddset(&stopSignals, SIGHUP);
    pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);

    SimBus bus;
    if (!addSensors(bus, *options, &error)) {
        print(stderr, QStringLiteral("veltrano-sim: %1\n").arg(error));
        return 2;
    }
    if (options->log)
        bus.setLogSink([](const SimFrameRecord& record) { print(stdout, simFormatFrame(record) + u'\n'); });
    if (!bus.start(&error, options->linkPath)) {
        print(stderr, QStringLiteral("veltrano-sim: %1\n").arg(error));
        return 1;
    }
    print(stdout, QStringLiteral("veltrano-sim: %1 -> %2\n").arg(options->linkPath, bus.slavePath()));
    for (int i = 0; i < bus.sensorCount(); ++i) {
        const SimSensorStatus s = bus.status(i);
        print(stdout, QStringLiteral("  sensor at address %1, %2 baud\n").arg(s.address).arg(s.speed));
    }

    int received = 0;
    sigwait(&stopSignals, &received);
    bus.stop();
    print(stdout, QStringLiteral("veltrano-sim: stopped\n"));
    return 0;
}
