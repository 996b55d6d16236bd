#include "ReceiveFixture.h"
#include "protocol/ReceiveFraming.h"
#include <vector>

namespace {
const QString DecodingError = "Ошибка принятия данных";
const QString FrameError = "Ошибка приёма данных";

class ReceivePath : public ReceiveFixture {
  protected:
    void SetUp() override
    {
        ReceiveFixture::SetUp();
        sensor1A_ = &AddRecord("1A");
        sensor05_ = &AddRecord("05");
        SetSelectedAddressText("26");
        ReplyReceived = false;
    }
    TDevice* sensor1A_ = nullptr;
    TDevice* sensor05_ = nullptr;
};

std::vector<TViewCall> ErrorCalls(const QString& text)
{
    return {StatusCall(2, text), Call(TViewCall::StartErrorClear)};
}
} // namespace

TEST_F(ReceivePath, EchoInTwoChunksIsDispatchedOnceWithTheSecond)
{
    Receive("!1A");
    EXPECT_TRUE(view_.calls.empty());
    EXPECT_FALSE(ReplyReceived);
    EXPECT_EQ(ReceiveBuffer, QByteArray("!1A"));

    Receive("ON\r");
    EXPECT_EQ(view_.calls, std::vector<TViewCall>{StatusCall(0, "  Датчик включён")});
    EXPECT_TRUE(ReplyReceived);
    EXPECT_TRUE(ReceiveBuffer.isEmpty());
}

