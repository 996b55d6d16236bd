#include "protocol/DeviceUnit.h"
#include "protocol/LinkState.h"
#include "protocol/LinkView.h"
#include "protocol/ModbusReply.h"
#include "protocol/ModbusTexts.h"
#include "protocol/ReceiveFraming.h"
#include "protocol/ReceivePath.h"
#include "protocol/ReplyFields.h"
#include "protocol/ReplyTexts.h"
#include <QLoggingCategory>
#include <algorithm>
#include <cstring>
#include <iterator>

namespace {
Q_LOGGING_CATEGORY(lcModbusReply, "veltrano.link.modbus", QtWarningMsg)

std::uint16_t Word(std::uint8_t hi, std::uint8_t lo)
{
    return static_cast<std::uint16_t>(hi << 8 | lo);
}

using TBlockStore = void (*)(TDevice&, std::uint8_t hi, std::uint8_t lo);

// The parameter block, one entry per register from 0x0010, in register order.
constexpr TBlockStore BlockRegisters[] = {
    [](TDevice& d, std::uint8_t hi, std::uint8_t lo) { d.PAdress = Word(hi, lo); },
    [](TDevice& d, std::uint8_t hi, std::uint8_t lo) { d.ByteFormat = Word(hi, lo); },
    [](TDevice& d, std::uint8_t hi, std::uint8_t lo) { d.Uart = Word(hi, lo); },
    [](TDevice& d, std::uint8_t hi, std::uint8_t lo) {
        d.PeriodHi = hi;
        d.PeriodLo = lo;
    },
    [](TDevice& d, std::uint8_t hi, std::uint8_t lo) {
        d.Nt_Hi = hi;
        d.Nt_Lo = lo;
    },
    [](TDevice& d, std::uint8_t hi, std::uint8_t lo) {
        d.TimeHi = hi;
        d.TimeLo = lo;
    },
    [](TDevice& d, std::uint8_t hi, std::uint8_t lo) { d.TypeData = Word(hi, lo); },
    [](TDevice& d, std::uint8_t hi, std::uint8_t lo) { d.MiddlePoint = Word(hi, lo); },
    [](TDevice& d, std::uint8_t hi, std::uint8_t lo) { d.MedianPoint = Word(hi, lo); },
    [](TDevice& d, std::uint8_t hi, std::uint8_t lo) {
        d.LowLevelAnalogExitHi = hi;
        d.LowLevelAnalogExitLo = lo;
    },
    [](TDevice& d, std::uint8_t hi, std::uint8_t lo) {
        d.HighLevelAnalogExitHi = hi;
        d.HighLevelAnalogExitLo = lo;
    },
    [](TDevice& d, std::uint8_t, std::uint8_t lo) { d.DiscreetExit = lo; },
    [](TDevice& d, std::uint8_t hi, std::uint8_t lo) {
        d.FirstDiffFirstDiscreetExitHi = hi;
        d.FirstDiffFirstDiscreetExitLo = lo;
    },
    [](TDevice& d, std::uint8_t hi, std::uint8_t lo) {
        d.SecondDiffFirstDiscreetExitHi = hi;
        d.SecondDiffFirstDiscreetExitLo = lo;
    },
    [](TDevice& d, std::uint8_t hi, std::uint8_t lo) {
        d.FirstDiffSecondDiscreetExitHi = hi;
        d.FirstDiffSecondDiscreetExitLo = lo;
    },
    [](TDevice& d, std::uint8_t hi, std::uint8_t lo) {
        d.SecondDiffSecondDiscreetExitHi = hi;
        d.SecondDiffSecondDiscreetExitLo = lo;
    },
    [](TDevice& d, std::uint8_t, std::uint8_t lo) { d.param_R = lo; },
    [](TDevice& d, std::uint8_t, std::uint8_t lo) { d.param_OI = lo; },
    [](TDevice& d, std::uint8_t hi, std::uint8_t lo) {
        d.CorrezHi = hi;
        d.CorrezLo = lo;
    },
};
static_assert(std::size(BlockRegisters) * 2 == ModbusByteCount::Block);

void StoreParameterBlock(TDevice& device, TModbusFrame frame)
{
    for (std::size_t k = 0; k < std::size(BlockRegisters); ++k) {
        const std::size_t index = ModbusDataIndex + 2 * k;
        BlockRegisters[k](device, FrameByte(frame, index), FrameByte(frame, index + 1));
    }
}

void ShowStatus(TLinkView& view, int panel, const char* text)
{
    view.SetStatusText(panel, QString::fromUtf8(text));
}

int AddressNumberOf(const TDevice& device)
{
    return HexAddressNumber(device.AdressStr.load());
}

// The result replies store the raw value and the result in mm, add their latch-table row and show
// the outcome, each in its own order.
void StoreLatchedResult(TDevice& d, TLinkView& view, TModbusFrame frame)
{
    d.wdSwitchResult = FrameWord(frame, ModbusDataIndex);
    d.SwitchedResult = ResultValue({d.wdSwitchResult, false}, d.ID_D);
    view.AddLatchRow(AddressNumberOf(d), LatchReadColumn,
                     ModbusResultText(LatchReadColumn, d.wdSwitchResult, d.ID_D));
    ShowStatus(view, 1, ReplyText::LatchedResultRead);
    ReceiveBuffer.clear();
}

void StoreLastResult(TDevice& d, TLinkView& view, TModbusFrame frame)
{
    d.wdLastResult = FrameWord(frame, ModbusDataIndex);
    d.LastResult = ResultValue({d.wdLastResult, false}, d.ID_D);
    ShowStatus(view, 1, ReplyText::LastResultRead);
    view.AddLatchRow(AddressNumberOf(d), LastResultColumn,
                     ModbusResultText(LastResultColumn, d.wdLastResult, d.ID_D));
}

void StoreIdent(TDevice& d, TModbusFrame frame)
{
    const TModbusIdent ident = ParseIdentBlock(frame);
    d.Model = ident.Model;
    d.ID_D = ident.Range;
    d.ID_M = ident.Distance;
    d.SerialNumber = ident.SerialNumber;
    ReceiveBuffer.clear();
}

void StoreFlags(TDevice& d, TModbusFrame frame)
{
    const TModbusFlags flags = ParseFlagRegister(frame);
    d.GaugeOnOff = flags.GaugeOnOff;
    d.AnalogExit = flags.AnalogExit;
    d.Synhro = flags.Synhro;
    d.CorrezSign = flags.CorrezSign;
    d.ThreadOnOff = flags.ThreadOnOff;
}

// Uses the reply for the pending expectation when it carries byteCount data bytes, and clears the
// expectation either way: a damaged answer must not be taken for the answer to a later request.
// False when the reply was not used.
template <typename Store>
bool Answer(std::atomic<bool>& expectation, TModbusFrame frame, int byteCount, Store store)
{
    const bool usable = CarriesData(frame, byteCount);
    if (usable)
        store();
    expectation = false;
    return usable;
}

// A function-3 reply, by the expectation flags; false when a pending read got a reply that does
// not carry what it asked for. With no flag set the reply answers nothing and changes nothing.
bool DecodeRead(TDevice& d, TLinkView& view, TModbusFrame frame)
{
    using namespace ModbusByteCount;
    if (ExpectLastResult)
        return Answer(ExpectLastResult, frame, Register, [&] { StoreLastResult(d, view, frame); });
    if (ExpectSwitchResult)
        return Answer(ExpectSwitchResult, frame, Register, [&] { StoreLatchedResult(d, view, frame); });
    bool used = true;
    if (ExpectIdent)
        used = Answer(ExpectIdent, frame, Ident, [&] { StoreIdent(d, frame); });
    if (ExpectFlags)
        used = Answer(ExpectFlags, frame, Register, [&] { StoreFlags(d, frame); }) && used;
    else if (ExpectAllParams)
        used = Answer(ExpectAllParams, frame, Block, [&] { StoreParameterBlock(d, frame); }) && used;
    return used;
}

// The echo of a command write: the two bytes written name the command.
void DecodeCommandEcho(TDevice& d, TLinkView& view, TModbusFrame frame)
{
    const char command[] = {static_cast<char>(FrameByte(frame, 4)), static_cast<char>(FrameByte(frame, 5))};
    const auto is = [&](const char* name) { return std::memcmp(command, name, 2) == 0; };
    if (is("ON")) {
        d.AfterSwitchOn();
    } else if (is("OF")) {
        d.AfterSwitchOff();
    } else if (is("FX")) {
        ShowStatus(view, 1, ReplyText::ResultLatched);
        view.AddLatchRow(AddressNumberOf(d), LatchConfirmColumn, QString::fromUtf8(ReplyText::LatchedCell));
    } else if (is("DF")) {
        ShowStatus(view, 1, ReplyText::DefaultsSet);
        view.EnableAfterDefaults();
    } else if (is("SU")) {
        ShowStatus(view, 0, ReplyText::SensorConfigured);
    }
}

void ClearAllExpectations()
{
    for (auto* flag : {&ExpectLastResult, &ExpectSwitchResult, &ExpectIdent, &ExpectFlags, &ExpectAllParams,
                       &WriteFlagsOnly})
        *flag = false;
}
} // namespace

