// The port driver against real pseudo-terminals. No event loop runs: the driver hands each chunk
// to the receive event on its polling thread.
#include "ChildProcess.h"
#include "ChunkRecorder.h"
#include "PtyPair.h"
#include "WaitUntil.h"
#include "serial/CustomBaud.h"
#include "serial/TCommPortDriver.h"

#include <QRegularExpression>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <fcntl.h>
#include <functional>
#include <gtest/gtest.h>
#include <memory>
#include <stdexcept>
#include <sys/ioctl.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <termios.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

int PendingInput(int fd)
{
    int n = -1;
    ::ioctl(fd, FIONREAD, &n);
    return n;
}

double CpuSeconds()
{
    rusage u{};
    ::getrusage(RUSAGE_SELF, &u);
    return static_cast<double>(u.ru_utime.tv_sec + u.ru_stime.tv_sec) +
           static_cast<double>(u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

std::vector<int> SizesOf(const std::vector<SeenChunk>& chunks)
{
    std::vector<int> sizes;
    for (const SeenChunk& c : chunks)
        sizes.push_back(static_cast<int>(c.chunk.Bytes.size()));
    return sizes;
}

class SerialDriver : public ::testing::Test {
  protected:
    void SetUp() override
    {
        driver = std::make_unique<TCommPortDriver>();
        driver->setComPort(pty.slavePath());
        driver->setComPortPollingDelay(30);
        driver->setOnReceiveData(rx.handler());
    }
    void TearDown() override
    {
        rx.release();
        driver.reset();
    }

    bool receive(const QByteArray& bytes, int ms = 2000)
    {
        const qsizetype before = rx.bytes().size();
        pty.write(bytes);
        return rx.waitBytes(before + bytes.size(), ms);
    }

    // Holds the receive event on a chunk of its own, then lets bytes arrive: they wait unread in
    // the system's input queue until rx.release().
    void parkUnread(const QByteArray& bytes)
    {
        rx.hold();
        ASSERT_TRUE(receive("."));
        ASSERT_TRUE(rx.waitParked(2000));
        pty.write(bytes);
        ASSERT_TRUE(WaitUntil([&] { return PendingInput(driver->ComHandle()) == bytes.size(); }, 500));
    }

    PtyPair pty;
    ChunkRecorder rx;
    std::unique_ptr<TCommPortDriver> driver;
};

TEST_F(SerialDriver, ReplyInSeveralChunksArrivesInOrderStampedOnThePollingThread)
{
    driver->setComPortSpeed(br19200);
    ASSERT_TRUE(driver->Connect());
    const auto start = Clock::now();
    ASSERT_TRUE(receive("!1A"));
    ASSERT_TRUE(receive("R01123\r"));
    EXPECT_EQ(rx.bytes(), QByteArray("!1AR01123\r"));
    const std::vector<SeenChunk> chunks = rx.chunks();
    EXPECT_EQ(SizesOf(chunks), (std::vector<int>{3, 7}));
    for (const SeenChunk& c : chunks) {
        EXPECT_EQ(c.chunk.Speed, 19200);
        EXPECT_NE(c.thread, ::gettid());
        EXPECT_EQ(c.thread, chunks.front().thread);
        EXPECT_GE(c.chunk.FirstAt, start);
        EXPECT_LE(c.chunk.FirstAt, c.chunk.ReadAt);
        EXPECT_LE(c.chunk.ReadAt, Clock::now());
    }
    EXPECT_LT(chunks.front().chunk.ReadAt, chunks.back().chunk.FirstAt);
}

// A line that never falls quiet for a millisecond is still handed over in pieces of a few
// milliseconds, each stamped with when its first bytes were read.
TEST_F(SerialDriver, ALineThatNeverFallsQuietIsHandedOverInShortPieces)
{
    ASSERT_TRUE(driver->Connect());
    QByteArray sent;
    const auto start = Clock::now();
    while (Clock::now() - start < 100ms) {
        const char c = static_cast<char>('a' + sent.size() % 26);
        pty.write(QByteArray(1, c));
        sent.append(c);
        std::this_thread::sleep_for(300us);
    }
    ASSERT_TRUE(rx.waitBytes(sent.size(), 2000));
    EXPECT_EQ(rx.bytes(), sent);
    for (const SeenChunk& c : rx.chunks()) {
        EXPECT_GE(c.chunk.FirstAt, start);
        EXPECT_LT(c.chunk.ReadAt - c.chunk.FirstAt, 25ms) << c.chunk.Bytes.size() << " bytes";
    }
}

// Bytes read before a speed switch keep the speed they came at; the switch purges what was not
// read yet, and whatever is read after it carries the new speed.
TEST_F(SerialDriver, ChunksCarryTheLineSpeedInForceWhenTheyWereRead)
{
    driver->setComPortSpeed(br9600);
    ASSERT_TRUE(driver->Connect());
    ASSERT_TRUE(receive("old"));
    parkUnread("purged");
    driver->setComPortSpeed(br115200);
    EXPECT_EQ(PendingInput(driver->ComHandle()), 0);
    rx.release();
    ASSERT_TRUE(receive("new"));
    Pause(50);
    EXPECT_EQ(rx.bytes(), QByteArray("old.new"));
    const std::vector<SeenChunk> chunks = rx.chunks();
    ASSERT_EQ(chunks.size(), 3u);
    EXPECT_EQ(chunks[0].chunk.Speed, 9600);
    EXPECT_EQ(chunks[1].chunk.Speed, 9600);
    EXPECT_EQ(chunks[2].chunk.Bytes, QByteArray("new"));
    EXPECT_EQ(chunks[2].chunk.Speed, 115200);
}

// The thread waits for bytes rather than sleeping between reads: a byte is handed over within a
// few milliseconds whatever the polling delay, also one that comes right after the last chunk.
// Each chunk's event writes the next byte, so a thread that paused after a chunk would show it.
TEST_F(SerialDriver, BytesAreHandedOverWithoutWaitingOutThePollingDelay)
{
    constexpr int kEchoes = 5;
    struct Echo {
        std::vector<Clock::time_point> written = std::vector<Clock::time_point>(kEchoes + 1);
        std::atomic<int> sent{0};
    };
    for (const int delay : {30, 50}) {
        SCOPED_TRACE(delay);
        // Shared with the event, which may still run when a failed assertion leaves the loop.
        const auto echo = std::make_shared<Echo>();
        const std::size_t first = rx.count();
        driver->setComPortPollingDelay(static_cast<std::uint16_t>(delay));
        ASSERT_TRUE(driver->Connect());
        rx.setAfter([echo, this](const TChunk&) {
            const int n = echo->sent.load();
            if (n == 0 || n > kEchoes)
                return;
            echo->written[static_cast<std::size_t>(n)] = Clock::now();
            echo->sent.store(n + 1);
            pty.write("e");
        });
        Pause(delay); // the thread is waiting for bytes now
        echo->written[0] = Clock::now();
        echo->sent.store(1);
        pty.write("w");
        ASSERT_TRUE(rx.waitChunks(first + kEchoes + 1, 5000));
        rx.setAfter(nullptr);
        const std::vector<SeenChunk> chunks = rx.chunks();
        for (std::size_t i = 0; i <= kEchoes; ++i) {
            const SeenChunk& c = chunks[first + i];
            EXPECT_EQ(c.chunk.Bytes.size(), 1) << i;
            EXPECT_LT(c.chunk.ReadAt - echo->written[i], std::chrono::milliseconds(delay)) << i;
        }
        driver->Disconnect();
    }
}

TEST_F(SerialDriver, BurstLongerThanTheInputBufferIsCutAtItsSize)
{
    driver->setComPortInBufSize(1000);
    ASSERT_TRUE(driver->Connect());
    driver->setComPortInBufSize(10); // ignored while open
    EXPECT_EQ(driver->ComPortInBufSize(), 1000);
    QByteArray burst;
    for (int i = 0; i < 5000; ++i)
        burst.append(static_cast<char>(i % 251));
    ASSERT_TRUE(receive(burst, 5000));
    EXPECT_EQ(rx.bytes(), burst);
    for (const int size : SizesOf(rx.chunks()))
        EXPECT_LE(size, 1000);
}

// A fast stream must not wait out the polling delay between full buffers: at a delay of 400 ms
// and 100 bytes a read, 3000 bytes would take 12 s that way.
TEST_F(SerialDriver, FullBuffersAreReadWithoutThePollingDelayBetweenThem)
{
    driver->setComPortPollingDelay(400);
    driver->setComPortInBufSize(100);
    ASSERT_TRUE(driver->Connect());
    QByteArray burst;
    for (int i = 0; i < 3000; ++i)
        burst.append(static_cast<char>('A' + i % 26));
    const auto start = Clock::now();
    ASSERT_TRUE(receive(burst, 5000));
    EXPECT_LT(Clock::now() - start, 4000ms);
    EXPECT_EQ(rx.bytes(), burst);
}

TEST_F(SerialDriver, LastByteAtFollowsTheBytesOfTheOpenPeriod)
{
    EXPECT_EQ(driver->LastByteAt(), Clock::time_point{});
    ASSERT_TRUE(driver->Connect());
    EXPECT_EQ(driver->LastByteAt(), Clock::time_point{});
    const auto start = Clock::now();
    ASSERT_TRUE(receive("a"));
    const Clock::time_point first = driver->LastByteAt();
    EXPECT_GE(first, start);
    EXPECT_LE(first, rx.last().chunk.ReadAt);
    ASSERT_TRUE(receive("b"));
    EXPECT_GT(driver->LastByteAt(), first);

    driver->Disconnect();
    EXPECT_EQ(driver->LastByteAt(), Clock::time_point{});
    ASSERT_TRUE(driver->Connect());
    EXPECT_EQ(driver->LastByteAt(), Clock::time_point{}) << "a new open period has had no byte";
}

TEST_F(SerialDriver, ConnectOnAnOpenDriverChangesNothing)
{
    ASSERT_TRUE(driver->Connect());
    const int handle = driver->ComHandle();
    parkUnread("pending");
    const pid_t poller = rx.last().thread;

    EXPECT_TRUE(driver->Connect());
    EXPECT_EQ(driver->ComHandle(), handle);
    EXPECT_EQ(PendingInput(handle), 7); // no settings re-applied, so nothing purged
    rx.release();
    ASSERT_TRUE(WaitUntil([&] { return rx.bytes().endsWith("pending"); }, 2000));
    EXPECT_EQ(rx.last().thread, poller);
}

// Line settings assigned while open are applied at once; all but the "simply" speed purge. Bytes
// left unread are read at the speed in force afterwards.
TEST_F(SerialDriver, SettingsChangedWhileOpenPurgeUnreadBytes)
{
    struct Case {
        const char* what;
        std::function<void(TCommPortDriver&)> change;
        bool purges;
        int baud;
    };
    const std::vector<Case> cases{
        {"speed", [](TCommPortDriver& d) { d.setComPortSpeed(br19200); }, true, 19200},
        {"speed simply", [](TCommPortDriver& d) { d.setComPortSpeedSimply(br38400); }, false, 38400},
        {"same speed again", [](TCommPortDriver& d) { d.setComPortSpeed(br38400); }, true, 38400},
        {"data bits", [](TCommPortDriver& d) { d.setComPortDataBits(db7BITS); }, true, 38400},
        {"stop bits", [](TCommPortDriver& d) { d.setComPortStopBits(sb2BITS); }, true, 38400},
        {"parity", [](TCommPortDriver& d) { d.setComPortParity(ptEVEN); }, true, 38400},
        {"hardware handshake", [](TCommPortDriver& d) { d.setComPortHwHandshaking(hhRTSCTS); }, true, 38400},
        {"software handshake", [](TCommPortDriver& d) { d.setComPortSwHandshaking(shXONXOFF); }, true, 38400},
        {"DTR on open", [](TCommPortDriver& d) { d.setEnableDTROnOpen(false); }, false, 38400},
    };
    ASSERT_TRUE(driver->Connect());
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        parkUnread("unread");
        c.change(*driver);
        EXPECT_EQ(PendingInput(driver->ComHandle()), c.purges ? 0 : 6);
        EXPECT_EQ(ReadLineBaud(driver->ComHandle()), c.baud);
        rx.release();
        if (!c.purges) {
            ASSERT_TRUE(WaitUntil([&] { return rx.bytes().endsWith("unread"); }, 2000));
            EXPECT_EQ(rx.last().chunk.Speed, c.baud);
        }
    }
    Pause(100);
    EXPECT_EQ(rx.bytes().count("unread"), 2);
}

TEST_F(SerialDriver, OnlyAChangedPollingDelayRestartsThePollingThread)
{
    ASSERT_TRUE(driver->Connect());
    ASSERT_TRUE(receive("a"));
    const pid_t first = rx.last().thread;

    driver->setComPortPollingDelay(30);
    ASSERT_TRUE(receive("b"));
    EXPECT_EQ(rx.last().thread, first);

    // The old thread may still read what ends its wait; the chunk after that is the new one's.
    driver->setComPortPollingDelay(45);
    EXPECT_EQ(driver->ComPortPollingDelay(), 45);
    ASSERT_TRUE(receive("c"));
    ASSERT_TRUE(receive("d"));
    EXPECT_NE(rx.last().thread, first);
    EXPECT_EQ(rx.bytes(), QByteArray("abcd"));
}

TEST_F(SerialDriver, ReceiveEventThatThrowsEndsPollingUntilTheNextThread)
{
    rx.setAfter([](const TChunk&) { throw std::runtime_error("decoder failed"); });
    ASSERT_TRUE(driver->Connect());
    ASSERT_TRUE(receive("x"));
    rx.setAfter(nullptr);
    pty.write("y");
    Pause(200);
    EXPECT_EQ(rx.bytes(), QByteArray("x"));
    EXPECT_TRUE(driver->Connected());

    driver->setComPortPollingDelay(31);
    ASSERT_TRUE(WaitUntil([&] { return rx.bytes() == "xy"; }, 2000));
}

TEST_F(SerialDriver, SecondOpenInTheSameProcessFails)
{
    ASSERT_TRUE(driver->Connect());
    TCommPortDriver second;
    second.setComPort(pty.slavePath());
    EXPECT_FALSE(second.Connect());
    EXPECT_FALSE(second.Connected());
    EXPECT_EQ(second.LastOpenError(), EBUSY);
    EXPECT_TRUE(receive("still ours"));

    driver->Disconnect();
    EXPECT_TRUE(second.Connect());
    EXPECT_EQ(second.LastOpenError(), 0);
}

TEST_F(SerialDriver, PortHeldByAnotherProcessCannotBeOpenedEitherWay)
{
    const QStringList hold{QStringLiteral(SERIAL_PORT_HOLDER), QStringLiteral("hold"), pty.slavePath()};
    ASSERT_TRUE(driver->Connect());
    {
        ChildProcess other(hold);
        EXPECT_EQ(other.readLine(5000), QByteArray("fail ") + QByteArray::number(EBUSY));
        EXPECT_EQ(other.finish(), 0);
    }
    driver->Disconnect();
    ChildProcess other(hold);
    EXPECT_EQ(other.readLine(5000), QByteArray("open"));
    EXPECT_FALSE(driver->Connect());
    EXPECT_EQ(driver->LastOpenError(), EBUSY);
    EXPECT_EQ(other.finish(), 0);
    EXPECT_TRUE(driver->Connect());
}

TEST_F(SerialDriver, PortChosenWhileOpenIsIgnored)
{
    PtyPair other;
    ASSERT_TRUE(driver->Connect());
    driver->setComPort(other.slavePath());
    EXPECT_EQ(driver->ComPort(), pty.slavePath());
    driver->Disconnect();
    ASSERT_TRUE(driver->Connect());
    EXPECT_TRUE(receive("first"));

    driver->Disconnect();
    driver->setComPort(other.slavePath());
    ASSERT_TRUE(driver->Connect());
    other.write("second");
    EXPECT_TRUE(WaitUntil([&] { return rx.bytes().endsWith("second"); }, 2000));
}

TEST_F(SerialDriver, OutFreeSpaceAndClosedDriver)
{
    EXPECT_EQ(driver->OutFreeSpace(), 65535);
    EXPECT_FALSE(driver->SendString("x"));
    EXPECT_EQ(driver->ComHandle(), 0);
    EXPECT_FALSE(driver->Connected());
    ASSERT_TRUE(driver->Connect());
    EXPECT_EQ(driver->OutFreeSpace(), 4096);
    driver->setComPortOutBufSize(100);
    EXPECT_EQ(driver->OutFreeSpace(), 100);
    driver->Disconnect();
    EXPECT_EQ(driver->OutFreeSpace(), 65535);
}

TEST_F(SerialDriver, WritesReachTheFarEndWhole)
{
    ASSERT_TRUE(driver->Connect());
    EXPECT_TRUE(driver->SendString(QByteArray("#1AON\r")));
    EXPECT_TRUE(driver->SendZString("#1AOFF\r"));
    const char frame[] = {0x1A, 0x06, 0x00, 0x00, static_cast<char>(0xFF)};
    EXPECT_TRUE(driver->SendData(frame, sizeof frame));
    EXPECT_EQ(pty.read(18), QByteArray("#1AON\r#1AOFF\r") + QByteArray(frame, sizeof frame));
}

TEST_F(SerialDriver, FramesFromSeveralThreadsNeverInterleave)
{
    ASSERT_TRUE(driver->Connect());
    constexpr int kThreads = 4;
    constexpr int kFrames = 250;
    std::atomic<int> failed{0};
    std::vector<std::thread> senders;
    for (int t = 0; t < kThreads; ++t) {
        senders.emplace_back([&, t] {
            for (int i = 0; i < kFrames; ++i) {
                const QByteArray frame =
                    QStringLiteral("<%1:%2>").arg(t).arg(i, 3, 10, QLatin1Char('0')).toLatin1();
                if (!driver->SendString(frame))
                    ++failed;
            }
        });
    }
    const QByteArray all = pty.read(kThreads * kFrames * 7, 1000);
    for (auto& s : senders)
        s.join();
    EXPECT_EQ(failed.load(), 0);
    ASSERT_EQ(all.size(), kThreads * kFrames * 7);
    std::vector<int> next(kThreads, 0);
    const QRegularExpression frame(QStringLiteral("^<(\\d):(\\d{3})>$"));
    for (qsizetype at = 0; at < all.size(); at += 7) {
        const QRegularExpressionMatch m = frame.match(QString::fromLatin1(all.mid(at, 7)));
        ASSERT_TRUE(m.hasMatch()) << all.mid(at, 7).constData();
        const int t = m.captured(1).toInt();
        EXPECT_EQ(m.captured(2).toInt(), next[t]++);
    }
}

// Writers racing a close must never write into whatever descriptor takes the closed number.
TEST_F(SerialDriver, WritesRacingDisconnectNeverHitAReusedDescriptor)
{
    std::atomic<bool> stop{false};
    std::atomic<int> delivered{0};
    std::vector<std::thread> senders;
    for (int t = 0; t < 3; ++t) {
        senders.emplace_back([&] {
            while (!stop.load()) {
                if (driver->SendString("<frame>"))
                    ++delivered;
            }
        });
    }
    std::thread drain([&] {
        while (!stop.load())
            pty.read(1 << 16, 5);
    });
    int strayBytes = 0;
    for (int round = 0; round < 30; ++round) {
        ASSERT_TRUE(driver->Connect());
        std::this_thread::sleep_for(2ms);
        driver->Disconnect();
        int pair[2];
        ASSERT_EQ(::socketpair(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK, 0, pair), 0);
        std::this_thread::sleep_for(2ms);
        char buf[64];
        for (const int end : pair) {
            const ssize_t n = ::read(end, buf, sizeof buf);
            strayBytes += n > 0 ? static_cast<int>(n) : 0;
            ::close(end);
        }
    }
    stop.store(true);
    for (auto& s : senders)
        s.join();
    drain.join();
    EXPECT_EQ(strayBytes, 0);
    EXPECT_GT(delivered.load(), 0);
    ASSERT_TRUE(driver->Connect());
    EXPECT_TRUE(receive("alive"));
}

TEST_F(SerialDriver, VanishedDeviceNeitherSpinsNorBlocksAndReconnectWorks)
{
    driver->setComPortPollingDelay(1);
    ASSERT_TRUE(driver->Connect());
    ASSERT_TRUE(receive("before"));
    pty.write("half a rep");
    pty.closeMaster();

    const double cpuBefore = CpuSeconds();
    Pause(500);
    EXPECT_LT(CpuSeconds() - cpuBefore, 0.1);
    EXPECT_TRUE(driver->Connected());
    EXPECT_FALSE(driver->SendString("#1AON\r"));
    EXPECT_TRUE(driver->PortLost());
    EXPECT_FALSE(driver->Reopen()) << "the device is gone";
    EXPECT_FALSE(driver->Connected());
    EXPECT_TRUE(driver->PortLost());

    driver->Disconnect();
    EXPECT_FALSE(driver->PortLost());
    PtyPair back;
    driver->setComPort(back.slavePath());
    ASSERT_TRUE(driver->Connect());
    back.write("after");
    EXPECT_TRUE(WaitUntil([&] { return rx.bytes().endsWith("after"); }, 2000));
    EXPECT_TRUE(driver->SendString("#1AON\r"));
    EXPECT_EQ(back.read(6), QByteArray("#1AON\r"));
}

// Closing the port wakes a read that waits for bytes: neither closing nor destroying the driver
// waits out the polling delay.
TEST_F(SerialDriver, EndingWhileAReadWaitsTakesNoPollingDelay)
{
    driver->setComPortPollingDelay(5000);
    for (const bool destroy : {false, true}) {
        SCOPED_TRACE(destroy);
        ASSERT_TRUE(driver->Connect());
        ASSERT_TRUE(receive("a"));
        Pause(20); // the thread waits for the next bytes now
        const auto start = Clock::now();
        if (destroy)
            driver.reset();
        else
            driver->Disconnect();
        EXPECT_LT(Clock::now() - start, 1s);
    }
}

// Ends the far end's writer however a case leaves, before its driver goes.
struct WriterStop {
    std::atomic<bool>& stop;
    std::thread& writer;
    ~WriterStop()
    {
        stop.store(true);
        writer.join();
    }
};

// A slow receive event while bytes pour in: every way of ending returns promptly, and no chunk is
// handed over once the driver has let go of the port.
TEST_F(SerialDriver, EndingWhileBytesPourInAndTheReceiveEventIsSlow)
{
    enum class End { Destroy, DisconnectInsideReceiveEvent, NewDelayInsideReceiveEvent };
    for (const End end : {End::Destroy, End::DisconnectInsideReceiveEvent, End::NewDelayInsideReceiveEvent}) {
        SCOPED_TRACE(static_cast<int>(end));
        PtyPair flood;
        ChunkRecorder seen;
        std::atomic<bool> stop{false};
        std::atomic<std::size_t> handled{0};
        std::atomic<std::size_t> endedAt{0};
        std::atomic<pid_t> endedOn{0};
        // Declared after everything its polling thread touches, so that it ends first.
        auto flooded = std::make_unique<TCommPortDriver>();
        flooded->setComPort(flood.slavePath());
        flooded->setComPortPollingDelay(1);
        flooded->setOnReceiveData(seen.handler());
        seen.setAfter([&](const TChunk&) {
            std::this_thread::sleep_for(3ms);
            const std::size_t count = ++handled;
            if (count != 20)
                return;
            if (end == End::DisconnectInsideReceiveEvent)
                flooded->Disconnect();
            else if (end == End::NewDelayInsideReceiveEvent)
                flooded->setComPortPollingDelay(2);
            endedOn.store(::gettid());
            endedAt.store(count);
        });
        ASSERT_TRUE(flooded->Connect());
        ::fcntl(flood.master(), F_SETFL, O_NONBLOCK);
        std::thread writer([&] {
            const QByteArray chunk(256, 'z');
            while (!stop.load()) {
                if (::write(flood.master(), chunk.constData(), static_cast<size_t>(chunk.size())) < 0)
                    std::this_thread::sleep_for(1ms);
            }
        });
        const WriterStop writerStop{stop, writer};
        ASSERT_TRUE(seen.waitChunks(20, 5000));
        if (end == End::Destroy) {
            const auto start = Clock::now();
            flooded.reset();
            EXPECT_LT(Clock::now() - start, 1s);
        } else {
            ASSERT_TRUE(WaitUntil([&] { return endedAt.load() != 0; }, 5000));
        }
        Pause(100);
        const std::size_t chunks = seen.count();
        if (end == End::NewDelayInsideReceiveEvent) {
            EXPECT_GT(chunks, endedAt.load() + 1); // the new thread goes on handing over
            EXPECT_NE(seen.last().thread, endedOn.load());
            flooded.reset();
        } else {
            if (end == End::DisconnectInsideReceiveEvent) {
                EXPECT_EQ(chunks, endedAt.load());
                EXPECT_FALSE(flooded->Connected());
            }
            Pause(50);
            EXPECT_EQ(seen.count(), chunks);
        }
    }
}

TEST_F(SerialDriver, AdoptedHandleIsPolledAndDetachingLeavesItOpen)
{
    const int fd = ::open(qPrintable(pty.slavePath()), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    ASSERT_GE(fd, 0);
    termios raw{};
    ::tcgetattr(fd, &raw);
    ::cfmakeraw(&raw);
    ::tcsetattr(fd, TCSANOW, &raw); // an adopted handle keeps its line settings
    driver->setComHandle(fd);
    EXPECT_TRUE(driver->Connected());
    EXPECT_EQ(driver->ComHandle(), fd);
    driver->setComHandle(fd);
    EXPECT_EQ(driver->ComHandle(), fd);
    EXPECT_TRUE(receive("adopted"));

    driver->setComHandle(-1);
    EXPECT_FALSE(driver->Connected());
    EXPECT_EQ(driver->ComHandle(), 0);
    EXPECT_EQ(::fcntl(fd, F_GETFD), FD_CLOEXEC);
    ::close(fd);
}

} // namespace
