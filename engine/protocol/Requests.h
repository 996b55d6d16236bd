#pragma once
// A request knows its reply: the frame it sends, the form of the reply it expects (function,
// address, register and count, length), the record the reply fills and its state. The receive
// path completes the request whose reply it recognises and drops every other frame.
#include "protocol/Protocol.h"
#include "protocol/RegisterMap.h"
#include <QByteArray>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <memory>

class TDevice;

enum class TRequestKind : std::uint8_t {
    Command,       // a two-letter command: SU ON OF FL DF FX, both protocols
    ReadRegister,  // standard: one register 01..22
    WriteRegister, // standard: one register 01..22
    ReadLatched,   // the latched result: standard FR, Modbus register 0x0100
    ReadLast,      // the last result: standard LR, Modbus register 0x0101
    ReadIdent,     // identification: standard ID, Modbus 16 registers from 0x00BD
    ReadFlags,     // Modbus: the flag register 0x0000
    ReadBlock,     // Modbus: the parameter block from 0x0010
    WriteFlags,    // Modbus: the flag register, function 6
    WriteBlock,    // Modbus: the parameter block, function 16
    StreamStart,   // standard ST: no echo, the samples are the answer
    StreamStop,    // standard SB after its preamble: the echo, or any line of the stream
    Broadcast,     // to address 0: nobody answers
    Probe,         // a search probe: any sensor's answer makes a record
};

enum class TRequestState : std::uint8_t {
    Pending,  // sent, reply awaited
    Answered, // the reply came and was decoded
    Refused,  // a Modbus exception reply came
    GivenUp,  // the sender stopped waiting; a reply arriving now is dropped
};

struct TRequest {
    TRequestKind Kind = TRequestKind::Command;
    TProtocol Protocol = TProtocol::Standard;
    QByteArray Frame;
    // Standard: what follows "!" and the address in the reply ("ON", "R08", "FR", "W01").
    QByteArray Head;
    // The address the reply comes from; -1 when no reply is awaited from a single sensor.
    int ReplyAddress = -1;
    // Modbus: the function, first register and count (or the value written by function 6).
    std::uint8_t Function = 0;
    std::uint16_t Register = 0;
    std::uint16_t Value = 0;
    TDevice* Device = nullptr;
    // Standard register reads and writes: which register.
    QByteArray RegisterCode;
    // Set as it goes out: the line speed and the moment.
    int Speed = 0;
    std::chrono::steady_clock::time_point SentAt;
    // Its frame's number in the bus's traffic log; bus thread only.
    std::uint64_t LogSeq = 0;

    std::atomic<TRequestState> State{TRequestState::Pending};
    std::atomic<std::uint8_t> ExceptionCode{0};

    bool ExpectsReply() const;
    // The number of data bytes a Modbus read reply carries.
    int ModbusByteCount() const { return 2 * Value; }
    // Pending -> to; false when the request was no longer pending.
    bool Finish(TRequestState to);
};

using TRequestPtr = std::shared_ptr<TRequest>;

// The requests of both protocols; the Modbus ones throw EConvertError when the record's address
// text is not two hexadecimal digits, rather than go to a wrong or the broadcast address.
namespace Requests {
// command: two letters, "SU", "ON", "OF", "FL", "DF" or "FX".
TRequestPtr Command(TDevice& device, TProtocol protocol, const char command[2]);
TRequestPtr ReadRegister(TDevice& device, const QByteArray& code);
TRequestPtr ReadLatched(TDevice& device, TProtocol protocol);
TRequestPtr ReadLast(TDevice& device, TProtocol protocol);
TRequestPtr ReadIdent(TDevice& device, TProtocol protocol);
TRequestPtr ReadFlags(TDevice& device);
TRequestPtr ReadBlock(TDevice& device);
// Sent to address to, answered from address from: a new network address answers under itself.
TRequestPtr WriteRegister(TDevice& device, int to, int from, const TRegisterWrite& write);
// Both Modbus writes are answered from the address they are sent to.
TRequestPtr WriteFlags(TDevice& device, int address, const QByteArray& bytes);
TRequestPtr WriteBlock(TDevice& device, int address, const QByteArray& data);
TRequestPtr StreamStart(TDevice& device);
TRequestPtr StreamStop(TDevice& device);
TRequestPtr LatchBroadcast(TProtocol protocol);
TRequestPtr Probe(int address, TProtocol protocol);
} // namespace Requests