void TDevice::GetAnswer_modbus()
{
    TLinkView& view = LinkView();
    const TModbusFrame frame(FrameBuffer.data(), std::min(ReceivedFrameLength(), FrameBuffer.size()));
    qCDebug(lcModbusReply) << "reply for" << AdressStr.load()
                           << QByteArray(reinterpret_cast<const char*>(frame.data()),
                                         static_cast<qsizetype>(frame.size()))
                                  .toHex(' ');
    const auto function = ReplyFunction(frame);
    bool used = HasReplyLayout(frame);
    if (!function) {
        // Only an address and a CRC: no function to answer.
    } else if (*function & ModbusFunction::ExceptionBit) {
        ClearAllExpectations();
        // A refusal answers nothing further. Left in the buffer it would sit in front of the next
        // reply of the same operation (the next sensor of a read-all), which then never completes.
        ReceiveBuffer.clear();
        if (used) {
            if (const auto message = ModbusExceptionMessage(FrameByte(frame, ModbusExceptionCodeIndex)))
                // Modal: the main thread may take in further chunks meanwhile, so neither the frame
                // nor this record is touched once it returns.
                view.ShowModbusException(message->text, message->caption);
        }
    } else if (*function == ModbusFunction::ReadRegisters) {
        used = DecodeRead(*this, view, frame) && used;
    } else if (*function == ModbusFunction::WriteRegister) {
        if (WriteFlagsOnly) {
            WriteFlagsOnly = false;
            // The block write's echo comes next; should the flag echo arrive after the write worker
            // has emptied the buffer, it must not stand in front of that echo.
            ReceiveBuffer.clear();
        } else if (used)
            DecodeCommandEcho(*this, view, frame);
    } else if (*function == ModbusFunction::WriteRegisters) {
        if (used)
            PAdress = FrameByte(frame, 0);
    }
    if (!used) {
        qCDebug(lcModbusReply) << "reply without the layout it answers, not read";
        ReceiveBuffer.clear(); // as after a refusal: the next reply must start a frame of its own
        ShowStatus(view, 2, ReplyText::DecodingError);
        view.StartErrorClear();
    }
    ReplyReceived = true;
}

void TDevice::AfterSwitchOn()
{
    ShowStatus(LinkView(), 0, ReplyText::SensorOn);
}

void TDevice::AfterSwitchOff()
{
    ShowStatus(LinkView(), 0, ReplyText::SensorOff);
}
