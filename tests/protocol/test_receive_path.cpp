#include "ReceiveFixture.h"
#include "protocol/ReceiveFraming.h"
#include <vector>

namespace {
constexpr TProtocol Std = TProtocol::Standard;
constexpr TProtocol Mb = TProtocol::Modbus;

class ReceiveMatching : public ReceiveFixture {};
} // namespace

TEST_F(ReceiveMatching, StandardLinesThatAnswerNoAwaitedRequestAreDroppedAndCounted)
{
    const struct {
        const char* name;
        QByteArray chunk;
        std::uint64_t unmatched; // 0: not even a reply
    } cases[] = {
        {"a stranger's echo", "!05ON\r", 1},
        {"another command's echo", "!1AOF\r", 1},
        {"noise inside the address", "!1\377AON\r", 1},
        {"noise inside the head", "!1AO\x7FN\r", 1},
        {"an address that is no hexadecimal number", "!Z1ON\r", 1},
        {"a line too short for an address", "!1\r", 1},
        {"an identification lead", "%1AON\r", 1},
        {"neither ! nor %", "garbage\r", 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Fresh();
        AddRecord("05", 1000);
        const TRequestPtr on = Send(Requests::Command(Sensor(), Std, "ON"));
        Receive(c.chunk);
        EXPECT_TRUE(Pending(on));
        EXPECT_EQ(Path().Unmatched(), c.unmatched);
        EXPECT_TRUE(Sink().notes.empty());
        EXPECT_TRUE(Sink().errors.empty());
        // The request is still there for its own reply.
        Receive("!1AON\r");
        EXPECT_TRUE(Answered(on));
    }
}

TEST_F(ReceiveMatching, AnEchoInTwoChunksAnswersOnceWithTheSecond)
{
    Receive("!1A");
    // A standard request keeps what came before it: a line ends only with its CR.
    const TRequestPtr on = Send(Requests::Command(Sensor(), Std, "ON"));
    EXPECT_EQ(Path().Buffer(), "!1A");
    EXPECT_TRUE(Pending(on));
    Receive("ON\r");
    EXPECT_TRUE(Answered(on));
    EXPECT_TRUE(Path().Buffer().isEmpty());
    Receive("!1AON\r");
    EXPECT_EQ(Sink().completed.size(), 1u);
    EXPECT_EQ(Path().Unmatched(), 1u);
}

TEST_F(ReceiveMatching, AnIdentificationIsAnsweredOnlyUnderItsLead)
{
    const TRequestPtr ident = Send(Requests::ReadIdent(Sensor(), Std));
    Receive("!1AID\r");
    EXPECT_TRUE(Pending(ident));
    Receive("%05VLT\r");
    EXPECT_TRUE(Pending(ident));
    EXPECT_EQ(Path().Unmatched(), 2u);
}

// A waiter that stopped waiting owns no reply: its late one must not complete the next request.
TEST_F(ReceiveMatching, ALateReplyAfterGivingUpCompletesNothing)
{
    const TRequestPtr latched = Send(Requests::ReadLatched(Sensor(), Std));
    latched->Finish(TRequestState::GivenUp);
    Receive("!1AFR25000\r");
    EXPECT_EQ(latched->State.load(), TRequestState::GivenUp);
    EXPECT_TRUE(Sink().completed.empty());
    EXPECT_EQ(Sensor().wdSwitchResult, 0);

    const TRequestPtr last = Send(Requests::ReadLast(Sensor(), Std));
    Receive("!1AFR25000\r");
    EXPECT_TRUE(Pending(last));
    EXPECT_EQ(Sensor().wdSwitchResult, 0);
    EXPECT_EQ(Path().Unmatched(), 2u);
    Receive("!1ALR00100\r");
    EXPECT_TRUE(Answered(last));
}

TEST_F(ReceiveMatching, ALateModbusReplyAfterGivingUpCompletesNothing)
{
    Fresh(Mb);
    const TRequestPtr ident = Send(Requests::ReadIdent(Sensor(), Mb));
    ident->Finish(TRequestState::GivenUp);
    const TRequestPtr flags = Send(Requests::ReadFlags(Sensor()));
    Receive(AppendCrc(Hex("1A 03 20") + QByteArray(32, 'x')));
    EXPECT_TRUE(Pending(flags));
    EXPECT_EQ(ident->State.load(), TRequestState::GivenUp);
    EXPECT_TRUE(Sensor().Model.isEmpty());
    Receive(Framed("1A 03 02 00 01"));
    EXPECT_TRUE(Answered(flags));
    EXPECT_EQ(Sensor().GaugeOnOff, 1);
}

TEST_F(ReceiveMatching, ModbusFramesOfOtherSensorsAreDroppedQuietly)
{
    const struct {
        const char* name;
        QByteArray frame;
        std::uint64_t unmatched;
        std::vector<bool> timer;
    } cases[] = {
        {"another sensor", Framed("05 03 02 00 05"), 1, {false}},
        {"the broadcast address", Framed("00 03 02 00 05"), 1, {false}},
        {"another sensor's exception", Framed("05 83 02"), 1, {false}},
        {"a wrong CRC is no frame yet", Hex("1A 03 02 61 A8 68 F4"), 0, {true}},
        {"too short", Hex("1A 03"), 0, {true}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Fresh(Mb);
        AddRecord("05", 1000);
        const TRequestPtr last = Send(Requests::ReadLast(Sensor(), Mb));
        Sink().timer.clear();
        Receive(c.frame);
        EXPECT_TRUE(Pending(last));
        EXPECT_EQ(Path().Unmatched(), c.unmatched);
        EXPECT_EQ(Sink().timer, c.timer);
        EXPECT_TRUE(Sink().errors.empty());
        EXPECT_EQ(Devices().At(1)->wdLastResult, 0);
    }
    // Nothing awaited: even the right sensor's frame is no one's.
    Fresh(Mb);
    Receive(Framed("1A 03 02 61 A8"));
    EXPECT_EQ(Path().Unmatched(), 1u);
    EXPECT_EQ(Sensor().wdLastResult, 0);
}

// A Modbus write is answered from the address it went to, even while the record carries another.
TEST_F(ReceiveMatching, AnAddressChangeIsAnsweredFromTheOldAddress)
{
    Fresh(Mb);
    Sensor().AdressStr = QByteArray("1B");
    const TRequestPtr block = Send(Requests::WriteBlock(Sensor(), 0x1A, QByteArray(38, '\0')));
    Receive(Framed("1B 10 00 10 00 13"));
    EXPECT_TRUE(Pending(block));
    Receive(Framed("1A 10 00 10 00 13"));
    EXPECT_TRUE(Answered(block));
    EXPECT_EQ(Sensor().PAdress, 0x1A);
}

TEST_F(ReceiveMatching, AStandardLineThatNeverEndsIsCapped)
{
    for (int i = 0; i < 20; ++i) {
        Receive(QByteArray(1000, 'x'));
        ASSERT_LE(Path().Buffer().size(), MaxStandardReceiveBytes);
        EXPECT_EQ(Sink().errors.size(), i < 8 ? 0u : std::size_t(i - 7)) << "chunk " << i;
    }
    EXPECT_EQ(Sink().errors.front(), TReceiveError::Decoding);
    // The newest bytes are kept, so that a reply right after the junk still gets through.
    const TRequestPtr on = Send(Requests::Command(Sensor(), Std, "ON"));
    Receive("!1AON\r");
    EXPECT_TRUE(Answered(on));
}

namespace {
class ReceiveSearch : public ReceiveFixture {
  protected:
    void Searching(TProtocol protocol)
    {
        Fresh(protocol);
        Devices().Clear();
        Path().SetSearching(true);
    }
    std::vector<QByteArray> Found() const
    {
        std::vector<QByteArray> texts;
        for (const TDevice* d : Sink().found)
            texts.push_back(d->AdressStr.load());
        return texts;
    }
};
} // namespace

TEST_F(ReceiveSearch, AnswersMakeRecordsWithTheSpeedTheyArrivedAt)
{
    const struct {
        const char* name;
        TProtocol protocol;
        std::vector<QByteArray> chunks;
        std::vector<QByteArray> found;
    } cases[] = {
        {"probe answer", Std, {"!1AR0105\r"}, {"1A"}},
        {"address 00", Std, {"!00R0100\r"}, {}},
        {"a later answer after the first CR", Std, {"!1AON\r!1BR0107\r"}, {"1B"}},
        {"only the first answer of a line", Std, {"!1BR0107\r!1CR0108\r"}, {"1B"}},
        {"garbage before the answer", Std, {"xx!7FR017F\r"}, {"7F"}},
        {"an echo makes nothing", Std, {"!1AON\r"}, {}},
        {"lower-case address kept as sent", Std, {"!1bR0101\r"}, {"1b"}},
        {"split answer", Std, {"!2C", "R0101\r"}, {"2C"}},
        {"Modbus answer", Mb, {Framed("1A 03 02 00 05")}, {"1A"}},
        {"Modbus exception names its sensor too", Mb, {Framed("1A 83 02")}, {"1A"}},
        {"Modbus broadcast address", Mb, {Framed("00 03 02 00 05")}, {}},
        {"split Modbus answer", Mb, {Hex("7F 03"), Framed("7F 03 02 00 05").mid(2)}, {"7F"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Searching(c.protocol);
        // An awaited request is not answered by a search answer.
        TDevice awaited("1A");
        const TRequestPtr last = Send(Requests::ReadLast(awaited, c.protocol));
        int speed = 9600;
        for (const QByteArray& chunk : c.chunks)
            Receive(chunk, speed *= 2);
        EXPECT_EQ(Found(), c.found);
        ASSERT_EQ(Devices().Count(), c.found.size());
        for (const TDevice* d : Sink().found)
            EXPECT_EQ(d->ComPortSpeed.load(), speed);
        EXPECT_EQ(last->State.load(), TRequestState::Pending);
        EXPECT_TRUE(Sink().completed.empty());
    }
}

TEST_F(ReceiveSearch, AFullListTakesNoMoreRecords)
{
    Searching(Std);
    for (int i = 1; i <= TDeviceList::MaxCount; ++i)
        Devices().Append(AddressText(i), 9600);
    Receive("!1AR0105\r");
    EXPECT_TRUE(Sink().found.empty());
    EXPECT_EQ(Devices().Count(), TDeviceList::MaxCount);
}

// An answer still arriving when the next probe leaves keeps its start within one pass; a pass at
// another speed starts from nothing.
TEST_F(ReceiveSearch, AProbeKeepsTheStartOfThePreviousAnswerOnlyAtTheSameSpeed)
{
    const struct {
        const char* name;
        TProtocol protocol;
        QByteArray start;
        QByteArray rest;
        int nextSpeed;
        std::vector<QByteArray> found;
    } cases[] = {
        {"same pass", Std, "!1AR0", "105\r", 9600, {"1A"}},
        {"next pass", Std, "!1AR0", "105\r", 19200, {}},
        {"another sensor's start", Std, "!05R0", "105\r", 9600, {}},
        {"Modbus, same pass", Mb, Hex("1A 03"), Framed("1A 03 02 00 05").mid(2), 9600, {"1A"}},
        {"Modbus, next pass", Mb, Hex("1A 03"), Framed("1A 03 02 00 05").mid(2), 19200, {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Searching(c.protocol);
        Send(Requests::Probe(0x1A, c.protocol), 9600);
        Receive(c.start, 9600);
        Send(Requests::Probe(0x1B, c.protocol), c.nextSpeed);
        EXPECT_EQ(Path().Buffer().isEmpty(), c.found.empty());
        if (c.protocol == Mb) {
            EXPECT_EQ(Sink().timerRunning, !c.found.empty());
        }
        Receive(c.rest, c.nextSpeed);
        EXPECT_EQ(Found(), c.found);
    }
}

namespace {
class ReceiveStream : public ReceiveFixture {
  protected:
    void SetUp() override
    {
        ReceiveFixture::SetUp();
        Streaming();
    }
    void Streaming()
    {
        Sensor().threadResultIsExec = true;
        Path().SetStreaming(&Sensor());
    }
    // Every sample the sensor's lines gave, as "value", "Nvalue", or "bad" without a value.
    std::vector<QByteArray> Samples() const
    {
        std::vector<QByteArray> all;
        for (const TBatch& batch : Sink().batches)
            for (const TStreamSample& s : batch.samples)
                all.push_back(QByteArray(s.Valid ? "" : "bad") + (s.Count ? "N" : "") +
                              QByteArray::number(s.Value));
        return all;
    }
};
} // namespace

TEST_F(ReceiveStream, LinesAreCutIntoSamplesAndTheRestWaits)
{
    const struct {
        const char* name;
        std::vector<QByteArray> chunks;
        std::vector<QByteArray> samples;
        QByteArray left;
    } cases[] = {
        {"two and a half groups", {"xx!25000\r!25000\r!250"}, {"25000", "25000"}, "!250"},
        {"the half completed by the next chunk",
         {"!12345\r!N0042\r!12", "345\r"},
         {"12345", "N42", "12345"},
         ""},
        {"a count", {"!N0012\r"}, {"N12"}, ""},
        {"no-result codes are samples", {"!65535\r!65534\r"}, {"65535", "65534"}, ""},
        {"bad digits", {"!12a45\r!12345\r"}, {"bad0", "12345"}, ""},
        {"a bad count", {"!N1x34\r"}, {"badN0"}, ""},
        {"no CR at the seventh", {"!123456\r"}, {"bad0"}, "\r"},
        {"a count cut short", {"!N12\r"}, {}, ""},
        {"a line without a group", {"!05ON\r"}, {}, ""},
        {"no CR yet", {"!12345"}, {}, "!12345"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Fresh();
        Streaming();
        Path().SetStreamQuiet(true);
        for (const QByteArray& chunk : c.chunks)
            Receive(chunk, 115200);
        EXPECT_EQ(Samples(), c.samples);
        EXPECT_EQ(Path().Buffer(), c.left);
        EXPECT_EQ(Path().StreamQuiet(), !c.chunks.back().contains('\r'));
        for (const TBatch& batch : Sink().batches) {
            EXPECT_EQ(batch.device, &Sensor());
            EXPECT_EQ(batch.speed, 115200);
        }
        EXPECT_EQ(Path().Unmatched(), 0u);
    }
}

TEST_F(ReceiveStream, TheAwaitedReplyIsTakenOutOfTheStream)
{
    const TRequestPtr last = Send(Requests::ReadLast(Sensor(), Std));
    Receive("!12345\r");
    EXPECT_TRUE(Pending(last));
    Receive("!1ALR00100\r");
    EXPECT_TRUE(Answered(last));
    EXPECT_EQ(Samples(), std::vector<QByteArray>{"12345"});
}

// Whether the sensor heard the stop or streams on, the stream's quiet check tells.
TEST_F(ReceiveStream, AnyStreamLineAnswersTheStop)
{
    const TRequestPtr stop = Send(Requests::StreamStop(Sensor()));
    Receive("!12345\r");
    EXPECT_TRUE(Answered(stop));
    EXPECT_TRUE(Sensor().threadResultIsExec.load());
    EXPECT_FALSE(Path().StreamQuiet());
}

TEST_F(ReceiveStream, LinesAfterTheStreamEndedAreNoOnes)
{
    Sensor().threadResultIsExec = false;
    Receive("!12345\r");
    Path().SetStreaming(nullptr);
    Receive("!12345\r");
    EXPECT_TRUE(Sink().batches.empty());
    EXPECT_EQ(Path().Unmatched(), 2u);
}

// Whatever comes is reported to whoever watches the line, with its bytes, even what makes no frame.
struct THeardCase {
    const char* name;
    TProtocol protocol;
    std::vector<QByteArray> chunks;
    bool timesOut; // the Modbus frame timeout runs out after the chunks
    std::vector<std::pair<TFrameStatus, QByteArray>> heard;
    int address; // of the last frame heard
};

class ReceiveHeard : public ReceiveFixture, public ::testing::WithParamInterface<THeardCase> {};

TEST_P(ReceiveHeard, EveryFrameAndAllNoiseIsReportedWithItsBytes)
{
    const THeardCase& c = GetParam();
    Fresh(c.protocol);
    for (const QByteArray& chunk : c.chunks)
        Receive(chunk);
    if (c.timesOut)
        Path().FrameTimedOut();
    std::vector<std::pair<TFrameStatus, QByteArray>> heard;
    for (const THeardFrame& f : Sink().heard)
        heard.emplace_back(f.Status, f.Bytes);
    EXPECT_EQ(heard, c.heard);
    ASSERT_FALSE(Sink().heard.empty());
    EXPECT_EQ(Sink().heard.back().Address, c.address);
}

using FS = TFrameStatus;
INSTANTIATE_TEST_SUITE_P(
    Cases, ReceiveHeard,
    ::testing::Values(
        THeardCase{"StandardNoiseLine", TProtocol::Standard, {"xyz\r"}, false, {{FS::Noise, "xyz\r"}}, -1},
        THeardCase{"NoiseBeforeAStrangersReply",
                   TProtocol::Standard,
                   {"ab!05R01", "00\r"},
                   false,
                   {{FS::Noise, "ab"}, {FS::Unmatched, "!05R0100\r"}},
                   5},
        THeardCase{
            "ModbusFragment", TProtocol::Modbus, {Hex("1A 03")}, true, {{FS::Noise, Hex("1A 03")}}, -1},
        THeardCase{"ModbusBadCrc",
                   TProtocol::Modbus,
                   {Hex("1A 03 02 61 A8 68 F4")},
                   true,
                   {{FS::CrcError, Hex("1A 03 02 61 A8 68 F4")}},
                   0x1A},
        THeardCase{"ModbusStranger",
                   TProtocol::Modbus,
                   {Framed("05 03 02 61 A8")},
                   false,
                   {{FS::Unmatched, Framed("05 03 02 61 A8")}},
                   5},
        THeardCase{"ModbusOverflow",
                   TProtocol::Modbus,
                   {QByteArray(200, '\x11'), QByteArray(300, '\x22')},
                   false,
                   {{FS::Noise, QByteArray(200, '\x11')}, {FS::Noise, QByteArray(300, '\x22')}},
                   -1}),
    [](const ::testing::TestParamInfo<THeardCase>& p) { return std::string(p.param.name); });

// A stream is shown group by group, a group that carries no number as such.
TEST_F(ReceiveMatching, EveryStreamGroupIsReportedAsAFrameOfItsOwn)
{
    Sensor().threadResultIsExec = true;
    Path().SetStreaming(&Sensor());
    Receive("!12345\r!12a45\r!N0007\r");
    std::vector<std::pair<TFrameStatus, QByteArray>> heard;
    for (const THeardFrame& f : Sink().heard) {
        EXPECT_TRUE(f.Stream);
        EXPECT_EQ(f.Address, 0x1A);
        heard.emplace_back(f.Status, f.Bytes);
    }
    EXPECT_EQ(heard, (std::vector<std::pair<TFrameStatus, QByteArray>>{{TFrameStatus::Ok, "!12345\r"},
                                                                       {TFrameStatus::Malformed, "!12a45\r"},
                                                                       {TFrameStatus::Ok, "!N0007\r"}}));
}
