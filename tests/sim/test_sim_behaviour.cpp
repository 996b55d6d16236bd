// The stream, faults on demand, the port vanishing, the frame log, power cycles and the demo bus.
#include "SimBusFixture.h"
#include "sim/DemoBus.h"

#include <QFileInfo>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <cerrno>
#include <chrono>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/wait.h>

namespace {

// The values of the stream groups in `bytes` (text after the "!"), and whether every group was
// well formed.
std::pair<QList<QByteArray>, bool> groups(const QByteArray& bytes, const char* pattern)
{
    static const QRegularExpression any(QStringLiteral("!([^\\r]*)\\r"));
    const QRegularExpression form(QString::fromLatin1(pattern));
    QList<QByteArray> values;
    bool wellFormed = true;
    auto it = any.globalMatch(QString::fromLatin1(bytes));
    while (it.hasNext()) {
        const QString value = it.next().captured(1);
        wellFormed = wellFormed && form.match(value).hasMatch();
        values.append(value.toLatin1());
    }
    return {values, wellFormed};
}

double msSince(std::chrono::steady_clock::time_point start)
{
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
}

void setStreamPeriod(SimBus& bus, int sensor, int period, int n)
{
    bus.setRegister(sensor, SimReg::PeriodLo, static_cast<std::uint8_t>(period & 0xFF));
    bus.setRegister(sensor, SimReg::PeriodHi, static_cast<std::uint8_t>(period >> 8));
    bus.setRegister(sensor, SimReg::ConstantLo, static_cast<std::uint8_t>(n & 0xFF));
    bus.setRegister(sensor, SimReg::ConstantHi, static_cast<std::uint8_t>(n >> 8));
}

TEST_F(SimBusTest, StreamSendsEveryResultUntilStopped)
{
    bus.setMeasurement(sensorA, SimMeasureMode::Counter, 0);
    setStreamPeriod(bus, sensorA, 1, 10); // T = 10 x 0.1 ms = 1 ms
    ASSERT_TRUE(port->write("#1AST\r"));
    const auto start = std::chrono::steady_clock::now();
    const QByteArray streamed = port->readFor(300);
    const double elapsedMs = msSince(start);
    const auto [values, wellFormed] = groups(streamed, "^\\d{5}$");
    EXPECT_TRUE(wellFormed);
    EXPECT_GT(values.size(), elapsedMs * 0.6);
    EXPECT_LT(values.size(), elapsedMs + 5) << "no more than one result per period";
    for (int i = 0; i < values.size(); ++i)
        ASSERT_EQ(values[i].toInt(), i) << "a sample was lost or doubled";

    const QByteArray meanwhile = exchange("#1AR01\r", {}, 0, 40);
    EXPECT_TRUE(meanwhile.contains('!')) << "the stream goes on";
    EXPECT_FALSE(meanwhile.contains("R01")) << "a streaming sensor answers nothing but the stop";

    ASSERT_TRUE(port->write("tkwrnoza#1ASB\r"));
    const QByteArray tail = port->readUntilContains("!1ASB\r", 300);
    ASSERT_TRUE(tail.endsWith("!1ASB\r")) << tail.right(40).toStdString();
    EXPECT_TRUE(port->readFor(30).isEmpty()) << "nothing after the stop echo";
    EXPECT_FALSE(bus.status(sensorA).streaming);
    EXPECT_EQ(bus.status(sensorA).samplesSent, static_cast<std::uint64_t>(bus.status(sensorA).last) + 1);
}

TEST_F(SimBusTest, StreamPeriodAndGroupFormFollowTheParameters)
{
    struct Case {
        int period;
        int n;
        int objectType;
        const char* form;
        int readMs;
        int expectedGroups;
    };
    const Case cases[] = {
        {10, 20, 0, "^\\d{5}$", 400, 20}, // T = 20 ms
        {10, 5, 8, "^N\\d{4}$", 200, 40}, // T = 5 ms, numbers of edges
        {2, 1, 0, "^\\d{5}$", 200, 330},  // T = 0.2 ms, more than 115200 baud carries: line-bound
    };
    for (const Case& c : cases) {
        bus.setMeasurement(sensorB, SimMeasureMode::Counter, 42);
        bus.setRegister(sensorB, SimReg::ObjectType, static_cast<std::uint8_t>(c.objectType));
        setStreamPeriod(bus, sensorB, c.period, c.n);
        ASSERT_TRUE(port->write("#05ST\r"));
        const auto start = std::chrono::steady_clock::now();
        const auto [values, wellFormed] = groups(port->readFor(c.readMs), c.form);
        const double expected = c.expectedGroups * msSince(start) / c.readMs;
        ASSERT_TRUE(port->write("tkwrnoza#05SB\r"));
        port->readUntilContains("!05SB\r", 300);
        EXPECT_TRUE(wellFormed) << c.period << "/" << c.n;
        EXPECT_NEAR(values.size(), expected, expected * 0.3) << c.period << "/" << c.n;
        if (!values.isEmpty()) {
            EXPECT_EQ(values.front(), c.objectType == 8 ? "N0042" : "00042");
        }
    }
}

struct FaultCase {
    const char* name;
    SimFaults faults;
    QByteArray request;
    QByteArray faulty; // what comes back with the fault on
    QByteArray normal;
};

TEST_F(SimBusTest, FaultsSwitchOnAndOff)
{
    SimFaults silent;
    silent.noAnswer = true;
    SimFaults badCrc;
    badCrc.badCrc = true;
    SimFaults garbage;
    garbage.garbage = hexBytes("FF 00 7E");
    SimFaults lower;
    lower.lowerCaseAddress = true;
    SimFaults exception;
    exception.modbusException = 4;
    QByteArray wrongCrc = mb("1A 03 02 00 01");
    wrongCrc[6] = static_cast<char>(wrongCrc[6] ^ 0x5A);
    const FaultCase cases[] = {
        {"no answer", silent, "#1ALR\r", "", "!1ALR25000\r"},
        {"wrong CRC", badCrc, mb("1A 03 00 00 00 01"), wrongCrc, mb("1A 03 02 00 01")},
        {"garbage", garbage, "#1AON\r", hexBytes("FF 00 7E") + "!1AON\r", "!1AON\r"},
        {"lower case", lower, "#1AON\r", "!1aON\r", "!1AON\r"},
        {"lower case ident", lower, "#1AID\r", "%1aVLT-250             ,SN0000123456,D00250.000,M00400.000\r",
         "%1AVLT-250             ,SN0000123456,D00250.000,M00400.000\r"},
        {"exception", exception, mb("1A 03 00 00 00 01"), mb("1A 83 04"), mb("1A 03 02 00 01")},
    };
    for (const FaultCase& f : cases) {
        bus.setFaults(sensorA, f.faults);
        EXPECT_EQ(bus.faults(sensorA), f.faults);
        EXPECT_EQ(exchange(f.request, f.faulty).toHex(' '), f.faulty.toHex(' ')) << f.name;
        bus.setFaults(sensorA, {});
        EXPECT_EQ(exchange(f.request, f.normal).toHex(' '), f.normal.toHex(' ')) << f.name << " off";
    }

    bus.setFaults(sensorA, silent);
    EXPECT_TRUE(exchange("#1AOF\r", {}).isEmpty());
    EXPECT_TRUE(bus.status(sensorA).on) << "a deaf sensor does not act either";
    EXPECT_TRUE(exchange(mb("00 06 00 BC 4F 46"), {}).isEmpty());
    EXPECT_TRUE(bus.status(sensorA).on);
    EXPECT_FALSE(bus.status(sensorB).on);

    bus.setFaults(sensorA, exception);
    EXPECT_TRUE(exchange(mb("00 06 00 BC 46 58"), {}).isEmpty()) << "no exception to a broadcast";
}

TEST_F(SimBusTest, DelayedAndSplitRepliesKeepTheirBytes)
{
    struct Case {
        const char* name;
        int delayMs;
        int splitAt;
        int gapMs;
        int firstWindowMs; // what arrives in this window ...
        QByteArray first;  // ... is this
    };
    const Case cases[] = {
        {"delay", 150, 0, 0, 60, ""},
        {"split", 0, 3, 150, 60, "!1A"},
        {"both", 60, 2, 150, 110, "!1"},
        {"neither", 0, 0, 0, 60, "!1AON\r"},
    };
    for (const Case& c : cases) {
        SimFaults faults;
        faults.replyDelayMs = c.delayMs;
        faults.splitAt = c.splitAt;
        faults.splitGapMs = c.gapMs;
        bus.setFaults(sensorA, faults);
        ASSERT_TRUE(port->write("#1AON\r"));
        const QByteArray first = port->readFor(c.firstWindowMs);
        EXPECT_EQ(first, c.first) << c.name;
        EXPECT_EQ(first + port->readUntil(6 - first.size(), 500), "!1AON\r") << c.name;
    }
}

TEST_F(SimBusTest, AStreamThatIgnoresTheStopGoesOn)
{
    setStreamPeriod(bus, sensorA, 10, 5);
    ASSERT_TRUE(port->write("#1AST\r"));
    EXPECT_FALSE(port->readFor(30).isEmpty());
    SimFaults faults;
    faults.ignoreStop = true;
    bus.setFaults(sensorA, faults);
    ASSERT_TRUE(port->write("tkwrnoza#1ASB\r"));
    const QByteArray after = port->readFor(150);
    EXPECT_FALSE(after.contains("SB"));
    EXPECT_GE(groups(after, "^\\d{5}$").first.size(), 5);
    EXPECT_TRUE(bus.status(sensorA).streaming);

    bus.setFaults(sensorA, {});
    ASSERT_TRUE(port->write("tkwrnoza#1ASB\r"));
    EXPECT_TRUE(port->readUntilContains("!1ASB\r", 300).endsWith("!1ASB\r"));
    EXPECT_FALSE(bus.status(sensorA).streaming);
}

TEST(SimBusPort, VanishesAndComesBackAtTheSameLink)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString link = dir.filePath(QStringLiteral("ttySIM0"));
    SimBus bus;
    SimSensorConfig config;
    config.address = 3;
    config.speed = 38400;
    bus.addSensor(config);
    QString error;
    ASSERT_TRUE(bus.start(&error, link)) << error.toStdString();
    EXPECT_EQ(QFileInfo(link).symLinkTarget(), bus.slavePath());
    {
        SimTestPort port(link, 38400);
        ASSERT_TRUE(port.isOpen());
        ASSERT_TRUE(port.write("#03R01\r"));
        EXPECT_EQ(port.readUntil(9, 300), "!03R0103\r");

        bus.vanish();
        EXPECT_TRUE(bus.isVanished());
        pollfd p{port.fd(), POLLIN, 0};
        ASSERT_EQ(poll(&p, 1, 500), 1);
        EXPECT_TRUE(p.revents & POLLHUP);
        char byte = 0;
        EXPECT_LE(::read(port.fd(), &byte, 1), 0);
        EXPECT_FALSE(QFileInfo::exists(link));
        EXPECT_FALSE(SimTestPort(link).isOpen());
    }
    ASSERT_TRUE(bus.reappear(&error)) << error.toStdString();
    EXPECT_FALSE(bus.isVanished());
    ASSERT_TRUE(QFileInfo::exists(link));
    SimTestPort port(link, 38400);
    ASSERT_TRUE(port.isOpen());
    ASSERT_TRUE(port.write("#03R01\r"));
    EXPECT_EQ(port.readUntil(9, 300), "!03R0103\r");
    EXPECT_FALSE(bus.reappear(&error)) << "it is there already";

