// What sysfs tells of the adapter behind a port, over a tree laid out as the kernel lays it out.
#include "serial/PortDetails.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// Real directories, files and relative symlinks, so that following a link works as it does in /sys.
class FakeTree {
  public:
    bool ok() const { return ok_ && root_.isValid(); }
    QString path(const QString& rel) const { return root_.filePath(rel); }

    void dir(const QString& rel) { ok_ = QDir().mkpath(path(rel)) && ok_; }
    void file(const QString& rel, const QByteArray& content)
    {
        dir(QFileInfo(rel).path());
        QFile f(path(rel));
        ok_ = f.open(QIODevice::WriteOnly) && f.write(content) == content.size() && ok_;
    }
    void fifo(const QString& rel)
    {
        dir(QFileInfo(rel).path());
        ok_ = ::mkfifo(QFile::encodeName(path(rel)).constData(), 0600) == 0 && ok_;
    }
    // rel becomes a link to target (both relative to the root), written relative as the kernel does.
    void link(const QString& rel, const QString& target)
    {
        dir(QFileInfo(rel).path());
        const QString relative = QDir(QFileInfo(path(rel)).path()).relativeFilePath(path(target));
        ok_ = ::symlink(QFile::encodeName(relative).constData(), QFile::encodeName(path(rel)).constData()) ==
                  0 &&
              ok_;
    }
    // A tty class entry pointing at its directory below the device, with `device` back up to it.
    void tty(const QString& name, const QString& deviceDir)
    {
        const QString ttyDir = deviceDir + QStringLiteral("/tty/") + name;
        dir(ttyDir);
        link(ttyDir + QStringLiteral("/device"), deviceDir);
        link(QStringLiteral("sys/class/tty/") + name, ttyDir);
    }
    void usbDevice(const QString& dirRel, const QByteArray& vendor, const QByteArray& product)
    {
        file(dirRel + QStringLiteral("/idVendor"), vendor + '\n');
        file(dirRel + QStringLiteral("/idProduct"), product + '\n');
    }

  private:
    QTemporaryDir root_;
    bool ok_ = true;
};

std::string Describe(const TPortDetails& d)
{
    return QStringLiteral("driver=%1 usb=%2 vendor=%3 product=%4 manufacturer=%5 name=%6 serial=%7")
        .arg(d.Driver, d.Usb ? QStringLiteral("yes") : QStringLiteral("no"), d.VendorId, d.ProductId,
             d.Manufacturer, d.Product, d.Serial)
        .toStdString();
}

