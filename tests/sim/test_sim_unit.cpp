// The simulator's byte-level pieces on their own: CRC, parameter views, framing, measurements,
// command line.
#include "sim/SimCrc.h"
#include "sim/SimFrameCutter.h"
#include "sim/SimMeasurement.h"
#include "sim/SimOptions.h"
#include "sim/SimRegisters.h"

#include <gtest/gtest.h>

#include <cmath>

namespace {

QByteArray hex(const char* text)
{
    return QByteArray::fromHex(QByteArray(text).replace(' ', ""));
}

TEST(SimCrc, MatchesTheFramesTheProtocolPrints)
{
    struct Case {
        const char* body;
        const char* crc;
    };
    const Case cases[] = {
        {"01 03 00 00 00 01", "84 0A"}, {"1A 06 00 BC 4F 4E", "FF C1"}, {"00 06 00 BC 46 58", "7A 65"},
        {"1A 03 00 10 00 13", "06 29"}, {"1A 03 00 BD 00 10", "D7 C9"}, {"1A 03 01 00 00 01", "86 1D"},
        {"1A 03 01 01 00 01", "D7 DD"},
    };
    for (const Case& c : cases) {
        const QByteArray frame = simWithCrc(hex(c.body));
        EXPECT_EQ(frame.right(2), hex(c.crc)) << c.body;
        EXPECT_TRUE(simCrcMatches(frame)) << c.body;
        QByteArray broken = frame;
        broken[2] = static_cast<char>(broken[2] ^ 0x01);
        EXPECT_FALSE(simCrcMatches(broken)) << c.body;
    }
    EXPECT_FALSE(simCrcMatches(hex("FF FF")));
}

TEST(SimRegisters, FlagRegisterAndBlockAreViewsOfTheByteRegisters)
{
    SimRegisters regs = SimRegisters::factory(0x1A, 5);
    EXPECT_EQ(regs.flags(), 0x0001); // measuring from power-up, everything else off
    ASSERT_FALSE(regs.setFlags(0x0015));
    EXPECT_EQ(regs.get(0x02), 1);
    EXPECT_EQ(regs.get(0x03), 0);
    EXPECT_EQ(regs.get(0x05), 1);
    EXPECT_EQ(regs.get(0x22), 0);
    EXPECT_EQ(regs.get(0x04), 1);
    regs.set(0x22, 1);
    EXPECT_EQ(regs.flags(), 0x001D);
    EXPECT_EQ(regs.setFlags(0x0020), SimModbusError::IllegalValue);
    EXPECT_EQ(regs.flags(), 0x001D) << "a refused write changes nothing";

    struct Case {
        int index;
        std::uint16_t value;
        int lo;
        int hi; // 0: one-byte register
    };
    const Case cases[] = {
        {0, 0x0030, 0x01, 0},    {2, 0x0008, 0x07, 0},     {3, 0x2710, 0x08, 0x09}, {4, 0x03E8, 0x0A, 0x0B},
        {5, 0x1234, 0x0C, 0x0D}, {9, 0x0102, 0x11, 0x12},  {11, 0x0021, 0x15, 0},   {15, 0x9C3F, 0x1C, 0x1D},
        {17, 0x0008, 0x1F, 0},   {18, 0x012C, 0x20, 0x21},
    };
    for (const Case& c : cases) {
        ASSERT_FALSE(SimRegisters::checkBlockValue(c.index, c.value)) << c.index;
        regs.setBlockRegister(c.index, c.value);
        EXPECT_EQ(regs.blockRegister(c.index), c.value) << c.index;
        EXPECT_EQ(regs.get(c.lo), c.value & 0xFF) << c.index;
        if (c.hi != 0) {
            EXPECT_EQ(regs.get(c.hi), c.value >> 8) << c.index;
        }
    }
}

TEST(SimRegisters, RefusesValuesNoParameterCanTake)
{
    struct Case {
        int index;
        std::uint16_t value;
        bool accepted;
    };
    const Case cases[] = {
        {0, 0, false},     {0, 255, true},    {0, 256, false},  {1, 5, true},      {1, 6, false},
        {2, 0, false},     {2, 8, true},      {2, 9, false},    {3, 0, false},     {3, 65535, true},
        {6, 2, false},     {8, 4, false},     {8, 49, true},    {8, 51, false},    {9, 50000, true},
        {9, 50001, false}, {11, 0x03, false}, {11, 0x22, true}, {11, 0x30, false}, {17, 9, false},
        {18, 65535, true},
    };
    for (const Case& c : cases)
        EXPECT_EQ(!SimRegisters::checkBlockValue(c.index, c.value), c.accepted) << c.index << " " << c.value;

    struct ByteCase {
        int code;
        std::uint8_t value;
        bool accepted;
    };
    const ByteCase bytes[] = {{0x01, 0, false}, {0x01, 1, true},    {0x07, 0, false}, {0x07, 8, true},
                              {0x07, 9, false}, {0x02, 2, false},   {0x10, 6, false}, {0x10, 7, true},
                              {0x08, 0, true},  {0x09, 0xFF, true}, {0x1F, 9, false}};
    for (const ByteCase& c : bytes)
        EXPECT_EQ(SimRegisters::acceptsByte(c.code, c.value), c.accepted) << c.code << " " << int{c.value};
}

TEST(SimRegisters, DefaultsKeepAddressAndSpeed)
{
    SimRegisters regs = SimRegisters::factory(7, 2);
    const SimRegisters factory = regs;
    regs.set(0x01, 9);
    regs.set(0x07, 8);
    regs.set(0x0F, 99);
    regs.set(0x1F, 8);
    regs.restoreDefaults();
    EXPECT_EQ(regs.get(0x01), 9);
    EXPECT_EQ(regs.get(0x07), 8);
    EXPECT_EQ(regs.get(0x0F), factory.get(0x0F));
    EXPECT_EQ(regs.get(0x1F), 0);
}

struct CutterCase {
    const char* name;
    std::vector<QByteArray> chunks;
    bool silence;
    std::vector<std::pair<SimInFrame::Kind, QByteArray>> expected;
};

TEST(SimFrameCutter, CutsFramesOfBothProtocols)
{
    using K = SimInFrame::Kind;
    const QByteArray read = simWithCrc(hex("01 03 00 00 00 01"));
    const QByteArray hashAddress = simWithCrc(hex("23 03 00 10 00 01")); // address 0x23 is "#"
    QByteArray block = hex("1A 10 00 10 00 13 26");
    block.append(QByteArray(38, '\x01'));
    block = simWithCrc(block);
    QByteArray badCrc = read;
    badCrc[7] = static_cast<char>(badCrc[7] ^ 0xFF);
    const QByteArray unknownFunction = simWithCrc(hex("01 04 00 00 00 01"));

    const CutterCase cases[] = {
        {"text", {"#01ON\r"}, false, {{K::Ascii, "#01ON\r"}}},
        {"text in two pieces", {"#01O", "N\r"}, false, {{K::Ascii, "#01ON\r"}}},
        {"text waits for its CR across silence", {"#01O"}, true, {}},
        {"stop with preamble", {"tkwrnoza#01SB\r"}, false, {{K::Ascii, "tkwrnoza#01SB\r"}}},
        {"modbus by length", {read}, false, {{K::Modbus, read}}},
        {"modbus in pieces", {read.left(3), read.mid(3)}, false, {{K::Modbus, read}}},
        {"modbus from address #", {hashAddress}, false, {{K::Modbus, hashAddress}}},
        {"block write", {block}, false, {{K::Modbus, block}}},
        {"bad crc waits, then noise", {badCrc}, true, {{K::Noise, badCrc}}},
        {"bad crc not before silence", {badCrc}, false, {}},
        {"unknown function at silence", {unknownFunction}, true, {{K::Modbus, unknownFunction}}},
        {"text then modbus in one chunk",
         {"#01ON\r" + read},
         false,
         {{K::Ascii, "#01ON\r"}, {K::Modbus, read}}},
        {"modbus then text", {read + "#01ON\r"}, false, {{K::Modbus, read}, {K::Ascii, "#01ON\r"}}},
        {"noise before text", {"\xFF\xFE#01ON\r"}, true, {{K::Noise, "\xFF\xFE"}, {K::Ascii, "#01ON\r"}}},
    };
    for (const CutterCase& c : cases) {
        SimFrameCutter cutter;
        std::vector<SimInFrame> frames;
        std::int64_t now = 1000;
        for (const QByteArray& chunk : c.chunks) {
            for (SimInFrame& f : cutter.feed(chunk, 115200, now))
                frames.push_back(std::move(f));
            now += 100;
        }
        if (c.silence) {
            const std::optional<std::int64_t> deadline = cutter.silenceDeadline();
            if (deadline) {
                EXPECT_TRUE(cutter.onSilence(*deadline - 1).empty()) << c.name;
                for (SimInFrame& f : cutter.onSilence(*deadline))
                    frames.push_back(std::move(f));
            }
        }
        ASSERT_EQ(frames.size(), c.expected.size()) << c.name;
        for (std::size_t i = 0; i < frames.size(); ++i) {
            EXPECT_EQ(frames[i].kind, c.expected[i].first) << c.name << " #" << i;
            EXPECT_EQ(frames[i].bytes.toHex(), c.expected[i].second.toHex()) << c.name << " #" << i;
            EXPECT_EQ(frames[i].speed, 115200) << c.name;
        }
    }
}

TEST(SimFrameCutter, TimesBytesAtTheLineSpeedAndDropsThemOnASpeedChange)
{
    SimFrameCutter cutter;
    const std::vector<SimInFrame> frames = cutter.feed("#01ON\r", 9600, 0);
    ASSERT_EQ(frames.size(), 1u);
    EXPECT_EQ(frames[0].endUs, 6 * 1042) << "10 bits per byte at 9600 baud";

    EXPECT_TRUE(cutter.feed(hex("01 03 00"), 9600, 100'000).empty());
    EXPECT_EQ(cutter.silenceDeadline(), 100'000 + 3 * 1042 + 35'000'000 / 9600);
    const std::vector<SimInFrame> after = cutter.feed(hex("00 00 01 84 0A"), 19200, 101'000);
    ASSERT_EQ(after.size(), 1u);
    EXPECT_EQ(after[0].kind, SimInFrame::Kind::Noise);
    EXPECT_EQ(after[0].speed, 9600);

    SimFrameCutter fast;
    EXPECT_TRUE(fast.feed("\x01", 921600, 0).empty());
    EXPECT_EQ(fast.silenceDeadline(), 11 + 1750) << "never shorter than 1.75 ms";
}

TEST(SimMeasurement, DeterministicModesShowEverySample)
{
    SimSensorConfig config;
    config.mode = SimMeasureMode::Counter;
    config.value = 49998;
    SimMeasurement m(config);
    SimRegisters regs = SimRegisters::factory(1, 1);
    std::vector<int> seen;
    for (int i = 0; i < 4; ++i)
        seen.push_back(m.take(regs, true, 0.0).raw);
    EXPECT_EQ(seen, (std::vector<int>{49998, 49999, 0, 1}));

    regs.set(SimReg::ObjectType, SimReg::ObjectTypeEdgeCount);
    m.setMode(SimMeasureMode::Counter, 9999);
    const SimResult a = m.take(regs, true, 0.0);
    const SimResult b = m.take(regs, true, 0.0);
    EXPECT_TRUE(a.edgeCount);
    EXPECT_EQ(a.raw, 9999);
    EXPECT_EQ(b.raw, 0) << "four digits wrap";

    m.setMode(SimMeasureMode::Fixed, 65534);
    regs.set(SimReg::ObjectType, 0);
    EXPECT_EQ(m.take(regs, false, 0.0).raw, 65534);
}

TEST(SimMeasurement, RealisticResultsDriftSlowlyWithRareCodes)
{
    SimSensorConfig config;
    config.outOfRangeRate = 0.01;
    config.noResultRate = 0.02;
    SimMeasurement m(config);
    const SimRegisters regs = SimRegisters::factory(1, 1);
    int outOfRange = 0;
    int noResult = 0;
    int previous = -1;
    int bigSteps = 0;
    const int samples = 20000;
    for (int i = 0; i < samples; ++i) {
        const SimResult r = m.take(regs, true, i * 0.001);
        if (r.raw == SimRaw::OutOfRange) {
            ++outOfRange;
            continue;
        }
        if (r.raw == SimRaw::NoResult) {
            ++noResult;
            continue;
        }
        ASSERT_LE(r.raw, SimRaw::FullScale);
        if (previous >= 0 && std::abs(r.raw - previous) > 100)
            ++bigSteps;
        previous = r.raw;
    }
    EXPECT_NEAR(outOfRange, samples * 0.01, samples * 0.005);
    EXPECT_NEAR(noResult, samples * 0.02, samples * 0.007);
    EXPECT_EQ(bigSteps, 0) << "1 ms apart the edge moves by little more than the noise";
    EXPECT_EQ(m.take(regs, false, 0.0).raw, SimRaw::NoResult) << "a switched-off sensor measures nothing";
}

TEST(SimOptions, ParsesSensorsFaultsAndLink)
{
    QString error;
    const std::optional<SimOptions> options = simParseOptions(
        {"--link", "/tmp/x", "--sensor",
         "addr=0x1A,speed=19200,model=VLT-250,range=250,distance=400,serial=7,"
         "mode=counter,value=5,type=8,period=3,n=2",
         "--fault",
         "26@19200:delay=500,garbage=FF00,split=3/20,lowercase,badcrc,ignorestop,exception=4,silent,"
         "stuck=1E,silentafter=12",
         "--log"},
        &error);
    ASSERT_TRUE(options) << error.toStdString();
    EXPECT_EQ(options->linkPath, "/tmp/x");
    EXPECT_TRUE(options->log);
    ASSERT_EQ(options->sensors.size(), 1u);
    const SimSensorOption& s = options->sensors[0];
    EXPECT_EQ(s.config.address, 26);
    EXPECT_EQ(s.config.speed, 19200);
    EXPECT_EQ(s.config.model, "VLT-250");
    EXPECT_EQ(s.config.range, 250.0);
    EXPECT_EQ(s.config.distance, 400.0);
    EXPECT_EQ(s.config.serial, 7);
    EXPECT_EQ(s.config.mode, SimMeasureMode::Counter);
    EXPECT_EQ(s.config.value, 5);
    EXPECT_EQ(s.objectType, 8);
    EXPECT_EQ(s.period, 3);
    EXPECT_EQ(s.constant, 2);
    ASSERT_EQ(options->faults.size(), 1u);
    const SimFaultOption& f = options->faults[0];
    EXPECT_EQ(f.address, 26);
    EXPECT_EQ(f.speed, 19200);
    SimFaults expected;
    expected.replyDelayMs = 500;
    expected.garbage = hex("FF00");
    expected.splitAt = 3;
    expected.splitGapMs = 20;
    expected.lowerCaseAddress = true;
    expected.badCrc = true;
    expected.ignoreStop = true;
    expected.modbusException = 4;
    expected.noAnswer = true;
    expected.stuckRegister = 0x1E;
    expected.framesBeforeSilence = 12;
    EXPECT_EQ(f.faults, expected);
}

TEST(SimOptions, FaultValuesAtTheirBounds)
{
    struct Case {
        const char* fault;
        int stuckRegister;
        int framesBeforeSilence;
    };
    // silentafter=0 differs from the default -1: the very next frame already goes unheard.
    const Case cases[] = {
        {"1:stuck=01", 0x01, -1},
        {"1:stuck=22", 0x22, -1},
        {"1:stuck=0a", 0x0A, -1},
        {"1:silentafter=0", 0, 0},
        {"1:silentafter=100000", 0, 100000},
    };
    for (const Case& c : cases) {
        QString error;
        const std::optional<SimOptions> options =
            simParseOptions({"--link", "x", "--fault", c.fault}, &error);
        ASSERT_TRUE(options) << c.fault << ": " << error.toStdString();
        ASSERT_EQ(options->faults.size(), 1u);
        EXPECT_EQ(options->faults[0].faults.stuckRegister, c.stuckRegister) << c.fault;
        EXPECT_EQ(options->faults[0].faults.framesBeforeSilence, c.framesBeforeSilence) << c.fault;
    }
}

TEST(SimOptions, RejectsWhatItCannotUse)
{
    struct Case {
        QStringList args;
        const char* mentions;
    };
    const Case cases[] = {
        {{"--sensor", "addr=1"}, "--link"},
        {{"--link"}, "needs a value"},
        {{"--link", "x", "--sensor", "addr=0"}, "addr=0"},
        {{"--link", "x", "--sensor", "addr=256"}, "addr=256"},
        {{"--link", "x", "--sensor", "speed=4800"}, "speed=4800"},
        {{"--link", "x", "--sensor", "model=ABCDEFGHIJKLMNOPQRSTU"}, "model="},
        {{"--link", "x", "--sensor", "range=0"}, "range=0"},
        {{"--link", "x", "--sensor", "colour=red"}, "colour"},
        {{"--link", "x", "--sensor", "type=9"}, "type=9"},
        {{"--link", "x", "--fault", "silent"}, "silent"},
        {{"--link", "x", "--fault", "1:"}, "no fault"},
        {{"--link", "x", "--fault", "1:wobble"}, "wobble"},
        {{"--link", "x", "--fault", "1:garbage=F"}, "garbage=F"},
        {{"--link", "x", "--fault", "1:split=0"}, "split=0"},
        {{"--link", "x", "--fault", "1:stuck=00"}, "stuck=00"},
        {{"--link", "x", "--fault", "1:stuck=23"}, "stuck=23"},
        {{"--link", "x", "--fault", "1:stuck=7"}, "stuck=7"},
        {{"--link", "x", "--fault", "1:stuck=007"}, "stuck=007"},
        {{"--link", "x", "--fault", "1:stuck=0x07"}, "stuck=0x07"},
        {{"--link", "x", "--fault", "1:stuck=+7"}, "stuck=+7"},
        {{"--link", "x", "--fault", "1:stuck"}, "stuck"},
        {{"--link", "x", "--fault", "1:silentafter=-1"}, "silentafter=-1"},
        {{"--link", "x", "--fault", "1:silentafter=100001"}, "silentafter=100001"},
        {{"--link", "x", "--fault", "1:silentafter=many"}, "silentafter=many"},
        {{"--link", "x", "--frobnicate"}, "--frobnicate"},
    };
    for (const Case& c : cases) {
        QString error;
        EXPECT_FALSE(simParseOptions(c.args, &error)) << c.args.join(' ').toStdString();
        EXPECT_TRUE(error.contains(QLatin1String(c.mentions))) << error.toStdString();
    }
    const std::optional<SimOptions> help = simParseOptions({"--help"}, nullptr);
    ASSERT_TRUE(help);
    EXPECT_TRUE(help->help);
}

} // namespace
