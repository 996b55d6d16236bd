#include "sim/SimRegisters.h"

namespace {

constexpr std::array<int, 8> kSpeeds = {9600, 19200, 38400, 57600, 115200, 230400, 460800, 921600};

// One register of the Modbus parameter block: the one-byte registers it is stored in and the
// values it may take.
struct BlockSlot {
    int lo;
    int hi; // 0: a one-byte value, the high byte of the register must be 0
    unsigned min;
    unsigned max;
};

constexpr std::array<BlockSlot, SimRegisters::BlockCount> kBlock = {{
    {0x01, 0, 1, 255},      // 0x0010 network address
    {0x06, 0, 0, 5},        // 0x0011 byte format
    {0x07, 0, 1, 8},        // 0x0012 line speed code
    {0x08, 0x09, 1, 65535}, // 0x0013 measuring period, 0.1 ms
    {0x0A, 0x0B, 1, 65535}, // 0x0014 output constant n
    {0x0C, 0x0D, 0, 65535}, // 0x0015 allowed time without result
    {0x0E, 0, 0, 1},        // 0x0016 filter type
    {0x0F, 0, 1, 255},      // 0x0017 averaging points
    {0x10, 0, 1, 49},       // 0x0018 median points (odd)
    {0x11, 0x12, 0, 50000}, // 0x0019 analog output low bound
    {0x13, 0x14, 0, 50000}, // 0x001A analog output high bound
    {0x15, 0, 0, 0x22},     // 0x001B discrete outputs (two nibbles 0..2)
    {0x16, 0x17, 0, 50000}, // 0x001C edges of the discrete outputs
    {0x18, 0x19, 0, 50000}, // 0x001D
    {0x1A, 0x1B, 0, 50000}, // 0x001E
    {0x1C, 0x1D, 0, 50000}, // 0x001F
    {0x1E, 0, 0, 1},        // 0x0020 result computation
    {0x1F, 0, 0, 8},        // 0x0021 object type
    {0x20, 0x21, 0, 65535}, // 0x0022 correction magnitude
}};

bool validDiscreteOutputs(unsigned value)
{
    return (value >> 4) <= 2 && (value & 0x0Fu) <= 2;
}

bool validMedianPoints(unsigned value)
{
    return value >= 1 && value <= 49 && (value % 2) == 1;
}

// Flag register bit of each on/off register.
struct FlagBit {
    int code;
    int bit;
};
constexpr std::array<FlagBit, 5> kFlagBits = {{
    {SimReg::PowerOnState, 0},
    {SimReg::AnalogOutput, 1},
    {SimReg::ExternalSync, 2},
    {SimReg::CorrectionSign, 3},
    {SimReg::StreamAtPowerOn, 4},
}};

} // namespace

int simSpeedOfCode(int code)
{
    return code >= 1 && code <= 8 ? kSpeeds[static_cast<std::size_t>(code - 1)] : 0;
}

int simCodeOfSpeed(int speed)
{
    for (std::size_t i = 0; i < kSpeeds.size(); ++i) {
        if (kSpeeds[i] == speed)
            return static_cast<int>(i) + 1;
    }
    return 0;
}

SimRegisters SimRegisters::factory(int address, int speedCode)
{
    SimRegisters r;
    r.set(SimReg::Address, static_cast<std::uint8_t>(address));
    r.set(SimReg::PowerOnState, 1); // measuring from power-up
    r.set(SimReg::Uart, static_cast<std::uint8_t>(speedCode));
    r.set(SimReg::PeriodLo, 10);    // t = 1.0 ms
    r.set(SimReg::ConstantLo, 100); // n = 100: a stream result every 100 ms
    r.set(0x0C, 0xE8);              // 1000 ms without result before the output drops
    r.set(0x0D, 0x03);
    r.set(SimReg::AveragePoints, 8);
    r.set(0x10, 5);    // median over 5 points
    r.set(0x13, 0x50); // analog output spans the whole range, 0..50000
    r.set(0x14, 0xC3);
    r.set(0x16, 0x10); // discrete output edges at 10000, 20000, 30000, 40000
    r.set(0x17, 0x27);
    r.set(0x18, 0x20);
    r.set(0x19, 0x4E);
    r.set(0x1A, 0x30);
    r.set(0x1B, 0x75);
    r.set(0x1C, 0x40);
    r.set(0x1D, 0x9C);
    return r;
}

std::uint8_t SimRegisters::get(int code) const
{
    return bytes_.at(static_cast<std::size_t>(code - SimReg::First));
}

void SimRegisters::set(int code, std::uint8_t value)
{
    bytes_.at(static_cast<std::size_t>(code - SimReg::First)) = value;
}

std::uint16_t SimRegisters::pair(int loCode) const
{
    return static_cast<std::uint16_t>(get(loCode) | (get(loCode + 1) << 8));
}

bool SimRegisters::acceptsByte(int code, std::uint8_t value)
{
    switch (code) {
    case SimReg::Address:
        return value != 0; // 0 is the broadcast address
    case SimReg::PowerOnState:
    case SimReg::AnalogOutput:
    case SimReg::StreamAtPowerOn:
    case SimReg::ExternalSync:
    case SimReg::FilterType:
    case SimReg::ResultMode:
    case SimReg::CorrectionSign:
        return value <= 1;
    case SimReg::ByteFormat:
        return value <= 5;
    case SimReg::Uart:
        return simSpeedOfCode(value) != 0;
    case SimReg::AveragePoints:
        return value >= 1;
    case 0x10:
        return validMedianPoints(value);
    case 0x15:
        return validDiscreteOutputs(value);
    case SimReg::ObjectType:
        return value <= 8;
    default:
        return code >= SimReg::First && code <= SimReg::Last;
    }
}

void SimRegisters::restoreDefaults()
{
    const SimRegisters defaults = factory(get(SimReg::Address), get(SimReg::Uart));
    *this = defaults;
}

std::uint16_t SimRegisters::flags() const
{
    std::uint16_t value = 0;
    for (const FlagBit& f : kFlagBits) {
        if (get(f.code) != 0)
            value = static_cast<std::uint16_t>(value | (1u << f.bit));
    }
    return value;
}

std::optional<int> SimRegisters::setFlags(std::uint16_t value)
{
    if ((value & ~0x1Fu) != 0)
        return SimModbusError::IllegalValue;
    for (const FlagBit& f : kFlagBits)
        set(f.code, static_cast<std::uint8_t>((value >> f.bit) & 1u));
    return std::nullopt;
}

std::uint16_t SimRegisters::blockRegister(int index) const
{
    const BlockSlot& slot = kBlock.at(static_cast<std::size_t>(index));
    return slot.hi == 0 ? get(slot.lo) : pair(slot.lo);
}

std::optional<int> SimRegisters::checkBlockValue(int index, std::uint16_t value)
{
    const BlockSlot& slot = kBlock.at(static_cast<std::size_t>(index));
    if (value < slot.min || value > slot.max)
        return SimModbusError::IllegalValue;
    if (slot.lo == 0x10 && !validMedianPoints(value))
        return SimModbusError::IllegalValue;
    if (slot.lo == 0x15 && !validDiscreteOutputs(value))
        return SimModbusError::IllegalValue;
    return std::nullopt;
}

void SimRegisters::setBlockRegister(int index, std::uint16_t value)
{
    const BlockSlot& slot = kBlock.at(static_cast<std::size_t>(index));
    set(slot.lo, static_cast<std::uint8_t>(value & 0xFFu));
    if (slot.hi != 0)
        set(slot.hi, static_cast<std::uint8_t>(value >> 8));
}
