#include "Bytes.h"
#include "convert/Unit_Utils.h"
#include "protocol/Frames.h"
#include <gtest/gtest.h>
#include <stdexcept>
#include <vector>

TEST(Frames, ModbusRequestsMatchKnownBytes)
{
    struct Case {
        QByteArray built;
        const char* expected;
    };
    const std::vector<Case> cases = {
        {ModbusRequest(0x01, ModbusBody::FlagRead), "01 03 00 00 00 01 84 0A"},
        {ModbusCommandWrite(0x1A, "ON"), "1A 06 00 BC 4F 4E FF C1"},
        {ModbusRequest(0x1A, ModbusBody::BlockRead), "1A 03 00 10 00 13 06 29"},
        {ModbusRequest(0x1A, ModbusBody::IdentRead), "1A 03 00 BD 00 10 D7 C9"},
        {ModbusRequest(0x1A, ModbusBody::SwitchResultRead), "1A 03 01 00 00 01 86 1D"},
        {ModbusRequest(0x1A, ModbusBody::LastResultRead), "1A 03 01 01 00 01 D7 DD"},
        {ModbusCommandWrite(0x00, "FX"), "00 06 00 BC 46 58 7A 65"},
        {ModbusFlagWrite(0x1A, 0x12, 0x34), "1A 06 00 00 12 34 87 56"},
        {BuildSearchProbe(1, TProtocol::Modbus), "01 03 00 10 00 01 85 CF"},
        {BuildSearchProbe(255, TProtocol::Modbus), "FF 03 00 10 00 01 90 11"},
        {BuildSearchProbe(10, TProtocol::Standard), "23 30 41 52 30 31 0D"},
        {BuildSearchProbe(255, TProtocol::Standard), "23 46 46 52 30 31 0D"},
        {StandardFrame("1A", "ON"), "23 31 41 4F 4E 0D"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.expected);
        EXPECT_EQ(c.built.toHex(' ').toUpper(), QByteArray(c.expected));
    }
}

TEST(Frames, BlockWriteOfTheParameterBlock)
{
    QByteArray data;
    for (int i = 1; i <= 38; ++i)
        data.append(static_cast<char>(i));
    const QByteArray frame = ModbusBlockWrite(0x1A, data);
    ASSERT_EQ(frame.size(), 47);
    EXPECT_EQ(frame.left(7), Hex("1A 10 00 10 00 13 26"));
    EXPECT_EQ(frame.mid(7, 38), data);
    EXPECT_EQ(frame.right(2), Hex("AB 9C"));

    EXPECT_EQ(ModbusBlockWrite(0x05, Hex("01 02 03")).left(7), Hex("05 10 00 10 00 01 03"));
    EXPECT_EQ(ModbusBlockWrite(0x05, QByteArray(MaxBlockWriteData, 'x')).size(), 255 + 2);
    EXPECT_THROW(ModbusBlockWrite(0x05, QByteArray(MaxBlockWriteData + 1, 'x')), std::length_error);
}

TEST(Frames, AddressForms)
{
    struct Case {
        QByteArray text;
        int number; // -1: refused
    };
    const std::vector<Case> cases = {
        {"1A", 26},  {"0A", 10}, {"ff", 255}, {"00", 0},  {"1", -1},
        {"100", -1}, {"G0", -1}, {"", -1},    {" 1", -1}, {"1A ", -1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text.toStdString());
        if (c.number < 0)
            EXPECT_THROW(AddressNumber(c.text), EConvertError);
        else
            EXPECT_EQ(AddressNumber(c.text), c.number);
    }
    EXPECT_EQ(AddressText(5), "05");
    EXPECT_EQ(AddressText(26), "1A");
    EXPECT_EQ(AddressText(255), "FF");
    EXPECT_THROW(AddressText(256), std::out_of_range);
    EXPECT_THROW(AddressText(-1), std::out_of_range);
    EXPECT_THROW(BuildSearchProbe(256, TProtocol::Modbus), std::out_of_range);
}

TEST(Frames, CrcBodyLimits)
{
    EXPECT_THROW(AppendCrc(QByteArray()), std::length_error);
    EXPECT_THROW(AppendCrc(QByteArray(256, 'a')), std::length_error);
    EXPECT_EQ(AppendCrc(Hex("01 03 00 00 00 01")), Hex("01 03 00 00 00 01 84 0A"));
}
