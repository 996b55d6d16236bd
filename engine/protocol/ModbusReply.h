#pragma once
// Fields of Modbus RTU replies, read from a whole received frame: address byte first, CRC last,
// multi-byte numbers big-endian. The layout checks say whether a frame carries every byte that its
// function needs; the readers never read at or beyond the end of the frame (they throw
// std::out_of_range instead).
#include <QByteArray>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>

using TModbusFrame = std::span<const std::uint8_t>;

namespace ModbusFunction {
inline constexpr std::uint8_t ReadRegisters = 3;
inline constexpr std::uint8_t WriteRegister = 6;
inline constexpr std::uint8_t WriteRegisters = 16;
inline constexpr std::uint8_t ExceptionBit = 0x80;
} // namespace ModbusFunction

// The data bytes a function-3 reply carries for each read the program sends.
namespace ModbusByteCount {
inline constexpr int Register = 2; // a result register or the flag register
inline constexpr int Ident = 32;   // the identification block, 16 registers
inline constexpr int Block = 38;   // the parameter block, 19 registers
} // namespace ModbusByteCount

// Index of the first data byte of a function-3 reply, and of the exception code.
inline constexpr std::size_t ModbusDataIndex = 3;
inline constexpr std::size_t ModbusExceptionCodeIndex = 2;

// The function byte; none when the frame is only an address and its CRC.
std::optional<std::uint8_t> ReplyFunction(TModbusFrame frame);

// True when the frame is exactly as long as the layout its function byte names: an exception
// 5 bytes; function 3 five bytes plus the byte count at index 2; functions 6 and 16 eight bytes;
// any other function at least address, function and CRC. False for a frame without function.
bool HasReplyLayout(TModbusFrame frame);

// True when frame is a function-3 reply of that layout carrying exactly byteCount data bytes.
bool CarriesData(TModbusFrame frame, int byteCount);

// The echoes of the two requests of a parameter write, each with its whole layout: the single
// write of the flag register 0x0000 (function 6), and the block write from 0x0010 (function 16).
bool IsFlagWriteEcho(TModbusFrame frame);
bool IsBlockWriteEcho(TModbusFrame frame);

// Big-endian numbers at index; std::out_of_range when they do not lie inside frame.
std::uint8_t FrameByte(TModbusFrame frame, std::size_t index);
std::uint16_t FrameWord(TModbusFrame frame, std::size_t index);
std::int32_t FrameInt32(TModbusFrame frame, std::size_t index);
// count bytes from index as sent, zero bytes included.
QByteArray FrameText(TModbusFrame frame, std::size_t index, std::size_t count);

// The identification block of a reply that carries it.
struct TModbusIdent {
    QByteArray Model;    // 20 characters as sent
    double Range = 0;    // mm
    double Distance = 0; // mm
    std::int32_t SerialNumber = 0;
};
TModbusIdent ParseIdentBlock(TModbusFrame frame);

// The five parameter bits of the flag register, each 0 or 1.
struct TModbusFlags {
    std::uint8_t GaugeOnOff = 0;
    std::uint8_t AnalogExit = 0;
    std::uint8_t Synhro = 0;
    std::uint8_t CorrezSign = 0;
    std::uint8_t ThreadOnOff = 0;
};
TModbusFlags ParseFlagRegister(TModbusFrame frame);
