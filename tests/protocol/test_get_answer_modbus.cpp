#include "ReceiveFixture.h"
#include "protocol/Frames.h"
#include <functional>
#include <vector>

namespace {
// The pending Modbus requests, as a set of bits.
enum Expect : unsigned {
    None = 0,
    Last = 1,
    Latched = 2,
    Ident = 4,
    Block = 8,
    Flags = 16,
    FlagWrite = 32,
    All = 63,
};

std::atomic<bool>* const ExpectationFlags[] = {&ExpectLastResult, &ExpectSwitchResult, &ExpectIdent,
                                               &ExpectAllParams,  &ExpectFlags,        &WriteFlagsOnly};

void SetExpectations(unsigned bits)
{
    for (std::size_t i = 0; i < std::size(ExpectationFlags); ++i)
        *ExpectationFlags[i] = (bits >> i & 1) != 0;
}

unsigned Expectations()
{
    unsigned bits = 0;
    for (std::size_t i = 0; i < std::size(ExpectationFlags); ++i)
        bits |= unsigned{ExpectationFlags[i]->load()} << i;
    return bits;
}

// hexBody followed by its CRC.
QByteArray Framed(const char* hexBody)
{
    return AppendCrc(Hex(hexBody));
}

const QByteArray IdentModel("VLT-250 M12         ");

// Identification: range 250 mm, distance 1200.5 mm, serial number -42.
QByteArray IdentFrame()
{
    return AppendCrc(Hex("1A 03 20") + IdentModel + Hex("0003D090 00125174 FFFFFFD6"));
}

// The parameter block with data byte i = 0x40 + i, so that every field gets its own value.
QByteArray BlockFrame()
{
    QByteArray body = Hex("1A 03 26");
    for (int i = 0; i < 38; ++i)
        body.append(static_cast<char>(0x40 + i));
    return AppendCrc(body);
}

std::vector<TViewCall> DecodingErrorCalls()
{
    return {StatusCall(2, "Ошибка принятия данных"), Call(TViewCall::StartErrorClear)};
}

class GetAnswerModbus : public ReceiveFixture {
  protected:
    void SetUp() override
    {
        ReceiveFixture::SetUp();
        ProtocolMode = 1;
        SetSelectedAddressText("26");
        NewRecord();
    }
    void NewRecord()
    {
        ClearDevices();
        device_ = &AddRecord("1A", 250);
    }
    // frame as one chunk, with the expectations set and nothing received before.
    void ReceiveFrame(const QByteArray& frame, unsigned expect)
    {
        view_.calls.clear();
        ReceiveBuffer.clear();
        ReplyReceived = false;
        SetExpectations(expect);
        Receive(frame);
    }
    // What the decoder did to the window: the calls after the framing stopped the frame timeout.
    std::vector<TViewCall> DecoderCalls() const
    {
        if (view_.calls.empty() || view_.calls.front() != Call(TViewCall::StopFrameTimeout))
            return {Call(TViewCall::StartFrameTimeout)}; // never reached the decoder
        return {view_.calls.begin() + 1, view_.calls.end()};
    }

