// What the bus sends while the program does not read waits for it, as in a real port's driver.
#include "SimBusFixture.h"

#include <QRegularExpression>

#include <chrono>
#include <thread>

namespace {

TEST_F(SimBusTest, AStreamWaitsForAProgramThatIsSlowToRead)
{
    bus.setMeasurement(sensorA, SimMeasureMode::Counter, 0);
    bus.setRegister(sensorA, SimReg::PeriodLo, 1); // T = 0.1 ms: as fast as the line carries
    bus.setRegister(sensorA, SimReg::ConstantLo, 1);
    ASSERT_TRUE(port->write("#1AST\r"));
    // About 29 KB go out meanwhile: more than a pseudo-terminal holds, less than a port keeps.
    std::this_thread::sleep_for(std::chrono::milliseconds(2500));
    ASSERT_TRUE(port->write("tkwrnoza#1ASB\r"));
    const QByteArray streamed = port->readUntilContains("!1ASB\r", 3000);
    ASSERT_TRUE(streamed.endsWith("!1ASB\r")) << streamed.right(40).toStdString();

    static const QRegularExpression group(QStringLiteral("!(\\d{5})\\r"));
    int expected = 0;
    for (auto it = group.globalMatch(QString::fromLatin1(streamed)); it.hasNext(); ++expected)
        ASSERT_EQ(it.next().captured(1).toInt(), expected) << "a sample was lost";
    EXPECT_GT(expected, 3000);
    EXPECT_EQ(static_cast<std::uint64_t>(expected), bus.status(sensorA).samplesSent);
}

} // namespace
