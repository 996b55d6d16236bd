#include "protocol/ReceiveFraming.h"
#include "convert/Unit_Utils.h"
#include "protocol/Crc16.h"
#include <algorithm>

int HexAddressNumber(const QByteArray& text)
{
    if (text.size() != 2)
        return -1;
    const int hi = HexDigit(text[0]);
    const int lo = HexDigit(text[1]);
    return hi < 0 || lo < 0 ? -1 : hi * 16 + lo;
}

QByteArray TakeStandardLine(QByteArray& buffer)
{
    QByteArray line = buffer;
    const qsizetype cr = buffer.indexOf('\r');
    if (cr < 0)
        buffer.clear();
    else
        buffer.remove(0, cr + 1);
    return line;
}

bool DropToReplyStart(QByteArray& line)
{
    const char* const begin = line.constData();
    const char* const end = begin + line.size();
    const char* const start = std::find_if(begin, end, [](char c) { return c == '!' || c == '%'; });
    if (start == end) {
        line.clear();
        return false;
    }
    line.remove(0, start - begin);
    return true;
}

std::optional<QByteArray> SearchReplyAddress(QByteArray line)
{
    while (line.size() >= 6) {
        if (line.mid(3, 3) == "R01") {
            const qsizetype bang = line.indexOf('!');
            if (bang < 0)
                return std::nullopt;
            const QByteArray address = line.mid(bang + 1, 2);
            if (HexAddressNumber(address) <= 0)
                return std::nullopt;
            return address;
        }
        const qsizetype cr = line.indexOf('\r');
        if (cr < 0)
            return std::nullopt;
        line.remove(0, cr + 1);
    }
    return std::nullopt;
}

bool IsCompleteModbusFrame(const std::uint8_t* data, std::size_t size)
{
    if (size < 3)
        return false;
    const std::uint16_t crc = Crc16(data, size - 2);
    return data[size - 2] == (crc & 0xFF) && data[size - 1] == (crc >> 8);
}

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

QByteArray KeepAnswerStart(const QByteArray& buffer, int address, TProtocol protocol)
{
    return protocol == TProtocol::Modbus ? ModbusAnswerStart(buffer, address) : StandardAnswerStart(buffer, address);
}
