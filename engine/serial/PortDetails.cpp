#include "serial/PortDetails.h"

#include <QByteArray>
#include <QFile>
#include <QFileInfo>

namespace {

// A sysfs attribute is one short line; anything longer is not worth showing.
constexpr qint64 kMaxAttributeBytes = 256;
// From the tty's device up to the USB device is two levels for usb-serial, one for cdc_acm.
constexpr int kMaxLevelsUp = 6;

QString Child(const QString& dir, const char* name)
{
    return dir + QLatin1Char('/') + QLatin1String(name);
}

QString ParentOf(const QString& dir)
{
    return QFileInfo(dir).absolutePath();
}

// First line of the file, trimmed; empty when it is missing. Only regular files are opened, so a
// FIFO planted in the tree cannot block the caller.
QString ReadAttribute(const QString& dir, const char* name)
{
    const QString path = Child(dir, name);
    if (!QFileInfo(path).isFile())
        return {};
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    QByteArray text = file.read(kMaxAttributeBytes);
    const qsizetype end = text.indexOf('\n');
    if (end >= 0)
        text.truncate(end);
    return QString::fromUtf8(text).trimmed();
}

// Basename of the target of the link dir/name ("driver", "subsystem"), empty when there is none.
QString LinkName(const QString& dir, const char* name)
{
    const QFileInfo link(Child(dir, name));
    return link.isSymLink() ? QFileInfo(link.symLinkTarget()).fileName() : QString();
}

// Since Linux 6.5 serial-core ports hang below the UART's own device as "port" and "ctrl" devices
// of the serial-base bus; the driver worth naming is the UART's ("serial8250"), not "port".
QString DriverOf(const QString& device)
{
    QString dir = device;
    for (int level = 0; level < kMaxLevelsUp && LinkName(dir, "subsystem") == QLatin1String("serial-base");
         ++level)
        dir = ParentOf(dir);
    return LinkName(dir, "driver");
}

// The nearest directory at or above the device that describes a USB device, or empty. A hub
// further up has idVendor too, which is why the walk stops at the first one.
QString UsbDeviceAbove(const QString& device, const QString& devicesRoot)
{
    QString dir = device;
    for (int level = 0; level <= kMaxLevelsUp; ++level) {
        if (dir == devicesRoot)
            return {};
        if (QFileInfo(Child(dir, "idVendor")).isFile())
            return dir;
        const QString up = ParentOf(dir);
        if (up == dir)
            return {};
        dir = up;
    }
    return {};
}

} // namespace

TPortDetails PortDetailsOf(const QString& devicePath, const QString& sysTtyDir)
{
    TPortDetails details;
    // A link such as /dev/serial/by-id/... names the node it points to; a path that is not there
    // (an adapter just unplugged) is taken by its last component.
    const QString node = QFileInfo(devicePath).canonicalFilePath();
    const QString name = QFileInfo(node.isEmpty() ? devicePath : node).fileName();
    if (name.isEmpty() || name == QLatin1String(".") || name == QLatin1String(".."))
        return details;
    // Pseudo-terminals and virtual consoles have no device entry; a looping link resolves to nothing.
    const QFileInfo deviceLink(sysTtyDir + QLatin1Char('/') + name + QStringLiteral("/device"));
    const QString device = deviceLink.canonicalFilePath();
    if (device.isEmpty() || !QFileInfo(device).isDir())
        return details;
    details.Driver = DriverOf(device);

    const QString devicesRoot = QFileInfo(sysTtyDir + QStringLiteral("/../../devices")).canonicalFilePath();
    const QString usb = UsbDeviceAbove(device, devicesRoot);
    if (usb.isEmpty())
        return details;
    details.Usb = true;
    details.VendorId = ReadAttribute(usb, "idVendor");
    details.ProductId = ReadAttribute(usb, "idProduct");
    details.Manufacturer = ReadAttribute(usb, "manufacturer");
    details.Product = ReadAttribute(usb, "product");
    details.Serial = ReadAttribute(usb, "serial");
    return details;
}
