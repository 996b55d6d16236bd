// Port names, the line-speed table and the port scan.
#include "ChildProcess.h"
#include "ChunkRecorder.h"
#include "PtyPair.h"
#include "WaitUntil.h"
#include "convert/Unit_Utils.h"
#include "serial/PortScan.h"
#include "serial/TCommPortDriver.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <memory>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace {

TEST(SerialChoiceCOM, PortNamesToDevicePaths)
{
    const std::vector<std::pair<QString, QString>> cases{
        {"COM1", "/dev/ttyS0"},           {"COM12", "/dev/ttyS11"}, {"COM32", "/dev/ttyS31"},
        {"COM100", "/dev/ttyS99"},        {"COM007", "/dev/ttyS6"}, {"/dev/ttyUSB3", "/dev/ttyUSB3"},
        {"/dev/ttyACM0", "/dev/ttyACM0"}, {"com3", "com3"},
    };
    for (const auto& [name, path] : cases)
        EXPECT_EQ(ChoiceCOM(name), path) << qPrintable(name);
    for (const QString bad : {"COMx", "COM", "COM0", "COM-1", "COM+2", "COM 3", "COM3 ", "COM99999999999"})
        EXPECT_THROW(ChoiceCOM(bad), EConvertError) << qPrintable(bad);
}

TEST(SerialSetComPortSpeed, LineSpeedTable)
{
    struct Case {
        int speed;
        TComPortBaudRate rate;
        std::uint16_t delay;
    };
    // Unlisted speeds leave the sentinel values br110 / 7 ms untouched and still succeed.
    const std::vector<Case> cases{
        {9600, br9600, 50},     {19200, br19200, 30},   {38400, br38400, 30},   {57600, br57600, 30},
        {115200, br115200, 30}, {230400, br230400, 30}, {460800, br460800, 30}, {921600, br921600, 30},
        {14400, br110, 7},      {56000, br110, 7},      {110, br110, 7},        {0, br110, 7},
        {-9600, br110, 7},
    };
    for (const Case& c : cases) {
        TCommPortDriver driver;
        driver.setComPortSpeed(br110);
        driver.setComPortPollingDelay(7);
        EXPECT_TRUE(SetComPortSpeed(driver, c.speed)) << c.speed;
        EXPECT_EQ(driver.ComPortSpeed(), c.rate) << c.speed;
        EXPECT_EQ(driver.ComPortPollingDelay(), c.delay) << c.speed;
    }
}

// Choosing another sensor at the same speed re-applies the line (purging it) but keeps the thread;
// a speed with another polling delay restarts it.
TEST(SerialSetComPortSpeed, OnAnOpenPort)
{
    PtyPair pty;
    ChunkRecorder rx;
    TCommPortDriver driver;
    driver.setOnReceiveData(rx.handler());
    driver.setComPort(pty.slavePath());
    ASSERT_TRUE(SetComPortSpeed(driver, 9600));
    ASSERT_TRUE(driver.Connect());
    pty.write("a");
    ASSERT_TRUE(rx.waitBytes(1, 2000));
    const pid_t first = rx.last().thread;

    // Held on "b", the thread leaves "lost" unread for the switch to purge.
    rx.hold();
    pty.write("b");
    ASSERT_TRUE(rx.waitParked(2000));
    pty.write("lost");
    ASSERT_TRUE(WaitUntil(
        [&] {
            int n = 0;
            ::ioctl(driver.ComHandle(), FIONREAD, &n);
            return n == 4;
        },
        500));
    ASSERT_TRUE(SetComPortSpeed(driver, 9600));
    rx.release();
    pty.write("c");
    ASSERT_TRUE(rx.waitBytes(3, 2000));
    EXPECT_EQ(rx.bytes(), QByteArray("abc"));
    EXPECT_EQ(rx.last().thread, first);

    // The old thread may still read what ends its wait; the chunk after that is the new one's.
    ASSERT_TRUE(SetComPortSpeed(driver, 115200));
    EXPECT_EQ(driver.ComPortPollingDelay(), 30);
    pty.write("d");
    ASSERT_TRUE(rx.waitBytes(4, 2000));
    pty.write("e");
    ASSERT_TRUE(rx.waitBytes(5, 2000));
    EXPECT_EQ(rx.bytes(), QByteArray("abcde"));
    EXPECT_NE(rx.last().thread, first);
    EXPECT_EQ(rx.last().chunk.Speed, 115200);
}