    bus.stop();
    EXPECT_FALSE(QFileInfo::exists(link)) << "stopping removes the link";
}

TEST(SimBusPort, ExclusiveUseEndsWhenTheProgramClosesThePort)
{
    SimBus bus;
    QString error;
    ASSERT_TRUE(bus.start(&error)) << error.toStdString();
    const QByteArray path = bus.slavePath().toLocal8Bit();
    // Exclusive use binds only users without root rights, so the child gives them up if it has them.
    const bool root = geteuid() == 0;
    if (root) {
        ASSERT_EQ(chmod(path.constData(), 0666), 0);
    }
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        if (root && (setgid(65534) != 0 || setuid(65534) != 0))
            _exit(10);
        const int fd = ::open(path.constData(), O_RDWR | O_NOCTTY | O_NONBLOCK);
        if (fd < 0 || ioctl(fd, TIOCEXCL) != 0)
            _exit(11);
        if (::open(path.constData(), O_RDWR | O_NOCTTY | O_NONBLOCK) >= 0)
            _exit(12); // the port is not exclusive while open
        ::close(fd);
        for (int attempt = 0; attempt < 100; ++attempt) {
            if (::open(path.constData(), O_RDWR | O_NOCTTY | O_NONBLOCK) >= 0)
                _exit(0);
            usleep(5000);
        }
        _exit(13); // still locked after the close
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);
}

