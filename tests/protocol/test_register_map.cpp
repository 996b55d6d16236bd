#include "Bytes.h"
#include "protocol/DeviceUnit.h"
#include "protocol/RegisterMap.h"
#include <gtest/gtest.h>
#include <vector>

namespace {
using Field = int (*)(const TDevice&);

// Every standard register and the record field its reply fills.
const std::vector<std::pair<const char*, Field>>& StandardFields()
{
    static const std::vector<std::pair<const char*, Field>> fields = {
        {"01", [](const TDevice& d) -> int { return d.PAdress; }},
        {"02", [](const TDevice& d) -> int { return d.GaugeOnOff; }},
        {"03", [](const TDevice& d) -> int { return d.AnalogExit; }},
        {"04", [](const TDevice& d) -> int { return d.ThreadOnOff; }},
        {"05", [](const TDevice& d) -> int { return d.Synhro; }},
        {"06", [](const TDevice& d) -> int { return d.ByteFormat; }},
        {"07", [](const TDevice& d) -> int { return d.Uart; }},
        {"08", [](const TDevice& d) -> int { return d.PeriodLo; }},
        {"09", [](const TDevice& d) -> int { return d.PeriodHi; }},
        {"0A", [](const TDevice& d) -> int { return d.Nt_Lo; }},
        {"0B", [](const TDevice& d) -> int { return d.Nt_Hi; }},
        {"0C", [](const TDevice& d) -> int { return d.TimeLo; }},
        {"0D", [](const TDevice& d) -> int { return d.TimeHi; }},
        {"0E", [](const TDevice& d) -> int { return d.TypeData; }},
        {"0F", [](const TDevice& d) -> int { return d.MiddlePoint; }},
        {"10", [](const TDevice& d) -> int { return d.MedianPoint; }},
        {"11", [](const TDevice& d) -> int { return d.LowLevelAnalogExitLo; }},
        {"12", [](const TDevice& d) -> int { return d.LowLevelAnalogExitHi; }},
        {"13", [](const TDevice& d) -> int { return d.HighLevelAnalogExitLo; }},
        {"14", [](const TDevice& d) -> int { return d.HighLevelAnalogExitHi; }},
        {"15", [](const TDevice& d) -> int { return d.DiscreetExit; }},
        {"16", [](const TDevice& d) -> int { return d.FirstDiffFirstDiscreetExitLo; }},
        {"17", [](const TDevice& d) -> int { return d.FirstDiffFirstDiscreetExitHi; }},
        {"18", [](const TDevice& d) -> int { return d.SecondDiffFirstDiscreetExitLo; }},
        {"19", [](const TDevice& d) -> int { return d.SecondDiffFirstDiscreetExitHi; }},
        {"1A", [](const TDevice& d) -> int { return d.FirstDiffSecondDiscreetExitLo; }},
        {"1B", [](const TDevice& d) -> int { return d.FirstDiffSecondDiscreetExitHi; }},
        {"1C", [](const TDevice& d) -> int { return d.SecondDiffSecondDiscreetExitLo; }},
        {"1D", [](const TDevice& d) -> int { return d.SecondDiffSecondDiscreetExitHi; }},
        {"1E", [](const TDevice& d) -> int { return d.param_R; }},
        {"1F", [](const TDevice& d) -> int { return d.param_OI; }},
        {"20", [](const TDevice& d) -> int { return d.CorrezLo; }},
        {"21", [](const TDevice& d) -> int { return d.CorrezHi; }},
        {"22", [](const TDevice& d) -> int { return d.CorrezSign; }},
    };
    return fields;
}

// The parameter block as a read reply carries it, data byte i = 0x40 + i.
const QByteArray Block = Hex("404142434445464748494A4B4C4D4E4F505152535455565758595A5B5C5D5E5F606162636465");
// The same block written back from the record: the registers whose parameter is only their low
// byte (0x001B, 0x0020, 0x0021) go out with a zero high byte.
const QByteArray BlockWritten =
    Hex("404142434445464748494A4B4C4D4E4F505152535455005758595A5B5C5D5E5F006100636465");

std::span<const std::uint8_t> Bytes(const QByteArray& data)
{
    return {reinterpret_cast<const std::uint8_t*>(data.constData()), static_cast<std::size_t>(data.size())};
}
} // namespace

TEST(RegisterMap, StandardReadCodesAreAllRegistersAscending)
{
    std::vector<QByteArray> codes;
    for (const auto& [code, field] : StandardFields())
        codes.emplace_back(code);
    const auto& read = StandardReadCodes();
    EXPECT_EQ(std::vector<QByteArray>(read.begin(), read.end()), codes);
}

TEST(RegisterMap, EveryStandardRegisterFillsItsField)
{
    const auto& fields = StandardFields();
    TDevice record("1A");
    // Each register its own value, so that one landing in a wrong field shows in two rows.
    for (std::size_t i = 0; i < fields.size(); ++i)
        EXPECT_TRUE(StoreStandardRegister(record, fields[i].first, static_cast<std::uint8_t>(0x80 + i)));
    for (std::size_t i = 0; i < fields.size(); ++i) {
        SCOPED_TRACE(fields[i].first);
        EXPECT_EQ(fields[i].second(record), 0x80 + static_cast<int>(i));
    }
    for (const char* code : {"00", "23", "0a", "R0A", ""})
        EXPECT_FALSE(StoreStandardRegister(record, code, 1)) << code;
}

