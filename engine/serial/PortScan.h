#pragma once
#include <QString>
#include <QStringList>

class TCommPortDriver;

struct PortScanResult {
    QStringList ports;   // device paths that opened exclusively, in a stable ascending order
    QStringList denied;  // device paths that exist but could not be opened for lack of permission
};

// Probes the serial device families (/dev/ttyS*, ttyUSB*, ttyACM*, ...) with an exclusive open.
// Order: family (ttyS, ttyUSB, ttyACM, ttyAMA, ttyXRUSB, ttySC, ttymxc, ttyTHS, ttyLP, rfcomm),
// then number (ttyS2 before ttyS10). A ttyS without a UART behind it is left out.
PortScanResult ScanSerialPorts();

// The same scan over the device nodes in devDir; sysTtyDir is where the kernel describes each tty
// (/sys/class/tty), or empty to skip that shortcut.
PortScanResult ScanSerialPorts(const QString& devDir, const QString& sysTtyDir);

// Port box text to device path: "COMn" (n >= 1) is /dev/ttyS(n-1); anything else is taken as a
// path. Throws EConvertError (Unit_Utils.h) for "COM" followed by something that is no integer,
// and for "COM0".
QString ChoiceCOM(const QString& ComName);

// Line-speed table: sets the driver's speed and polling delay (50 ms at 9600, 30 ms otherwise).
// A speed not in the table changes nothing and returns true.
bool SetComPortSpeed(TCommPortDriver& driver, int Speed);
