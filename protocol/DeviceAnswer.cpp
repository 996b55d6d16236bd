#include "app/Unit_Utils.h"
#include "protocol/DeviceUnit.h"
#include "protocol/LinkState.h"
#include "protocol/LinkView.h"
#include "protocol/ReceiveFraming.h"
#include "protocol/ReplyFields.h"
#include "protocol/ReplyTexts.h"
#include "protocol/ResultText.h"

namespace {
using TRegisterStore = void (*)(TDevice&, std::uint8_t);

struct TRegisterReply {
    const char* code;
    TRegisterStore store;
};

// Register replies in code order; the first whose code matches takes the reply.
constexpr TRegisterReply RegisterReplies[] = {
    {"R01", [](TDevice& d, std::uint8_t v) { d.PAdress = v; }},
    {"R02", [](TDevice& d, std::uint8_t v) { d.GaugeOnOff = v; }},
    {"R03", [](TDevice& d, std::uint8_t v) { d.AnalogExit = v; }},
    {"R04", [](TDevice& d, std::uint8_t v) { d.ThreadOnOff = v; }},
    {"R05", [](TDevice& d, std::uint8_t v) { d.Synhro = v; }},
    {"R06", [](TDevice& d, std::uint8_t v) { d.ByteFormat = v; }},
    {"R07", [](TDevice& d, std::uint8_t v) { d.Uart = v; }},
    {"R08", [](TDevice& d, std::uint8_t v) { d.PeriodLo = v; }},
    {"R09", [](TDevice& d, std::uint8_t v) { d.PeriodHi = v; }},
    {"R0A", [](TDevice& d, std::uint8_t v) { d.Nt_Lo = v; }},
    {"R0B", [](TDevice& d, std::uint8_t v) { d.Nt_Hi = v; }},
    {"R0C", [](TDevice& d, std::uint8_t v) { d.TimeLo = v; }},
    {"R0D", [](TDevice& d, std::uint8_t v) { d.TimeHi = v; }},
    {"R0E", [](TDevice& d, std::uint8_t v) { d.TypeData = v; }},
    {"R0F", [](TDevice& d, std::uint8_t v) { d.MiddlePoint = v; }},
    {"R10", [](TDevice& d, std::uint8_t v) { d.MedianPoint = v; }},
    {"R11", [](TDevice& d, std::uint8_t v) { d.LowLevelAnalogExitLo = v; }},
    {"R12", [](TDevice& d, std::uint8_t v) { d.LowLevelAnalogExitHi = v; }},
    {"R13", [](TDevice& d, std::uint8_t v) { d.HighLevelAnalogExitLo = v; }},
    {"R14", [](TDevice& d, std::uint8_t v) { d.HighLevelAnalogExitHi = v; }},
    {"R15", [](TDevice& d, std::uint8_t v) { d.DiscreetExit = v; }},
    {"R16", [](TDevice& d, std::uint8_t v) { d.FirstDiffFirstDiscreetExitLo = v; }},
    {"R17", [](TDevice& d, std::uint8_t v) { d.FirstDiffFirstDiscreetExitHi = v; }},
    {"R18", [](TDevice& d, std::uint8_t v) { d.SecondDiffFirstDiscreetExitLo = v; }},
    {"R19", [](TDevice& d, std::uint8_t v) { d.SecondDiffFirstDiscreetExitHi = v; }},
    {"R1A", [](TDevice& d, std::uint8_t v) { d.FirstDiffSecondDiscreetExitLo = v; }},
    {"R1B", [](TDevice& d, std::uint8_t v) { d.FirstDiffSecondDiscreetExitHi = v; }},
    {"R1C", [](TDevice& d, std::uint8_t v) { d.SecondDiffSecondDiscreetExitLo = v; }},
    {"R1D", [](TDevice& d, std::uint8_t v) { d.SecondDiffSecondDiscreetExitHi = v; }},
    {"R1E", [](TDevice& d, std::uint8_t v) { d.param_R = v; }},
    {"R1F", [](TDevice& d, std::uint8_t v) { d.param_OI = v; }},
    {"R20", [](TDevice& d, std::uint8_t v) { d.CorrezLo = v; }},
    {"R21", [](TDevice& d, std::uint8_t v) { d.CorrezHi = v; }},
    {"R22", [](TDevice& d, std::uint8_t v) { d.CorrezSign = v; }},
};

// The two hexadecimal digits after "!", the address text and a three-character code.
std::uint8_t RegisterValue(const QByteArray& reply)
{
    return HexToByte(reply.mid(6, 2));
}

bool StoreRegisterReply(TDevice& device, const QByteArray& reply, const QByteArray& head)
{
    for (const TRegisterReply& r : RegisterReplies) {
        if (reply.startsWith(head + r.code)) {
            r.store(device, RegisterValue(reply));
            return true;
        }
    }
    return false;
}

void ShowStatus(TLinkView& view, int panel, const char* text)
{
    view.SetStatusText(panel, QString::fromUtf8(text));
}
} // namespace

