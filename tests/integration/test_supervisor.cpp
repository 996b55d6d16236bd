#include "operations/TAutoResetEvent.h"
#include "operations/TMasterThreadUnit.h"
#include "operations/TOperationThreads.h"
#include "operations/TWorkerThread.h"
#include "protocol/DeviceList.h"
#include "bus/SensorBus.h"
#include <QElapsedTimer>
#include <QTest>
#include <atomic>
#include <gtest/gtest.h>
#include <limits>

namespace {
using namespace std::chrono_literals;

// A worker whose body the test gives.
class StandInWorker : public TWorkerThread {
  public:
    using TBody = std::function<void(StandInWorker&)>;
    StandInWorker(TOperationThreads& threads, TBody body) : TWorkerThread(threads), body_(std::move(body)) {}
    using TWorkerThread::SendLoop;
    using TWorkerThread::Synchronize;

  protected:
    void Execute() override { body_(*this); }

  private:
    TBody body_;
};

// A worker that runs until it is asked to stop.
void UntilStopped(StandInWorker& worker)
{
    while (!worker.Terminated())
        std::this_thread::sleep_for(1ms);
}

class SupervisorTest : public ::testing::Test {
  protected:
    void TearDown() override
    {
        threads.Shutdown();
        form->Bus().SetWatchdogTime(3000);
    }

    // Launches code with workers running body; returns after the end notification, or fails.
    void Supervise(std::uint8_t code, StandInWorker::TBody body)
    {
        watch.start();
        master = TMasterThread::Create(
            code,
            [this, body](std::uint8_t) {
                auto worker = std::make_shared<StandInWorker>(threads, body);
                lastWorker = worker;
                return worker;
            },
            threads,
            [this](TMasterThread& ended) {
                ++completions;
                outOfSignal = ended.OutOfSignal;
                completedAfterMs = watch.elapsed();
            });
        ASSERT_TRUE(master);
        ASSERT_TRUE(QTest::qWaitFor([this] { return completions > 0; }, 10000));
    }