    TDevice* device_ = nullptr;
};

struct FrameCase {
    const char* name;
    unsigned expect;
    QByteArray frame;
    std::vector<TViewCall> calls;
    unsigned expectAfter;
    bool bufferCleared;
    std::function<void(const TDevice&)> check;
};

std::vector<FrameCase> DecodedFrames()
{
    const QString value = Spaces(15);
    const QString latchRead = "Результат прочитан из защёлки";
    const QString lastRead = "Последний результат прочитан";
    return {
        {"latched result",
         Latched,
         Framed("1A 03 02 61 A8"),
         {LatchRowCall(26, 4, value + "125,00"), StatusCall(1, latchRead)},
         None,
         true,
         [](const TDevice& d) {
             EXPECT_EQ(d.wdSwitchResult, 25000);
             EXPECT_DOUBLE_EQ(d.SwitchedResult, 125.0);
             EXPECT_EQ(d.wdLastResult, 0);
         }},
        {"last result",
         Last,
         Framed("1A 03 02 61 A8"),
         {StatusCall(1, lastRead), LatchRowCall(26, 5, value + "125,00")},
         None,
         false,
         [](const TDevice& d) {
             EXPECT_EQ(d.wdLastResult, 25000);
             EXPECT_DOUBLE_EQ(d.LastResult, 125.0);
             EXPECT_EQ(d.wdSwitchResult, 0);
         }},
        {"last result, no data",
         Last,
         Framed("1A 03 02 FF FE"),
         {StatusCall(1, lastRead), LatchRowCall(26, 5, Spaces(10) + "Нет данных")},
         None,
         false,
         [](const TDevice& d) { EXPECT_EQ(d.wdLastResult, 65534); }},
        {"last result out of range",
         Last,
         Framed("1A 03 02 FF FF"),
         {StatusCall(1, lastRead), LatchRowCall(26, 5, Spaces(7) + "Вне диапазона")},
         None,
         false,
         [](const TDevice& d) { EXPECT_EQ(d.wdLastResult, 65535); }},
        {"latched result, no data",
         Latched,
         Framed("1A 03 02 FF FE"),
         {LatchRowCall(26, 4, Spaces(12) + "Нет данных"), StatusCall(1, latchRead)},
         None,
         true,
         [](const TDevice& d) { EXPECT_EQ(d.wdSwitchResult, 65534); }},
        {"latched result out of range",
         Latched,
         Framed("1A 03 02 FF FF"),
         {LatchRowCall(26, 4, Spaces(9) + "Вне диапазона"), StatusCall(1, latchRead)},
         None,
         true,
         nullptr},
        {"last result answers first when both are pending",
         Last | Latched,
         Framed("1A 03 02 00 00"),
         {StatusCall(1, lastRead), LatchRowCall(26, 5, value + "0,00")},
         Latched,
         false,
         nullptr},
        {"flag register",
         Flags,
         Framed("1A 03 02 00 15"),
         {},
         None,
         false,
         [](const TDevice& d) {
             EXPECT_EQ(d.GaugeOnOff, 1);
             EXPECT_EQ(d.AnalogExit, 0);
             EXPECT_EQ(d.Synhro, 1);
             EXPECT_EQ(d.CorrezSign, 0);
             EXPECT_EQ(d.ThreadOnOff, 1);
         }},
        {"flag register: the high byte and bits 5-7 carry nothing",
         Flags,
         Framed("1A 03 02 FF EA"),
         {},
         None,
         false,
         [](const TDevice& d) {
             EXPECT_EQ(d.GaugeOnOff, 0);
             EXPECT_EQ(d.AnalogExit, 1);
             EXPECT_EQ(d.Synhro, 0);
             EXPECT_EQ(d.CorrezSign, 1);
             EXPECT_EQ(d.ThreadOnOff, 0);
         }},
        {"flag register is taken before the block",
         Flags | Block,
         Framed("1A 03 02 00 08"),
         {},
         Block,
         false,
         [](const TDevice& d) {
             EXPECT_EQ(d.CorrezSign, 1);
             EXPECT_EQ(d.PAdress, 0);
         }},
        {"identification",
         Ident,
         IdentFrame(),
         {},
         None,
         true,
         [](const TDevice& d) {
             EXPECT_EQ(d.Model, IdentModel);
             EXPECT_DOUBLE_EQ(d.ID_D, 250.0);
             EXPECT_DOUBLE_EQ(d.ID_M, 1200.5);
             EXPECT_EQ(d.SerialNumber, -42);
         }},
        {"identification with the flags also pending: the flags part is not read", Ident | Flags,
         IdentFrame(), DecodingErrorCalls(), None, true,
         [](const TDevice& d) {
             EXPECT_EQ(d.SerialNumber, -42);
             EXPECT_EQ(d.AnalogExit, 0);
         }},
        {"read reply with nothing pending",
         None,
         Framed("1A 03 02 61 A8"),
         {},
         None,
         false,
         [](const TDevice& d) { EXPECT_EQ(d.wdSwitchResult, 0); }},
        {"switch-on echo",
         None,
         Framed("1A 06 00 BC 4F 4E"),
         {StatusCall(0, "  Датчик включён")},
         None,
         false,
         nullptr},
        {"switch-off echo",
         None,
         Framed("1A 06 00 BC 4F 46"),
         {StatusCall(0, "  Датчик выключен")},
         None,
         false,
         nullptr},
        {"latch echo",
         None,
         Framed("1A 06 00 BC 46 58"),
         {StatusCall(1, "Результат защёлкнут"), LatchRowCall(26, 3, value + "Защёлкнут")},
         None,
         false,
         nullptr},
        {"defaults echo",
         None,
         Framed("1A 06 00 BC 44 46"),
         {StatusCall(1, "Параметры по умолчанию установлены"), Call(TViewCall::EnableAfterDefaults)},
         None,
         false,
         nullptr},
        {"setup echo",
         None,
         Framed("1A 06 00 BC 53 55"),
         {StatusCall(0, "  Датчик настроен")},
         None,
         false,
         nullptr},
        {"flash echo shows nothing", None, Framed("1A 06 00 BC 46 4C"), {}, None, false, nullptr},
        {"lower-case command shows nothing", None, Framed("1A 06 00 BC 6F 6E"), {}, None, false, nullptr},
        {"command echo leaves a pending read",
         Last,
         Framed("1A 06 00 BC 4F 4E"),
         {StatusCall(0, "  Датчик включён")},
         Last,
         false,
         nullptr},
        {"flag write echo spelling ON only ends the flag write",
         FlagWrite,
         Framed("1A 06 00 00 4F 4E"),
         {},
         None,
         true,
         nullptr},
        {"flag write echo leaves a pending read",
         FlagWrite | Latched,
         Framed("1A 06 00 00 00 15"),
         {},
         Latched,
         true,
         nullptr},
        {"block write echo",
         None,
         Framed("1A 10 00 10 00 13"),
         {},
         None,
         false,
         [](const TDevice& d) { EXPECT_EQ(d.PAdress, 26); }},
        {"exception",
         All,
         Framed("1A 83 02"),
         {ModbusExceptionCall("Ошибка (0x02): адрес регистра недоступен.",
                              "Принят код ошибки по протоколу Modbus.")},
         None,
         true,
         nullptr},
        {"unknown function",
         Latched,
         Framed("1A 04 02 61 A8"),
         {},
         Latched,
         false,
         [](const TDevice& d) { EXPECT_EQ(d.wdSwitchResult, 0); }},
    };
}

// Frames without the layout of what they answer: nothing is read from them.
std::vector<FrameCase> RejectedFrames()
{
    const auto unchanged = [](const TDevice& d) {
        EXPECT_EQ(d.wdSwitchResult, 0);
        EXPECT_EQ(d.wdLastResult, 0);
        EXPECT_EQ(d.PAdress, 0);
        EXPECT_EQ(d.GaugeOnOff, 0);
        EXPECT_TRUE(d.Model.isEmpty());
        EXPECT_DOUBLE_EQ(d.ID_D, 250);
    };
    const auto error = DecodingErrorCalls();
    return {
        {"address and CRC only", Latched, Framed("1A"), error, Latched, true, unchanged},
        {"result cut short", Latched, Framed("1A 03 02 61"), error, None, true, unchanged},
        {"result of one byte", Latched, Framed("1A 03 01 61"), error, None, true, unchanged},
        {"two registers for a result", Last, Framed("1A 03 04 61 A8 00 01"), error, None, true, unchanged},
        {"one register for the identification", Ident, Framed("1A 03 02 61 A8"), error, None, true,
         unchanged},
        {"identification for the block", Block, IdentFrame(), error, None, true, unchanged},
        {"block for the flags", Flags, BlockFrame(), error, None, true, unchanged},
        {"no byte count", Flags, Framed("1A 03"), error, None, true, unchanged},
        {"no data", Flags, Framed("1A 03 00"), error, None, true, unchanged},
        {"byte count beyond the frame, nothing pending", None, Framed("1A 03 05 61"), error, None, true,
         unchanged},
        {"byte count 255 in a short frame", Flags, Framed("1A 03 FF 00 15"), error, None, true, unchanged},
        {"byte count below the bytes carried", Last, Framed("1A 03 01 61 A8"), error, None, true, unchanged},
        {"write echo too long", None, Framed("1A 06 00 BC 4F 4E 00"), error, None, true, unchanged},
        {"exception without its code", All, Framed("1A 83"), error, None, true, unchanged},
        {"exception too long", None, Framed("1A 83 02 00"), error, None, true, unchanged},
        {"command echo cut short", None, Framed("1A 06 00 BC 4F"), error, None, true, unchanged},
        {"flag write echo cut short", FlagWrite, Framed("1A 06 00 00 00"), error, None, true, unchanged},
        {"block write echo cut short", None, Framed("1A 10 00 10"), error, None, true, unchanged},
    };
}
} // namespace