TEST_F(SimBusTest, BytesForAClosedPortAreLost)
{
    SimFaults faults;
    faults.replyDelayMs = 60;
    bus.setFaults(sensorA, faults);
    const qsizetype before = timesHeard("#1AON\r");
    ASSERT_TRUE(port->write("#1AON\r"));
    waitHeard("#1AON\r", before);
    port.reset();
    usleep(120'000);
    port = std::make_unique<SimTestPort>(bus.slavePath(), 115200);
    ASSERT_TRUE(port->isOpen());
    EXPECT_TRUE(port->readFor(50).isEmpty());
    EXPECT_TRUE(bus.status(sensorA).on) << "the sensor heard the request";
    bus.setFaults(sensorA, {});
    EXPECT_EQ(exchange("#1ALR\r", "!1ALR25000\r"), "!1ALR25000\r");
}

TEST(SimBusPort, RefusesToReplaceAFileThatIsNoLink)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("precious"));
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("data");
    file.close();
    SimBus bus;
    QString error;
    EXPECT_FALSE(bus.start(&error, path));
    EXPECT_TRUE(error.contains(QLatin1String("not a symbolic link")));
    EXPECT_EQ(QFileInfo(path).size(), 4);
}

TEST_F(SimBusTest, LogShowsWhatWentOverTheLine)
{
    bus.clearLog();
    exchange("#1AON\r", "!1AON\r");
    exchange(mb("05 03 00 00 00 01"), mb("05 03 02 00 01"));
    port->write(hexBytes("FF FE FD"));
    port->readFor(20);
    const std::vector<QByteArray> received = bus.receivedFrames();
    ASSERT_EQ(received.size(), 2u);
    EXPECT_EQ(received[0], "#1AON\r");
    EXPECT_EQ(received[1], mb("05 03 00 00 00 01"));
    std::vector<std::pair<SimFrameRecord::Direction, QByteArray>> seen;
    for (const SimFrameRecord& r : bus.frames()) {
        seen.emplace_back(r.direction, r.bytes);
        EXPECT_EQ(r.speed, 115200);
    }
    using D = SimFrameRecord::Direction;
    const std::vector<std::pair<D, QByteArray>> expected = {
        {D::Received, "#1AON\r"},
        {D::Sent, "!1AON\r"},
        {D::Received, mb("05 03 00 00 00 01")},
        {D::Sent, mb("05 03 02 00 01")},
        {D::Discarded, hexBytes("FF FE FD")},
    };
    EXPECT_EQ(seen, expected);
    EXPECT_TRUE(simFormatFrame(bus.frames()[0]).contains(QLatin1String("23 31 41 4F 4E 0D  |#1AON.|")));
}

