#include "Bytes.h"
#include "convert/Unit_Utils.h"
#include "protocol/ReceiveFraming.h"
#include "protocol/ReplyFields.h"
#include <gtest/gtest.h>
#include <optional>

namespace {
bool Complete(const QByteArray& frame)
{
    return IsCompleteModbusFrame(reinterpret_cast<const std::uint8_t*>(frame.constData()),
                                 static_cast<std::size_t>(frame.size()));
}
} // namespace

TEST(ReceiveFraming, SearchReplyAddress)
{
    const struct {
        QByteArray line;
        std::optional<QByteArray> address;
    } cases[] = {
        {"!1AR0105\r", "1A"},
        {"!1aR0105\r", "1a"},
        {"!00R0100\r", std::nullopt},
        {"!zzR0100\r", std::nullopt},
        {"!1AR02\r", std::nullopt},
        {"!1AR0", std::nullopt},
        {"!05ON\r!1BR0107\r", "1B"},
        {"%1BR0107!05\r", "05"}, // the address follows the first "!" of what is left
        {"%05ID\rxx!1BR0107\r", std::nullopt},
        {"%05\r!1BR0107\r", "1B"},
        {"%05\r%1BR0107\r", std::nullopt},
        {"!05ON\r\r", std::nullopt},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.line.toStdString());
        EXPECT_EQ(SearchReplyAddress(c.line), c.address);
    }
}

TEST(ReceiveFraming, ModbusFrameCompleteness)
{
    const struct {
        const char* hex;
        bool complete;
    } cases[] = {
        {"1A 03 02 61 A8 F4 68", true},
        {"1A 06 00 BC 4F 4E FF C1", true},
        {"1A 06 00 BC 4F 4E C1 FF", false}, // CRC high byte first
        {"1A 03 02 61 A8 F4", false},
        {"1A 03 02 61 A8 F4 68 FF", false},
        {"40 BE B0", true}, // CRC over one byte
        {"BE B0", false},
        {"", false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.hex);
        EXPECT_EQ(Complete(Hex(c.hex)), c.complete);
    }
}

TEST(ReplyFields, ResultField)
{
    const struct {
        QByteArray reply;
        int raw;
        bool nForm;
    } cases[] = {
        {"!1AFR25000\r", 25000, false},  {"!1AFRN0042\r", 42, true},
        {"!1ALR65535\r", 65535, false},  {"!1AFR99999\r", 99999 & 0xFFFF, false},
        {"!1AFR  123\r", 123, false},    {"!1AFR00007", 7, false}, // nothing after the digits is checked
        {"!1AFR12345xyz", 12345, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.reply.toStdString());
        const TResultField field = ParseResultField(c.reply);
        EXPECT_EQ(field.Raw, c.raw);
        EXPECT_EQ(field.NForm, c.nForm);
    }
    for (const QByteArray reply :
         {"!1AFR", "!1AFR1234", "!1AFR1234\r", "!1AFRN12\r", "!1AFR+1234\r", "!1AFR     \r"}) {
        SCOPED_TRACE(reply.toStdString());
        EXPECT_THROW(ParseResultField(reply), EConvertError);
    }
}

TEST(ReplyFields, DecimalNumber)
{
    const struct {
        QByteArray text;
        bool allowSign;
        std::optional<std::int64_t> value;
    } cases[] = {
        {"0042", false, 42},
        {"  42", false, 42},
        {"42 ", false, std::nullopt},
        {"-42", false, std::nullopt},
        {"-42", true, -42},
        {"+42", true, 42},
        {"", false, std::nullopt},
        {"-", true, std::nullopt},
        {"4\r", false, std::nullopt},
        {"999999999999999999", false, 999999999999999999LL},
        {"1000000000000000000", false, std::nullopt},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text.toStdString());
        EXPECT_EQ(DecimalNumber(c.text, c.allowSign), c.value);
    }
}

TEST(ReplyFields, SerialNumberMustFitThirtyTwoBits)
{
    const QByteArray head = "%1A" + QByteArray(20, 'M') + ",SN";
    EXPECT_EQ(IdentSerialNumber(head + "2147483647"), 2147483647);
    EXPECT_EQ(IdentSerialNumber(head + "-214748364"), -214748364);
    EXPECT_THROW(IdentSerialNumber(head + "2147483648"), EConvertError);
    EXPECT_THROW(IdentSerialNumber(head + "214748364"), EConvertError);
}
