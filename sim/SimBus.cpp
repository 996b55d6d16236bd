#include "sim/SimBus.h"

#include "sim/SimEngine.h"
#include "sim/SimPty.h"

#include <algorithm>
#include <chrono>
#include <climits>
#include <condition_variable>
#include <mutex>
#include <thread>

#include <cerrno>
#include <ctime>
#include <poll.h>
#include <pthread.h>
#include <sys/eventfd.h>
#include <unistd.h>

namespace {

// The bus thread sleeps at least this long between two rounds while only the clock drives it, so
// a fast stream goes out in small batches instead of one wake-up per byte.
constexpr std::int64_t kMinSleepUs = 500;
constexpr int kReadChunk = 4096;
// A real port's driver keeps about 64 KB for a program that does not read; a pseudo-terminal
// holds only about 20 KB, so the bus keeps the rest.
constexpr qsizetype kLineQueueBytes = 44 * 1024;
// How soon the bus tries again to hand queued bytes to a program that is slow to read.
constexpr std::int64_t kQueueRetryUs = 1000;

} // namespace

struct SimBus::State {
    mutable std::mutex mutex;
    SimEngine engine;
    SimPty pty;
    QString linkPath;
    bool vanished = false;
    bool stopping = false;
    std::thread thread;
    clockid_t threadClock{};
    bool threadClockValid = false;
    int wakeFd = -1;
    QByteArray lineQueue; // sent bytes the pseudo-terminal had no room for yet
    const std::chrono::steady_clock::time_point epoch = std::chrono::steady_clock::now();

    std::int64_t nowUs() const
    {
        return std::chrono::duration_cast<std::chrono::microseconds>(std::chrono::steady_clock::now() - epoch)
            .count();
    }

    void wake() const
    {
        if (wakeFd >= 0) {
            const std::uint64_t one = 1;
            [[maybe_unused]] const ssize_t n = ::write(wakeFd, &one, sizeof one);
        }
    }

    SimSensor& sensor(int index) { return engine.sensors().at(static_cast<std::size_t>(index)); }
    const SimSensor& sensor(int index) const { return engine.sensors().at(static_cast<std::size_t>(index)); }

    void run();
    void serviceLocked(std::int64_t now);
    void flushLineQueue(int fd);
};

void SimBus::State::serviceLocked(std::int64_t now)
{
    // With the port closed, or its queue full because nobody reads, the bytes are lost, as on a
    // line nobody listens to.
    const int fd = pty.refreshAttached() ? pty.masterFd() : -1;
    if (fd < 0)
        lineQueue.clear();
    else
        flushLineQueue(fd);
    engine.service(now, pty.lineSpeed(), [this, fd](const QByteArray& bytes) {
        if (fd < 0)
            return;
        QByteArray rest = bytes;
        if (lineQueue.isEmpty()) {
            const ssize_t n = ::write(fd, bytes.constData(), static_cast<size_t>(bytes.size()));
            if (n == bytes.size())
                return;
            rest = bytes.mid(n > 0 ? n : 0);
        }
        // Beyond the driver's queue the newest bytes are lost, as in a real overrun.
        if (lineQueue.size() + rest.size() <= kLineQueueBytes)
            lineQueue.append(rest);
    });
}

void SimBus::State::flushLineQueue(int fd)
{
    while (!lineQueue.isEmpty()) {
        const ssize_t n = ::write(fd, lineQueue.constData(), static_cast<size_t>(lineQueue.size()));
        if (n <= 0)
            return;
        lineQueue.remove(0, n);
    }
}

