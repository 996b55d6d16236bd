#include "ReceiveFixture.h"
#include "convert/Unit_Utils.h"
#include <functional>
#include <vector>

namespace {
class GetAnswer : public ReceiveFixture {
  protected:
    void SetUp() override
    {
        ReceiveFixture::SetUp();
        device_ = &AddRecord("1A", 250);
        ReplyReceived = false;
    }
    TDevice* device_ = nullptr;
};

QByteArray IdentReply(const QByteArray& serial, const QByteArray& range, const QByteArray& distance)
{
    return "%1A" + QByteArray("VLT-250 M12         ") + ",SN" + serial + ",D" + range + ",M" + distance +
           "\r";
}

struct AnswerCase {
    const char* name;
    QByteArray reply;
    std::vector<TViewCall> calls;
    std::function<void(const TDevice&)> check;
};

std::vector<AnswerCase> AnswerCases()
{
    const QString value = Spaces(15);
    return {
        {"setup echo", "!1ASU\r", {StatusCall(0, "  Датчик настроен")}, nullptr},
        {"switch-on echo", "!1AON\r", {StatusCall(0, "  Датчик включён")}, nullptr},
        {"switch-off echo", "!1AOF\r", {StatusCall(0, "  Датчик выключен")}, nullptr},
        {"characters before the echo", "\x05zz!1AON\r", {StatusCall(0, "  Датчик включён")}, nullptr},
        {"defaults echo",
         "!1ADF\r",
         {StatusCall(1, "Параметры по умолчанию установлены"), Call(TViewCall::EnableAfterDefaults)},
         nullptr},
        {"latch echo",
         "!1AFX\r",
         {StatusCall(1, "Результат защёлкнут"), LatchRowCall(26, 3, Spaces(15) + "Защёлкнут")},
         nullptr},
        {"latched result",
         "!1AFR25000\r",
         {LatchRowCall(26, 4, value + "125,00"), StatusCall(1, "Результат прочитан из защёлки")},
         [](const TDevice& d) {
             EXPECT_EQ(d.wdSwitchResult, 25000);
             EXPECT_DOUBLE_EQ(d.SwitchedResult, 125.0);
         }},
        {"latched N result",
         "!1AFRN0042\r",
         {LatchRowCall(26, 4, value + "42"), StatusCall(1, "Результат прочитан из защёлки")},
         [](const TDevice& d) {
             EXPECT_EQ(d.wdSwitchResult, 42);
             EXPECT_DOUBLE_EQ(d.SwitchedResult, 42.0);
         }},
        {"latched result out of range",
         "!1AFR65535\r",
         {LatchRowCall(26, 4, Spaces(9) + "Вне диапазона"), StatusCall(1, "Результат прочитан из защёлки")},
         [](const TDevice& d) { EXPECT_EQ(d.wdSwitchResult, 65535); }},
        {"latched no result",
         "!1AFR65534\r",
         {LatchRowCall(26, 4, Spaces(8) + "Нет результата"), StatusCall(1, "Результат прочитан из защёлки")},
         nullptr},
        {"latched result keeps the low 16 bits",
         "!1AFR65536\r",
         {LatchRowCall(26, 4, value + "0,00"), StatusCall(1, "Результат прочитан из защёлки")},
         [](const TDevice& d) { EXPECT_EQ(d.wdSwitchResult, 0); }},
        {"last result",
         "!1ALR00100\r",
         {StatusCall(1, "Последний результат прочитан"), LatchRowCall(26, 5, value + "0,50")},
         [](const TDevice& d) {
             EXPECT_EQ(d.wdLastResult, 100);
             EXPECT_DOUBLE_EQ(d.LastResult, 0.5);
         }},
        {"last result out of range",
         "!1ALR65535\r",
         {StatusCall(1, "Последний результат прочитан"), LatchRowCall(26, 5, Spaces(7) + "Вне диапазона")},
         nullptr},
        {"last result, no result",
         "!1ALR65534\r",
         {StatusCall(1, "Последний результат прочитан"), LatchRowCall(26, 5, Spaces(8) + "Нет результата")},
         nullptr},
        {"identification",
         IdentReply("0000123456", "250.00000", "1200,0000"),
         {},
         [](const TDevice& d) {
             EXPECT_EQ(d.Model, QByteArray("VLT-250 M12         "));
             EXPECT_EQ(d.SerialNumber, 123456);
             EXPECT_DOUBLE_EQ(d.ID_D, 250.0);
             EXPECT_DOUBLE_EQ(d.ID_M, 1200.0);
         }},
        {"register R0A", "!1AR0A1F\r", {}, [](const TDevice& d) { EXPECT_EQ(d.Nt_Lo, 31); }},
        {"address write echo", "!1AW0105\r", {}, [](const TDevice& d) { EXPECT_EQ(d.PAdress, 5); }},
        {"echo of another address",
         "!05ON\r",
         {},
         [](const TDevice& d) { EXPECT_FALSE(d.threadResultIsExec); }},
        {"echo without CR", "!1AON", {}, nullptr},
        {"two echoes in one line", "!1AON\r!1AOF\r", {}, nullptr},
        {"flash echo has no branch", "!1AFL\r", {}, nullptr},
    };
}
} // namespace

