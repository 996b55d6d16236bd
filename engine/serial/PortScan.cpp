#include "serial/PortScan.h"

#include "convert/Unit_Utils.h"
#include "serial/LinkLog.h"
#include "serial/PortLink.h"
#include "serial/TCommPortDriver.h"

#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <algorithm>
#include <array>
#include <cerrno>
#include <linux/serial.h>
#include <sys/ioctl.h>
#include <unistd.h>

namespace {

// Serial device families in the order the port box lists them: on-board UARTs, USB adapters,
// USB modems, ARM board UARTs, Exar USB, SPI/I2C bridges, i.MX, Tegra, LPUART, Bluetooth.
constexpr std::array<const char*, 10> kFamilies{"ttyS",  "ttyUSB", "ttyACM", "ttyAMA", "ttyXRUSB",
                                                "ttySC", "ttymxc", "ttyTHS", "ttyLP",  "rfcomm"};

struct Candidate {
    int number;
    QString name;
};

std::vector<Candidate> FamilyMembers(const QDir& dev, const QString& family)
{
    const QRegularExpression pattern(QStringLiteral("^%1(\\d+)$").arg(QRegularExpression::escape(family)));
    std::vector<Candidate> found;
    const QStringList names =
        dev.entryList({family + QLatin1Char('*')}, QDir::System | QDir::Files | QDir::Hidden, QDir::NoSort);
    for (const QString& name : names) {
        const QRegularExpressionMatch m = pattern.match(name);
        bool ok = false;
        const int n = m.hasMatch() ? m.captured(1).toInt(&ok) : 0;
        if (ok)
            found.push_back({n, name});
    }
    std::sort(found.begin(), found.end(),
              [](const Candidate& a, const Candidate& b) { return a.number < b.number; });
    return found;
}

// The kernel creates ttyS0..ttyS31 whether or not a UART answers there; serial core reports such
// a port as type 0 (unknown) in sysfs, which costs no open.
bool SysfsSaysNoUart(const QString& sysTtyDir, const QString& name)
{
    if (sysTtyDir.isEmpty())
        return false;
    QFile type(sysTtyDir + QLatin1Char('/') + name + QStringLiteral("/type"));
    if (!type.open(QIODevice::ReadOnly))
        return false;
    return type.readAll().trimmed() == "0";
}

// The same test on the open device, for when sysfs is not there: no UART means an unknown port
// type, and serial core fails modem-line queries with EIO on a port it could not start.
bool OpenPortHasNoUart(int fd)
{
    serial_struct info{};
    if (::ioctl(fd, TIOCGSERIAL, &info) == 0 && info.type == PORT_UNKNOWN)
        return true;
    int lines = 0;
    return ::ioctl(fd, TIOCMGET, &lines) != 0 && errno == EIO;
}

} // namespace

PortScanResult ScanSerialPorts(const QString& devDir, const QString& sysTtyDir)
{
    PortScanResult result;
    const QDir dev(devDir);
    for (const char* family : kFamilies) {
        for (const Candidate& c : FamilyMembers(dev, QLatin1String(family))) {
            if (SysfsSaysNoUart(sysTtyDir, c.name))
                continue;
            const QString path = dev.filePath(c.name);
            int err = 0;
            const int fd = OpenPortExclusive(path, err);
            if (fd < 0) {
                if (err == EACCES || err == EPERM)
                    result.denied.append(path);
                qCDebug(lcLink) << "scan:" << path << qt_error_string(err);
                continue;
            }
            const bool absent = OpenPortHasNoUart(fd);
            ClosePort(fd);
            if (!absent)
                result.ports.append(path);
        }
    }
    return result;
}

PortScanResult ScanSerialPorts()
{
    return ScanSerialPorts(QStringLiteral("/dev"), QStringLiteral("/sys/class/tty"));
}

QString ChoiceCOM(const QString& ComName)
{
    if (!ComName.startsWith(QLatin1String("COM")))
        return ComName;
    const QString rest = ComName.mid(3);
    const bool digits = !rest.isEmpty() &&
                        std::all_of(rest.begin(), rest.end(), [](QChar c) { return c >= u'0' && c <= u'9'; });
    bool ok = false;
    const int n = digits ? rest.toInt(&ok) : 0;
    if (!ok)
        throw EConvertError(("'" + ComName.toStdString() + "' is not a valid port name"));
    if (n < 1)
        throw EConvertError(("'" + ComName.toStdString() + "' names no port"));
    return QStringLiteral("/dev/ttyS%1").arg(n - 1);
}

bool SetComPortSpeed(TCommPortDriver& driver, int Speed)
{
    struct Row {
        int speed;
        TComPortBaudRate rate;
        std::uint16_t pollingDelay;
    };
    static constexpr std::array<Row, 8> kTable{{
        {9600, br9600, 50},
        {19200, br19200, 30},
        {38400, br38400, 30},
        {57600, br57600, 30},
        {115200, br115200, 30},
        {230400, br230400, 30},
        {460800, br460800, 30},
        {921600, br921600, 30},
    }};
    const auto row =
        std::find_if(kTable.begin(), kTable.end(), [Speed](const Row& r) { return r.speed == Speed; });
    if (row == kTable.end())
        return true;
    driver.setComPortSpeed(row->rate);
    if (Speed >= 230400 && driver.ComPortSpeed() != row->rate)
        return false;
    driver.setComPortPollingDelay(row->pollingDelay);
    return true;
}
