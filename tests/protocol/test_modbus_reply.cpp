#include "protocol/Frames.h"
#include "protocol/ModbusReply.h"
#include <QByteArray>
#include <gtest/gtest.h>
#include <stdexcept>

namespace {
// The bytes of body followed by its CRC, as the receive path hands a frame over.
QByteArray Framed(const char* hexBody)
{
    return AppendCrc(QByteArray::fromHex(hexBody));
}

TModbusFrame View(const QByteArray& bytes)
{
    return {reinterpret_cast<const std::uint8_t*>(bytes.constData()), static_cast<std::size_t>(bytes.size())};
}
} // namespace

TEST(ModbusReply, LayoutFollowsTheFunctionByte)
{
    const struct {
        const char* name;
        QByteArray frame;
        bool layout;
    } cases[] = {
        {"address and CRC only", Framed("1A"), false},
        {"function, no byte count", Framed("1A 03"), false},
        {"read reply of one register", Framed("1A 03 02 61 A8"), true},
        {"read reply with no data", Framed("1A 03 00"), true},
        {"byte count above the bytes carried", Framed("1A 03 02 61"), false},
        {"byte count below the bytes carried", Framed("1A 03 01 61 A8"), false},
        {"byte count 255 in a short frame", Framed("1A 03 FF 00 00"), false},
        {"write echo", Framed("1A 06 00 BC 4F 4E"), true},
        {"write echo cut short", Framed("1A 06 00 BC 4F"), false},
        {"write echo too long", Framed("1A 06 00 BC 4F 4E 00"), false},
        {"block write echo", Framed("1A 10 00 10 00 13"), true},
        {"block write echo cut short", Framed("1A 10 00 10"), false},
        {"exception", Framed("1A 83 02"), true},
        {"exception without its code", Framed("1A 83"), false},
        {"exception with a byte too many", Framed("1A 86 02 00"), false},
        {"unknown function of any length", Framed("1A 04"), true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(HasReplyLayout(View(c.frame)), c.layout);
    }
}

TEST(ModbusReply, ReadDataMustMatchTheByteCountWanted)
{
    const QByteArray one = Framed("1A 03 02 00 15");
    EXPECT_TRUE(CarriesData(View(one), ModbusByteCount::Register));
    EXPECT_FALSE(CarriesData(View(one), ModbusByteCount::Ident));
    EXPECT_FALSE(CarriesData(View(one), ModbusByteCount::Block));
    EXPECT_FALSE(CarriesData(View(Framed("1A 03 02 00")), ModbusByteCount::Register));
    EXPECT_FALSE(CarriesData(View(Framed("1A 06 02 00 15 00")), ModbusByteCount::Register));
    EXPECT_FALSE(CarriesData(View(Framed("1A 83 02")), ModbusByteCount::Register));
}

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
        ASSERT_TRUE(CarriesData(View(frame), ModbusByteCount::Ident));
        const TModbusIdent ident = ParseIdentBlock(View(frame));
        EXPECT_EQ(ident.Model, model);
        EXPECT_DOUBLE_EQ(ident.Range, c.range);
        EXPECT_DOUBLE_EQ(ident.Distance, c.distance);
        EXPECT_EQ(ident.SerialNumber, c.serial);
    }
}

TEST(ModbusReply, FlagRegisterBits)
{
    const struct {
        const char* data;
        TModbusFlags flags;
    } cases[] = {
        {"00 15", {1, 0, 1, 0, 1}},
        {"00 0A", {0, 1, 0, 1, 0}},
        // The high byte and bits 5-7 carry nothing.
        {"FF E0", {0, 0, 0, 0, 0}},
        {"00 1F", {1, 1, 1, 1, 1}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.data);
        const QByteArray frame = AppendCrc(QByteArray::fromHex("1A 03 02") + QByteArray::fromHex(c.data));
        const TModbusFlags f = ParseFlagRegister(View(frame));
        EXPECT_EQ(f.GaugeOnOff, c.flags.GaugeOnOff);
        EXPECT_EQ(f.AnalogExit, c.flags.AnalogExit);
        EXPECT_EQ(f.Synhro, c.flags.Synhro);
        EXPECT_EQ(f.CorrezSign, c.flags.CorrezSign);
        EXPECT_EQ(f.ThreadOnOff, c.flags.ThreadOnOff);
    }
}