TEST_F(GetAnswerModbus, EachFrameHasItsEffect)
{
    for (const auto& cases : {DecodedFrames(), RejectedFrames()}) {
        for (const auto& c : cases) {
            SCOPED_TRACE(c.name);
            NewRecord();
            ReceiveFrame(c.frame, c.expect);
            EXPECT_EQ(DecoderCalls(), c.calls);
            EXPECT_EQ(Expectations(), c.expectAfter);
            EXPECT_TRUE(ReplyReceived);
            EXPECT_EQ(ReceiveBuffer, c.bufferCleared ? QByteArray() : c.frame);
            if (c.check)
                c.check(*device_);
        }
    }
}

TEST_F(GetAnswerModbus, EveryBlockRegisterFillsItsFields)
{
    ReceiveFrame(BlockFrame(), Block);
    EXPECT_EQ(DecoderCalls(), std::vector<TViewCall>{});
    EXPECT_EQ(Expectations(), None);
    // Data byte i holds 0x40 + i; register 0x0010 + k is bytes 2k (high) and 2k + 1 (low).
    using Field = std::function<int(const TDevice&)>;
    const std::vector<std::pair<const char*, std::pair<Field, int>>> fields = {
        {"PAdress", {[](const TDevice& d) { return d.PAdress; }, 0x4041}},
        {"ByteFormat", {[](const TDevice& d) { return d.ByteFormat; }, 0x4243}},
        {"Uart", {[](const TDevice& d) { return d.Uart; }, 0x4445}},
        {"PeriodHi", {[](const TDevice& d) { return d.PeriodHi; }, 0x46}},
        {"PeriodLo", {[](const TDevice& d) { return d.PeriodLo; }, 0x47}},
        {"Nt_Hi", {[](const TDevice& d) { return d.Nt_Hi; }, 0x48}},
        {"Nt_Lo", {[](const TDevice& d) { return d.Nt_Lo; }, 0x49}},
        {"TimeHi", {[](const TDevice& d) { return d.TimeHi; }, 0x4A}},
        {"TimeLo", {[](const TDevice& d) { return d.TimeLo; }, 0x4B}},
        {"TypeData", {[](const TDevice& d) { return d.TypeData; }, 0x4C4D}},
        {"MiddlePoint", {[](const TDevice& d) { return d.MiddlePoint; }, 0x4E4F}},
        {"MedianPoint", {[](const TDevice& d) { return d.MedianPoint; }, 0x5051}},
        {"LowLevelAnalogExitHi", {[](const TDevice& d) { return d.LowLevelAnalogExitHi; }, 0x52}},
        {"LowLevelAnalogExitLo", {[](const TDevice& d) { return d.LowLevelAnalogExitLo; }, 0x53}},
        {"HighLevelAnalogExitHi", {[](const TDevice& d) { return d.HighLevelAnalogExitHi; }, 0x54}},
        {"HighLevelAnalogExitLo", {[](const TDevice& d) { return d.HighLevelAnalogExitLo; }, 0x55}},
        {"DiscreetExit", {[](const TDevice& d) { return d.DiscreetExit; }, 0x57}},
        {"FirstDiffFirstDiscreetExitHi",
         {[](const TDevice& d) { return d.FirstDiffFirstDiscreetExitHi; }, 0x58}},
        {"FirstDiffFirstDiscreetExitLo",
         {[](const TDevice& d) { return d.FirstDiffFirstDiscreetExitLo; }, 0x59}},
        {"SecondDiffFirstDiscreetExitHi",
         {[](const TDevice& d) { return d.SecondDiffFirstDiscreetExitHi; }, 0x5A}},
        {"SecondDiffFirstDiscreetExitLo",
         {[](const TDevice& d) { return d.SecondDiffFirstDiscreetExitLo; }, 0x5B}},
        {"FirstDiffSecondDiscreetExitHi",
         {[](const TDevice& d) { return d.FirstDiffSecondDiscreetExitHi; }, 0x5C}},
        {"FirstDiffSecondDiscreetExitLo",
         {[](const TDevice& d) { return d.FirstDiffSecondDiscreetExitLo; }, 0x5D}},
        {"SecondDiffSecondDiscreetExitHi",
         {[](const TDevice& d) { return d.SecondDiffSecondDiscreetExitHi; }, 0x5E}},
        {"SecondDiffSecondDiscreetExitLo",
         {[](const TDevice& d) { return d.SecondDiffSecondDiscreetExitLo; }, 0x5F}},
        {"param_R", {[](const TDevice& d) { return d.param_R; }, 0x61}},
        {"param_OI", {[](const TDevice& d) { return d.param_OI; }, 0x63}},
        {"CorrezHi", {[](const TDevice& d) { return d.CorrezHi; }, 0x64}},
        {"CorrezLo", {[](const TDevice& d) { return d.CorrezLo; }, 0x65}},
    };
    for (const auto& [name, field] : fields) {
        SCOPED_TRACE(name);
        EXPECT_EQ(field.first(*device_), field.second);
    }
    // The flag register's fields and the correction itself are not part of the block.
    EXPECT_EQ(device_->GaugeOnOff, 0);
    EXPECT_EQ(device_->CorrezSign, 0);
    EXPECT_EQ(device_->Correz, 0);
}

