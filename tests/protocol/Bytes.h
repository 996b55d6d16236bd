#pragma once
#include "protocol/Frames.h"
#include <QByteArray>

inline QByteArray Hex(const char* text)
{
    return QByteArray::fromHex(text);
}
// A Modbus frame: hexBody followed by its CRC.
inline QByteArray Framed(const char* hexBody)
{
    return AppendCrc(Hex(hexBody));
}
