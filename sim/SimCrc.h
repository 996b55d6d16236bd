#pragma once
// CRC-16/MODBUS as the sensor firmware computes it: written independently of the program's own.
#include <QByteArray>
#include <cstdint>

std::uint16_t simCrc16(const char* data, qsizetype size);
std::uint16_t simCrc16(const QByteArray& data);

// Appends the CRC of `body`, low byte first.
QByteArray simWithCrc(const QByteArray& body);

// True when `frame` is at least 3 bytes long and ends with the CRC of the bytes before it.
bool simCrcMatches(const QByteArray& frame);
