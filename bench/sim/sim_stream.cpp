// How fast the simulated bus streams: samples per second read on the slave side against the limit
// of the period and of the line (a group is 7 bytes of 10 bits), lost samples, and the CPU time
// it takes.
#include "sim/SimBus.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <poll.h>
#include <sys/resource.h>
#include <termios.h>
#include <unistd.h>

namespace {

struct Scenario {
    int speed;
    speed_t speedConstant;
    int period; // 0.1 ms
    int n;
};

struct Figures {
    double samplesPerSecond = 0;
    long lost = 0;
    long malformed = 0;
    double busCpuPercent = 0;
    double processCpuPercent = 0;
};

double processCpuSeconds()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

Figures run(const Scenario& s, double seconds)
{
    SimBus bus;
    SimSensorConfig config;
    config.address = 1;
    config.speed = s.speed;
    config.mode = SimMeasureMode::Counter;
    const int sensor = bus.addSensor(config);
    bus.setRegister(sensor, SimReg::PeriodLo, static_cast<std::uint8_t>(s.period & 0xFF));
    bus.setRegister(sensor, SimReg::PeriodHi, static_cast<std::uint8_t>(s.period >> 8));
    bus.setRegister(sensor, SimReg::ConstantLo, static_cast<std::uint8_t>(s.n & 0xFF));
    bus.setRegister(sensor, SimReg::ConstantHi, static_cast<std::uint8_t>(s.n >> 8));
    QString error;
    if (!bus.start(&error)) {
        std::fprintf(stderr, "bus: %s\n", error.toLocal8Bit().constData());
        return {};
    }
    const int fd = open(bus.slavePath().toLocal8Bit().constData(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    termios settings{};
    tcgetattr(fd, &settings);
    cfmakeraw(&settings);
    cfsetspeed(&settings, s.speedConstant);
    tcsetattr(fd, TCSANOW, &settings);
    [[maybe_unused]] const ssize_t written = write(fd, "#01ST\r", 6);

    // Counting starts after a warm-up, once the stream runs.
    usleep(100'000);
    tcflush(fd, TCIFLUSH);
    const double busCpu0 = bus.threadCpuSeconds();
    const double cpu0 = processCpuSeconds();
    const auto t0 = std::chrono::steady_clock::now();
    const auto end = t0 + std::chrono::duration<double>(seconds);

    Figures f;
    long samples = 0;
    std::chrono::steady_clock::time_point first;
    std::chrono::steady_clock::time_point last;
    long previous = -1;
    char group[8];
    int have = 0;
    bool synced = false;
    char buffer[8192];
    while (std::chrono::steady_clock::now() < end) {
        pollfd p{fd, POLLIN, 0};
        if (poll(&p, 1, 30) <= 0)
            continue;
        const ssize_t got = read(fd, buffer, sizeof buffer);
        for (ssize_t i = 0; i < got; ++i) {
            const char c = buffer[i];
            if (!synced) {
                synced = c == '\r'; // the flush may have cut a group
                continue;
            }
            group[have++] = c;
            if (have < 7)
                continue;
            have = 0;
            if (group[0] != '!' || group[6] != '\r') {
                ++f.malformed;
                continue;
            }
            last = std::chrono::steady_clock::now();
            if (samples == 0)
                first = last;
            const long value = std::strtol(group + 1, nullptr, 10);
            if (previous >= 0)
                f.lost += (value - previous - 1 + 50000) % 50000;
            previous = value;
            ++samples;
        }
    }
    const double elapsed = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
    // Rate between the first and the last sample read, so the start of the window does not count.
    const double span = std::chrono::duration<double>(last - first).count();
    f.samplesPerSecond = samples > 1 && span > 0 ? static_cast<double>(samples - 1) / span : 0.0;
    f.busCpuPercent = 100.0 * (bus.threadCpuSeconds() - busCpu0) / elapsed;
    f.processCpuPercent = 100.0 * (processCpuSeconds() - cpu0) / elapsed;
    close(fd);
    return f;
}

} // namespace

int main()
{
    const Scenario scenarios[] = {
        {921600, B921600, 1, 1},  // the shortest period, T = 0.1 ms
        {921600, B921600, 1, 2},  // T = 0.2 ms
        {921600, B921600, 10, 1}, // T = 1 ms
        {115200, B115200, 1, 1},  // the line is the limit
        {9600, B9600, 10, 100},   // the factory setting, T = 100 ms
    };
    std::printf("%8s %9s %12s %12s %12s %6s %9s %10s %11s\n", "baud", "T [ms]", "period lim/s", "line lim/s",
                "read /s", "lost", "malformed", "bus CPU %", "total CPU %");
    for (const Scenario& s : scenarios) {
        const double seconds = s.speed == 9600 ? 4.0 : 3.0;
        const Figures f = run(s, seconds);
        const double periodMs = s.period * s.n / 10.0;
        std::printf("%8d %9.1f %12.0f %12.0f %12.0f %6ld %9ld %10.1f %11.1f\n", s.speed, periodMs,
                    1000.0 / periodMs, s.speed / 70.0, f.samplesPerSecond, f.lost, f.malformed,
                    f.busCpuPercent, f.processCpuPercent);
    }
    return 0;
}
