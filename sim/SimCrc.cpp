#include "sim/SimCrc.h"

#include <array>

namespace {

// Table form of the reflected polynomial 0xA001, built once at compile time.
constexpr std::array<std::uint16_t, 256> makeTable()
{
    std::array<std::uint16_t, 256> table{};
    for (unsigned i = 0; i < 256; ++i) {
        std::uint16_t value = static_cast<std::uint16_t>(i);
        for (int bit = 0; bit < 8; ++bit)
            value = (value & 1u) ? static_cast<std::uint16_t>((value >> 1) ^ 0xA001u)
                                 : static_cast<std::uint16_t>(value >> 1);
        table[i] = value;
    }
    return table;
}

constexpr auto kTable = makeTable();

} // namespace

std::uint16_t simCrc16(const char* data, qsizetype size)
{
    std::uint16_t crc = 0xFFFF;
    for (qsizetype i = 0; i < size; ++i) {
        const auto byte = static_cast<std::uint8_t>(data[i]);
        crc = static_cast<std::uint16_t>((crc >> 8) ^ kTable[(crc ^ byte) & 0xFFu]);
    }
    return crc;
}

std::uint16_t simCrc16(const QByteArray& data)
{
    return simCrc16(data.constData(), data.size());
}

QByteArray simWithCrc(const QByteArray& body)
{
    const std::uint16_t crc = simCrc16(body);
    QByteArray frame = body;
    frame.append(static_cast<char>(crc & 0xFFu));
    frame.append(static_cast<char>(crc >> 8));
    return frame;
}

bool simCrcMatches(const QByteArray& frame)
{
    if (frame.size() < 3)
        return false;
    const std::uint16_t crc = simCrc16(frame.constData(), frame.size() - 2);
    return static_cast<std::uint8_t>(frame[frame.size() - 2]) == (crc & 0xFFu) &&
           static_cast<std::uint8_t>(frame[frame.size() - 1]) == (crc >> 8);
}