TEST(SerialPortDetails, ReadsTheAdapterFromSysfs)
{
    FakeTree t;
    const QString hc = QStringLiteral("sys/devices/pci0000:00/0000:00:14.0/usb1");
    t.usbDevice(hc, "1d6b", "0002"); // the root hub: above every adapter, never the answer
    t.file(hc + "/product", "xHCI Host Controller\n");

    // usb-serial: the tty's device is the port, one level below the interface.
    const QString ftdi = hc + "/1-1";
    t.usbDevice(ftdi, "0403", "6001");
    t.file(ftdi + "/manufacturer", "  Acme Instruments \r\n");
    t.file(ftdi + "/product", "USB-RS485 Cable\nnot part of the name\n");
    t.file(ftdi + "/serial", "AB12CD34\n");
    t.link(ftdi + "/1-1:1.0/driver", "sys/bus/usb/drivers/ftdi_sio");
    t.link(ftdi + "/1-1:1.0/ttyUSB0/driver", "sys/bus/usb-serial/drivers/ftdi_sio");
    t.link(ftdi + "/1-1:1.0/ttyUSB0/subsystem", "sys/bus/usb-serial");
    t.tty("ttyUSB0", ftdi + "/1-1:1.0/ttyUSB0");
    t.file("dev/ttyUSB0", {});
    t.link("dev/mylink", "dev/ttyUSB0");

    // cdc_acm behind an external hub: the tty's device is the interface itself.
    const QString hub = hc + "/1-3";
    t.usbDevice(hub, "05e3", "0610");
    const QString acm = hub + "/1-3.2";
    t.usbDevice(acm, "1209", "c0de");
    t.file(acm + "/manufacturer", QByteArray(400, 'M'));
    t.file(acm + "/product", "Bus Bridge\n");
    t.file(acm + "/serial", "0001\n");
    t.link(acm + "/1-3.2:1.0/driver", "sys/bus/usb/drivers/cdc_acm");
    t.tty("ttyACM0", acm + "/1-3.2:1.0");

    // An adapter that names nothing but its ids; a FIFO where a string should be must not block.
    const QString bare = hc + "/1-4";
    t.usbDevice(bare, "1a86", "7523");
    t.fifo(bare + "/manufacturer");
    t.link(bare + "/1-4:1.0/ttyUSB1/driver", "sys/bus/usb-serial/drivers/ch341-uart");
    t.tty("ttyUSB1", bare + "/1-4:1.0/ttyUSB1");

    // Newer kernels put serial-base "ctrl" and "port" devices between the UART and its tty.
    const QString uart = QStringLiteral("sys/devices/platform/serial8250");
    t.link(uart + "/driver", "sys/bus/platform/drivers/serial8250");
    t.link(uart + "/serial8250:0/subsystem", "sys/bus/serial-base");
    t.link(uart + "/serial8250:0/driver", "sys/bus/serial-base/drivers/ctrl");
    t.link(uart + "/serial8250:0/serial8250:0.1/subsystem", "sys/bus/serial-base");
    t.link(uart + "/serial8250:0/serial8250:0.1/driver", "sys/bus/serial-base/drivers/port");
    t.tty("ttyS1", uart + "/serial8250:0/serial8250:0.1");
    // Older kernels: the tty's device is the UART.
    t.link("sys/devices/pnp0/00:01/driver", "sys/bus/pnp/drivers/serial");
    t.tty("ttyS0", "sys/devices/pnp0/00:01");

    // Virtual consoles have a class entry but no device; pseudo-terminals not even that.
    t.dir("sys/devices/virtual/tty/tty0");
    t.link("sys/class/tty/tty0", "sys/devices/virtual/tty/tty0");
    t.file("dev/pts/3", {});
    t.dir("sys/devices/virtual/tty/ttyLOOP");
    t.link("sys/devices/virtual/tty/ttyLOOP/device", "sys/devices/virtual/tty/ttyLOOP/device");
    t.link("sys/class/tty/ttyLOOP", "sys/devices/virtual/tty/ttyLOOP");
    ASSERT_TRUE(t.ok());

    TPortDetails ftdiPort;
    ftdiPort.Driver = "ftdi_sio";
    ftdiPort.Usb = true;
    ftdiPort.VendorId = "0403";
    ftdiPort.ProductId = "6001";
    ftdiPort.Manufacturer = "Acme Instruments";
    ftdiPort.Product = "USB-RS485 Cable";
    ftdiPort.Serial = "AB12CD34";
    TPortDetails acmPort;
    acmPort.Driver = "cdc_acm";
    acmPort.Usb = true;
    acmPort.VendorId = "1209";
    acmPort.ProductId = "c0de";
    acmPort.Manufacturer = QString(256, u'M');
    acmPort.Product = "Bus Bridge";
    acmPort.Serial = "0001";
    TPortDetails barePort;
    barePort.Driver = "ch341-uart";
    barePort.Usb = true;
    barePort.VendorId = "1a86";
    barePort.ProductId = "7523";
    TPortDetails newUart;
    newUart.Driver = "serial8250";
    TPortDetails oldUart;
    oldUart.Driver = "serial";

    struct Case {
        const char* device; // below the tree's root
        TPortDetails expected;
    };
    const Case cases[] = {
        {"dev/ttyUSB0", ftdiPort}, {"dev/mylink", ftdiPort}, {"dev/ttyACM0", acmPort},
        {"dev/ttyUSB1", barePort}, {"dev/ttyS1", newUart},   {"dev/ttyS0", oldUart},
        {"dev/tty0", {}},          {"dev/pts/3", {}},        {"dev/ttyLOOP", {}},
        {"dev/ttyUSB9", {}},
    };
    for (const Case& c : cases) {
        const TPortDetails got = PortDetailsOf(t.path(c.device), t.path("sys/class/tty"));
        EXPECT_EQ(Describe(got), Describe(c.expected)) << c.device;
    }
}

// The kernel's own tree, where a UART hangs below serial-base devices on newer kernels.
TEST(SerialPortDetails, TtyS0OfThisMachineIsNoUsbAdapter)
{
    if (!QFileInfo::exists(QStringLiteral("/sys/class/tty/ttyS0/device")))
        GTEST_SKIP() << "no ttyS0 device in sysfs";
    const TPortDetails d = PortDetailsOf(QStringLiteral("/dev/ttyS0"));
    EXPECT_FALSE(d.Usb) << Describe(d);
    EXPECT_TRUE(d.VendorId.isEmpty()) << Describe(d);
    EXPECT_NE(d.Driver, QStringLiteral("port")) << "the serial-base port, not the UART's driver";
}

} // namespace
