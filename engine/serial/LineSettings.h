#pragma once
#include "serial/TCommPortDriver.h"

#include <termios.h>

// Everything the driver hands to the line in one go.
struct TLineSettings {
    TComPortBaudRate BaudRate = br9600;
    TComPortDataBits DataBits = db8BITS;
    TComPortStopBits StopBits = sb1BITS;
    TComPortParity Parity = ptNONE;
    TComPortHwHandshaking HwHandshaking = hhNONE;
    TComPortSwHandshaking SwHandshaking = shNONE;
    bool EnableDTR = true;
};

// Turns t into raw 8-bit-clean mode with these settings; the speed is set where the C library
// has a constant for it (every enum value but br14400 and br56000).
void FillLineTermios(termios& t, const TLineSettings& s);

// Puts an open tty into raw 8-bit-clean mode with these settings and sets DTR and RTS.
// Returns false with errno set when the kernel refused the termios part; modem-line failures
// (pseudo-terminals have no modem lines) are ignored.
bool ApplyLineSettings(int fd, const TLineSettings& s);
