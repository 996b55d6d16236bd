// One parameter set cloned onto ten sensors at 115200 baud, each written and read back, through the
// engine alone against the simulated bus: the time of the whole clone and per sensor, in both
// protocols. Usage: bench_clone [runs]   (Release build)
#include "bus/SensorBus.h"
#include "protocol/DeviceList.h"
#include "protocol/DeviceUnit.h"
#include "protocol/RegisterMap.h"
#include "serial/TCommPortDriver.h"
#include "sim/SimBus.h"
#include <QCoreApplication>
#include <QEventLoop>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <vector>

namespace {
using Clock = std::chrono::steady_clock;
constexpr int LineSpeed = 115200;
constexpr int SensorCount = 10;

struct TCloneRun {
    double ms = -1;
    int verified = 0;
};

TCloneRun CloneOnce(TProtocol protocol, std::uint16_t points)
{
    SimBus sim;
    for (int address = 1; address <= SensorCount; ++address) {
        SimSensorConfig config;
        config.address = address;
        config.speed = LineSpeed;
        sim.addSensor(config);
    }
    QString error;
    if (!sim.start(&error))
        return {};
    TSensorBus bus;
    bus.SetProtocol(protocol);
    std::vector<TDevice*> sensors;
    for (int address = 1; address <= SensorCount; ++address)
        sensors.push_back(bus.Devices().Append(
            QByteArray::number(address, 16).toUpper().rightJustified(2, '0'), LineSpeed));
    bus.Driver().setComPort(sim.slavePath());
    if (!bus.Driver().Connect() || !bus.SetLineSpeed(LineSpeed))
        return {};

    QEventLoop loop;
    TCloneRun run;
    QObject::connect(&bus, &TSensorBus::TargetFinished, &loop, [&](int, TDevice*, const TOutcome& outcome) {
        run.verified += outcome.Kind == TOutcomeKind::Done && outcome.Verified ? 1 : 0;
    });
    QObject::connect(&bus, &TSensorBus::OperationFinished, &loop, [&] { loop.quit(); });
    // The set of the first sensor's factory values with one change, as a technician's would be.
    if (!bus.Start(TOperationCode::ReadParameters, sensors[0]))
        return {};
    loop.exec();
    QObject::connect(&bus, &TSensorBus::Idle, &loop, &QEventLoop::quit);
    loop.exec();
    std::vector<TWritePlan> plans;
    for (TDevice* const device : sensors) {
        TParamImage image = ImageOf(*sensors[0]);
        image[static_cast<std::size_t>(TParam::MiddlePoint)] = points;
        image[static_cast<std::size_t>(TParam::Address)] =
            static_cast<std::uint16_t>(device->AddressNumber());
        plans.push_back(WritePlanOfImage(image, device->AddressNumber(), LineSpeed, protocol, true));
    }
    const Clock::time_point start = Clock::now();
    if (!bus.StartClone(sensors, plans, sensors[0]))
        return {};
    loop.exec();
    run.ms = std::chrono::duration<double, std::milli>(Clock::now() - start).count();
    return run;
}
} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 5;
    for (const TProtocol protocol : {TProtocol::Standard, TProtocol::Modbus}) {
        std::vector<double> ms;
        int verified = SensorCount;
        for (int run = 0; run < runs; ++run) {
            const TCloneRun one = CloneOnce(protocol, static_cast<std::uint16_t>(3 + 2 * (run % 5)));
            if (one.ms < 0) {
                std::fprintf(stderr, "clone failed\n");
                return 1;
            }
            ms.push_back(one.ms);
            verified = std::min(verified, one.verified);
        }
        std::sort(ms.begin(), ms.end());
        std::printf(
            "clone to %d sensors, %s, verified: median %8.1f ms (%.1f ms a sensor), min %8.1f, max %8.1f, "
            "%d of %d verified in every run (%d runs)\n",
            SensorCount, protocol == TProtocol::Modbus ? "Modbus  " : "standard", ms[ms.size() / 2],
            ms[ms.size() / 2] / SensorCount, ms.front(), ms.back(), verified, SensorCount, runs);
    }
    return 0;
}
