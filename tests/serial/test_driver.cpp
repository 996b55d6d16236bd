// The port driver against real pseudo-terminals, with the main thread's event loop running.
#include "ChildProcess.h"
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
#include <poll.h>
#include <stdexcept>
#include <sys/ioctl.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <termios.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

struct Received {
    QByteArray bytes;
    std::vector<int> sizes;
    std::vector<QObject*> senders;
    bool offMainThread = false;
    std::function<void()> after; // runs inside the receive event, after the chunk is recorded

    TComPortReceiveDataEvent handler()
    {
        return [this](QObject* sender, const char* data, int size) {
            if (QThread::currentThread() != QCoreApplication::instance()->thread())
                offMainThread = true;
            bytes.append(data, size);
            sizes.push_back(size);
            senders.push_back(sender);
            if (after)
                after();
        };
    }
};

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

class SerialDriver : public ::testing::Test {
  protected:
    void SetUp() override
    {
        driver = std::make_unique<TCommPortDriver>();
        driver->setComPort(pty.slavePath());
        driver->setComPortPollingDelay(30);
        driver->setOnReceiveData(rx.handler());
    }

    bool receive(const QByteArray& bytes, int ms = 2000)
    {
        const qsizetype before = rx.bytes.size();
        pty.write(bytes);
        return WaitUntil([&] { return rx.bytes.size() >= before + bytes.size(); }, ms);
    }

    // Right after a hand-off the polling thread sleeps its delay: bytes written now wait unread
    // in the kernel's input queue for most of that delay.
    void parkUnread(const QByteArray& bytes)
    {
        ASSERT_TRUE(receive("."));
        pty.write(bytes);
        ASSERT_TRUE(WaitUntil([&] { return PendingInput(driver->ComHandle()) == bytes.size(); }, 500));
    }

    PtyPair pty;
    Received rx;
    std::unique_ptr<TCommPortDriver> driver;
};

TEST_F(SerialDriver, ReplyInSeveralChunksReachesTheMainThreadInOrder)
{
    ASSERT_TRUE(driver->Connect());
    ASSERT_TRUE(receive("!1A"));
    ASSERT_TRUE(receive("R01123\r"));
    EXPECT_EQ(rx.bytes, QByteArray("!1AR01123\r"));
    EXPECT_EQ(rx.sizes, (std::vector<int>{3, 7}));
    EXPECT_FALSE(rx.offMainThread);
    ASSERT_NE(rx.senders.front(), nullptr);
    EXPECT_STREQ(rx.senders.front()->metaObject()->className(), "TThread_X");
    EXPECT_EQ(rx.senders.front(), rx.senders.back());
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
    EXPECT_EQ(rx.bytes, burst);
    for (const int size : rx.sizes)
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
    const auto start = std::chrono::steady_clock::now();
    ASSERT_TRUE(receive(burst, 5000));
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(4000));
    EXPECT_EQ(rx.bytes, burst);
    // Once the line is quiet the delay holds again: a byte waits out the pause after the last
    // short chunk rather than being read at once by a spinning thread.
    ASSERT_TRUE(receive("."));
    pty.write("x");
    EXPECT_TRUE(WaitUntil([&] { return PendingInput(driver->ComHandle()) == 1; }, 200));
    EXPECT_TRUE(WaitUntil([&] { return rx.bytes.endsWith('x'); }, 2000));
}

TEST_F(SerialDriver, ConnectOnAnOpenDriverChangesNothing)
{
    driver->setComPortPollingDelay(400);
    ASSERT_TRUE(driver->Connect());
    const int handle = driver->ComHandle();
    parkUnread("pending");
    QObject* const poller = rx.senders.back();

    EXPECT_TRUE(driver->Connect());
    EXPECT_EQ(driver->ComHandle(), handle);
    EXPECT_EQ(PendingInput(handle), 7); // no settings re-applied, so nothing purged
    ASSERT_TRUE(WaitUntil([&] { return rx.bytes.endsWith("pending"); }, 2000));
    EXPECT_EQ(rx.senders.back(), poller);
}

// Line settings assigned while open are applied at once; all but the "simply" speed purge.
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
    driver->setComPortPollingDelay(250);
    ASSERT_TRUE(driver->Connect());
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        parkUnread("unread");
        c.change(*driver);
        EXPECT_EQ(PendingInput(driver->ComHandle()), c.purges ? 0 : 6);
        EXPECT_EQ(ReadLineBaud(driver->ComHandle()), c.baud);
        if (!c.purges) {
            ASSERT_TRUE(WaitUntil([&] { return rx.bytes.endsWith("unread"); }, 2000));
        }
    }
    Spin(300);
    EXPECT_EQ(rx.bytes.count("unread"), 2);
}