TEST_F(GetAnswerModbus, ExceptionCodes)
{
    const QString caption = "Принят код ошибки по протоколу Modbus";
    const struct {
        const char* code;
        std::vector<TViewCall> calls;
    } cases[] = {
        {"01", {ModbusExceptionCall("Ошибка (0x01): недопустимая команда.", caption)}},
        {"02", {ModbusExceptionCall("Ошибка (0x02): адрес регистра недоступен.", caption + ".")}},
        {"03", {ModbusExceptionCall("Ошибка (0x03): недопустимое значение данных.", caption)}},
        {"04", {ModbusExceptionCall("Ошибка (0x04): ошибка записи во Flash.", caption)}},
        {"05", {ModbusExceptionCall("Ошибка (0x05): недопустимое количество регистров.", caption)}},
        {"06", {ModbusExceptionCall("Ошибка (0x06): запись в регистры для чтения.", caption)}},
        {"07", {ModbusExceptionCall("Ошибка (0x07): запись в зарезервированные регистры.", caption)}},
        {"00", {}},
        {"08", {}},
        {"80", {}},
        {"FF", {}},
    };
    for (const char* function : {"83", "86", "90", "FF"}) {
        for (const auto& c : cases) {
            SCOPED_TRACE(std::string(function) + " code " + c.code);
            ReceiveFrame(AppendCrc(Hex("1A") + Hex(function) + Hex(c.code)), All);
            EXPECT_EQ(DecoderCalls(), c.calls);
            EXPECT_EQ(Expectations(), None);
            EXPECT_TRUE(ReplyReceived);
        }
    }
}