void SimBus::State::run()
{
    {
        std::lock_guard lock(mutex);
        threadClockValid = pthread_getcpuclockid(pthread_self(), &threadClock) == 0;
    }
    QByteArray buffer(kReadChunk, Qt::Uninitialized);
    for (;;) {
        int masterFd = -1;
        int notifyFd = -1;
        timespec timeout{};
        timespec* timeoutPtr = nullptr;
        {
            std::lock_guard lock(mutex);
            if (stopping)
                return;
            masterFd = pty.masterFd();
            notifyFd = pty.notifyFd();
            std::optional<std::int64_t> next = engine.nextEventUs();
            if (!lineQueue.isEmpty())
                next = std::min(next.value_or(INT64_MAX), nowUs() + kQueueRetryUs);
            if (next) {
                const std::int64_t sleepUs = std::max(kMinSleepUs, *next - nowUs());
                timeout.tv_sec = static_cast<time_t>(sleepUs / 1'000'000);
                timeout.tv_nsec = static_cast<long>((sleepUs % 1'000'000) * 1000);
                timeoutPtr = &timeout;
            }
        }
        pollfd fds[3] = {{wakeFd, POLLIN, 0}, {masterFd, POLLIN, 0}, {notifyFd, POLLIN, 0}};
        const int ready = ppoll(fds, 3, timeoutPtr, nullptr);
        if (ready > 0 && (fds[0].revents & POLLIN)) {
            std::uint64_t count = 0;
            [[maybe_unused]] const ssize_t n = ::read(wakeFd, &count, sizeof count);
        }
        std::lock_guard lock(mutex);
        if (stopping)
            return;
        const std::int64_t now = nowUs();
        // The descriptor is read only if it is still the bus's own: the port may have vanished
        // while the thread slept.
        if (ready > 0 && masterFd >= 0 && masterFd == pty.masterFd() && (fds[1].revents & POLLIN)) {
            const ssize_t n = ::read(masterFd, buffer.data(), kReadChunk);
            if (n > 0)
                engine.onBytes(QByteArray(buffer.constData(), n), pty.lineSpeed(), now);
        }
        serviceLocked(now);
    }
}

SimBus::SimBus() : d(std::make_unique<State>()) {}

SimBus::~SimBus()
{
    stop();
}

int SimBus::addSensor(const SimSensorConfig& config, QString* error)
{
    QString problem;
    if (config.address < 1 || config.address > 255)
        problem = QStringLiteral("address %1 is not 1..255").arg(config.address);
    else if (simCodeOfSpeed(config.speed) == 0)
        problem = QStringLiteral("line speed %1 is not one of 9600, 19200, 38400, 57600, 115200, 230400, "
                                 "460800, 921600")
                      .arg(config.speed);
    else if (!(config.range > 0.0 && config.range < 100000.0))
        problem = QStringLiteral("measuring range %1 mm is not above 0 and below 100000").arg(config.range);
    else if (!(config.distance >= 0.0 && config.distance < 100000.0))
        problem = QStringLiteral("distance %1 mm is not 0..99999").arg(config.distance);
    if (!problem.isEmpty()) {
        if (error)
            *error = problem;
        return -1;
    }
    std::lock_guard lock(d->mutex);
    d->engine.sensors().emplace_back(config, d->nowUs());
    d->wake();
    return static_cast<int>(d->engine.sensors().size()) - 1;
}

int SimBus::sensorCount() const
{
    std::lock_guard lock(d->mutex);
    return static_cast<int>(d->engine.sensors().size());
}

bool SimBus::start(QString* error, const QString& linkPath)
{
    stop();
    std::lock_guard lock(d->mutex);
    if (!d->pty.open(error))
        return false;
    if (!linkPath.isEmpty() && !d->pty.createLink(linkPath, error)) {
        d->pty.close();
        return false;
    }
    d->wakeFd = eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    if (d->wakeFd < 0) {
        if (error)
            *error = QStringLiteral("eventfd failed");
        d->pty.removeLink();
        d->pty.close();
        return false;
    }
    d->linkPath = linkPath;
    d->vanished = false;
    d->stopping = false;
    d->thread = std::thread([state = d.get()] { state->run(); });
    return true;
}

void SimBus::stop()
{
    {
        std::lock_guard lock(d->mutex);
        if (!d->thread.joinable())
            return;
        d->stopping = true;
        d->wake();
    }
    d->thread.join();
    std::lock_guard lock(d->mutex);
    d->threadClockValid = false;
    d->pty.removeLink();
    d->pty.close();
    d->engine.dropInFlight();
    d->lineQueue.clear();
    ::close(d->wakeFd);
    d->wakeFd = -1;
}

bool SimBus::isRunning() const
{
    std::lock_guard lock(d->mutex);
    return d->thread.joinable();
}

