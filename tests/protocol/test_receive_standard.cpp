#include "ReceiveFixture.h"
#include <functional>
#include <vector>

namespace {
constexpr TProtocol Std = TProtocol::Standard;
using Build = std::function<TRequestPtr(TDevice&)>;
using Check = std::function<void(const TDevice&)>;
using E = TReplyEvent;

class ReceiveStandard : public ReceiveFixture {
  protected:
    // reply in one chunk, answering request built for the sensor.
    TRequestPtr Answer(const Build& build, const QByteArray& reply)
    {
        const TRequestPtr request = Send(build(Sensor()));
        Receive(reply);
        return request;
    }
};

QByteArray IdentReply(const QByteArray& serial, const QByteArray& range, const QByteArray& distance)
{
    return "%1A" + QByteArray("VLT-250 M12         ") + ",SN" + serial + ",D" + range + ",M" + distance +
           "\r";
}

Build CommandOf(const char* command)
{
    return [=](TDevice& d) { return Requests::Command(d, Std, command); };
}
const Build Latched = [](TDevice& d) { return Requests::ReadLatched(d, Std); };
const Build Last = [](TDevice& d) { return Requests::ReadLast(d, Std); };
const Build Ident = [](TDevice& d) { return Requests::ReadIdent(d, Std); };
Build Register(const char* code)
{
    return [=](TDevice& d) { return Requests::ReadRegister(d, code); };
}
Build Write(const char* code, const char* value)
{
    return [=](TDevice& d) { return Requests::WriteRegister(d, 0x1A, 0x1A, {code, value}); };
}

struct ReplyCase {
    const char* name;
    Build build;
    QByteArray reply;
    std::vector<TNote> notes;
    Check check;
};

std::vector<ReplyCase> ReplyCases()
{
    return {
        {"setup echo", CommandOf("SU"), "!1ASU\r", {{E::Configured}}, nullptr},
        {"switch-on echo", CommandOf("ON"), "!1AON\r", {{E::SwitchedOn}}, nullptr},
        {"switch-off echo", CommandOf("OF"), "!1AOF\r", {{E::SwitchedOff}}, nullptr},
        {"defaults echo", CommandOf("DF"), "!1ADF\r", {{E::DefaultsSet}}, nullptr},
        {"latch echo", CommandOf("FX"), "!1AFX\r", {{E::Latched}}, nullptr},
        {"flash echo only ends its request", CommandOf("FL"), "!1AFL\r", {}, nullptr},
        {"characters before the echo", CommandOf("ON"), "\x05zz!1AON\r", {{E::SwitchedOn}}, nullptr},
        {"lower-case address digits", CommandOf("ON"), "!1aON\r", {{E::SwitchedOn}}, nullptr},
        {"two replies in one line are no echo", CommandOf("ON"), "!1AON\r!1AOF\r", {}, nullptr},
        {"latched result",
         Latched,
         "!1AFR25000\r",
         {{E::LatchedResultRead, 25000}},
         [](const TDevice& d) {
             EXPECT_EQ(d.wdSwitchResult, 25000);
             EXPECT_DOUBLE_EQ(d.SwitchedResult, 125.0);
             EXPECT_EQ(d.wdLastResult, 0);
         }},
        {"latched N result is a count",
         Latched,
         "!1AFRN0042\r",
         {{E::LatchedResultRead, 42, true}},
         [](const TDevice& d) { EXPECT_DOUBLE_EQ(d.SwitchedResult, 42.0); }},
        {"latched result out of range",
         Latched,
         "!1AFR65535\r",
         {{E::LatchedResultRead, 65535}},
         [](const TDevice& d) { EXPECT_EQ(d.wdSwitchResult, 65535); }},
        {"latched result keeps the low 16 bits",
         Latched,
         "!1AFR65536\r",
         {{E::LatchedResultRead, 0}},
         [](const TDevice& d) { EXPECT_DOUBLE_EQ(d.SwitchedResult, 0); }},
        {"last result",
         Last,
         "!1ALR00100\r",
         {{E::LastResultRead, 100}},
         [](const TDevice& d) {
             EXPECT_EQ(d.wdLastResult, 100);
             EXPECT_DOUBLE_EQ(d.LastResult, 0.5);
             EXPECT_EQ(d.wdSwitchResult, 0);
         }},
        {"last result, no result",
         Last,
         "!1ALR65534\r",
         {{E::LastResultRead, 65534}},
         [](const TDevice& d) { EXPECT_EQ(d.wdLastResult, 65534); }},
        {"identification",
         Ident,
         IdentReply("0000123456", "250.00000", "1200,0000"),
         {},
         [](const TDevice& d) {
             EXPECT_EQ(d.Model, QByteArray("VLT-250 M12         "));
             EXPECT_EQ(d.SerialNumber, 123456);
             EXPECT_DOUBLE_EQ(d.ID_D, 250.0);
             EXPECT_DOUBLE_EQ(d.ID_M, 1200.0);
         }},
        {"identification, signed serial and either separator",
         Ident,
         IdentReply("-000000042", "0000250,5", "00001.250"),
         {},
         [](const TDevice& d) {
             EXPECT_EQ(d.SerialNumber, -42);
             EXPECT_DOUBLE_EQ(d.ID_D, 250.5);
             EXPECT_DOUBLE_EQ(d.ID_M, 1.25);
         }},
        {"register via the map",
         Register("0A"),
         "!1AR0A1F\r",
         {},
         [](const TDevice& d) { EXPECT_EQ(d.Nt_Lo, 0x1F); }},
        {"high byte register",
         Register("21"),
         "!1AR21fe\r",
         {},
         [](const TDevice& d) { EXPECT_EQ(d.CorrezHi, 0xFE); }},
        {"address write echo",
         Write("01", "05"),
         "!1AW0105\r",
         {},
         [](const TDevice& d) { EXPECT_EQ(d.PAdress, 5); }},
        {"other write echoes leave the record",
         Write("07", "03"),
         "!1AW0703\r",
         {},
         [](const TDevice& d) {
             EXPECT_EQ(d.PAdress, 0);
             EXPECT_EQ(d.Uart, 0);
         }},
        {"a new address answers from itself",
         [](TDevice& d) {
             return Requests::WriteRegister(d, 0x1A, 0x2C, {"01", "2C"});
         },
         "!2CW012C\r",
         {},
         [](const TDevice& d) { EXPECT_EQ(d.PAdress, 0x2C); }},
    };
}
} // namespace