TEST(RegisterMap, ModbusBlockAndFlagsIntoTheRecord)
{
    TDevice record("1A");
    StoreModbusBlock(record, Bytes(Block));
    const struct {
        const char* name;
        int value;
        int expected;
    } cases[] = {
        {"PAdress", record.PAdress, 0x4041},
        {"ByteFormat", record.ByteFormat, 0x4243},
        {"Uart", record.Uart, 0x4445},
        {"PeriodHi", record.PeriodHi, 0x46},
        {"PeriodLo", record.PeriodLo, 0x47},
        {"Nt_Hi", record.Nt_Hi, 0x48},
        {"Nt_Lo", record.Nt_Lo, 0x49},
        {"TimeHi", record.TimeHi, 0x4A},
        {"TimeLo", record.TimeLo, 0x4B},
        {"TypeData", record.TypeData, 0x4C4D},
        {"MiddlePoint", record.MiddlePoint, 0x4E4F},
        {"MedianPoint", record.MedianPoint, 0x5051},
        {"LowLevelAnalogExitHi", record.LowLevelAnalogExitHi, 0x52},
        {"LowLevelAnalogExitLo", record.LowLevelAnalogExitLo, 0x53},
        {"HighLevelAnalogExitHi", record.HighLevelAnalogExitHi, 0x54},
        {"HighLevelAnalogExitLo", record.HighLevelAnalogExitLo, 0x55},
        {"DiscreetExit", record.DiscreetExit, 0x57},
        {"FirstDiffFirstDiscreetExitHi", record.FirstDiffFirstDiscreetExitHi, 0x58},
        {"FirstDiffFirstDiscreetExitLo", record.FirstDiffFirstDiscreetExitLo, 0x59},
        {"SecondDiffFirstDiscreetExitHi", record.SecondDiffFirstDiscreetExitHi, 0x5A},
        {"SecondDiffFirstDiscreetExitLo", record.SecondDiffFirstDiscreetExitLo, 0x5B},
        {"FirstDiffSecondDiscreetExitHi", record.FirstDiffSecondDiscreetExitHi, 0x5C},
        {"FirstDiffSecondDiscreetExitLo", record.FirstDiffSecondDiscreetExitLo, 0x5D},
        {"SecondDiffSecondDiscreetExitHi", record.SecondDiffSecondDiscreetExitHi, 0x5E},
        {"SecondDiffSecondDiscreetExitLo", record.SecondDiffSecondDiscreetExitLo, 0x5F},
        {"param_R", record.param_R, 0x61},
        {"param_OI", record.param_OI, 0x63},
        {"CorrezHi", record.CorrezHi, 0x64},
        {"CorrezLo", record.CorrezLo, 0x65},
        // The flag register's parameters are not in the block.
        {"GaugeOnOff", record.GaugeOnOff, 0},
        {"CorrezSign", record.CorrezSign, 0},
    };
    for (const auto& c : cases)
        EXPECT_EQ(c.value, c.expected) << c.name;

    TDevice shortBlock("1A");
    StoreModbusBlock(shortBlock, Bytes(Block.chopped(1)));
    EXPECT_EQ(shortBlock.PAdress, 0);

    // Only bits 0-4 of the low byte are parameters.
    const struct {
        std::uint8_t flags;
        int gauge, analog, synhro, sign, thread;
    } flagCases[] = {{0x15, 1, 0, 1, 0, 1}, {0xEA, 0, 1, 0, 1, 0}, {0x08, 0, 0, 0, 1, 0}};
    for (const auto& c : flagCases) {
        SCOPED_TRACE(int(c.flags));
        StoreModbusFlags(record, c.flags);
        EXPECT_EQ(record.GaugeOnOff, c.gauge);
        EXPECT_EQ(record.AnalogExit, c.analog);
        EXPECT_EQ(record.Synhro, c.synhro);
        EXPECT_EQ(record.CorrezSign, c.sign);
        EXPECT_EQ(record.ThreadOnOff, c.thread);
    }
}

TEST(RegisterMap, WritesOfBothProtocolsFromTheRecord)
{
    TDevice record("1A");
    StoreModbusBlock(record, Bytes(Block));
    StoreModbusFlags(record, 0x15);
    const TParamImage image = ImageOf(record);
    EXPECT_EQ(ModbusBlockWriteBytes(image), BlockWritten);
    EXPECT_EQ(ModbusFlagWriteBytes(image), Hex("00 15"));

    // The line speed last, so that the sensor switches only when it has taken everything else.
    const std::vector<TRegisterWrite> writes = StandardRegisterWrites(image);
    std::vector<QByteArray> codes;
    for (const auto& w : writes)
        codes.push_back(w.Register);
    std::vector<QByteArray> expected;
    for (const auto& [code, field] : StandardFields())
        if (QByteArray(code) != "07")
            expected.emplace_back(code);
    expected.emplace_back("07");
    EXPECT_EQ(codes, expected);

    const struct {
        const char* code;
        const char* value;
    } values[] = {
        {"01", "41"}, // the address register carries the low byte only
        {"02", "01"}, {"03", "00"}, {"07", "45"}, {"08", "47"}, {"09", "46"},
        {"15", "57"}, {"20", "65"}, {"21", "64"}, {"22", "00"},
    };
    for (const auto& v : values) {
        const auto it = std::find_if(writes.begin(), writes.end(),
                                     [&](const TRegisterWrite& w) { return w.Register == v.code; });
        ASSERT_NE(it, writes.end()) << v.code;
        EXPECT_EQ(it->Value, v.value) << v.code;
    }
}
