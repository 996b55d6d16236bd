// Noise on the line and bytes nobody asked for: before, inside and between replies, frames with a
// wrong CRC, replies from addresses no record has, and a stream drowned in malformed groups. No
// wrong value may reach the window, and once the line is clean the next operation works.
#include "LinkFaultFixture.h"
#include "bus/SensorBus.h"
#include "pages/StreamChart.h"
#include "protocol/ReceiveFraming.h"
#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

namespace {

// Modbus RTU CRC-16, written here so that a fault in the program's own cannot hide.
QByteArray WithCrc(QByteArray frame)
{
    std::uint16_t crc = 0xFFFF;
    for (const char byte : frame) {
        crc ^= static_cast<std::uint8_t>(byte);
        for (int bit = 0; bit < 8; ++bit)
            crc = (crc & 1) ? static_cast<std::uint16_t>((crc >> 1) ^ 0xA001)
                            : static_cast<std::uint16_t>(crc >> 1);
    }
    frame.append(static_cast<char>(crc & 0xFF));
    frame.append(static_cast<char>(crc >> 8));
    return frame;
}

// Bytes that hold no reply start, no CR and no digit: nothing of them can pass for a value.
const QByteArray StandardNoise("\x05zz?\x7f\xff\x01~", 8);
const QByteArray ModbusNoise("\x55\xAA\x00\xFF\x13\x37\x01", 7);

class LineNoiseTest : public ProtocolFaultTest {
  protected:
    QByteArray Noise() const { return Modbus() ? ModbusNoise : StandardNoise; }
    // A complete, well-formed reply of a sensor at 0x55, of which there is no record.
    QByteArray ForeignReply() const
    {
        return Modbus() ? WithCrc(QByteArray::fromHex("55030230D4")) : QByteArray("!55LR12345\r");
    }
};

// Glued to the front of every reply. The standard protocol drops what comes before the "!";
// a Modbus frame with bytes before it fails its CRC and is lost, so the operation times out.
TEST_P(LineNoiseTest, NoiseBeforeEveryReply)
{
    SimFaults faults;
    faults.garbage = Noise();
    bus.setFaults(sensor, faults);
    ModalCloser closer(form.get());
    if (!Modbus()) {
        ASSERT_TRUE(Read());
        EXPECT_EQ(Cell(ParamRow::Address), QStringLiteral("26"));
        EXPECT_EQ(Cell(ParamRow::MiddlePoint), QStringLiteral("8"));
        EXPECT_TRUE(ReadLastResult());
        EXPECT_TRUE(closer.seen().empty());
    } else {
        form->Bus().SetWatchdogTime(FaultWatchdogMs);
        form->TabSheet3->Button11->click();
        ASSERT_TRUE(WaitFor([&] { return !closer.seen().empty(); }, 5000));
        EXPECT_EQ(closer.seen()[0].text, TimeoutText);
        EXPECT_EQ(form->TabSheet3->CountRowTable, 0) << "no row from a frame that failed its CRC";
    }
    ExpectUsable();
    bus.setFaults(sensor, SimFaults{});
    EXPECT_TRUE(ReadLastResult());
}

// Inside a reply, in the pause between its first three bytes and the rest. The broken standard
// reply is not the one awaited and the Modbus frame fails its CRC: either way the operation times
// out, and neither leaves a row.
TEST_P(LineNoiseTest, NoiseInsideAReplyShowsNoValue)
{
    SimFaults faults;
    faults.splitAt = 3;
    faults.splitGapMs = 400;
    bus.setFaults(sensor, faults);
    ModalCloser closer(form.get());
    form->Bus().SetWatchdogTime(FaultWatchdogMs);
    form->TabSheet3->Button11->click();
    ASSERT_TRUE(WaitFor([&] { return !Heard().empty(); }));
    QTest::qWait(150);
    bus.injectLine(Noise());
    ASSERT_TRUE(WaitIdle(5000));
    ASSERT_EQ(closer.seen().size(), 1u);
    EXPECT_EQ(closer.seen()[0].text, TimeoutText);
    EXPECT_EQ(form->TabSheet3->CountRowTable, 0) << "no row from a broken reply";
    ExpectUsable();
    bus.setFaults(sensor, SimFaults{});
    EXPECT_TRUE(ReadLastResult());
    EXPECT_EQ(closer.seen().size(), 1u);
}

// Bursts while nothing is asked; the next operations find a clean start.
TEST_P(LineNoiseTest, NoiseBurstsBetweenOperations)
{
    ModalCloser closer(form.get());
    const QByteArray bursts[] = {Noise(), Noise() + "\r!\r%%\r", QByteArray(300, '\xff'), Noise()};
    for (const QByteArray& burst : bursts) {
        bus.injectLine(burst);
        QTest::qWait(80);
        EXPECT_TRUE(ReadLastResult()) << burst.toHex().constData();
    }
    ASSERT_TRUE(Read());
    EXPECT_EQ(Cell(ParamRow::Address), QStringLiteral("26"));
    EXPECT_TRUE(closer.seen().empty());
    ExpectUsable();
}

// A complete reply of an address no record has arrives while the real one is awaited.
TEST_P(LineNoiseTest, AReplyFromAnUnknownAddressIsIgnoredAndTheRealOneTaken)
{
    SimFaults faults;
    faults.replyDelayMs = 250;
    bus.setFaults(sensor, faults);
    ModalCloser closer(form.get());
    form->TabSheet3->Button11->click();
    ASSERT_TRUE(WaitFor([&] { return !Heard().empty(); }));
    QTest::qWait(60);
    bus.injectLine(ForeignReply());
    ASSERT_TRUE(WaitFor([&] { return form->TabSheet3->CountRowTable == 1; }, 3000))
        << (closer.seen().empty() ? std::string() : closer.seen()[0].text.toStdString());
    EXPECT_EQ(LatchCell(1, 5), QStringLiteral("               125,00"));
    EXPECT_EQ(LatchCell(1, 1), QStringLiteral("    26"));
    EXPECT_TRUE(closer.seen().empty());
    ExpectUsable();
    EXPECT_TRUE(ReadLastResult());
}

INSTANTIATE_TEST_SUITE_P(Protocols, LineNoiseTest, ::testing::Values(false, true), ProtocolName);

// Every Modbus reply with a wrong CRC: nothing is decoded, the operation times out, and the
// frame timeout that the broken frame started does not spoil the next operation.
TEST_F(LinkFaultTest, ModbusRepliesWithAWrongCrcAreNeverTaken)
{
    SelectModbus();
    SimFaults faults;
    faults.badCrc = true;
    bus.setFaults(sensor, faults);
    ModalCloser closer(form.get());
    form->Bus().SetWatchdogTime(FaultWatchdogMs);
    form->TabSheet5->Button1->click();
    ASSERT_TRUE(WaitFor([&] { return !closer.seen().empty(); }, 5000));
    EXPECT_EQ(closer.seen()[0].text, TimeoutText);
    ExpectUsable();
    EXPECT_TRUE(form->Bus().FrameTimeoutRunning()) << "the broken frame's timeout still runs";

    bus.setFaults(sensor, SimFaults{});
    EXPECT_TRUE(ReadLastResult());
    EXPECT_FALSE(form->Bus().FrameTimeoutRunning()) << "a whole frame ends the timeout";
    ASSERT_TRUE(Read());
    EXPECT_EQ(Cell(ParamRow::Address), QStringLiteral("26"));
    EXPECT_EQ(closer.seen().size(), 1u);
}

// Malformed groups poured into a running stream that is being recorded: the page keeps running,
// the chart and Thread.txt hold only values the sensor sent, and the receive buffer stays bounded.
TEST_F(StreamFaultTest, AFloodOfMalformedGroupsLeavesOnlyValidSamples)
{
    form->TabSheet2->LabeledEdit_RecordThrd->setText(QStringLiteral("1"));
    ModalCloser closer(form.get());
    Start();
    form->TabSheet2->CheckBox_RecordThrd->click();
    ASSERT_TRUE(form->TabSheet2->CheckBox_RecordThrd->isChecked());
    const QByteArray flood =
        QByteArray("!abcdz\r!\r!!!!!!!!N?x\r~~?\x7f!zzzzz") + QByteArray(500, '!') + "\r";
    qsizetype largestBuffer = 0;
    int before = 0;
    WithNoise(flood, 2, [&] {
        QTest::qWait(100);
        before = Chart().Count();
        QElapsedTimer clock;
        clock.start();
        while (clock.elapsed() < 1500) {
            QTest::qWait(5);
            largestBuffer = std::max(largestBuffer, form->Bus().ReceivePath().Buffer().size());
        }
    });
    EXPECT_TRUE(form->Bus().StreamRunning());
    EXPECT_GT(Chart().Count(), before) << "samples still reach the chart through the flood";
    EXPECT_LE(largestBuffer, MaxStandardReceiveBytes);
    const int afterFlood = Chart().Count();
    ASSERT_TRUE(WaitFor([&] { return Chart().Count() > afterFlood + 50; }));
    form->TabSheet2->CheckBox_RecordThrd->click();
    Stop();
    ExpectOnlySentValuesInOrder();

    QFile file(QDir(program.path()).filePath(QStringLiteral("Thread.txt")));
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QList<QByteArray> lines = file.readAll().split('\n');
    int recorded = 0;
    double last = 0;
    for (QByteArray line : lines) {
        line = line.trimmed();
        if (line.isEmpty())
            continue;
        bool ok = false;
        const double value = QByteArray(line).replace(',', '.').toDouble(&ok);
        ASSERT_TRUE(ok) << line.constData();
        const double count = value * 200.0;
        ASSERT_NEAR(count, std::round(count), 1e-6) << line.constData();
        ASSERT_GT(value, last) << line.constData();
        last = value;
        ++recorded;
    }
    EXPECT_GT(recorded, 100);
    EXPECT_TRUE(closer.seen().empty());
    BackToTheFixedResult();
    ExpectUsable();
    EXPECT_TRUE(ReadLastResult());
}

} // namespace
