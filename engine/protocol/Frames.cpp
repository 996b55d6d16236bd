#include "protocol/Frames.h"
#include "convert/Unit_Utils.h"
#include "protocol/Crc16.h"
#include <stdexcept>

namespace {
bool IsHexDigit(char c)
{
    return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'F') || (c >= 'a' && c <= 'f');
}
} // namespace

std::uint8_t AddressNumber(const QByteArray& adressText)
{
    if (adressText.size() != 2 || !IsHexDigit(adressText[0]) || !IsHexDigit(adressText[1]))
        throw EConvertError("'" + adressText.toStdString() + "' is not a bus address");
    return HexToByte(adressText);
}

QByteArray AddressText(int address)
{
    if (address < 0 || address > 255)
        throw std::out_of_range("bus address out of range");
    return QByteArray::number(address, 16).toUpper().rightJustified(2, '0');
}

QByteArray AppendCrc(const QByteArray& body)
{
    if (body.isEmpty() || body.size() > 255)
        throw std::length_error("a CRC covers 1 to 255 bytes");
    const std::uint16_t crc =
        Crc16(reinterpret_cast<const std::uint8_t*>(body.constData()), static_cast<std::size_t>(body.size()));
    QByteArray frame = body;
    frame.append(static_cast<char>(crc & 0xFF));
    frame.append(static_cast<char>(crc >> 8));
    return frame;
}

QByteArray StandardFrame(const QByteArray& adressText, const QByteArray& command)
{
    return '#' + adressText + command + '\r';
}

QByteArray ModbusRequest(std::uint8_t address, const TModbusBody& body)
{
    QByteArray bytes(1, static_cast<char>(address));
    for (const std::uint8_t b : body)
        bytes.append(static_cast<char>(b));
    return AppendCrc(bytes);
}

QByteArray ModbusCommandWrite(std::uint8_t address, const char command[2])
{
    return ModbusRequest(address, {0x06, 0x00, 0xBC, static_cast<std::uint8_t>(command[0]),
                                   static_cast<std::uint8_t>(command[1])});
}

QByteArray ModbusFlagWrite(std::uint8_t address, std::uint8_t hi, std::uint8_t lo)
{
    return ModbusRequest(address, {0x06, 0x00, 0x00, hi, lo});
}

QByteArray ModbusBlockWrite(std::uint8_t address, const QByteArray& data)
{
    if (data.size() > MaxBlockWriteData)
        throw std::length_error("parameter block too long for one frame");
    const auto n = static_cast<std::uint8_t>(data.size());
    QByteArray body;
    body.append(static_cast<char>(address));
    body.append("\x10\x00\x10\x00", 4);
    body.append(static_cast<char>(n / 2));
    body.append(static_cast<char>(n));
    body.append(data);
    return AppendCrc(body);
}

QByteArray BuildSearchProbe(int address, TProtocol protocol)
{
    const QByteArray text = AddressText(address);
    if (protocol == TProtocol::Modbus)
        return ModbusRequest(static_cast<std::uint8_t>(address), ModbusBody::SearchProbe);
    return StandardFrame(text, "R01");
}