TEST_F(GetAnswerModbus, TheTokenReturnsOnlyWhenTheExceptionBoxIsClosed)
{
    bool shown = false;
    view_.whileModal = [&] {
        shown = true;
        EXPECT_EQ(Expectations(), None);
        EXPECT_FALSE(ReplyReceived);
    };
    ReceiveFrame(Framed("1A 83 02"), Ident | FlagWrite);
    EXPECT_TRUE(shown);
    EXPECT_TRUE(ReplyReceived);
}

TEST_F(GetAnswerModbus, BytesLeftInTheFrameBufferBeyondAShortFrameAreNeverRead)
{
    // A whole block and a whole result first fill the buffer far beyond the short frames after them.
    ReceiveFrame(BlockFrame(), Block);
    ASSERT_EQ(device_->PAdress, 0x4041);
    const struct {
        const char* name;
        unsigned expect;
        QByteArray frame;
    } cases[] = {
        {"block without data", Block, Framed("1A 03 26")},
        {"identification without data", Ident, Framed("1A 03 20")},
        {"flags without data", Flags, Framed("1A 03 02")},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        NewRecord();
        ReceiveFrame(c.frame, c.expect);
        EXPECT_EQ(DecoderCalls(), DecodingErrorCalls());
        EXPECT_EQ(device_->PAdress, 0);
        EXPECT_EQ(device_->GaugeOnOff, 0);
        EXPECT_EQ(device_->wdLastResult, 0);
        EXPECT_TRUE(device_->Model.isEmpty());
        EXPECT_TRUE(ReplyReceived);
    }
}

