// The traffic log and link health of a bus over a simulated bus: every frame the line carries, in
// both protocols, judged as the simulator's faults make it, and counted as the simulator saw it.
#include "BusUnderTest.h"
#include "protocol/DeviceUnit.h"
#include "sim/SimOptions.h"
#include "sim/SimRegisters.h"
#include "traffic/Traffic.h"
#include <gtest/gtest.h>

namespace {

// The frames of the log in one direction, oldest first.
std::vector<TTrafficFrame> Frames(const TTrafficLog& log, TFrameDirection direction)
{
    std::vector<TTrafficFrame> frames;
    for (std::size_t i = 0; i < log.Size(); ++i)
        if (log.At(i).Direction == direction)
            frames.push_back(log.At(i));
    return frames;
}

// A sensor at address 5, 115200 baud, with a record made without a search.
struct TOneSensor {
    explicit TOneSensor(TProtocol protocol) : t({Sensor(5, 115200)})
    {
        t.bus.SetProtocol(protocol);
        t.bus.SetWatchdogTime(400);
        device = t.bus.Devices().Append("05", 115200);
        t.bus.Driver().setComPort(t.sim.slavePath());
        ready = t.started && t.bus.SetLineSpeed(115200) && t.bus.Driver().Connect();
    }
    std::optional<TOutcome> Run(TOperationCode code)
    {
        if (!t.bus.Start(code, device))
            return std::nullopt;
        return t.End();
    }
    TBusUnderTest t;
    TDevice* device = nullptr;
    bool ready = false;
};

struct TFaultCase {
    const char* name;
    TProtocol protocol;
    const char* fault; // as veltrano-sim takes it
    TFrameStatus request;
    TFrameStatus reply; // the first frame received; Pending: none at all
    const char* meaning;
    int address;  // of that frame
    int settleMs; // let a late answer come before the next request
};

SimFaults FaultsOf(const char* text)
{
    QString error;
    const std::optional<SimOptions> options =
        simParseOptions({QStringLiteral("--link"), QStringLiteral("unused"), QStringLiteral("--fault"),
                         QStringLiteral("5:") + QLatin1String(text)},
                        &error);
    EXPECT_TRUE(options) << error.toStdString();
    return options && !options->faults.empty() ? options->faults.front().faults : SimFaults();
}

class TrafficFaultTest : public ::testing::TestWithParam<TFaultCase> {};

// The last result read twice: each fault shows in the request's status and in the frame that came.
TEST_P(TrafficFaultTest, EveryFrameCarriesItsMeaningAndStatus)
{
    const TFaultCase& c = GetParam();
    TOneSensor s(c.protocol);
    ASSERT_TRUE(s.ready);
    if (*c.fault)
        s.t.sim.setFaults(0, FaultsOf(c.fault));
    ASSERT_TRUE(s.Run(TOperationCode::ReadLastResult));
    QTest::qWait(c.settleMs);
    ASSERT_TRUE(s.Run(TOperationCode::ReadLastResult));

    const TTrafficLog& log = s.t.bus.Traffic();
    const std::vector<TTrafficFrame> sent = Frames(log, TFrameDirection::Sent);
    const std::vector<TTrafficFrame> received = Frames(log, TFrameDirection::Received);
    ASSERT_EQ(sent.size(), 2u);
    EXPECT_EQ(sent[0].Status, c.request) << TrafficText::Status(sent[0]).toStdString();
    EXPECT_EQ(TrafficText::Meaning(sent[0]), QStringLiteral("чтение последнего результата"));
    EXPECT_EQ(sent[0].Address, 5);
    EXPECT_EQ(sent[0].Speed, 115200);
    EXPECT_EQ(sent[0].Port, s.t.sim.slavePath());
    if (c.request == TFrameStatus::NoReply) {
        EXPECT_GE(sent[0].ResponseUs, 390'000) << "waited its watchdog";
        EXPECT_TRUE(TrafficText::Status(sent[0]).startsWith(QStringLiteral("нет ответа (")))
            << "with the time";
    }
    if (c.reply == TFrameStatus::Pending) {
        EXPECT_TRUE(received.empty());
        return;
    }
    ASSERT_FALSE(received.empty());
    const TTrafficFrame& first = received.front();
    EXPECT_EQ(first.Status, c.reply) << TrafficText::Meaning(first).toStdString();
    EXPECT_TRUE(TrafficText::Meaning(first).startsWith(QString::fromUtf8(c.meaning)))
        << TrafficText::Meaning(first).toStdString();
    EXPECT_EQ(first.Address, c.address);
    EXPECT_FALSE(first.Bytes.isEmpty());
    if (c.reply == TFrameStatus::Ok || c.reply == TFrameStatus::Exception || c.reply == TFrameStatus::Late) {
        EXPECT_GT(first.ResponseUs, 0) << "a reply's response time";
    }
}

constexpr TProtocol Std = TProtocol::Standard;
constexpr TProtocol Mb = TProtocol::Modbus;
using S = TFrameStatus;
INSTANTIATE_TEST_SUITE_P(
    BothProtocols, TrafficFaultTest,
    ::testing::Values(
        TFaultCase{"StandardAnswered", Std, "", S::Ok, S::Ok, "ответ LR", 5, 0},
        TFaultCase{"ModbusAnswered", Mb, "", S::Ok, S::Ok, "ответ: последний результат = ", 5, 0},
        TFaultCase{"StandardSilent", Std, "silent", S::NoReply, S::Pending, "", -1, 0},
        TFaultCase{"ModbusSilent", Mb, "silent", S::NoReply, S::Pending, "", -1, 0},
        TFaultCase{"ModbusException", Mb, "exception=2", S::Exception, S::Exception,
                   "исключение 02: адрес регистра недоступен", 5, 0},
        TFaultCase{"ModbusBadCrc", Mb, "badcrc", S::NoReply, S::CrcError, "кадр Modbus, функция 03", 5, 0},
        TFaultCase{"StandardStranger", Std, "answeras=7", S::NoReply, S::Unmatched, "ответ LR", 7, 0},
        TFaultCase{"ModbusStranger", Mb, "answeras=7", S::NoReply, S::Unmatched, "кадр Modbus, функция 03", 7,
                   0},
        TFaultCase{"StandardNoise", Std, "garbage=FF00", S::Ok, S::Noise, "шум", -1, 0},
        TFaultCase{"StandardLate", Std, "delay=700", S::NoReply, S::Late, "ответ LR", 5, 700},
        TFaultCase{"ModbusLate", Mb, "delay=700", S::NoReply, S::Late, "ответ: последний результат = ", 5,
                   700}),
    [](const ::testing::TestParamInfo<TFaultCase>& p) { return std::string(p.param.name); });

// A search shows its probes and the answers to them, each answer with the time since its probe.
TEST(TrafficSearchTest, ProbesAndTheirAnswers)
{
    for (const TProtocol protocol : {Std, Mb}) {
        TBusUnderTest t({Sensor(2, 115200)});
        ASSERT_TRUE(t.started);
        t.bus.SetProtocol(protocol);
        TSearchParams params = t.Search(2);
        params.Speeds = {115200};
        ASSERT_TRUE(t.Done([&] { return t.bus.StartSearch(params); }));
        const std::vector<TTrafficFrame> sent = Frames(t.bus.Traffic(), TFrameDirection::Sent);
        ASSERT_GE(sent.size(), 3u) << "two probes and the identification";
        EXPECT_EQ(TrafficText::Meaning(sent[0]), QStringLiteral("поисковый запрос"));
        EXPECT_EQ(sent[0].Address, 1);
        EXPECT_EQ(TrafficText::Meaning(sent[2]), QStringLiteral("чтение идентификации"));
        const std::vector<TTrafficFrame> received = Frames(t.bus.Traffic(), TFrameDirection::Received);
        ASSERT_GE(received.size(), 2u);
        EXPECT_EQ(TrafficText::Meaning(received[0]), QStringLiteral("ответ на поиск"));
        EXPECT_EQ(received[0].Address, 2);
        EXPECT_GT(received[0].ResponseUs, 0);
        EXPECT_EQ(TrafficText::Meaning(received[1]), QStringLiteral("ответ: идентификация"));
        // Probes are not requests a sensor owes an answer to; the identification is.
        const TLinkHealth* const health = t.bus.Health().Of(2);
        ASSERT_NE(health, nullptr);
        EXPECT_EQ(health->Requests, 1u);
        EXPECT_EQ(health->Replies, 1u);
        EXPECT_EQ(t.bus.Health().Of(1), nullptr) << "an address nobody answers at is not a sensor";
    }
}

// Stream groups appear one frame each, with their value, and the stop's echo as its reply.
TEST(TrafficStreamTest, EveryGroupIsAFrame)
{
    TFastStream s;
    ASSERT_TRUE(s.ready);
    TBusUnderTest& t = s.t;
    TDevice* const device = s.device;
    ASSERT_TRUE(t.Done(TOperationCode::StartStream, device));
    QTest::qWait(300);
    ASSERT_TRUE(t.Done(TOperationCode::StopStream, device));
    ASSERT_TRUE(QTest::qWaitFor([&] { return !device->threadResultIsExec; }, 2000));
    t.bus.StreamEnded();

    std::size_t groups = 0;
    int expected = 0;
    for (const TTrafficFrame& f : Frames(t.bus.Traffic(), TFrameDirection::Received)) {
        if (!f.Stream)
            continue;
        ASSERT_EQ(f.Status, TFrameStatus::Ok);
        ASSERT_EQ(TrafficText::Meaning(f),
                  QStringLiteral("поток: %1").arg(expected, 5, 10, QLatin1Char('0')));
        ++expected;
        ++groups;
    }
    EXPECT_EQ(groups, t.samples.size());
    EXPECT_GT(groups, 1000u);
    const std::vector<TTrafficFrame> sent = Frames(t.bus.Traffic(), TFrameDirection::Sent);
    ASSERT_EQ(sent.size(), 2u);
    EXPECT_EQ(TrafficText::Meaning(sent[0]), QStringLiteral("запуск потока"));
    EXPECT_EQ(sent[1].Status, TFrameStatus::Ok) << "the stop was answered";
}

// The health counters of a sensor are what the simulator itself logged: a request for every frame
// it heard, an answer for every frame it sent, a timeout for every request it did not answer.
TEST(TrafficHealthTest, CountersMatchTheSimulatorsFrameLog)
{
    for (const TProtocol protocol : {Std, Mb}) {
        TOneSensor s(protocol);
        ASSERT_TRUE(s.ready);
        ASSERT_TRUE(s.Run(TOperationCode::ReadParameters));
        ASSERT_TRUE(s.Run(TOperationCode::Latch));
        ASSERT_TRUE(s.Run(TOperationCode::ReadLatch));
        SimFaults faults;
        faults.noAnswer = true;
        s.t.sim.setFaults(0, faults);
        const std::optional<TOutcome> silent = s.Run(TOperationCode::ReadLastResult);
        ASSERT_TRUE(silent);
        EXPECT_EQ(silent->Kind, TOutcomeKind::Timeout);

        std::uint64_t heard = 0;
        std::uint64_t answered = 0;
        for (const SimFrameRecord& r : s.t.sim.frames()) {
            heard += r.direction == SimFrameRecord::Direction::Received;
            answered += r.direction == SimFrameRecord::Direction::Sent;
        }
        const TLinkHealth* const health = s.t.bus.Health().Of(5);
        ASSERT_NE(health, nullptr);
        EXPECT_EQ(health->Requests, heard);
        EXPECT_EQ(health->Replies, answered);
        EXPECT_EQ(health->Timeouts, 1u);
        EXPECT_EQ(health->Errors + health->Exceptions + health->Late, 0u);
        EXPECT_GT(health->MinUs, 0);
        EXPECT_LE(health->MinUs, health->MeanUs());
        EXPECT_LE(health->MeanUs(), health->MaxUs);
    }
}

// However much comes, the log keeps its capacity's worth of the newest frames and counts the rest.
TEST(TrafficLogTest, TheRingStaysBounded)
{
    TTrafficLog log(1000);
    for (int i = 0; i < 10000; ++i) {
        TTrafficFrame frame;
        frame.Bytes = QByteArray::number(i);
        log.Add(frame);
    }
    EXPECT_EQ(log.Size(), 1000u);
    EXPECT_EQ(log.Dropped(), 9000u);
    EXPECT_EQ(log.FirstSeq(), 9001u);
    EXPECT_EQ(log.Find(9000), nullptr);
    ASSERT_NE(log.Find(9001), nullptr);
    EXPECT_EQ(log.Find(9001)->Bytes, QByteArray("9000"));
    EXPECT_EQ(log.At(999).Bytes, QByteArray("9999"));
    log.Clear();
    EXPECT_EQ(log.Size(), 0u);
    EXPECT_EQ(log.Dropped(), 10000u);
    EXPECT_EQ(log.Add(TTrafficFrame()), 10001u) << "numbers go on after a clear";
}

} // namespace
