// How the sensor answers Modbus RTU requests.
#include "sim/SimCrc.h"
#include "sim/SimSensor.h"

namespace {

constexpr int kReadHolding = 0x03;
constexpr int kWriteSingle = 0x06;
constexpr int kWriteMultiple = 0x10;
constexpr int kMaxReadCount = 125;
constexpr int kMaxWriteCount = 123;

constexpr int kFlagRegister = 0x0000;
constexpr int kCommandRegister = 0x00BC;
constexpr int kIdentFirst = 0x00BD;
constexpr int kIdentCount = 16;
constexpr int kLatchedResult = 0x0100;
constexpr int kLastResult = 0x0101;

enum class RegisterKind { Flags, Block, Command, Ident, Result, Reserved, Absent };

RegisterKind kindOf(int reg)
{
    if (reg == kFlagRegister)
        return RegisterKind::Flags;
    if (reg >= SimRegisters::BlockFirst && reg < SimRegisters::BlockFirst + SimRegisters::BlockCount)
        return RegisterKind::Block;
    if (reg == kCommandRegister)
        return RegisterKind::Command;
    if (reg >= kIdentFirst && reg < kIdentFirst + kIdentCount)
        return RegisterKind::Ident;
    if (reg == kLatchedResult || reg == kLastResult)
        return RegisterKind::Result;
    if (reg < kCommandRegister)
        return RegisterKind::Reserved;
    return RegisterKind::Absent;
}

int word(const QByteArray& bytes, int index)
{
    return (static_cast<std::uint8_t>(bytes[index]) << 8) | static_cast<std::uint8_t>(bytes[index + 1]);
}

void appendWord(QByteArray& out, int value)
{
    out.append(static_cast<char>((value >> 8) & 0xFF));
    out.append(static_cast<char>(value & 0xFF));
}

// The exception a write to [first, first + count) draws before any value is looked at.
std::optional<int> writeTargetError(int first, int count)
{
    bool reserved = false;
    bool readOnly = false;
    for (int reg = first; reg < first + count; ++reg) {
        switch (kindOf(reg)) {
        case RegisterKind::Absent:
            return SimModbusError::IllegalAddress;
        case RegisterKind::Ident:
        case RegisterKind::Result:
            readOnly = true;
            break;
        case RegisterKind::Reserved:
            reserved = true;
            break;
        default:
            break;
        }
    }
    if (readOnly)
        return SimModbusError::ReadOnly;
    if (reserved)
        return SimModbusError::Reserved;
    // The flag and command registers stand alone; anything next to them is reserved or absent.
    return std::nullopt;
}

} // namespace

SimReply SimSensor::modbusReply(int address, const QByteArray& payload) const
{
    QByteArray body;
    body.append(static_cast<char>(address));
    body.append(payload);
    return SimReply{simWithCrc(body), speed(), 0, true};
}

SimReply SimSensor::modbusException(int address, int function, int code) const
{
    QByteArray payload;
    payload.append(static_cast<char>(function | 0x80));
    payload.append(static_cast<char>(code));
    return modbusReply(address, payload);
}

std::optional<SimReply> SimSensor::onModbusRequest(const QByteArray& body, bool broadcast, std::int64_t nowUs)
{
    if (streaming_ || body.size() < 2)
        return std::nullopt;
    const int function = static_cast<std::uint8_t>(body[1]);
    if (faults_.modbusException > 0)
        return broadcast ? std::nullopt
                         : std::optional(modbusException(address(), function, faults_.modbusException));
    switch (function) {
    case kReadHolding:
        return broadcast ? std::nullopt : modbusRead(body, nowUs);
    case kWriteSingle:
        return modbusWriteSingle(body, broadcast, nowUs);
    case kWriteMultiple:
        return modbusWriteMany(body, broadcast, nowUs);
    default:
        return broadcast
                   ? std::nullopt
                   : std::optional(modbusException(address(), function, SimModbusError::IllegalFunction));
    }
}

std::optional<std::uint16_t> SimSensor::readRegister(int reg, std::int64_t nowUs)
{
    switch (kindOf(reg)) {
    case RegisterKind::Flags:
        return regs_.flags();
    case RegisterKind::Block:
        return regs_.blockRegister(reg - SimRegisters::BlockFirst);
    case RegisterKind::Command:
        return commandWord_;
    case RegisterKind::Ident: {
        const QByteArray block = identBlock();
        return static_cast<std::uint16_t>(word(block, 2 * (reg - kIdentFirst)));
    }
    case RegisterKind::Result:
        if (reg == kLatchedResult)
            return latched_.raw;
        last_ = measure(nowUs);
        return last_.raw;
    default:
        return std::nullopt;
    }
}