TEST_F(ReceivePath, StandardLines)
{
    const struct {
        const char* name;
        QByteArray chunk;
        std::vector<TViewCall> calls;
        bool token;
    } cases[] = {
        {"echo", "!1AON\r", {StatusCall(0, "  Датчик включён")}, true},
        {"bytes before the reply",
         QByteArray("\x00\xFF#zz", 5) + "!1AON\r",
         {StatusCall(0, "  Датчик включён")},
         true},
        {"the other sensor", "!05OF\r", {StatusCall(0, "  Датчик выключен")}, true},
        {"neither ! nor %", "garbage\r", {}, false},
        {"address with no record", "!07ON\r", {}, false},
        {"address that is no hexadecimal number", "!Z1ON\r", {}, false},
        {"line too short for an address", "!1\r", {}, false},
        {"lower-case address finds the record but no branch", "!1aON\r", {}, true},
        {"two replies in one line are no echo", "!1AON\r!05OF\r", {}, true},
        {"decoding error", "!1AFR1x345\r", ErrorCalls(DecodingError), true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        view_.calls.clear();
        ReceiveBuffer.clear();
        ReplyReceived = false;
        Receive(c.chunk);
        EXPECT_EQ(view_.calls, c.calls);
        EXPECT_EQ(ReplyReceived, c.token);
    }
}

TEST_F(ReceivePath, AddressBoxWithoutRecordIsReportedAndDispatchGoesOn)
{
    for (const QString box : {"", "abc", "99", " 26 x"}) {
        SCOPED_TRACE(box.toStdString());
        SetSelectedAddressText(box);
        view_.calls.clear();
        ReplyReceived = false;
        Receive("!1AON\r");
        std::vector<TViewCall> expected = ErrorCalls(DecodingError);
        expected.push_back(StatusCall(0, "  Датчик включён"));
        EXPECT_EQ(view_.calls, expected);
        EXPECT_TRUE(ReplyReceived);
    }
}

TEST_F(ReceivePath, WhileTheSelectedSensorStreamsEveryLineIsItsOwn)
{
    sensor1A_->threadResultIsExec = true;
    for (const QByteArray chunk : {"!05ON\r", "!12345\r!N0042\r!12", "%05VLT\r"}) {
        SCOPED_TRACE(chunk.toStdString());
        view_.calls.clear();
        ReceiveBuffer.clear();
        ReplyReceived = false;
        Receive(chunk);
        EXPECT_EQ(view_.calls, std::vector<TViewCall>{StreamCall(sensor1A_, chunk)});
        EXPECT_TRUE(ReplyReceived);
    }

    // A stream decoding error is reported, and the reply then goes to the sensor it names.
    view_.calls.clear();
    ReceiveBuffer.clear();
    ReplyReceived = false;
    Receive("!1AFR1x345\r");
    const std::vector<TViewCall> twice = {StatusCall(2, DecodingError), Call(TViewCall::StartErrorClear),
                                          StatusCall(2, DecodingError), Call(TViewCall::StartErrorClear)};
    EXPECT_EQ(view_.calls, twice);
    EXPECT_TRUE(ReplyReceived);
}

TEST_F(ReceivePath, SearchRepliesCreateRecordsInsteadOfDecoding)
{
    const struct {
        const char* name;
        QByteArray chunk;
        std::vector<QByteArray> created;
    } cases[] = {
        {"probe answer", "!1AR0105\r", {"1A"}},
        {"address 00", "!00R0100\r", {}},
        {"later answer after the first CR", "!1AON\r!1BR0107\r", {"1B"}},
        {"only the first answer of a line", "!1BR0107\r!1CR0108\r", {"1B"}},
        {"garbage before the answer", "xx!7FR017F\r", {"7F"}},
        {"an echo creates nothing and is not decoded", "!1AON\r", {}},
        {"lower-case address text is kept as sent", "!1bR0101\r", {"1b"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ClearDevices();
        view_.calls.clear();
        ReceiveBuffer.clear();
        ReplyReceived = false;
        SearchMode = true;
        SearchSpeed = 19200;
        Receive(c.chunk);
        ASSERT_EQ(DeviceCount(), c.created.size());
        for (std::size_t i = 0; i < c.created.size(); ++i) {
            EXPECT_EQ(Devices.At(static_cast<int>(i))->AdressStr.load(), c.created[i]);
            EXPECT_EQ(Devices.At(static_cast<int>(i))->ComPortSpeed, 19200);
        }
        EXPECT_EQ(ReplyReceived, !c.created.empty());
        EXPECT_TRUE(view_.calls.empty());
    }
}

TEST_F(ReceivePath, ModbusFrameInTwoChunksStartsThenStopsTheTimeoutAndIsDecodedOnce)
{
    ProtocolMode = 1;
    ExpectLastResult = true;
    Receive(Hex("1A 03 02"));
    EXPECT_EQ(view_.calls, std::vector<TViewCall>{Call(TViewCall::StartFrameTimeout)});
    EXPECT_FALSE(ReplyReceived);

    Receive(Hex("61"));
    Receive(Hex("A8 F4 68"));
    const std::vector<TViewCall> expected = {
        Call(TViewCall::StartFrameTimeout), Call(TViewCall::StartFrameTimeout),
        Call(TViewCall::StopFrameTimeout), StatusCall(1, "Последний результат прочитан"),
        LatchRowCall(26, 5, Spaces(15) + "125,00")};
    EXPECT_EQ(view_.calls, expected);
    EXPECT_EQ(view_.frameTimerStarts, 1);
    EXPECT_FALSE(view_.frameTimerRunning);
    EXPECT_TRUE(ReplyReceived);
    const QByteArray frame = Hex("1A 03 02 61 A8 F4 68");
    EXPECT_EQ(QByteArray(reinterpret_cast<const char*>(FrameBuffer.data()), frame.size()), frame);
    // The decoders, not the framing, decide when a handled frame leaves the buffer.
    EXPECT_EQ(ReceiveBuffer, frame);
}

TEST_F(ReceivePath, ModbusFramesThatAreNotDecoded)
{
    ProtocolMode = 1;
    const struct {
        const char* name;
        const char* hex;
        TViewCall::Kind timer;
    } cases[] = {
        {"wrong CRC", "1A 03 02 61 A8 68 F4", TViewCall::StartFrameTimeout},
        {"too short", "1A 03", TViewCall::StartFrameTimeout},
        {"address with no record", "07 03 02 00 05 F0 47", TViewCall::StopFrameTimeout},
        {"broadcast address", "00 03 02 00 05 45 87", TViewCall::StopFrameTimeout},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        view_.calls.clear();
        ReceiveBuffer.clear();
        ExpectLastResult = true;
        Receive(Hex(c.hex));
        EXPECT_EQ(view_.calls, std::vector<TViewCall>{Call(c.timer)});
        EXPECT_TRUE(ExpectLastResult);
        EXPECT_FALSE(ReplyReceived);
    }
}

TEST_F(ReceivePath, ModbusSearchAnswersCreateRecords)
{
    ProtocolMode = 1;
    SearchMode = true;
    SearchSpeed = 115200;
    ClearDevices();
    ExpectLastResult = true;

    Receive(Hex("00 03 02 00 05 45 87"));
    EXPECT_EQ(DeviceCount(), 0);
    EXPECT_FALSE(ReplyReceived);

    ReceiveBuffer.clear();
    Receive(Hex("1A 03 02 00 05 1C 45"));
    ASSERT_EQ(DeviceCount(), 1);
    EXPECT_EQ(Devices.At(0)->AdressStr.load(), QByteArray("1A"));
    EXPECT_EQ(Devices.At(0)->ComPortSpeed, 115200);
    EXPECT_TRUE(ReplyReceived);
    EXPECT_TRUE(ReceiveBuffer.isEmpty());
    // Search answers never reach a decoder.
    EXPECT_TRUE(ExpectLastResult);
    EXPECT_EQ(view_.Count(TViewCall::LatchRow), 0);
}

TEST_F(ReceivePath, StandardLineThatNeverEndsIsCapped)
{
    bool reported = false;
    for (int i = 0; i < 20; ++i) {
        Receive(QByteArray(1000, 'x'));
        ASSERT_LE(ReceiveBuffer.size(), MaxStandardReceiveBytes);
        reported = reported || !view_.calls.empty();
        if (i < 8) {
            EXPECT_TRUE(view_.calls.empty()) << "chunk " << i;
        }
    }
    EXPECT_TRUE(reported);
    EXPECT_EQ(view_.calls.front(), StatusCall(2, DecodingError));
    EXPECT_EQ(view_.calls[1], Call(TViewCall::StartErrorClear));

    // The newest bytes are kept, so a reply right after the junk still gets through.
    view_.calls.clear();
    Receive("!1AON\r");
    EXPECT_EQ(view_.calls.back(), StatusCall(0, "  Датчик включён"));
    EXPECT_TRUE(ReplyReceived);
}

TEST_F(ReceivePath, ModbusBytesBeyondTheFrameBufferAreDroppedAtOnce)
{
    ProtocolMode = 1;
    Receive(QByteArray(250, '\x11'));
    Receive(QByteArray(5, '\x11'));
    EXPECT_EQ(ReceiveBuffer.size(), 255);
    EXPECT_EQ(view_.Count(TViewCall::Status), 0);

    // The chunk that overflows starts the next frame.
    view_.calls.clear();
    const QByteArray frame = Hex("1A 03 02 61 A8 F4 68");
    Receive(frame);
    const std::vector<TViewCall> expected = {StatusCall(2, FrameError), Call(TViewCall::StartErrorClear),
                                             Call(TViewCall::StopFrameTimeout),
                                             Call(TViewCall::StopFrameTimeout)};
    EXPECT_EQ(view_.calls, expected);
    EXPECT_EQ(ReceiveBuffer, frame);
    EXPECT_TRUE(ReplyReceived);

    // A chunk larger than any frame goes as a whole.
    view_.calls.clear();
    Receive(QByteArray(300, '\x22'));
    EXPECT_TRUE(ReceiveBuffer.isEmpty());
    EXPECT_EQ(view_.calls,
              (std::vector<TViewCall>{StatusCall(2, FrameError), Call(TViewCall::StartErrorClear),
                                      Call(TViewCall::StopFrameTimeout)}));
}

TEST_F(ReceivePath, NothingHappensWithoutBytesOrWithoutAView)
{
    ReceiveChunk(nullptr, 5);
    ReceiveChunk("x", 0);
    EXPECT_TRUE(ReceiveBuffer.isEmpty());

    SetLinkView(nullptr);
    Receive("!1AFR25000\r");
    EXPECT_EQ(sensor1A_->wdSwitchResult, 25000);
    EXPECT_TRUE(ReplyReceived);
    EXPECT_TRUE(view_.calls.empty());
}