TEST_F(GetAnswer, EachReplyFormHasItsEffect)
{
    for (const auto& c : AnswerCases()) {
        SCOPED_TRACE(c.name);
        view_.calls.clear();
        ReplyReceived = false;
        StreamQuiet = true;
        device_->GetAnswer(c.reply);
        EXPECT_EQ(view_.calls, c.calls);
        EXPECT_TRUE(ReplyReceived);
        if (c.check)
            c.check(*device_);
    }
}

TEST_F(GetAnswer, OnlyUnknownRepliesClearStreamQuiet)
{
    const struct {
        QByteArray reply;
        bool quiet;
    } cases[] = {{"!1AON\r", true}, {"!1AR0105\r", true}, {"!05ON\r", false}, {"!12345\r", false}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.reply.toStdString());
        StreamQuiet = true;
        device_->GetAnswer(c.reply);
        EXPECT_EQ(StreamQuiet, c.quiet);
    }
}

TEST_F(GetAnswer, StreamStopEchoEndsTheStream)
{
    device_->threadResultIsExec = true;
    StreamQuiet = false;
    device_->GetAnswer("!1ASB\r");
    EXPECT_FALSE(device_->threadResultIsExec);
    EXPECT_TRUE(StreamQuiet);
    EXPECT_TRUE(view_.calls.empty());
}

TEST_F(GetAnswer, UnknownTextGoesToTheStreamOnlyWhileItRuns)
{
    device_->GetAnswer("!12345\r!123");
    EXPECT_TRUE(view_.calls.empty());

    device_->threadResultIsExec = true;
    device_->GetAnswer("zz!12345\r!123");
    EXPECT_EQ(view_.calls, std::vector<TViewCall>{StreamCall(device_, "!12345\r!123")});
    EXPECT_TRUE(ReplyReceived);
}

TEST_F(GetAnswer, EveryRegisterReplyFillsItsField)
{
    using Field = std::function<int(const TDevice&)>;
    const std::vector<std::pair<const char*, Field>> registers = {
        {"R01", [](const TDevice& d) { return d.PAdress; }},
        {"R02", [](const TDevice& d) { return d.GaugeOnOff; }},
        {"R03", [](const TDevice& d) { return d.AnalogExit; }},
        {"R04", [](const TDevice& d) { return d.ThreadOnOff; }},
        {"R05", [](const TDevice& d) { return d.Synhro; }},
        {"R06", [](const TDevice& d) { return d.ByteFormat; }},
        {"R07", [](const TDevice& d) { return d.Uart; }},
        {"R08", [](const TDevice& d) { return d.PeriodLo; }},
        {"R09", [](const TDevice& d) { return d.PeriodHi; }},
        {"R0A", [](const TDevice& d) { return d.Nt_Lo; }},
        {"R0B", [](const TDevice& d) { return d.Nt_Hi; }},
        {"R0C", [](const TDevice& d) { return d.TimeLo; }},
        {"R0D", [](const TDevice& d) { return d.TimeHi; }},
        {"R0E", [](const TDevice& d) { return d.TypeData; }},
        {"R0F", [](const TDevice& d) { return d.MiddlePoint; }},
        {"R10", [](const TDevice& d) { return d.MedianPoint; }},
        {"R11", [](const TDevice& d) { return d.LowLevelAnalogExitLo; }},
        {"R12", [](const TDevice& d) { return d.LowLevelAnalogExitHi; }},
        {"R13", [](const TDevice& d) { return d.HighLevelAnalogExitLo; }},
        {"R14", [](const TDevice& d) { return d.HighLevelAnalogExitHi; }},
        {"R15", [](const TDevice& d) { return d.DiscreetExit; }},
        {"R16", [](const TDevice& d) { return d.FirstDiffFirstDiscreetExitLo; }},
        {"R17", [](const TDevice& d) { return d.FirstDiffFirstDiscreetExitHi; }},
        {"R18", [](const TDevice& d) { return d.SecondDiffFirstDiscreetExitLo; }},
        {"R19", [](const TDevice& d) { return d.SecondDiffFirstDiscreetExitHi; }},
        {"R1A", [](const TDevice& d) { return d.FirstDiffSecondDiscreetExitLo; }},
        {"R1B", [](const TDevice& d) { return d.FirstDiffSecondDiscreetExitHi; }},
        {"R1C", [](const TDevice& d) { return d.SecondDiffSecondDiscreetExitLo; }},
        {"R1D", [](const TDevice& d) { return d.SecondDiffSecondDiscreetExitHi; }},
        {"R1E", [](const TDevice& d) { return d.param_R; }},
        {"R1F", [](const TDevice& d) { return d.param_OI; }},
        {"R20", [](const TDevice& d) { return d.CorrezLo; }},
        {"R21", [](const TDevice& d) { return d.CorrezHi; }},
        {"R22", [](const TDevice& d) { return d.CorrezSign; }},
    };
    // Each register gets its own value, so a reply that lands in a wrong field shows in two rows.
    for (std::size_t i = 0; i < registers.size(); ++i) {
        const int value = 0x80 + static_cast<int>(i);
        device_->GetAnswer("!1A" + QByteArray(registers[i].first) + QByteArray::number(value, 16).toUpper() +
                           "\r");
    }
    for (std::size_t i = 0; i < registers.size(); ++i) {
        SCOPED_TRACE(registers[i].first);
        EXPECT_EQ(registers[i].second(*device_), 0x80 + static_cast<int>(i));
    }
    EXPECT_TRUE(view_.calls.empty());
}

