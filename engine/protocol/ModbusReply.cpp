#include "protocol/ModbusReply.h"
#include <stdexcept>

namespace {
constexpr std::size_t CrcBytes = 2;
// Address, function, CRC: the shortest frame that names a function.
constexpr std::size_t MinimumFrame = 2 + CrcBytes;
constexpr std::size_t ExceptionFrame = 3 + CrcBytes;
// Address, function, register, value or count, CRC.
constexpr std::size_t WriteEchoFrame = 6 + CrcBytes;
constexpr std::size_t ByteCountIndex = 2;
constexpr std::size_t WriteRegisterIndex = 2;
constexpr std::uint16_t FlagRegister = 0x0000;
constexpr std::uint16_t BlockFirstRegister = 0x0010;

void RequireInside(TModbusFrame frame, std::size_t index, std::size_t count)
{
    if (index > frame.size() || count > frame.size() - index)
        throw std::out_of_range("Modbus field beyond the received frame");
}

// Bit of the flag register's low byte as 0 or 1.
std::uint8_t Bit(std::uint8_t byte, int bit)
{
    return static_cast<std::uint8_t>((byte >> bit) & 1);
}
} // namespace

std::optional<std::uint8_t> ReplyFunction(TModbusFrame frame)
{
    if (frame.size() < MinimumFrame)
        return std::nullopt;
    return frame[1];
}

bool HasReplyLayout(TModbusFrame frame)
{
    const auto function = ReplyFunction(frame);
    if (!function)
        return false;
    if (*function & ModbusFunction::ExceptionBit)
        return frame.size() == ExceptionFrame;
    switch (*function) {
    case ModbusFunction::ReadRegisters:
        return frame.size() > ByteCountIndex + CrcBytes &&
               frame.size() == ModbusDataIndex + frame[ByteCountIndex] + CrcBytes;
    case ModbusFunction::WriteRegister:
    case ModbusFunction::WriteRegisters:
        return frame.size() == WriteEchoFrame;
    default:
        return true;
    }
}

bool CarriesData(TModbusFrame frame, int byteCount)
{
    return ReplyFunction(frame) == ModbusFunction::ReadRegisters && HasReplyLayout(frame) &&
           frame[ByteCountIndex] == byteCount;
}

bool IsFlagWriteEcho(TModbusFrame frame)
{
    return ReplyFunction(frame) == ModbusFunction::WriteRegister && HasReplyLayout(frame) &&
           FrameWord(frame, WriteRegisterIndex) == FlagRegister;
}

bool IsBlockWriteEcho(TModbusFrame frame)
{
    return ReplyFunction(frame) == ModbusFunction::WriteRegisters && HasReplyLayout(frame) &&
           FrameWord(frame, WriteRegisterIndex) == BlockFirstRegister;
}

std::uint8_t FrameByte(TModbusFrame frame, std::size_t index)
{
    RequireInside(frame, index, 1);
    return frame[index];
}

std::uint16_t FrameWord(TModbusFrame frame, std::size_t index)
{
    RequireInside(frame, index, 2);
    return static_cast<std::uint16_t>(frame[index] << 8 | frame[index + 1]);
}

std::int32_t FrameInt32(TModbusFrame frame, std::size_t index)
{
    RequireInside(frame, index, 4);
    const std::uint32_t value = std::uint32_t{frame[index]} << 24 | std::uint32_t{frame[index + 1]} << 16 |
                                std::uint32_t{frame[index + 2]} << 8 | frame[index + 3];
    return static_cast<std::int32_t>(value);
}

QByteArray FrameText(TModbusFrame frame, std::size_t index, std::size_t count)
{
    RequireInside(frame, index, count);
    return QByteArray(reinterpret_cast<const char*>(frame.data() + index), static_cast<qsizetype>(count));
}

TModbusIdent ParseIdentBlock(TModbusFrame frame)
{
    // Registers 0x00BD-0x00CC: model name, then range and distance in thousandths of a mm, then the
    // serial number, each number two registers, high register first.
    TModbusIdent ident;
    ident.Model = FrameText(frame, ModbusDataIndex, 20);
    ident.Range = FrameInt32(frame, 23) / 1000.0;
    ident.Distance = FrameInt32(frame, 27) / 1000.0;
    ident.SerialNumber = FrameInt32(frame, 31);
    return ident;
}

TModbusFlags ParseFlagRegister(TModbusFrame frame)
{
    // Only the low byte carries parameters; the high byte and bits 5-7 are unused.
    const std::uint8_t low = FrameByte(frame, ModbusDataIndex + 1);
    TModbusFlags flags;
    flags.GaugeOnOff = Bit(low, 0);
    flags.AnalogExit = Bit(low, 1);
    flags.Synhro = Bit(low, 2);
    // Bit 3 is the sign of the correction, 1 meaning negative, as in the standard protocol's sign
    // register; the sensor reads it the same way when the flag register is written.
    flags.CorrezSign = Bit(low, 3);
    flags.ThreadOnOff = Bit(low, 4);
    return flags;
}