TEST_F(GetAnswerModbus, TheReplyAfterARefusalOrARejectedFrameIsDecoded)
{
    // As in reading all latches: one request per sensor, the buffer not emptied in between.
    for (const char* first : {"1A 83 02", "1A 03 04 61 A8 00 01", "1A 83"}) {
        SCOPED_TRACE(first);
        NewRecord();
        ReceiveFrame(Framed(first), Latched);
        view_.calls.clear();
        ReplyReceived = false;
        ExpectSwitchResult = true;
        Receive(Framed("1A 03 02 61 A8"));
        EXPECT_TRUE(ReplyReceived);
        EXPECT_EQ(device_->wdSwitchResult, 25000);
        EXPECT_FALSE(ExpectSwitchResult);
    }
}

TEST_F(GetAnswerModbus, ABlockWriteEchoAfterALateFlagWriteEchoIsDecoded)
{
    ReceiveFrame(Framed("1A 06 00 00 00 15"), FlagWrite);
    ReplyReceived = false;
    Receive(Framed("1A 10 00 10 00 13"));
    EXPECT_TRUE(ReplyReceived);
    EXPECT_EQ(device_->PAdress, 0x1A);
}

TEST_F(GetAnswerModbus, ARejectedReplyLeavesNoExpectationForTheNextRequest)
{
    ReceiveFrame(Framed("1A 03 02 61 A8"), Ident);
    EXPECT_EQ(DecoderCalls(), DecodingErrorCalls());

    // The flag read sets only its own expectation; a pending identification would take its reply.
    view_.calls.clear();
    ReceiveBuffer.clear();
    ExpectFlags = true;
    Receive(Framed("1A 03 02 00 15"));
    EXPECT_EQ(DecoderCalls(), std::vector<TViewCall>{});
    EXPECT_EQ(device_->GaugeOnOff, 1);
    EXPECT_TRUE(device_->Model.isEmpty());
}

// Results are shown with the decimals the measuring range gives, in the locale's number format.
class GetAnswerModbusLocale : public GetAnswerModbus, public ::testing::WithParamInterface<const char*> {};

TEST_P(GetAnswerModbusLocale, ResultDecimalsFollowTheRange)
{
    QLocale::setDefault(QLocale(QString::fromLatin1(GetParam())));
    const QString sep = QLocale().decimalPoint();
    const struct {
        double range;
        const char* raw;
        QString number;
    } cases[] = {
        {250, "61 A8", "125" + sep + "00"},   {10, "C3 50", "10" + sep + "0000"},
        {9.5, "00 01", "0" + sep + "0002"},   {100, "C3 50", "100" + sep + "000"},
        {1000, "C3 50", "1000" + sep + "00"}, {1000.5, "C3 50", "1000" + sep + "5"},
        {4000, "00 00", "0" + sep + "0"},     {4000, "C3 4F", "3999" + sep + "9"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.raw) + " range " + std::to_string(c.range));
        NewRecord();
        device_->ID_D = c.range;
        ReceiveFrame(AppendCrc(Hex("1A 03 02") + Hex(c.raw)), Latched);
        const auto calls = DecoderCalls();
        ASSERT_FALSE(calls.empty());
        EXPECT_EQ(calls.front(), LatchRowCall(26, 4, Spaces(15) + c.number));
    }
}

