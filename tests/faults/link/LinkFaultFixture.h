#pragma once
// The window over the simulated bus reached through a fixed path, as a USB adapter is reached
// through /dev/ttyUSB0: an adapter unplugged and plugged in again comes back under the same name.
// An operation meant to meet a fault runs under the short watchdog FaultWatchdogMs; ExpectUsable,
// which every case calls once the fault is over, puts back the usual 3 s.
#include "ParamsFixture.h"
#include <QString>

class TStreamChart;

class LinkFaultTest : public ParamsBusTest {
  protected:
    static constexpr int FaultWatchdogMs = 1500;
    void SetUp() override;

    // The launcher free and the pages, the address box and the protocol choice usable, with the
    // address box, the record and the sensor agreeing on the address (sensor 1A unless told).
    void ExpectUsable(const QString& box = QStringLiteral("26"), const QByteArray& adressStr = "1A",
                      int busAddress = 0x1A);
    // Reads the last result as the user does; true when a new latch row shows the sensor's
    // 125,00 mm and the status says it was read.
    bool ReadLastResult();
    // Sends bytes continuously from a thread of its own while `during` runs.
    template <class F> void WithNoise(const QByteArray& noise, int everyMs, F&& during);

    static QString U(const char* utf8) { return QString::fromUtf8(utf8); }
    static const QString TimeoutText;
    QString portPath;
};

// The same cases in the standard protocol and in Modbus RTU.
class ProtocolFaultTest : public LinkFaultTest, public ::testing::WithParamInterface<bool> {
  protected:
    void SetUp() override;
    bool Modbus() const { return GetParam(); }
};

// The stream page over the fixture's sensor streaming a result every millisecond, each the next
// value of a counter from FirstCount.
class StreamFaultTest : public LinkFaultTest {
  protected:
    static constexpr int FirstCount = 1000;
    void SetUp() override;
    TStreamChart& Chart();
    // Starts the stream and waits for its first points.
    void Start();
    // Stops the stream and waits for the page to report it stopped.
    void Stop();
    // Every point of the chart is a value the sensor sent, in the order it sent them.
    void ExpectOnlySentValuesInOrder();
    // The sensor's results are the fixture's fixed 125 mm again.
    void BackToTheFixedResult();
};

std::string ProtocolName(const ::testing::TestParamInfo<bool>& info);

#include <atomic>
#include <thread>

template <class F> void LinkFaultTest::WithNoise(const QByteArray& noise, int everyMs, F&& during)
{
    std::atomic<bool> stop{false};
    std::thread noiseThread([&] {
        while (!stop.load()) {
            bus.injectLine(noise);
            std::this_thread::sleep_for(std::chrono::milliseconds(everyMs));
        }
    });
    struct Joiner {
        std::atomic<bool>& stop;
        std::thread& thread;
        ~Joiner()
        {
            stop = true;
            thread.join();
        }
    } joiner{stop, noiseThread};
    during();
}
