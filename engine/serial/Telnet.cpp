#include "serial/Telnet.h"

namespace telnet {
namespace {
bool Supported(std::uint8_t option)
{
    return option == OptionBinary || option == OptionSuppressGoAhead || option == OptionComPort;
}

void Command(QByteArray& out, std::uint8_t verb, std::uint8_t option)
{
    out.append(static_cast<char>(Iac));
    out.append(static_cast<char>(verb));
    out.append(static_cast<char>(option));
}

QByteArray Subnegotiation(TComPortCommand command, QByteArrayView value)
{
    QByteArray out;
    out.append(static_cast<char>(Iac));
    out.append(static_cast<char>(Sb));
    out.append(static_cast<char>(OptionComPort));
    out.append(static_cast<char>(command));
    out.append(EscapeData(value));
    out.append(static_cast<char>(Iac));
    out.append(static_cast<char>(Se));
    return out;
}

QByteArray OneByte(TComPortCommand command, std::uint8_t value)
{
    const char byte = static_cast<char>(value);
    return Subnegotiation(command, QByteArrayView(&byte, 1));
}
} // namespace

std::optional<std::uint32_t> TComPortReply::BaudRate() const
{
    if (Command != TComPortCommand::SetBaudRate || Value.size() != 4)
        return std::nullopt;
    std::uint32_t baud = 0;
    for (const char byte : Value)
        baud = (baud << 8) | static_cast<std::uint8_t>(byte);
    return baud;
}

QByteArray SetBaudRate(std::uint32_t baud)
{
    const char value[4] = {static_cast<char>(baud >> 24), static_cast<char>(baud >> 16),
                           static_cast<char>(baud >> 8), static_cast<char>(baud)};
    return Subnegotiation(TComPortCommand::SetBaudRate, QByteArrayView(value, 4));
}

QByteArray SetDataSize(int bits)
{
    return OneByte(TComPortCommand::SetDataSize, static_cast<std::uint8_t>(bits));
}

QByteArray SetParity(TParity parity)
{
    return OneByte(TComPortCommand::SetParity, static_cast<std::uint8_t>(parity));
}

QByteArray SetStopSize(TStopBits stop)
{
    return OneByte(TComPortCommand::SetStopSize, static_cast<std::uint8_t>(stop));
}

QByteArray Purge(TPurge what)
{
    return OneByte(TComPortCommand::PurgeData, static_cast<std::uint8_t>(what));
}

QByteArray EscapeData(QByteArrayView data)
{
    QByteArray out;
    out.reserve(data.size());
    for (const char byte : data) {
        out.append(byte);
        if (static_cast<std::uint8_t>(byte) == Iac)
            out.append(byte);
    }
    return out;
}

QByteArray TTelnetClient::Start()
{
    QByteArray out;
    for (const std::uint8_t option : {OptionBinary, OptionSuppressGoAhead, OptionComPort}) {
        Command(out, Will, option);
        askedLocal_[option] = true;
    }
    for (const std::uint8_t option : {OptionBinary, OptionSuppressGoAhead}) {
        Command(out, Do, option);
        askedRemote_[option] = true;
    }
    return out;
}

void TTelnetClient::Negotiate(std::uint8_t verb, std::uint8_t option, QByteArray& answer)
{
    const bool local = verb == Do || verb == Dont;
    const bool on = verb == Do || verb == Will;
    bool& enabled = local ? local_[option] : remote_[option];
    bool& asked = local ? askedLocal_[option] : askedRemote_[option];
    if (on && !Supported(option)) {
        // Refused once; a peer that asks again is not answered again.
        bool& refused = local ? refusedLocal_[option] : refusedRemote_[option];
        if (!refused)
            Command(answer, local ? Wont : Dont, option);
        refused = true;
        return;
    }
    if (on == enabled) {
        asked = false;
        return;
    }
    enabled = on;
    // What we asked for and got needs no answer; anything else is agreed to, or acknowledged.
    if (!asked)
        Command(answer, local ? (on ? Will : Wont) : (on ? Do : Dont), option);
    asked = false;
}

void TTelnetClient::EndSubnegotiation(TFeedResult& result)
{
    const bool ours = !subTooLong_ && sub_.size() >= 2 && static_cast<std::uint8_t>(sub_[0]) == OptionComPort &&
                      static_cast<std::uint8_t>(sub_[1]) >= ServerOffset;
    if (ours) {
        TComPortReply reply;
        reply.Command = static_cast<TComPortCommand>(static_cast<std::uint8_t>(sub_[1]) - ServerOffset);
        reply.Value = sub_.mid(2);
        result.Replies.push_back(std::move(reply));
    } else {
        ++result.Discarded;
    }
    sub_.clear();
    subTooLong_ = false;
}

TFeedResult TTelnetClient::Feed(QByteArrayView bytes)
{
    TFeedResult result;
    result.Data.reserve(bytes.size());
    const auto keep = [&](char byte) {
        if (sub_.size() < MaxSubnegotiation)
            sub_.append(byte);
        else
            subTooLong_ = true;
    };
    for (qsizetype i = 0; i < bytes.size(); ++i) {
        const char c = bytes[i];
        const auto byte = static_cast<std::uint8_t>(c);
        switch (state_) {
        case TState::Data:
            if (byte == Iac)
                state_ = TState::AfterIac;
            else
                result.Data.append(c);
            break;
        case TState::AfterIac:
            state_ = TState::Data;
            if (byte == Iac) {
                result.Data.append(c);
            } else if (byte == Will || byte == Wont || byte == Do || byte == Dont) {
                verb_ = byte;
                state_ = TState::Option;
            } else if (byte == Sb) {
                sub_.clear();
                subTooLong_ = false;
                state_ = TState::Sub;
            }
            // NOP, GA and the other commands carry nothing for a serial line.
            break;
        case TState::Option:
            Negotiate(verb_, byte, result.Answer);
            state_ = TState::Data;
            break;
        case TState::Sub:
            if (byte == Iac)
                state_ = TState::SubAfterIac;
            else
                keep(c);
            break;
        case TState::SubAfterIac:
            if (byte == Iac) {
                keep(c);
                state_ = TState::Sub;
            } else if (byte == Se) {
                EndSubnegotiation(result);
                state_ = TState::Data;
            } else {
                // A command inside a subnegotiation: the subnegotiation is broken off and dropped,
                // and the byte read again as the command after an IAC.
                subTooLong_ = true;
                EndSubnegotiation(result);
                state_ = TState::AfterIac;
                --i;
            }
            break;
        }
    }
    return result;
}
} // namespace telnet
