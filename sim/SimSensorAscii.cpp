// How the sensor answers the standard (ASCII) protocol.
#include "sim/SimSensor.h"

namespace {

// Two hexadecimal digits of either case, as the firmware's parser accepts them.
std::optional<int> hexByte(const QByteArray& text)
{
    if (text.size() != 2)
        return std::nullopt;
    int value = 0;
    for (const char c : text) {
        int digit = 0;
        if (c >= '0' && c <= '9')
            digit = c - '0';
        else if (c >= 'A' && c <= 'F')
            digit = c - 'A' + 10;
        else if (c >= 'a' && c <= 'f')
            digit = c - 'a' + 10;
        else
            return std::nullopt;
        value = value * 16 + digit;
    }
    return value;
}

QByteArray hexText(int value)
{
    return QByteArray::number(value, 16).toUpper().rightJustified(2, '0');
}

bool registerCode(int code)
{
    return code >= SimReg::First && code <= SimReg::Last;
}

} // namespace

std::optional<SimReply> SimSensor::onAsciiRequest(const QByteArray& command, bool broadcast,
                                                  std::int64_t nowUs)
{
    if (streaming_) {
        // While streaming the transmitter owns the line; only the stop request gets through.
        if (command != "SB" || faults_.ignoreStop)
            return std::nullopt;
        streaming_ = false;
        if (broadcast)
            return std::nullopt;
        return SimReply{asciiReply("SB"), speed()};
    }
    if (command.startsWith('R') && command.size() == 3)
        return asciiRead(command, broadcast);
    if (command.startsWith('W') && command.size() == 5)
        return asciiWrite(command, broadcast);
    if (command.size() != 2)
        return std::nullopt;

    QByteArray body;
    if (runCommand(command, nowUs) || command == "SB") {
        body = command;
    } else if (command == "ST") {
        // No echo: the first result group is the answer.
        startStream(nowUs);
        return std::nullopt;
    } else if (command == "FR") {
        body = "FR" + resultField(latched_);
    } else if (command == "LR") {
        last_ = measure(nowUs);
        body = "LR" + resultField(last_);
    } else if (command == "ID") {
        if (broadcast || faults_.noIdentAnswer)
            return std::nullopt;
        return SimReply{identText(), speed()};
    } else {
        return std::nullopt;
    }
    if (broadcast)
        return std::nullopt;
    return SimReply{asciiReply(body), speed()};
}

std::optional<SimReply> SimSensor::asciiRead(const QByteArray& command, bool broadcast) const
{
    const std::optional<int> code = hexByte(command.mid(1, 2));
    if (broadcast || !code || !registerCode(*code))
        return std::nullopt;
    return SimReply{asciiReply("R" + hexText(*code) + hexText(regs_.get(*code))), speed()};
}

std::optional<SimReply> SimSensor::asciiWrite(const QByteArray& command, bool broadcast)
{
    const std::optional<int> code = hexByte(command.mid(1, 2));
    const std::optional<int> value = hexByte(command.mid(3, 2));
    if (!code || !value || !registerCode(*code) ||
        !SimRegisters::acceptsByte(*code, static_cast<std::uint8_t>(*value)))
        return std::nullopt;
    const int oldSpeed = speed();
    if (*code != faults_.stuckRegister)
        regs_.set(*code, static_cast<std::uint8_t>(*value));
    if (broadcast)
        return std::nullopt;
    // A new address answers under the new address; a new speed answers at the new speed, once the
    // program has switched its port.
    SimReply reply{asciiReply("W" + hexText(*code) + hexText(*value)), speed()};
    if (speed() != oldSpeed)
        reply.holdUntilSpeed = speed();
    return reply;
}
