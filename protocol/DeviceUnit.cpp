#include "protocol/DeviceUnit.h"
#include "protocol/Frames.h"
#include "protocol/LinkState.h"
#include "protocol/MainThread.h"
#include <QThread>

TDevice::TDevice(const QByteArray& adr) : AdressStr(adr) {}

bool TDevice::SendCommand(const QByteArray& Commnd)
{
    // Without a driver nothing can leave, so the token is not taken and the worker's retry
    // loop ends by its watchdog like any unanswered request.
    if (!LinkSenderRegistered())
        return false;
    bool idle = true;
    if (!ReplyReceived.compare_exchange_strong(idle, false))
        return false;
    LinkSend(Commnd);
    return true;
}

bool TDevice::ReadEnd() const
{
    return ReplyReceived.load();
}

bool TDevice::SendStandard(const QByteArray& command)
{
    const QByteArray frame = StandardFrame(AdressStr.load(), command);
    DCommand = frame;
    return SendCommand(frame);
}

bool TDevice::SendModbusCommand(const char command[2])
{
    const QByteArray frame = ModbusCommandWrite(AddressNumber(AdressStr.load()), command);
    DCommand = frame;
    return SendCommand(frame);
}

bool TDevice::SendModbusRead(const TModbusBody& body)
{
    const QByteArray frame = ModbusRequest(AddressNumber(AdressStr.load()), body);
    DCommand = frame;
    return SendCommand(frame);
}

bool TDevice::SendCommandRequest(const char command[2])
{
    return ProtocolMode.load() == 1 ? SendModbusCommand(command) : SendStandard(QByteArray(command, 2));
}

bool TDevice::Setup()
{
    return SendCommandRequest("SU");
}
bool TDevice::SwitchOn()
{
    return SendCommandRequest("ON");
}
bool TDevice::SwitchOff()
{
    return SendCommandRequest("OF");
}
bool TDevice::SaveToFlash()
{
    return SendCommandRequest("FL");
}
bool TDevice::SetParmDefault()
{
    return SendCommandRequest("DF");
}
bool TDevice::SwitchResult()
{
    return SendCommandRequest("FX");
}

bool TDevice::ReadSwitchResult()
{
    if (ProtocolMode.load() != 1)
        return SendStandard("FR");
    ExpectSwitchResult = true;
    return SendModbusRead(ModbusBody::SwitchResultRead);
}

bool TDevice::ReadLastResult()
{
    if (ProtocolMode.load() != 1)
        return SendStandard("LR");
    ExpectLastResult = true;
    return SendModbusRead(ModbusBody::LastResultRead);
}

bool TDevice::ReadIdent()
{
    bool sent = false;
    if (ProtocolMode.load() == 1) {
        ExpectIdent = true;
        sent = SendModbusRead(ModbusBody::IdentRead);
    } else {
        sent = SendStandard("ID");
    }
    QThread::msleep(static_cast<unsigned long>(ProbePauseMs()));
    return sent;
}

// The flag read and the block read are sent back to back, and the worker retries the second
// while the reply to the first may still be arriving. So each sets its own expectation at once,
// but withdraws the other's, and empties ReceiveBuffer, only when the token is free: before
// that, the pending reply still needs both its expectation and its bytes.
bool TDevice::Read_Flag_modbus()
{
    ExpectFlags = true;
    const QByteArray frame = ModbusRequest(AddressNumber(AdressStr.load()), ModbusBody::FlagRead);
    DCommand = frame;
    if (!ReplyReceived.load())
        return false;
    ExpectAllParams = false;
    return SendCommand(frame);
}

bool TDevice::ReadAllParam_modbus()
{
    mb_version_for_RW_all_N = static_cast<char>(ModbusBody::BlockRead[4]);
    ExpectAllParams = true;
    const QByteArray frame = ModbusRequest(AddressNumber(AdressStr.load()), ModbusBody::BlockRead);
    DCommand = frame;
    if (!ReplyReceived.load())
        return false;
    ExpectFlags = false;
    RunOnMainThread([] { ReceiveBuffer.clear(); });
    return SendCommand(frame);
}

