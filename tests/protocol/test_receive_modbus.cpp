#include "ReceiveFixture.h"
#include <functional>
#include <vector>

namespace {
constexpr TProtocol Mb = TProtocol::Modbus;
using Build = std::function<TRequestPtr(TDevice&)>;
using Check = std::function<void(const TDevice&)>;
using E = TReplyEvent;

class ReceiveModbus : public ReceiveFixture {
  protected:
    void SetUp() override { Fresh(Mb); }
    TRequestPtr Answer(const Build& build, const QByteArray& frame)
    {
        const TRequestPtr request = Send(build(Sensor()));
        Sink().timer.clear();
        Receive(frame);
        return request;
    }
};

const QByteArray IdentModel("VLT-250 M12         ");

// Identification: range 250 mm, distance 1200.5 mm, serial number -42.
QByteArray IdentFrame()
{
    return AppendCrc(Hex("1A 03 20") + IdentModel + Hex("0003D090 00125174 FFFFFFD6"));
}

// The parameter block with data byte i = 0x40 + i.
QByteArray BlockFrame()
{
    return Framed("1A 03 26 404142434445464748494A4B4C4D4E4F505152535455565758595A5B5C5D5E5F606162636465");
}

Build CommandOf(const char* command)
{
    return [=](TDevice& d) { return Requests::Command(d, Mb, command); };
}
const Build Latched = [](TDevice& d) { return Requests::ReadLatched(d, Mb); };
const Build Last = [](TDevice& d) { return Requests::ReadLast(d, Mb); };
const Build Ident = [](TDevice& d) { return Requests::ReadIdent(d, Mb); };
const Build Flags = [](TDevice& d) { return Requests::ReadFlags(d); };
const Build Block = [](TDevice& d) { return Requests::ReadBlock(d); };
const Build FlagWrite = [](TDevice& d) { return Requests::WriteFlags(d, 0x1A, Hex("00 15")); };
const Build BlockWrite = [](TDevice& d) { return Requests::WriteBlock(d, 0x1A, QByteArray(38, '\x01')); };

struct FrameCase {
    const char* name;
    Build build;
    QByteArray frame;
    std::vector<TNote> notes;
    Check check;
};

std::vector<FrameCase> DecodedFrames()
{
    return {
        {"latched result",
         Latched,
         Framed("1A 03 02 61 A8"),
         {{E::LatchedResultRead, 25000}},
         [](const TDevice& d) {
             EXPECT_EQ(d.wdSwitchResult, 25000);
             EXPECT_DOUBLE_EQ(d.SwitchedResult, 125.0);
             EXPECT_EQ(d.wdLastResult, 0);
         }},
        {"latched result out of range",
         Latched,
         Framed("1A 03 02 FF FF"),
         {{E::LatchedResultRead, 65535}},
         [](const TDevice& d) { EXPECT_EQ(d.wdSwitchResult, 65535); }},
        {"last result",
         Last,
         Framed("1A 03 02 61 A8"),
         {{E::LastResultRead, 25000}},
         [](const TDevice& d) {
             EXPECT_EQ(d.wdLastResult, 25000);
             EXPECT_DOUBLE_EQ(d.LastResult, 125.0);
             EXPECT_EQ(d.wdSwitchResult, 0);
         }},
        {"last result, no data",
         Last,
         Framed("1A 03 02 FF FE"),
         {{E::LastResultRead, 65534}},
         [](const TDevice& d) { EXPECT_EQ(d.wdLastResult, 65534); }},
        {"flag register",
         Flags,
         Framed("1A 03 02 00 15"),
         {},
         [](const TDevice& d) {
             EXPECT_EQ(d.GaugeOnOff, 1);
             EXPECT_EQ(d.Synhro, 1);
             EXPECT_EQ(d.ThreadOnOff, 1);
             EXPECT_EQ(d.PAdress, 0);
         }},
        {"flag register: the high byte carries nothing",
         Flags,
         Framed("1A 03 02 FF EA"),
         {},
         [](const TDevice& d) {
             EXPECT_EQ(d.GaugeOnOff, 0);
             EXPECT_EQ(d.AnalogExit, 1);
             EXPECT_EQ(d.CorrezSign, 1);
         }},
        {"parameter block via the map",
         Block,
         BlockFrame(),
         {},
         [](const TDevice& d) {
             EXPECT_EQ(d.PAdress, 0x4041);
             EXPECT_EQ(d.CorrezHi, 0x64);
             EXPECT_EQ(d.CorrezLo, 0x65);
             EXPECT_EQ(d.GaugeOnOff, 0);
         }},
        {"identification",
         Ident,
         IdentFrame(),
         {},
         [](const TDevice& d) {
             EXPECT_EQ(d.Model, IdentModel);
             EXPECT_DOUBLE_EQ(d.ID_D, 250.0);
             EXPECT_DOUBLE_EQ(d.ID_M, 1200.5);
             EXPECT_EQ(d.SerialNumber, -42);
         }},
        {"switch-on echo", CommandOf("ON"), Framed("1A 06 00 BC 4F 4E"), {{E::SwitchedOn}}, nullptr},
        {"switch-off echo", CommandOf("OF"), Framed("1A 06 00 BC 4F 46"), {{E::SwitchedOff}}, nullptr},
        {"latch echo", CommandOf("FX"), Framed("1A 06 00 BC 46 58"), {{E::Latched}}, nullptr},
        {"defaults echo", CommandOf("DF"), Framed("1A 06 00 BC 44 46"), {{E::DefaultsSet}}, nullptr},
        {"setup echo", CommandOf("SU"), Framed("1A 06 00 BC 53 55"), {{E::Configured}}, nullptr},
        {"flash echo only ends its request", CommandOf("FL"), Framed("1A 06 00 BC 46 4C"), {}, nullptr},
        {"flag write echo",
         FlagWrite,
         Framed("1A 06 00 00 00 15"),
         {},
         [](const TDevice& d) { EXPECT_EQ(d.PAdress, 0); }},
        {"block write echo names the address",
         BlockWrite,
         Framed("1A 10 00 10 00 13"),
         {},
         [](const TDevice& d) { EXPECT_EQ(d.PAdress, 0x1A); }},
    };
}

// Frames from the awaited sensor without the layout of what they answer: nothing is read from
// them, and the request waits on for its reply.
std::vector<FrameCase> RejectedFrames()
{
    return {
        {"address and CRC only", Latched, Framed("1A"), {}, nullptr},
        {"result cut short", Latched, Framed("1A 03 02 61"), {}, nullptr},
        {"result of one byte", Latched, Framed("1A 03 01 61"), {}, nullptr},
        {"two registers for a result", Last, Framed("1A 03 04 61 A8 00 01"), {}, nullptr},
        {"byte count below the bytes carried", Last, Framed("1A 03 01 61 A8"), {}, nullptr},
        {"one register for the identification", Ident, Framed("1A 03 02 61 A8"), {}, nullptr},
        {"identification without data", Ident, Framed("1A 03 20"), {}, nullptr},
        {"identification for the block", Block, IdentFrame(), {}, nullptr},
        {"block without data", Block, Framed("1A 03 26"), {}, nullptr},
        {"block for the flags", Flags, BlockFrame(), {}, nullptr},
        {"flags without data", Flags, Framed("1A 03 02"), {}, nullptr},
        {"no byte count", Flags, Framed("1A 03"), {}, nullptr},
        {"byte count 255 in a short frame", Flags, Framed("1A 03 FF 00 15"), {}, nullptr},
        {"unknown function", Latched, Framed("1A 04 02 61 A8"), {}, nullptr},
        {"echo for a read", Latched, Framed("1A 06 00 BC 4F 4E"), {}, nullptr},
        {"echo of another command", CommandOf("ON"), Framed("1A 06 00 BC 4F 46"), {}, nullptr},
        {"write echo too long", CommandOf("ON"), Framed("1A 06 00 BC 4F 4E 00"), {}, nullptr},
        {"command echo cut short", CommandOf("ON"), Framed("1A 06 00 BC 4F"), {}, nullptr},
        {"flag write echo of other bytes", FlagWrite, Framed("1A 06 00 00 4F 4E"), {}, nullptr},
        {"flag write echo cut short", FlagWrite, Framed("1A 06 00 00 00"), {}, nullptr},
        {"block write echo of another count", BlockWrite, Framed("1A 10 00 10 00 01"), {}, nullptr},
        {"block write echo cut short", BlockWrite, Framed("1A 10 00 10"), {}, nullptr},
        {"exception without its code", Latched, Framed("1A 83"), {}, nullptr},
        {"exception too long", Latched, Framed("1A 83 02 00"), {}, nullptr},
        {"exception of another function", Latched, Framed("1A 86 02"), {}, nullptr},
    };
}
} // namespace

