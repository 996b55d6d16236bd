// Latency from a byte written at the far end of a pseudo-terminal to the driver's receive event (on
// its polling thread), at the two polling delays the line-speed table uses, and the CPU the driver
// takes while a port is open and idle.
#include "../../tests/serial/PtyPair.h"
#include "serial/TCommPortDriver.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QTimer>
#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <numeric>
#include <random>
#include <sys/resource.h>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

double CpuMs()
{
    rusage u{};
    ::getrusage(RUSAGE_SELF, &u);
    return (u.ru_utime.tv_sec + u.ru_stime.tv_sec) * 1e3 + (u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e3;
}

void MeasureLatency(std::uint16_t delayMs, int samples)
{
    PtyPair pty;
    TCommPortDriver driver;
    QEventLoop loop;
    Clock::time_point sent;
    Clock::time_point received;
    std::atomic<std::int64_t> receivedNs{0};
    driver.setOnReceiveData([&](const TChunk&) {
        receivedNs.store(Clock::now().time_since_epoch().count());
        QMetaObject::invokeMethod(&loop, &QEventLoop::quit, Qt::QueuedConnection);
    });
    driver.setComPort(pty.slavePath());
    driver.setComPortPollingDelay(delayMs);
    if (!driver.Connect()) {
        std::printf("cannot open %s\n", qPrintable(pty.slavePath()));
        return;
    }
    // Requests leave at any phase of the polling cycle: wait a random part of it between samples.
    std::mt19937 random(delayMs);
    std::uniform_int_distribution<int> phase(0, delayMs);
    std::vector<double> ms;
    ms.reserve(static_cast<std::size_t>(samples));
    for (int i = 0; i < samples; ++i) {
        QTimer::singleShot(phase(random), Qt::PreciseTimer, &loop, [&] {
            sent = Clock::now();
            pty.write("x");
        });
        loop.exec();
        received = Clock::time_point(Clock::duration(receivedNs.load()));
        ms.push_back(std::chrono::duration<double, std::milli>(received - sent).count());
    }
    std::sort(ms.begin(), ms.end());
    const double mean = std::accumulate(ms.begin(), ms.end(), 0.0) / static_cast<double>(ms.size());
    std::printf("polling delay %2u ms: %d samples, latency mean %.1f ms, median %.1f ms, max %.1f ms\n",
                delayMs, samples, mean, ms[ms.size() / 2], ms.back());
}

double IdleCpuMs(bool portOpen, int seconds)
{
    PtyPair pty;
    TCommPortDriver driver;
    driver.setComPort(pty.slavePath());
    driver.setComPortPollingDelay(30);
    driver.setOnReceiveData([](const TChunk&) {});
    if (portOpen && !driver.Connect())
        return -1;
    QEventLoop loop;
    const double before = CpuMs();
    QTimer::singleShot(seconds * 1000, &loop, &QEventLoop::quit);
    loop.exec();
    return CpuMs() - before;
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    MeasureLatency(30, 300);
    MeasureLatency(50, 300);
    constexpr int kIdleSeconds = 5;
    const double closed = IdleCpuMs(false, kIdleSeconds);
    const double open = IdleCpuMs(true, kIdleSeconds);
    std::printf("idle CPU over %d s, polling delay 30 ms: port closed %.1f ms, port open %.1f ms (%.2f %% of "
                "one core)\n",
                kIdleSeconds, closed, open, open / (kIdleSeconds * 10.0));
    return 0;
}
