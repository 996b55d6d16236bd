#include "LinkFixture.h"
#include "protocol/DeviceUnit.h"
#include "protocol/MainThread.h"
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QThread>
#include <atomic>
#include <gtest/gtest.h>
#include <stdexcept>
#include <thread>

namespace {
class MainThreadCall : public LinkFixture {
  protected:
    // Runs body on a worker thread while the main thread keeps its event loop turning.
    template <typename Body> void OnWorker(Body body)
    {
        std::atomic<bool> finished{false};
        std::thread worker([&] {
            body();
            finished = true;
        });
        QElapsedTimer timer;
        timer.start();
        while (!finished.load() && timer.elapsed() < 5000)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        worker.join();
        ASSERT_TRUE(finished.load());
    }
};
} // namespace

TEST_F(MainThreadCall, RunsOnTheMainThreadAndWaits)
{
    QThread* const mainThread = QCoreApplication::instance()->thread();
    QThread* ranOn = nullptr;
    bool doneBeforeReturn = false;
    OnWorker([&] {
        int value = 0;
        RunOnMainThread([&] {
            QThread::msleep(20);
            ranOn = QThread::currentThread();
            value = 42;
        });
        doneBeforeReturn = value == 42;
    });
    EXPECT_EQ(ranOn, mainThread);
    EXPECT_TRUE(doneBeforeReturn);

    ranOn = nullptr;
    RunOnMainThread([&] { ranOn = QThread::currentThread(); });
    EXPECT_EQ(ranOn, mainThread);
}

TEST_F(MainThreadCall, ErrorsReachTheCaller)
{
    bool caught = false;
    OnWorker([&] {
        try {
            RunOnMainThread([] { throw std::runtime_error("from the main thread"); });
        } catch (const std::runtime_error&) {
            caught = true;
        }
    });
    EXPECT_TRUE(caught);
}

TEST_F(MainThreadCall, BlockReadFromAWorkerEmptiesTheBufferOnTheMainThread)
{
    ProtocolMode = 1;
    ReceiveBuffer = "left from the last reply";
    TDevice device("1A");
    bool sent = false;
    OnWorker([&] { sent = device.ReadAllParam_modbus(); });
    EXPECT_TRUE(sent);
    EXPECT_TRUE(ReceiveBuffer.isEmpty());
    EXPECT_EQ(Writes(), QList<QByteArray>{Hex("1A 03 00 10 00 13 06 29")});
}