QString SimBus::slavePath() const
{
    std::lock_guard lock(d->mutex);
    return d->pty.slavePath();
}

QString SimBus::linkPath() const
{
    std::lock_guard lock(d->mutex);
    return d->linkPath;
}

int SimBus::lineSpeed() const
{
    std::lock_guard lock(d->mutex);
    return d->pty.lineSpeed();
}

void SimBus::vanish()
{
    std::lock_guard lock(d->mutex);
    if (!d->thread.joinable() || d->vanished)
        return;
    d->vanished = true;
    d->pty.removeLink();
    d->pty.close();
    d->engine.dropInFlight();
    d->lineQueue.clear();
    d->wake();
}

bool SimBus::reappear(QString* error)
{
    std::lock_guard lock(d->mutex);
    if (!d->thread.joinable() || !d->vanished) {
        if (error)
            *error = QStringLiteral("the port has not vanished");
        return false;
    }
    if (!d->pty.open(error))
        return false;
    if (!d->linkPath.isEmpty() && !d->pty.createLink(d->linkPath, error)) {
        d->pty.close();
        return false;
    }
    d->vanished = false;
    d->wake();
    return true;
}

bool SimBus::isVanished() const
{
    std::lock_guard lock(d->mutex);
    return d->vanished;
}

void SimBus::injectLine(const QByteArray& bytes)
{
    std::lock_guard lock(d->mutex);
    if (d->vanished || !d->pty.refreshAttached() || d->pty.masterFd() < 0)
        return;
    [[maybe_unused]] const ssize_t n =
        ::write(d->pty.masterFd(), bytes.constData(), static_cast<size_t>(bytes.size()));
}

void SimBus::setFaults(int sensor, const SimFaults& faults)
{
    std::lock_guard lock(d->mutex);
    d->sensor(sensor).setFaults(faults);
}

SimFaults SimBus::faults(int sensor) const
{
    std::lock_guard lock(d->mutex);
    return d->sensor(sensor).faults();
}

SimSensorStatus SimBus::status(int sensor) const
{
    std::lock_guard lock(d->mutex);
    return d->sensor(sensor).status();
}

SimRegisters SimBus::registers(int sensor) const
{
    std::lock_guard lock(d->mutex);
    return d->sensor(sensor).registers();
}

void SimBus::setRegister(int sensor, int code, std::uint8_t value)
{
    std::lock_guard lock(d->mutex);
    d->sensor(sensor).setRegister(code, value);
    d->wake();
}

void SimBus::setMeasurement(int sensor, SimMeasureMode mode, std::uint16_t value)
{
    std::lock_guard lock(d->mutex);
    d->sensor(sensor).setMeasurement(mode, value);
}

void SimBus::setResultRates(int sensor, double outOfRange, double noResult)
{
    std::lock_guard lock(d->mutex);
    d->sensor(sensor).setRates(outOfRange, noResult);
}

void SimBus::powerCycle(int sensor)
{
    std::lock_guard lock(d->mutex);
    d->sensor(sensor).powerCycle(d->nowUs());
    d->wake();
}

std::vector<SimFrameRecord> SimBus::frames() const
{
    std::lock_guard lock(d->mutex);
    return d->engine.log().records();
}

std::vector<QByteArray> SimBus::receivedFrames() const
{
    std::vector<QByteArray> out;
    for (const SimFrameRecord& record : frames()) {
        if (record.direction == SimFrameRecord::Direction::Received)
            out.push_back(record.bytes);
    }
    return out;
}

void SimBus::clearLog()
{
    std::lock_guard lock(d->mutex);
    d->engine.log().clear();
}

void SimBus::setLogSink(SimFrameLog::Sink sink)
{
    std::lock_guard lock(d->mutex);
    d->engine.log().setSink(std::move(sink));
}

double SimBus::threadCpuSeconds() const
{
    std::lock_guard lock(d->mutex);
    timespec used{};
    if (!d->threadClockValid || clock_gettime(d->threadClock, &used) != 0)
        return 0.0;
    return static_cast<double>(used.tv_sec) + static_cast<double>(used.tv_nsec) / 1e9;
}