TEST_F(ReceiveStandard, EachReplyIsDecodedIntoTheRecordOfItsRequest)
{
    for (const auto& c : ReplyCases()) {
        SCOPED_TRACE(c.name);
        Fresh();
        const TRequestPtr request = Answer(c.build, c.reply);
        EXPECT_TRUE(Answered(request));
        EXPECT_EQ(Sink().notes, c.notes);
        EXPECT_EQ(Sink().replied, std::vector<const TDevice*>(c.notes.size(), &Sensor()));
        EXPECT_TRUE(Sink().errors.empty());
        EXPECT_EQ(Path().Unmatched(), 0u);
        if (c.check)
            c.check(Sensor());
    }
}

// The sensor did answer: the request ends, the error is reported, and the fields read before the
// bad one stay updated.
TEST_F(ReceiveStandard, BadFieldsAreReportedAndKeepWhatCameBefore)
{
    const struct {
        const char* name;
        Build build;
        QByteArray reply;
        QByteArray model;
        std::int32_t serial;
        double range;
    } cases[] = {
        {"result with a letter", Latched, "!1AFR12a45\r", "old", 99, 250},
        {"result cut short", Latched, "!1AFR12\r", "old", 99, 250},
        {"N result cut short", Latched, "!1AFRN12\r", "old", 99, 250},
        {"signed result", Latched, "!1AFR-1234\r", "old", 99, 250},
        {"noise inside the result", Latched,
         "!1AFR25\xFF"
         "00\r",
         "old", 99, 250},
        {"register without digits", Register("0A"), "!1AR0A\r", "old", 99, 250},
        {"register with one digit", Register("0A"), "!1AR0A1\r", "old", 99, 250},
        {"address echo without digits", Write("01", "05"), "!1AW01\r", "old", 99, 250},
        {"identification cut inside the model", Ident, "%1AVLT\r", "old", 99, 250},
        {"identification with a bad serial number", Ident, IdentReply("00001234x6", "00500,000", "01000,000"),
         "VLT-250 M12         ", 99, 250},
        {"identification with a bad range", Ident, IdentReply("0000000077", "5OO,00000", "01000,000"),
         "VLT-250 M12         ", 77, 250},
        {"identification without a distance", Ident, IdentReply("0000000078", "00400,000", ""),
         "VLT-250 M12         ", 78, 400},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Fresh();
        Sensor().wdSwitchResult = 7;
        Sensor().SerialNumber = 99;
        Sensor().Model = "old";
        const TRequestPtr request = Answer(c.build, c.reply);
        EXPECT_TRUE(Answered(request));
        EXPECT_EQ(Sink().errors, std::vector<TReceiveError>{TReceiveError::Decoding});
        EXPECT_TRUE(Sink().notes.empty());
        EXPECT_EQ(Sensor().wdSwitchResult, 7);
        EXPECT_EQ(Sensor().Nt_Lo, 0);
        EXPECT_EQ(Sensor().PAdress, 0);
        EXPECT_EQ(Sensor().Model, c.model);
        EXPECT_EQ(Sensor().SerialNumber, c.serial);
        EXPECT_DOUBLE_EQ(Sensor().ID_D, c.range);
        EXPECT_DOUBLE_EQ(Sensor().ID_M, 0);
    }
}

TEST_F(ReceiveStandard, OnlyTheExactStopEchoEndsTheStream)
{
    const struct {
        QByteArray reply;
        bool stopped;
    } cases[] = {{"!1ASB\r", true},         {"zz!1aSB\r", true},        {"!1ASB1\r", false},
                 {"!1ASB\r!12345\r", false}, {"!12345\r!1ASB\r", true}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.reply.toStdString());
        Fresh();
        Sensor().threadResultIsExec = true;
        Path().SetStreaming(&Sensor());
        const TRequestPtr stop = Answer([](TDevice& d) { return Requests::StreamStop(d); }, c.reply);
        EXPECT_TRUE(Answered(stop));
        EXPECT_EQ(Sensor().threadResultIsExec.load(), !c.stopped);
        EXPECT_EQ(Path().StreamQuiet(), c.stopped);
    }
}