bool TDevice::ReadPAdress()
{
    return SendStandard("R01");
}
bool TDevice::ReadGaugeOnOff()
{
    return SendStandard("R02");
}
bool TDevice::ReadAnalogExit()
{
    return SendStandard("R03");
}
bool TDevice::ReadThreadOnOff()
{
    return SendStandard("R04");
}
bool TDevice::ReadSynhro()
{
    return SendStandard("R05");
}
bool TDevice::ReadByteFormat()
{
    return SendStandard("R06");
}
bool TDevice::ReadUart()
{
    return SendStandard("R07");
}
bool TDevice::ReadPeriodLo()
{
    return SendStandard("R08");
}
bool TDevice::ReadPeriodHi()
{
    return SendStandard("R09");
}
bool TDevice::ReadConstantLo()
{
    return SendStandard("R0A");
}
bool TDevice::ReadConstantHi()
{
    return SendStandard("R0B");
}
bool TDevice::ReadTimeLo()
{
    return SendStandard("R0C");
}
bool TDevice::ReadTimeHi()
{
    return SendStandard("R0D");
}
bool TDevice::ReadTypeData()
{
    return SendStandard("R0E");
}
bool TDevice::ReadMiddlePoint()
{
    return SendStandard("R0F");
}
bool TDevice::ReadMedianPoint()
{
    return SendStandard("R10");
}
bool TDevice::ReadLowLevelAnalogExitLo()
{
    return SendStandard("R11");
}
bool TDevice::ReadLowLevelAnalogExitHi()
{
    return SendStandard("R12");
}
bool TDevice::ReadHighLevelAnalogExitLo()
{
    return SendStandard("R13");
}
bool TDevice::ReadHighLevelAnalogExitHi()
{
    return SendStandard("R14");
}
bool TDevice::ReadDiscreetExit()
{
    return SendStandard("R15");
}
bool TDevice::ReadFirstDiffFirstDiscreetExitLo()
{
    return SendStandard("R16");
}
bool TDevice::ReadFirstDiffFirstDiscreetExitHi()
{
    return SendStandard("R17");
}
bool TDevice::ReadSecondDiffFirstDiscreetExitLo()
{
    return SendStandard("R18");
}
bool TDevice::ReadSecondDiffFirstDiscreetExitHi()
{
    return SendStandard("R19");
}
bool TDevice::ReadFirstDiffSecondDiscreetExitLo()
{
    return SendStandard("R1A");
}
bool TDevice::ReadFirstDiffSecondDiscreetExitHi()
{
    return SendStandard("R1B");
}
bool TDevice::ReadSecondDiffSecondDiscreetExitLo()
{
    return SendStandard("R1C");
}
bool TDevice::ReadSecondDiffSecondDiscreetExitHi()
{
    return SendStandard("R1D");
}
bool TDevice::ReadR()
{
    return SendStandard("R1E");
}
bool TDevice::ReadOI()
{
    return SendStandard("R1F");
}
bool TDevice::ReadCorrezLo()
{
    return SendStandard("R20");
}
bool TDevice::ReadCorrezHi()
{
    return SendStandard("R21");
}
bool TDevice::ReadCorrezSign()
{
    return SendStandard("R22");
}

bool TDevice::StartThreadResult()
{
    threadResultIsExec = true;
    ThreadResultCount = 0;
    return SendStandard("ST");
}

bool TDevice::StopThreadResult()
{
    const QByteArray frame = StandardFrame(AdressStr.load(), "SB");
    DCommand = frame;
    return SendCommand(StreamStopPreamble + frame);
}

bool TDevice::ReadAllSwitchResult()
{
    const QByteArray frame =
        ProtocolMode.load() == 1 ? ModbusCommandWrite(0, "FX") : StandardFrame("00", "FX");
    DCommand = frame;
    return LinkSend(frame);
}

bool TDevice::WriteParam(const QByteArray& addr, const QByteArray& Data)
{
    const QByteArray target = WriteAddress.load();
    QByteArray frame;
    if (ProtocolMode.load() != 1) {
        frame = StandardFrame(target, 'W' + addr + Data);
    } else if (WriteFlagsOnly.load()) {
        if (Data.size() != 2)
            throw std::invalid_argument("the flag register takes two bytes");
        frame = ModbusFlagWrite(AddressNumber(target), static_cast<std::uint8_t>(Data[0]),
                                static_cast<std::uint8_t>(Data[1]));
    } else {
        frame = ModbusBlockWrite(AddressNumber(target), Data);
        mb_version_for_RW_all_N = static_cast<char>(Data.size() / 2);
    }
    DCommand = frame;
    return SendCommand(frame);
}

bool TDevice::WriteParamAddress(const QByteArray& s)
{
    return SendStandard("W01" + s);
}