TEST_F(GetAnswer, BadFieldsRaiseAndKeepWhatCameBefore)
{
    device_->wdSwitchResult = 7;
    device_->SerialNumber = 99;
    device_->Model = "old";
    const struct {
        const char* name;
        QByteArray reply;
        QByteArray model;
        std::int32_t serial;
        double range;
    } cases[] = {
        {"result with a letter", "!1AFR12a45\r", "old", 99, 250},
        {"result cut short", "!1AFR12\r", "old", 99, 250},
        {"N result cut short", "!1AFRN", "old", 99, 250},
        {"signed result", "!1AFR-1234\r", "old", 99, 250},
        {"register without digits", "!1AR0A\r", "old", 99, 250},
        {"register with one digit", "!1AR0A1", "old", 99, 250},
        {"address echo without digits", "!1AW01", "old", 99, 250},
        {"identification cut inside the model", "%1AVLT\r", "old", 99, 250},
        {"identification with a bad serial number", IdentReply("00001234x6", "00500,000", "01000,000"),
         "VLT-250 M12         ", 99, 250},
        {"identification with a bad range", IdentReply("0000000077", "5OO,00000", "01000,000"),
         "VLT-250 M12         ", 77, 250},
        {"identification without a distance", IdentReply("0000000078", "00400,000", "").chopped(1),
         "VLT-250 M12         ", 78, 400},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        view_.calls.clear();
        ReplyReceived = false;
        EXPECT_THROW(device_->GetAnswer(c.reply), EConvertError);
        EXPECT_FALSE(ReplyReceived);
        EXPECT_TRUE(view_.calls.empty());
        EXPECT_EQ(device_->wdSwitchResult, 7);
        EXPECT_EQ(device_->Model, c.model);
        EXPECT_EQ(device_->SerialNumber, c.serial);
        EXPECT_DOUBLE_EQ(device_->ID_D, c.range);
        EXPECT_DOUBLE_EQ(device_->ID_M, 0);
    }
}

// The decimal separator of every number shown follows the locale.
class GetAnswerLocale : public GetAnswer, public ::testing::WithParamInterface<const char*> {};

TEST_P(GetAnswerLocale, NumbersUseTheLocaleSeparator)
{
    QLocale::setDefault(QLocale(QString::fromLatin1(GetParam())));
    const QString sep = QLocale().decimalPoint();
    const struct {
        double range;
        QByteArray reply;
        QString number;
    } cases[] = {
        {250, "!1AFR25000\r", "125" + sep + "00"},
        {1000, "!1AFR25000\r", "500"},
        {600, "!1AFR25000\r", "300" + sep + "0"},
        {500, "!1AFR00001\r", "0" + sep + "0"},
        {100, "!1AFR12345\r", "24" + sep + "69"},
        {99.99, "!1AFR50000\r", "99" + sep + "990"},
        {10, "!1AFR00001\r", "0" + sep + "000"},
        {9.5, "!1AFR50000\r", "9" + sep + "5000"},
        {4000, "!1AFR49999\r", "4000"},
        {250, "!1AFRN9999\r", "9999"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.reply.toStdString() + " range " + std::to_string(c.range));
        view_.calls.clear();
        device_->ID_D = c.range;
        device_->GetAnswer(c.reply);
        ASSERT_EQ(view_.Count(TViewCall::LatchRow), 1);
        EXPECT_EQ(view_.calls.front().text, Spaces(15) + c.number);
    }

    device_->GetAnswer(IdentReply("-000000042", "0000250,5", "00001.250"));
    EXPECT_DOUBLE_EQ(device_->ID_D, 250.5);
    EXPECT_DOUBLE_EQ(device_->ID_M, 1.25);
    EXPECT_EQ(device_->SerialNumber, -42);
}

INSTANTIATE_TEST_SUITE_P(Locales, GetAnswerLocale, ::testing::Values("ru_RU", "en_US"));