TEST_F(SimBusTest, FlashSurvivesAPowerCycleAndWritesWithoutItDoNot)
{
    EXPECT_EQ(exchange("#1AW0F20\r", "!1AW0F20\r"), "!1AW0F20\r");
    bus.powerCycle(sensorA);
    EXPECT_EQ(exchange("#1AR0F\r", "!1AR0F08\r"), "!1AR0F08\r");

    EXPECT_EQ(exchange("#1AW0F20\r", "!1AW0F20\r"), "!1AW0F20\r");
    EXPECT_EQ(exchange("#1AW0200\r", "!1AW0200\r"), "!1AW0200\r");
    EXPECT_EQ(exchange("#1AW0401\r", "!1AW0401\r"), "!1AW0401\r");
    EXPECT_EQ(exchange("#1AFL\r", "!1AFL\r"), "!1AFL\r");
    bus.powerCycle(sensorA);
    EXPECT_FALSE(bus.status(sensorA).on) << "switched off at power-up";
    EXPECT_TRUE(bus.status(sensorA).streaming) << "streaming from power-up";
    EXPECT_FALSE(groups(port->readFor(250), "^\\d{5}$").first.isEmpty());
    ASSERT_TRUE(port->write("tkwrnoza#1ASB\r"));
    port->readUntilContains("!1ASB\r", 300);
    EXPECT_EQ(exchange("#1AR0F\r", "!1AR0F20\r"), "!1AR0F20\r");
}

