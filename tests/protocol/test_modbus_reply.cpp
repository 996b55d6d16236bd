#include "protocol/Frames.h"
#include "protocol/ModbusReply.h"
#include <QByteArray>
#include <gtest/gtest.h>
#include <stdexcept>

namespace {
TModbusFrame View(const QByteArray& bytes)
{
    return {reinterpret_cast<const std::uint8_t*>(bytes.constData()), static_cast<std::size_t>(bytes.size())};
}
} // namespace

TEST(ModbusReply, ReadersStayInsideTheFrame)
{
    const QByteArray bytes = QByteArray::fromHex("01 02 03 04 05");
    const TModbusFrame frame = View(bytes);
    EXPECT_EQ(FrameByte(frame, 4), 0x05);
    EXPECT_EQ(FrameWord(frame, 3), 0x0405);
    EXPECT_EQ(FrameInt32(frame, 1), 0x02030405);
    EXPECT_EQ(FrameText(frame, 1, 4), QByteArray::fromHex("02 03 04 05"));
    EXPECT_THROW(FrameByte(frame, 5), std::out_of_range);
    EXPECT_THROW(FrameWord(frame, 4), std::out_of_range);
    EXPECT_THROW(FrameInt32(frame, 2), std::out_of_range);
    EXPECT_THROW(FrameText(frame, 2, 4), std::out_of_range);
    EXPECT_THROW(FrameText(frame, static_cast<std::size_t>(-1), 2), std::out_of_range);
}

TEST(ModbusReply, IdentificationBlock)
{
    const struct {
        const char* name;
        const char* numbers; // range, distance, serial number: 12 bytes
        double range;
        double distance;
        std::int32_t serial;
    } cases[] = {
        {"ordinary", "0003D090 00125174 0001E240", 250.0, 1200.5, 123456},
        {"fractions of a mm", "00000001 000003E7 00000000", 0.001, 0.999, 0},
        {"negative numbers are signed", "FFFFFC18 80000000 FFFFFFD6", -1.0, -2147483.648, -42},
    };
    const QByteArray model("VLT-250 M12\0\0      \x01", 20);
    ASSERT_EQ(model.size(), 20);
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const QByteArray frame =
            AppendCrc(QByteArray::fromHex("1A 03 20") + model + QByteArray::fromHex(c.numbers));
        const TModbusIdent ident = ParseIdentBlock(View(frame));
        EXPECT_EQ(ident.Model, model);
        EXPECT_DOUBLE_EQ(ident.Range, c.range);
        EXPECT_DOUBLE_EQ(ident.Distance, c.distance);
        EXPECT_EQ(ident.SerialNumber, c.serial);
    }
}

TEST(ModbusReply, ParameterWriteEchoes)
{
    const struct {
        const char* body; // CRC appended
        bool flagEcho;
        bool blockEcho;
    } cases[] = {
        {"1A 06 00 00 00 15", true, false},
        {"1A 06 00 00 4F 4E", true, false},
        {"1A 10 00 10 00 13", false, true},
        {"1A 10 00 10 00 01", false, true},
        {"1A 06 00 BC 4F 4E", false, false}, // a command echo
        {"1A 06 00 10 00 15", false, false},
        {"1A 10 00 00 00 01", false, false},
        {"1A 10 00 11 00 12", false, false},
        {"1A 03 02 00 00", false, false},
        {"1A 86 02", false, false},
        {"1A 90 03", false, false},
        {"1A 06 00 00 00", false, false},       // cut short
        {"1A 06 00 00 00 15 00", false, false}, // one byte too many
        {"1A 10 00 10 00", false, false},
        {"1A 10", false, false},
        {"1A", false, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.body);
        const QByteArray frame = AppendCrc(QByteArray::fromHex(c.body));
        EXPECT_EQ(IsFlagWriteEcho(View(frame)), c.flagEcho);
        EXPECT_EQ(IsBlockWriteEcho(View(frame)), c.blockEcho);
    }
}