INSTANTIATE_TEST_SUITE_P(Locales, GetAnswerModbusLocale, ::testing::Values("ru_RU", "en_US"));

// A parameter write that changes the network address from 0x1A to 0x1B: the record and the
// address box already carry the new address, WriteAddress still the old one, and the sensor
// answers from the old address.
class ModbusAddressChange : public GetAnswerModbus {
  protected:
    void SetUp() override
    {
        GetAnswerModbus::SetUp();
        ClearDevices();
        device_ = &AddRecord("1B", 250);
        SetSelectedAddressText("27");
        WriteAddress = QByteArray("1A");
        OperationRunning = true;
    }
    void TearDown() override
    {
        OperationRunning = false;
        WriteAddress = QByteArray();
        GetAnswerModbus::TearDown();
    }
};

TEST_F(ModbusAddressChange, EchoesFromTheOldAddressAnswerTheRecordBeingWritten)
{
    const struct {
        const char* name;
        const char* body; // CRC appended
        unsigned expect;
        bool taken;
        unsigned expectAfter;
        std::uint16_t pAdress; // of the record being written
    } cases[] = {
        {"flag write echo", "1A 06 00 00 00 15", FlagWrite, true, None, 0},
        {"block write echo", "1A 10 00 10 00 13", None, true, None, 0x1A},
        {"block write echo from the new address", "1B 10 00 10 00 13", None, true, None, 0x1B},
        {"flag write echo while the block is awaited", "1A 06 00 00 00 15", None, false, None, 0},
        {"command echo", "1A 06 00 BC 4F 4E", None, false, None, 0},
        {"read reply", "1A 03 02 00 15", Flags, false, Flags, 0},
        {"exception to the block write", "1A 90 03", FlagWrite, false, FlagWrite, 0},
        {"exception to the flag write", "1A 86 04", None, false, None, 0},
        {"block write echo from a third address", "1C 10 00 10 00 13", None, false, None, 0},
        {"write echo of other registers", "1A 10 00 00 00 01", None, false, None, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        device_->PAdress = 0;
        ReceiveFrame(Framed(c.body), c.expect);
        EXPECT_EQ(ReplyReceived.load(), c.taken);
        EXPECT_EQ(Expectations(), c.expectAfter);
        EXPECT_EQ(device_->PAdress, c.pAdress);
        EXPECT_EQ(DecoderCalls(), std::vector<TViewCall>{}) << "no row, status or message box";
    }
}

TEST_F(ModbusAddressChange, OldAddressEchoesAreTakenOnlyWhileTheWriteIsUnderWay)
{
    const QByteArray echo = Framed("1A 10 00 10 00 13");
    const struct {
        const char* name;
        std::function<void()> setUp;
    } cases[] = {
        {"no operation running", [] { OperationRunning = false; }},
        {"block answered: WriteAddress holds the new address", [] { WriteAddress = QByteArray("1B"); }},
        {"no write since the program started", [] { WriteAddress = QByteArray(); }},
        {"address box names no record", [] { SetSelectedAddressText("abc"); }},
        {"address box empty", [] { SetSelectedAddressText(""); }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        OperationRunning = true;
        WriteAddress = QByteArray("1A");
        SetSelectedAddressText("27");
        c.setUp();
        ReceiveFrame(echo, None);
        EXPECT_FALSE(ReplyReceived);
        EXPECT_EQ(device_->PAdress, 0);
    }
}

TEST_F(ModbusAddressChange, ARecordThatStillHasTheOldAddressTakesItsOwnFrames)
{
    TDevice& other = AddRecord("1A", 100);
    ReceiveFrame(Framed("1A 10 00 10 00 13"), None);
    EXPECT_TRUE(ReplyReceived);
    EXPECT_EQ(other.PAdress, 0x1A);
    EXPECT_EQ(device_->PAdress, 0);
}