TEST_F(ReceiveModbus, EachFrameIsDecodedIntoTheRecordOfItsRequest)
{
    for (const auto& c : DecodedFrames()) {
        SCOPED_TRACE(c.name);
        Fresh(Mb);
        const TRequestPtr request = Answer(c.build, c.frame);
        EXPECT_TRUE(Answered(request));
        EXPECT_EQ(Sink().notes, c.notes);
        EXPECT_EQ(Sink().replied, std::vector<const TDevice*>(c.notes.size(), &Sensor()));
        EXPECT_TRUE(Sink().errors.empty());
        EXPECT_EQ(Sink().timer, std::vector<bool>{false});
        EXPECT_TRUE(Path().Buffer().isEmpty());
        if (c.check)
            c.check(Sensor());
    }
}

TEST_F(ReceiveModbus, FramesWithoutTheLayoutOfTheReplyAreReportedAndTheRequestWaits)
{
    for (const auto& c : RejectedFrames()) {
        SCOPED_TRACE(c.name);
        Fresh(Mb);
        const TRequestPtr request = Answer(c.build, c.frame);
        EXPECT_TRUE(Pending(request));
        EXPECT_EQ(Sink().errors, std::vector<TReceiveError>{TReceiveError::Decoding});
        EXPECT_EQ(Path().Unmatched(), 1u);
        EXPECT_TRUE(Sink().notes.empty());
        EXPECT_EQ(Sensor().wdSwitchResult, 0);
        EXPECT_EQ(Sensor().wdLastResult, 0);
        EXPECT_EQ(Sensor().PAdress, 0);
        EXPECT_EQ(Sensor().GaugeOnOff, 0);
        EXPECT_TRUE(Sensor().Model.isEmpty());
    }
}

