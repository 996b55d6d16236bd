// The engine alone against the simulated bus at 115200 baud, in a QCoreApplication: the full
// parameter read of both protocols (median and spread over many runs), the process CPU they take,
// and the latency from bytes put on the line to the bus handling them.
// Usage: bench_engine [runs of each read]   (Release build)
#include "bus/SensorBus.h"
#include "protocol/DeviceUnit.h"
#include "serial/TCommPortDriver.h"
#include "sim/SimBus.h"
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>
#include <algorithm>
#include <cstdio>
#include <random>
#include <sys/resource.h>
#include <vector>

namespace {
using Clock = std::chrono::steady_clock;
constexpr int LineSpeed = 115200;

double ProcessCpuMs()
{
    rusage u{};
    ::getrusage(RUSAGE_SELF, &u);
    return (u.ru_utime.tv_sec + u.ru_stime.tv_sec) * 1e3 + (u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e3;
}

double Ms(Clock::duration d)
{
    return std::chrono::duration<double, std::milli>(d).count();
}

void Report(const char* what, std::vector<double> ms, const char* unit = "ms")
{
    std::sort(ms.begin(), ms.end());
    std::printf("%-28s median %7.2f %s, min %7.2f, max %7.2f (%zu runs)\n", what, ms[ms.size() / 2], unit, ms.front(),
                ms.back(), ms.size());
}

// One bus on one simulated sensor, its port open at the sensor's speed.
struct TRig {
    explicit TRig(TProtocol protocol)
    {
        SimSensorConfig config;
        config.address = 0x1A;
        config.speed = LineSpeed;
        sim.addSensor(config);
        QString error;
        ok = sim.start(&error);
        device = bus.Devices().Append("1A", LineSpeed);
        bus.SetProtocol(protocol);
        bus.Driver().setComPort(sim.slavePath());
        ok = ok && bus.Driver().Connect() && bus.SetLineSpeed(LineSpeed);
    }

    // Milliseconds from the start of the operation to its end, or -1; cpuMs the process CPU over it.
    double Run(TOperationCode code, double& cpuMs)
    {
        QEventLoop loop;
        bool done = false;
        const auto ended = QObject::connect(&bus, &TSensorBus::OperationFinished, &loop,
                                            [&](TOperationCode, const TOutcome& outcome) {
                                                done = outcome.Kind == TOutcomeKind::Done;
                                                loop.quit();
                                            });
        const auto idle = QObject::connect(&bus, &TSensorBus::Idle, &loop, &QEventLoop::quit);
        const double cpu = ProcessCpuMs();
        const Clock::time_point start = Clock::now();
        if (!bus.Start(code, device))
            return -1;
        loop.exec();
        const double ms = Ms(Clock::now() - start);
        cpuMs = ProcessCpuMs() - cpu;
        loop.exec(); // the pause after the operation
        QObject::disconnect(ended);
        QObject::disconnect(idle);
        return done ? ms : -1;
    }

    SimBus sim;
    TSensorBus bus;
    TDevice* device = nullptr;
    bool ok = false;
};

bool MeasureReads(TProtocol protocol, int runs)
{
    TRig rig(protocol);
    if (!rig.ok)
        return false;
    std::vector<double> ms;
    double readMs = 0;
    double cpuMs = 0;
    const double simCpu = rig.sim.threadCpuSeconds();
    for (int run = 0; run < runs; ++run) {
        double cpu = 0;
        const double read = rig.Run(TOperationCode::ReadParameters, cpu);
        if (read < 0)
            return false;
        ms.push_back(read);
        readMs += read;
        cpuMs += cpu;
    }
    // The simulated bus runs in the process too: its thread's share is told apart.
    const double simMs = (rig.sim.threadCpuSeconds() - simCpu) * 1e3;
    const bool modbus = protocol == TProtocol::Modbus;
    Report(modbus ? "Modbus read (flags+block)" : "standard read (34 registers)", ms);
    std::printf("%-28s %.1f %% of one core during the reads, %.1f %% of it the simulator's thread\n",
                "  process CPU", 100 * cpuMs / readMs, 100 * simMs / readMs);
    return true;
}

// Bytes put on the line by the far end of the port to the bus's thread handling them.
bool MeasureLatency(int samples)
{
    TRig rig(TProtocol::Standard);
    if (!rig.ok)
        return false;
    QEventLoop loop;
    Clock::time_point sent;
    Clock::time_point handled;
    QObject::connect(&rig.bus, &TSensorBus::ChunkReceived, &loop, [&] {
        handled = Clock::now();
        loop.quit();
    });
    // Bytes come at any phase of the polling cycle: a random wait between samples.
    std::mt19937 random(7);
    std::uniform_int_distribution<int> phase(0, 30);
    std::vector<double> ms;
    for (int i = 0; i < samples; ++i) {
        QTimer::singleShot(phase(random), Qt::PreciseTimer, &loop, [&] {
            sent = Clock::now();
            rig.sim.injectLine("x");
        });
        loop.exec();
        ms.push_back(Ms(handled - sent));
    }
    Report("receive latency", ms);
    return true;
}
} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const int runs = argc > 1 ? std::max(1, QString::fromLocal8Bit(argv[1]).toInt()) : 30;
    std::printf("engine against the simulated bus at %d baud\n", LineSpeed);
    if (!MeasureReads(TProtocol::Standard, runs) || !MeasureReads(TProtocol::Modbus, runs) ||
        !MeasureLatency(300)) {
        std::printf("a measurement failed\n");
        return 1;
    }
    return 0;
}
