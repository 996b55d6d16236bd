#include "operations/ProbeAnswer.h"

namespace {
// "!", two address digits, "R01", two value digits, CR.
constexpr qsizetype StandardAnswerLength = 9;
// Address, function 3, byte count 2, one register, CRC.
constexpr qsizetype ModbusAnswerLength = 7;
constexpr char ModbusRead = 0x03;
constexpr char ModbusReadException = static_cast<char>(0x83);

QByteArray StandardAnswerStart(const QByteArray& buffer, int address)
{
    const qsizetype start = buffer.lastIndexOf('!');
    if (start < 0)
        return {};
    const QByteArray tail = buffer.mid(start);
    if (tail.contains('\r') || tail.size() >= StandardAnswerLength)
        return {};
    const QByteArray digits = QByteArray::number(address, 16).rightJustified(2, '0');
    const QByteArray named = tail.mid(1, 2).toLower();
    return digits.startsWith(named) ? tail : QByteArray();
}

QByteArray ModbusAnswerStart(const QByteArray& buffer, int address)
{
    if (buffer.isEmpty() || buffer.size() >= ModbusAnswerLength)
        return {};
    if (static_cast<std::uint8_t>(buffer[0]) != address)
        return {};
    if (buffer.size() >= 2 && buffer[1] != ModbusRead && buffer[1] != ModbusReadException)
        return {};
    return buffer;
}
} // namespace

QByteArray KeepAnswerStart(const QByteArray& buffer, int address, std::uint8_t mode)
{
    return mode == 1 ? ModbusAnswerStart(buffer, address) : StandardAnswerStart(buffer, address);
}
