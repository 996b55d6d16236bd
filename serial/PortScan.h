#pragma once
#include <QString>
#include <QStringList>

class TCommPortDriver;

struct PortScanResult {
    QStringList ports;   // device paths that opened exclusively, in a stable ascending order
    QStringList denied;  // device paths that exist but could not be opened for lack of permission
};

// Probes the serial device families (/dev/ttyS*, ttyUSB*, ttyACM*, ...) with an exclusive open.
PortScanResult ScanSerialPorts();

// Port box text to device path: "COMn" (n >= 1) is /dev/ttyS(n-1); anything else is taken as a
// path. Throws EConvertError (Unit_Utils.h) for "COM" followed by something that is no integer.
QString ChoiceCOM(const QString& ComName);

// Line-speed table: sets the driver's speed and polling delay (50 ms at 9600, 30 ms otherwise).
// A speed not in the table changes nothing and returns true.
bool SetComPortSpeed(TCommPortDriver& driver, int Speed);