TEST_F(SerialDriver, OnlyAChangedPollingDelayRestartsThePollingThread)
{
    ASSERT_TRUE(driver->Connect());
    ASSERT_TRUE(receive("a"));
    QObject* const first = rx.senders.back();

    driver->setComPortPollingDelay(30);
    ASSERT_TRUE(receive("b"));
    EXPECT_EQ(rx.senders.back(), first);

    driver->setComPortPollingDelay(45);
    EXPECT_EQ(driver->ComPortPollingDelay(), 45);
    ASSERT_TRUE(receive("c"));
    EXPECT_NE(rx.senders.back(), first);
    EXPECT_EQ(rx.bytes, QByteArray("abc"));
}

TEST_F(SerialDriver, ReceiveEventThatThrowsEndsPollingUntilTheNextThread)
{
    rx.after = [] { throw std::runtime_error("decoder failed"); };
    ASSERT_TRUE(driver->Connect());
    ASSERT_TRUE(receive("x"));
    rx.after = nullptr;
    pty.write("y");
    Spin(200);
    EXPECT_EQ(rx.bytes, QByteArray("x"));
    EXPECT_TRUE(driver->Connected());

    driver->setComPortPollingDelay(31);
    ASSERT_TRUE(WaitUntil([&] { return rx.bytes == "xy"; }, 2000));
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
    EXPECT_TRUE(WaitUntil([&] { return rx.bytes.endsWith("second"); }, 2000));
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
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
        driver->Disconnect();
        int pair[2];
        ASSERT_EQ(::socketpair(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK, 0, pair), 0);
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
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
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
    EXPECT_LT(CpuSeconds() - cpuBefore, 0.1);
    Spin(50);
    EXPECT_TRUE(driver->Connected());
    EXPECT_FALSE(driver->SendString("#1AON\r"));

    driver->Disconnect();
    PtyPair back;
    driver->setComPort(back.slavePath());
    ASSERT_TRUE(driver->Connect());
    back.write("after");
    EXPECT_TRUE(WaitUntil([&] { return rx.bytes.endsWith("after"); }, 2000));
    EXPECT_TRUE(driver->SendString("#1AON\r"));
    EXPECT_EQ(back.read(6), QByteArray("#1AON\r"));
}

// The polling thread waits for the main thread while the main thread tears the driver down:
// every way of ending must return promptly and leave no hand-off behind.
TEST_F(SerialDriver, EndingWhileBytesPourInAndTheMainThreadIsBusy)
{
    enum class End {
        Destroy,
        DestroyInsideReceiveEvent,
        DisconnectInsideReceiveEvent,
        NewDelayInsideReceiveEvent
    };
    for (const End end : {End::Destroy, End::DestroyInsideReceiveEvent, End::DisconnectInsideReceiveEvent,
                          End::NewDelayInsideReceiveEvent}) {
        SCOPED_TRACE(static_cast<int>(end));
        PtyPair flood;
        rx = Received{};
        driver = std::make_unique<TCommPortDriver>();
        driver->setComPort(flood.slavePath());
        driver->setComPortPollingDelay(1);
        driver->setOnReceiveData(rx.handler());
        ASSERT_TRUE(driver->Connect());
        ::fcntl(flood.master(), F_SETFL, O_NONBLOCK);
        std::atomic<bool> stop{false};
        std::thread writer([&] {
            const QByteArray chunk(256, 'z');
            while (!stop.load()) {
                if (::write(flood.master(), chunk.constData(), static_cast<size_t>(chunk.size())) < 0)
                    std::this_thread::sleep_for(std::chrono::milliseconds(1));
            }
        });
        bool ended = false;
        rx.after = [&] {
            std::this_thread::sleep_for(std::chrono::milliseconds(3));
            if (rx.sizes.size() != 20)
                return;
            ended = true;
            if (end == End::DestroyInsideReceiveEvent)
                driver.reset();
            else if (end == End::DisconnectInsideReceiveEvent)
                driver->Disconnect();
            else if (end == End::NewDelayInsideReceiveEvent)
                driver->setComPortPollingDelay(2);
        };
        if (end == End::Destroy) {
            ASSERT_TRUE(WaitUntil([&] { return rx.sizes.size() >= 20; }, 5000));
            std::this_thread::sleep_for(std::chrono::milliseconds(100)); // a hand-off is now waiting
            const auto start = std::chrono::steady_clock::now();
            driver.reset();
            EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(1));
        } else {
            ASSERT_TRUE(WaitUntil([&] { return ended; }, 5000));
        }
        Spin(100);
        const std::size_t chunks = rx.sizes.size();
        if (end == End::NewDelayInsideReceiveEvent) {
            EXPECT_GT(chunks, 21u); // the new thread goes on delivering
            driver.reset();
        } else {
            Spin(50);
            EXPECT_LE(rx.sizes.size(), chunks + 1); // at most the chunk read before the stop
        }
        stop.store(true);
        writer.join();
        rx.after = nullptr;
        EXPECT_FALSE(rx.offMainThread);
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