TEST_F(ReceiveModbus, TheReplyAfterARejectedFrameIsDecoded)
{
    for (const char* first : {"1A 03 04 61 A8 00 01", "1A 83", "1A 04 02 00 01"}) {
        SCOPED_TRACE(first);
        Fresh(Mb);
        const TRequestPtr request = Answer(Latched, Framed(first));
        Receive(Framed("1A 03 02 61 A8"));
        EXPECT_TRUE(Answered(request));
        EXPECT_EQ(Sensor().wdSwitchResult, 25000);
    }
}

TEST_F(ReceiveModbus, AnExceptionRefusesItsRequestWithTheCode)
{
    const struct {
        Build build;
        const char* function;
    } requests[] = {
        {Latched, "83"}, {Block, "83"}, {CommandOf("ON"), "86"}, {FlagWrite, "86"}, {BlockWrite, "90"}};
    for (const auto& r : requests) {
        for (const char* code : {"01", "02", "07", "00", "08", "FF"}) {
            SCOPED_TRACE(std::string(r.function) + " code " + code);
            Fresh(Mb);
            const TRequestPtr request = Answer(r.build, AppendCrc(Hex("1A") + Hex(r.function) + Hex(code)));
            EXPECT_EQ(request->State.load(), TRequestState::Refused);
            EXPECT_EQ(request->ExceptionCode.load(), Hex(code).at(0) & 0xFF);
            EXPECT_EQ(Sink().completed, std::vector<const TRequest*>{request.get()});
            EXPECT_TRUE(Sink().errors.empty());
            EXPECT_TRUE(Sink().notes.empty());
        }
    }
}

TEST_F(ReceiveModbus, AFrameInThreeChunksStartsTheTimeoutOnceAndIsDecodedOnce)
{
    const TRequestPtr request = Answer(Last, Hex("1A 03 02"));
    Receive(Hex("61"));
    EXPECT_TRUE(Pending(request));
    EXPECT_EQ(Path().Buffer(), Hex("1A 03 02 61"));
    Receive(Hex("A8 F4 68"));
    EXPECT_TRUE(Answered(request));
    EXPECT_EQ(Sink().timer, (std::vector<bool>{true, true, false}));
    EXPECT_EQ(Sink().timerStarts, 1);
    EXPECT_EQ(Sink().notes, (std::vector<TNote>{{E::LastResultRead, 25000}}));
    EXPECT_TRUE(Path().Buffer().isEmpty());
}

TEST_F(ReceiveModbus, BytesThatNeverMakeAFrameAreDroppedWhenTheTimeoutRunsOut)
{
    const TRequestPtr request = Answer(Last, Hex("1A 03 02 61 A8 68 F4")); // the CRC swapped
    EXPECT_EQ(Sink().timer, std::vector<bool>(1, true));
    Path().FrameTimedOut();
    EXPECT_TRUE(Path().Buffer().isEmpty());
    EXPECT_EQ(Sink().errors, std::vector<TReceiveError>{TReceiveError::FrameTimeout});
    Receive(Framed("1A 03 02 61 A8"));
    EXPECT_TRUE(Answered(request));
}

TEST_F(ReceiveModbus, BytesBeyondOneFrameAreDroppedAtOnce)
{
    const TRequestPtr request = Answer(Last, QByteArray(250, '\x11'));
    Receive(QByteArray(5, '\x11'));
    EXPECT_EQ(Path().Buffer().size(), 255);
    EXPECT_TRUE(Sink().errors.empty());

    // The chunk that overflows starts the next frame.
    Receive(Framed("1A 03 02 61 A8"));
    EXPECT_EQ(Sink().errors, std::vector<TReceiveError>{TReceiveError::FrameOverflow});
    EXPECT_TRUE(Answered(request));
    EXPECT_FALSE(Sink().timerRunning);

    // A chunk larger than any frame goes as a whole.
    Receive(QByteArray(300, '\x22'));
    EXPECT_TRUE(Path().Buffer().isEmpty());
    EXPECT_EQ(Sink().errors.size(), 2u);
}

// Whatever came before a Modbus request cannot be part of its reply.
TEST_F(ReceiveModbus, SendingDropsWhatCameBefore)
{
    Receive(Hex("1A 03 02 61"));
    ASSERT_TRUE(Sink().timerRunning);
    const TRequestPtr request = Send(Latched(Sensor()));
    EXPECT_TRUE(Path().Buffer().isEmpty());
    EXPECT_FALSE(Sink().timerRunning);
    Receive(Hex("A8 F4 68"));
    EXPECT_TRUE(Pending(request));
}
