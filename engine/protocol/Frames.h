#pragma once
// Request frames of both link protocols, as plain functions on bytes.
#include "protocol/Protocol.h"
#include <QByteArray>
#include <array>
#include <cstdint>

// The five bytes after address and function 3 or 6 of the fixed Modbus requests.
using TModbusBody = std::array<std::uint8_t, 5>;
namespace ModbusBody {
inline constexpr TModbusBody FlagRead{0x03, 0x00, 0x00, 0x00, 0x01};
inline constexpr TModbusBody BlockRead{0x03, 0x00, 0x10, 0x00, 0x13};
inline constexpr TModbusBody IdentRead{0x03, 0x00, 0xBD, 0x00, 0x10};
inline constexpr TModbusBody SwitchResultRead{0x03, 0x01, 0x00, 0x00, 0x01};
inline constexpr TModbusBody LastResultRead{0x03, 0x01, 0x01, 0x00, 0x01};
inline constexpr TModbusBody SearchProbe{0x03, 0x00, 0x10, 0x00, 0x01};
} // namespace ModbusBody

// Sent in the same write directly before the stream-stop frame.
inline constexpr char StreamStopPreamble[] = "tkwrnoza";

// The Modbus address byte of a two-digit hexadecimal address text; throws EConvertError for
// anything else, so that a damaged text never turns into another sensor's or the broadcast
// address.
std::uint8_t AddressNumber(const QByteArray& adressText);
// addressText as two upper-case hexadecimal digits, for numbers 0..255.
QByteArray AddressText(int address);

// body followed by its CRC-16, low byte first. body must hold 1..255 bytes.
QByteArray AppendCrc(const QByteArray& body);
// "#", address text, command, CR.
QByteArray StandardFrame(const QByteArray& adressText, const QByteArray& command);
// address, the five body bytes, CRC: every Modbus request but the block write.
QByteArray ModbusRequest(std::uint8_t address, const TModbusBody& body);
// address, 06 00 BC, the two command characters (first in the high byte), CRC.
QByteArray ModbusCommandWrite(std::uint8_t address, const char command[2]);
// address, 06 00 00, the two data bytes (high byte first), CRC.
QByteArray ModbusFlagWrite(std::uint8_t address, std::uint8_t hi, std::uint8_t lo);
// address, 10 00 10 00, n/2, n, the n data bytes, CRC. The CRC covers at most 255 bytes, so
// at most MaxBlockWriteData data bytes fit; longer data throws std::length_error.
inline constexpr int MaxBlockWriteData = 255 - 7;
QByteArray ModbusBlockWrite(std::uint8_t address, const QByteArray& data);

// The probe of the bus search for one address (1..255): standard "#", two upper-case hex
// digits, "R01", CR; Modbus the address byte, 03 00 10 00 01, CRC. Throws std::out_of_range for
// addresses outside 0..255.
QByteArray BuildSearchProbe(int address, TProtocol protocol);