std::optional<SimReply> SimSensor::modbusRead(const QByteArray& body, std::int64_t nowUs)
{
    if (body.size() != 6)
        return modbusException(address(), kReadHolding, SimModbusError::IllegalValue);
    const int first = word(body, 2);
    const int count = word(body, 4);
    if (count < 1 || count > kMaxReadCount)
        return modbusException(address(), kReadHolding, SimModbusError::IllegalCount);
    for (int reg = first; reg < first + count; ++reg) {
        const RegisterKind kind = kindOf(reg);
        if (kind == RegisterKind::Reserved || kind == RegisterKind::Absent)
            return modbusException(address(), kReadHolding, SimModbusError::IllegalAddress);
        if (kind == RegisterKind::Ident && faults_.noIdentAnswer)
            return std::nullopt;
    }
    QByteArray payload;
    payload.append(static_cast<char>(kReadHolding));
    payload.append(static_cast<char>(2 * count));
    for (int reg = first; reg < first + count; ++reg)
        appendWord(payload, *readRegister(reg, nowUs));
    return modbusReply(address(), payload);
}

std::optional<int> SimSensor::writeRegisters(int first, const QByteArray& data, std::int64_t nowUs)
{
    const int stuck = faults_.stuckRegister;
    if (stuck < SimReg::First || stuck > SimReg::Last)
        return storeRegisters(first, data, nowUs);
    const std::uint8_t kept = regs_.get(stuck);
    const std::optional<int> error = storeRegisters(first, data, nowUs);
    regs_.set(stuck, kept);
    return error;
}

std::optional<int> SimSensor::storeRegisters(int first, const QByteArray& data, std::int64_t nowUs)
{
    const int count = static_cast<int>(data.size() / 2);
    if (const std::optional<int> error = writeTargetError(first, count))
        return error;
    switch (kindOf(first)) {
    case RegisterKind::Flags:
        return regs_.setFlags(static_cast<std::uint16_t>(word(data, 0)));
    case RegisterKind::Command: {
        const int value = word(data, 0);
        if (!runCommand(data.left(2), nowUs))
            return SimModbusError::IllegalFunction;
        commandWord_ = static_cast<std::uint16_t>(value);
        return std::nullopt;
    }
    default:
        break;
    }
    // The whole block is checked before any register changes, so a refused write changes nothing.
    const int firstIndex = first - SimRegisters::BlockFirst;
    for (int i = 0; i < count; ++i) {
        if (const std::optional<int> error =
                SimRegisters::checkBlockValue(firstIndex + i, static_cast<std::uint16_t>(word(data, 2 * i))))
            return error;
    }
    for (int i = 0; i < count; ++i)
        regs_.setBlockRegister(firstIndex + i, static_cast<std::uint16_t>(word(data, 2 * i)));
    return std::nullopt;
}

std::optional<SimReply> SimSensor::modbusWriteSingle(const QByteArray& body, bool broadcast,
                                                     std::int64_t nowUs)
{
    // Address and speed changes take effect after the answer, which leaves from the old ones.
    const int oldAddress = address();
    if (body.size() != 6)
        return broadcast
                   ? std::nullopt
                   : std::optional(modbusException(oldAddress, kWriteSingle, SimModbusError::IllegalValue));
    const SimReply echoTemplate = modbusReply(oldAddress, body.mid(1));
    const std::optional<int> error = writeRegisters(word(body, 2), body.mid(4, 2), nowUs);
    if (broadcast)
        return std::nullopt;
    if (error)
        return modbusException(oldAddress, kWriteSingle, *error);
    return echoTemplate;
}

std::optional<SimReply> SimSensor::modbusWriteMany(const QByteArray& body, bool broadcast, std::int64_t nowUs)
{
    const int oldAddress = address();
    const int oldSpeed = speed();
    std::optional<int> error;
    if (body.size() < 7) {
        error = SimModbusError::IllegalValue;
    } else {
        const int count = word(body, 4);
        const int byteCount = static_cast<std::uint8_t>(body[6]);
        if (count < 1 || count > kMaxWriteCount)
            error = SimModbusError::IllegalCount;
        else if (byteCount != 2 * count || body.size() != 7 + byteCount)
            error = SimModbusError::IllegalValue;
        else
            error = writeRegisters(word(body, 2), body.mid(7), nowUs);
    }
    if (broadcast)
        return std::nullopt;
    SimReply reply =
        error ? modbusException(oldAddress, kWriteMultiple, *error) : modbusReply(oldAddress, body.mid(1, 5));
    reply.speed = oldSpeed;
    return reply;
}