void TDevice::GetAnswer(const QByteArray& st)
{
    TLinkView& view = LinkView();
    const qsizetype bang = st.indexOf('!');
    const QByteArray reply = bang > 0 ? st.mid(bang) : st;
    const QByteArray adr = AdressStr.load();
    const QByteArray head = "!" + adr;
    const int addressNumber = HexAddressNumber(adr);
    const auto isEcho = [&](const char* command) { return reply == head + command + '\r'; };

    if (isEcho("SU")) {
        ShowStatus(view, 0, ReplyText::SensorConfigured);
    } else if (isEcho("ON")) {
        ShowStatus(view, 0, ReplyText::SensorOn);
    } else if (isEcho("OF")) {
        ShowStatus(view, 0, ReplyText::SensorOff);
    } else if (isEcho("SB")) {
        threadResultIsExec = false;
        StreamQuiet = true;
    } else if (isEcho("DF")) {
        ShowStatus(view, 1, ReplyText::DefaultsSet);
        view.EnableAfterDefaults();
    } else if (isEcho("FX")) {
        ShowStatus(view, 1, ReplyText::ResultLatched);
        view.AddLatchRow(addressNumber, LatchConfirmColumn, QString::fromUtf8(ReplyText::LatchedCell));
    } else if (reply.startsWith(head + "FR")) {
        const TResultField field = ParseResultField(reply);
        wdSwitchResult = field.Raw;
        SwitchedResult = ResultValue(field, ID_D);
        view.AddLatchRow(addressNumber, LatchReadColumn, LatchResultText(LatchReadColumn, field, ID_D));
        ShowStatus(view, 1, ReplyText::LatchedResultRead);
    } else if (reply.startsWith(head + "LR")) {
        const TResultField field = ParseResultField(reply);
        wdLastResult = field.Raw;
        LastResult = ResultValue(field, ID_D);
        ShowStatus(view, 1, ReplyText::LastResultRead);
        view.AddLatchRow(addressNumber, LastResultColumn, LatchResultText(LastResultColumn, field, ID_D));
    } else if (reply.startsWith("%" + adr)) {
        // Stored one by one: a bad field leaves the fields before it updated and those after it
        // as they were.
        Model = IdentModel(reply);
        SerialNumber = IdentSerialNumber(reply);
        ID_D = IdentRange(reply);
        ID_M = IdentDistance(reply);
    } else if (!StoreRegisterReply(*this, reply, head)) {
        if (reply.startsWith(head + "W01")) {
            PAdress = RegisterValue(reply);
        } else {
            // No known reply: while the stream runs it carries samples, otherwise it is dropped.
            StreamQuiet = false;
            if (threadResultIsExec)
                view.StreamText(*this, reply);
        }
    }
    ReplyReceived = true;
}
