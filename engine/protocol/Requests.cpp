#include "protocol/Requests.h"
#include "protocol/DeviceUnit.h"
#include "protocol/Frames.h"
#include "protocol/ModbusReply.h"

namespace {
constexpr std::uint16_t CommandRegister = 0x00BC;

TRequestPtr Make(TRequestKind kind, TProtocol protocol, TDevice* device)
{
    auto request = std::make_shared<TRequest>();
    request->Kind = kind;
    request->Protocol = protocol;
    request->Device = device;
    if (device)
        request->ReplyAddress = device->AddressNumber();
    return request;
}

TRequestPtr Standard(TRequestKind kind, TDevice& device, const QByteArray& command)
{
    TRequestPtr request = Make(kind, TProtocol::Standard, &device);
    request->Frame = StandardFrame(device.AdressStr.load(), command);
    request->Head = command;
    return request;
}

TRequestPtr ModbusRead(TRequestKind kind, TDevice& device, const TModbusBody& body)
{
    TRequestPtr request = Make(kind, TProtocol::Modbus, &device);
    request->Frame = ModbusRequest(AddressNumber(device.AdressStr.load()), body);
    request->Function = body[0];
    request->Register = static_cast<std::uint16_t>(body[1] << 8 | body[2]);
    request->Value = static_cast<std::uint16_t>(body[3] << 8 | body[4]);
    return request;
}
} // namespace

bool TRequest::ExpectsReply() const
{
    return Kind != TRequestKind::StreamStart && Kind != TRequestKind::Broadcast && Kind != TRequestKind::Probe;
}

bool TRequest::Finish(TRequestState to)
{
    TRequestState pending = TRequestState::Pending;
    return State.compare_exchange_strong(pending, to);
}

namespace Requests {

TRequestPtr Command(TDevice& device, TProtocol protocol, const char command[2])
{
    if (protocol == TProtocol::Standard)
        return Standard(TRequestKind::Command, device, QByteArray(command, 2));
    TRequestPtr request = Make(TRequestKind::Command, protocol, &device);
    request->Frame = ModbusCommandWrite(AddressNumber(device.AdressStr.load()), command);
    request->Function = ModbusFunction::WriteRegister;
    request->Register = CommandRegister;
    request->Value = static_cast<std::uint16_t>(static_cast<std::uint8_t>(command[0]) << 8 |
                                                static_cast<std::uint8_t>(command[1]));
    return request;
}

TRequestPtr ReadRegister(TDevice& device, const QByteArray& code)
{
    TRequestPtr request = Standard(TRequestKind::ReadRegister, device, "R" + code);
    request->RegisterCode = code;
    return request;
}

TRequestPtr ReadLatched(TDevice& device, TProtocol protocol)
{
    if (protocol == TProtocol::Standard)
        return Standard(TRequestKind::ReadLatched, device, "FR");
    return ModbusRead(TRequestKind::ReadLatched, device, ModbusBody::SwitchResultRead);
}

TRequestPtr ReadLast(TDevice& device, TProtocol protocol)
{
    if (protocol == TProtocol::Standard)
        return Standard(TRequestKind::ReadLast, device, "LR");
    return ModbusRead(TRequestKind::ReadLast, device, ModbusBody::LastResultRead);
}

TRequestPtr ReadIdent(TDevice& device, TProtocol protocol)
{
    if (protocol == TProtocol::Standard)
        return Standard(TRequestKind::ReadIdent, device, "ID");
    return ModbusRead(TRequestKind::ReadIdent, device, ModbusBody::IdentRead);
}

TRequestPtr ReadFlags(TDevice& device)
{
    return ModbusRead(TRequestKind::ReadFlags, device, ModbusBody::FlagRead);
}

TRequestPtr ReadBlock(TDevice& device)
{
    return ModbusRead(TRequestKind::ReadBlock, device, ModbusBody::BlockRead);
}

TRequestPtr WriteRegister(TDevice& device, int to, int from, const TRegisterWrite& write)
{
    TRequestPtr request = Make(TRequestKind::WriteRegister, TProtocol::Standard, &device);
    request->Head = "W" + write.Register;
    request->Frame = StandardFrame(AddressText(to), request->Head + write.Value);
    request->ReplyAddress = from;
    request->RegisterCode = write.Register;
    return request;
}

TRequestPtr WriteFlags(TDevice& device, int address, const QByteArray& bytes)
{
    if (bytes.size() != 2)
        throw std::invalid_argument("the flag register takes two bytes");
    TRequestPtr request = Make(TRequestKind::WriteFlags, TProtocol::Modbus, &device);
    const auto hi = static_cast<std::uint8_t>(bytes[0]);
    const auto lo = static_cast<std::uint8_t>(bytes[1]);
    request->Frame = ModbusFlagWrite(static_cast<std::uint8_t>(address), hi, lo);
    request->ReplyAddress = address;
    request->Function = ModbusFunction::WriteRegister;
    request->Register = ModbusFlagRegister;
    request->Value = static_cast<std::uint16_t>(hi << 8 | lo);
    return request;
}

TRequestPtr WriteBlock(TDevice& device, int address, const QByteArray& data)
{
    TRequestPtr request = Make(TRequestKind::WriteBlock, TProtocol::Modbus, &device);
    request->Frame = ModbusBlockWrite(static_cast<std::uint8_t>(address), data);
    request->ReplyAddress = address;
    request->Function = ModbusFunction::WriteRegisters;
    request->Register = ModbusBlockFirst;
    request->Value = static_cast<std::uint16_t>(data.size() / 2);
    return request;
}

TRequestPtr StreamStart(TDevice& device)
{
    return Standard(TRequestKind::StreamStart, device, "ST");
}

TRequestPtr StreamStop(TDevice& device)
{
    TRequestPtr request = Standard(TRequestKind::StreamStop, device, "SB");
    request->Frame.prepend(StreamStopPreamble);
    return request;
}

TRequestPtr LatchBroadcast(TProtocol protocol)
{
    TRequestPtr request = Make(TRequestKind::Broadcast, protocol, nullptr);
    request->Frame = protocol == TProtocol::Modbus ? ModbusCommandWrite(0, "FX") : StandardFrame("00", "FX");
    return request;
}

TRequestPtr Probe(int address, TProtocol protocol)
{
    TRequestPtr request = Make(TRequestKind::Probe, protocol, nullptr);
    request->Frame = BuildSearchProbe(address, protocol);
    request->ReplyAddress = address;
    return request;
}

} // namespace Requests
