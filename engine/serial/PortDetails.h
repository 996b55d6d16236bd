#pragma once
// Which adapter a serial port belongs to, as sysfs tells it: the driver and, for a USB adapter, its
// ids and the strings it reports about itself.
#include <QString>

// What the system tells of the adapter behind a serial port.
struct TPortDetails {
    // The kernel driver of the tty's device ("ftdi_sio", "cp210x", "serial8250"), empty if none.
    QString Driver;
    bool Usb = false; // the fields below are known only for a USB adapter
    QString VendorId; // four lower-case hex digits, as the system writes them ("0403")
    QString ProductId;
    QString Manufacturer; // empty when the device does not say
    QString Product;
    QString Serial;
};

// devicePath: "/dev/ttyUSB0" (a symlink to a device node is followed to its node's name);
// sysTtyDir: where the kernel describes each tty ("/sys/class/tty"); tests pass a tree of their own.
// Reads a few short sysfs files and follows no more than a handful of links; never throws.
TPortDetails PortDetailsOf(const QString& devicePath,
                           const QString& sysTtyDir = QStringLiteral("/sys/class/tty"));