QStringList Names(const QStringList& paths)
{
    QStringList names;
    for (const QString& p : paths)
        names.append(QFileInfo(p).fileName());
    return names;
}

class SerialPortScan : public ::testing::Test {
  protected:
    void SetUp() override
    {
        ASSERT_TRUE(dev.isValid());
        ::chmod(QFile::encodeName(dev.path()).constData(), 0755);
    }

    // A device node stand-in: a link to the slave of a fresh pseudo-terminal.
    QString addPort(const QString& name)
    {
        ptys.push_back(std::make_unique<PtyPair>());
        const QString path = dev.filePath(name);
        EXPECT_TRUE(QFile::link(ptys.back()->slavePath(), path));
        return ptys.back()->slavePath();
    }

    QTemporaryDir dev;
    std::vector<std::unique_ptr<PtyPair>> ptys;
};

TEST_F(SerialPortScan, ListsWhatOpensInFamilyAndNumberOrder)
{
    for (const char* name :
         {"ttyUSB10", "ttyACM0", "ttyUSB2", "ttyS3", "ttyS7", "ttySfoo", "rfcomm1", "ttyAMA0"})
        addPort(QLatin1String(name));
    const QString busy = addPort(QStringLiteral("ttyUSB1"));
    QFile plain(dev.filePath(QStringLiteral("ttyS1")));
    ASSERT_TRUE(plain.open(QIODevice::WriteOnly));
    plain.close();

    TCommPortDriver holder;
    holder.setComPort(busy);
    ASSERT_TRUE(holder.Connect());

    QTemporaryDir sys;
    ASSERT_TRUE(QDir(sys.path()).mkpath(QStringLiteral("ttyS7")));
    QFile type(sys.filePath(QStringLiteral("ttyS7/type")));
    ASSERT_TRUE(type.open(QIODevice::WriteOnly));
    type.write("0\n");
    type.close();

    const PortScanResult plainScan = ScanSerialPorts(dev.path(), QString());
    EXPECT_EQ(Names(plainScan.ports),
              QStringList({"ttyS3", "ttyS7", "ttyUSB2", "ttyUSB10", "ttyACM0", "ttyAMA0", "rfcomm1"}));
    EXPECT_TRUE(plainScan.denied.isEmpty());
    EXPECT_EQ(plainScan.ports.first(), dev.filePath(QStringLiteral("ttyS3")));

    const PortScanResult withSysfs = ScanSerialPorts(dev.path(), sys.path());
    EXPECT_EQ(Names(withSysfs.ports),
              QStringList({"ttyS3", "ttyUSB2", "ttyUSB10", "ttyACM0", "ttyAMA0", "rfcomm1"}));

    // The scan lets go of every port it opened.
    TCommPortDriver after;
    after.setComPort(dev.filePath(QStringLiteral("ttyUSB10")));
    EXPECT_TRUE(after.Connect());
}

TEST_F(SerialPortScan, PortsWithoutPermissionAreReportedApart)
{
    const QString open = addPort(QStringLiteral("ttyUSB1"));
    const QString closed = addPort(QStringLiteral("ttyUSB0"));
    ::chmod(QFile::encodeName(open).constData(), 0666);
    ::chmod(QFile::encodeName(closed).constData(), 0600);

    QStringList ports;
    QStringList denied;
    if (::geteuid() == 0) {
        // Root opens everything: scan as an unprivileged user in a process of its own.
        ChildProcess scan({QStringLiteral(SERIAL_PORT_HOLDER), QStringLiteral("scan"), dev.path()});
        for (QByteArray line = scan.readLine(5000); !line.isEmpty(); line = scan.readLine(5000)) {
            if (line.startsWith("port "))
                ports.append(QString::fromLocal8Bit(line.mid(5)));
            else if (line.startsWith("denied "))
                denied.append(QString::fromLocal8Bit(line.mid(7)));
        }
        ASSERT_EQ(scan.finish(), 0);
    } else {
        ::chmod(QFile::encodeName(closed).constData(), 0);
        const PortScanResult r = ScanSerialPorts(dev.path(), QString());
        ports = r.ports;
        denied = r.denied;
    }
    EXPECT_EQ(Names(ports), QStringList({"ttyUSB1"}));
    EXPECT_EQ(Names(denied), QStringList({"ttyUSB0"}));
}

} // namespace