TEST(SimDemoBus, OffersSensorsAtSeveralAddressesAndSpeeds)
{
    SimDemoBus demo;
    EXPECT_TRUE(demo.slavePath().isEmpty());
    QString error;
    ASSERT_TRUE(demo.start(&error)) << error.toStdString();
    ASSERT_TRUE(demo.isRunning());
    struct Case {
        int speed;
        QByteArray request;
        QByteArray replyStart;
    };
    const Case cases[] = {
        {115200, "#01ID\r", "%01VLT-250 DEMO"},
        {9600, "#02R07\r", "!02R0701\r"},
        {57600, "#03ID\r", "%03VLT-1000 DEMO"},
        {921600, "#1AID\r", "%1AVLT-10 DEMO"},
    };
    SimTestPort port(demo.slavePath());
    ASSERT_TRUE(port.isOpen());
    for (const Case& c : cases) {
        ASSERT_TRUE(port.setSpeed(c.speed));
        ASSERT_TRUE(port.write(c.request));
        EXPECT_TRUE(port.readUntil(c.replyStart.size(), 500).startsWith(c.replyStart))
            << c.request.constData();
        port.readFor(15);
    }
    demo.stop();
    EXPECT_FALSE(demo.isRunning());
    EXPECT_TRUE(demo.slavePath().isEmpty());
}

TEST(SimBusConfig, RefusesSensorsThatCannotExist)
{
    SimBus bus;
    struct Case {
        int address;
        int speed;
        double range;
        const char* mentions;
    };
    const Case cases[] = {{0, 9600, 10, "address"},
                          {256, 9600, 10, "address"},
                          {1, 4800, 10, "speed"},
                          {1, 9600, 0, "range"},
                          {1, 9600, 1e6, "range"}};
    for (const Case& c : cases) {
        SimSensorConfig config;
        config.address = c.address;
        config.speed = c.speed;
        config.range = c.range;
        QString error;
        EXPECT_EQ(bus.addSensor(config, &error), -1);
        EXPECT_TRUE(error.contains(QLatin1String(c.mentions))) << error.toStdString();
    }
    EXPECT_EQ(bus.sensorCount(), 0);
}

} // namespace