    TOperationThreads threads;
    std::shared_ptr<TMasterThread> master;
    std::weak_ptr<StandInWorker> lastWorker;
    QElapsedTimer watch;
    int completions = 0;
    bool outOfSignal = false;
    qint64 completedAfterMs = -1;
};

TEST(WatchdogWaitTest, DefaultsGetTwiceTheWatchdogTimeWithoutChangingIt)
{
    struct Case {
        std::uint8_t code;
        std::int32_t watchdog;
        std::int64_t expectedMs;
    };
    const Case cases[] = {
        {1, 3000, 3000},
        {6, 3000, 3000},
        {12, 6000, 6000},
        {5, 3000, 6000},
        {5, 6000, 12000},
        {5, std::numeric_limits<std::int32_t>::max(), std::numeric_limits<std::int32_t>::max()},
        {1, -20, 0},
    };
    for (const Case& c : cases)
        EXPECT_EQ(WatchdogWait(c.code, c.watchdog).count(), c.expectedMs)
            << "code " << int(c.code) << ", watchdog " << c.watchdog;
}

TEST(AutoResetEventTest, ASignalReleasesOneWaitAndAbandonReleasesAll)
{
    TAutoResetEvent event;
    EXPECT_EQ(event.WaitFor(0ms), TAutoResetEvent::TWaitResult::TimedOut);
    event.SetEvent();
    EXPECT_EQ(event.WaitFor(0ms), TAutoResetEvent::TWaitResult::Signaled);
    EXPECT_EQ(event.WaitFor(0ms), TAutoResetEvent::TWaitResult::TimedOut) << "reset by the wait it released";
    event.SetEvent();
    event.ResetEvent();
    EXPECT_EQ(event.WaitFor(0ms), TAutoResetEvent::TWaitResult::TimedOut);

    std::atomic<bool> released{false};
    std::thread waiter([&] {
        EXPECT_EQ(event.WaitFor(10s), TAutoResetEvent::TWaitResult::Abandoned);
        released = true;
    });
    std::this_thread::sleep_for(20ms);
    event.Abandon();
    waiter.join();
    EXPECT_TRUE(released);
    event.SetEvent();
    EXPECT_EQ(event.WaitFor(0ms), TAutoResetEvent::TWaitResult::Abandoned) << "abandoned for good";
}

TEST_F(SupervisorTest, AWorkerThatEndsInTimeEndsTheOperationQuietlyEvenByAnError)
{
    form->Bus().SetWatchdogTime(2000);
    const StandInWorker::TBody bodies[] = {[](StandInWorker&) {},
                                           [](StandInWorker&) { throw EWorkerLookup("no record"); }};
    for (const auto& body : bodies) {
        completions = 0;
        Supervise(1, body);
        EXPECT_FALSE(outOfSignal);
        EXPECT_LT(completedAfterMs, 1000);
        QTest::qWait(50);
        EXPECT_EQ(completions, 1);
        EXPECT_TRUE(lastWorker.expired()) << "the ended worker is freed";
    }
}

TEST_F(SupervisorTest, ExpiryStopsTheWorkerAndIsReported)
{
    struct Case {
        std::uint8_t code;
        bool reported;
    };
    for (const Case c : {Case{1, true}, Case{12, false}}) {
        completions = 0;
        form->Bus().SetWatchdogTime(150);
        Supervise(c.code, UntilStopped);
        EXPECT_EQ(outOfSignal, c.reported) << "code " << int(c.code);
        EXPECT_GE(completedAfterMs, 150);
        EXPECT_LT(completedAfterMs, 1000);
        EXPECT_TRUE(QTest::qWaitFor([this] { return lastWorker.expired(); }, 1000))
            << "the worker heard the stop and ended";
    }
}

TEST_F(SupervisorTest, DefaultsOperationWaitsTwiceTheWatchdogTimeEveryTime)
{
    form->Bus().SetWatchdogTime(150);
    for (int run = 0; run < 2; ++run) {
        completions = 0;
        Supervise(5, UntilStopped);
        EXPECT_TRUE(outOfSignal);
        EXPECT_GE(completedAfterMs, 300) << "run " << run;
        EXPECT_LT(completedAfterMs, 600) << "run " << run << ": the doubling must not pile up";
        EXPECT_EQ(WatchdogTime.load(), 150);
    }
    completions = 0;
    Supervise(1, UntilStopped);
    EXPECT_GE(completedAfterMs, 150);
    EXPECT_LT(completedAfterMs, 300) << "the next operation waits the plain watchdog time";
}

TEST_F(SupervisorTest, ARequestTakenAfterTheStopDoesNotCount)
{
    // The worker is held inside its request while the watchdog stops it and the window frees
    // the token; the request then succeeds on that token.
    ASSERT_TRUE(CreateSearchDevice("1A"));
    SetSelectedAddressText(QStringLiteral("26"));
    for (const bool stopped : {true, false}) {
        std::atomic<bool> inRequest{false};
        std::atomic<bool> resume{false};
        std::atomic<int> sent{-1};
        const auto worker = std::make_shared<StandInWorker>(threads, [&](StandInWorker& self) {
            sent = self.SendLoop([&](TDevice&) {
                inRequest = true;
                while (!resume)
                    std::this_thread::sleep_for(1ms);
                return true;
            });
        });
        ASSERT_TRUE(worker->Start());
        ASSERT_TRUE(QTest::qWaitFor([&] { return inRequest.load(); }, 2000));
        if (stopped)
            worker->Terminate();
        resume = true;
        ASSERT_TRUE(QTest::qWaitFor([&] { return sent.load() >= 0; }, 2000));
        EXPECT_EQ(sent.load(), stopped ? 0 : 1) << (stopped ? "stopped" : "running");
    }
    ClearDevices();
    SetSelectedAddressText(QString());
}

TEST_F(SupervisorTest, ShutdownReleasesAWorkerWaitingForTheMainThread)
{
    form->Bus().SetWatchdogTime(10000);
    std::atomic<bool> waiting{false};
    std::atomic<bool> callRan{false};
    std::atomic<bool> refused{false};
    const auto supervisor = TMasterThread::Create(
        1,
        [&](std::uint8_t) {
            return std::make_shared<StandInWorker>(threads, [&](StandInWorker& worker) {
                waiting = true;
                try {
                    worker.Synchronize([&] { callRan = true; });
                } catch (const EOperationsClosing&) {
                    refused = true;
                }
            });
        },
        threads, [&](TMasterThread&) { ++completions; });
    ASSERT_TRUE(supervisor);
    // The main thread serves no events: the worker's call stays queued, as when the window is
    // being destroyed.
    while (!waiting)
        std::this_thread::sleep_for(1ms);
    std::this_thread::sleep_for(20ms);
    QElapsedTimer shutdown;
    shutdown.start();
    threads.Shutdown();
    EXPECT_LT(shutdown.elapsed(), 1000);
    EXPECT_TRUE(refused);
    EXPECT_FALSE(callRan);
    QTest::qWait(20);
    EXPECT_EQ(completions, 0) << "no end notification once closing";
    EXPECT_FALSE(TMasterThread::Create(
        1, [](std::uint8_t) { return nullptr; }, threads, [](TMasterThread&) {}))
        << "nothing starts after shutdown";
}

} // namespace
