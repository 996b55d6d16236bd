// The adapter unplugged in the middle of an operation and of a running stream, and plugged in
// again: the program names the lost port, gives the controls back, and the next operation the
// user starts opens the port again.
#include "LinkFaultFixture.h"
#include "bus/SensorBus.h"
#include "pages/StreamChart.h"
#include "serial/TCommPortDriver.h"
#include <QCheckBox>
#include <QLabel>
#include <QPushButton>
#include <QTabWidget>

namespace {

QString PortLostText(const QString& path)
{
    return QStringLiteral("Нет связи с портом %1. Проверьте подключение и повторите операцию.").arg(path);
}

class PortLossTest : public ProtocolFaultTest {};

TEST_P(PortLossTest, APortLostDuringAParameterReadIsNamedAndTheNextOperationReopensIt)
{
    SimFaults slow;
    slow.replyDelayMs = 150;
    bus.setFaults(sensor, slow);
    ModalCloser closer(form.get());
    form->Bus().SetWatchdogTime(FaultWatchdogMs);
    form->TabSheet5->Button1->click();
    ASSERT_TRUE(WaitFor([&] { return !Heard().empty(); }));
    bus.vanish();

    ASSERT_TRUE(WaitFor([&] { return !closer.seen().empty(); }, 5000));
    EXPECT_EQ(closer.seen()[0].text, PortLostText(portPath));
    EXPECT_EQ(closer.seen()[0].caption, QStringLiteral("Veltrano"));
    EXPECT_TRUE(form->CommPortDriver1->PortLost());
    ExpectUsable();
    EXPECT_NE(form->StatusText(1), U("Чтение параметров завершено"));
    EXPECT_FALSE(form->TabSheet5->ParamsLoaded.at(0));

    // Still unplugged: the next operation tries the port, cannot open it and says so again.
    form->Bus().SetWatchdogTime(FaultWatchdogMs);
    form->TabSheet3->Button11->click();
    ASSERT_TRUE(WaitFor([&] { return closer.seen().size() == 2; }, 5000));
    EXPECT_EQ(closer.seen()[1].text, PortLostText(portPath));
    EXPECT_FALSE(form->CommPortDriver1->Connected());
    ExpectUsable();
    EXPECT_EQ(form->TabSheet3->CountRowTable, 0) << "nothing was read";

    // Plugged in again: the next operation reopens the port at the sensor's speed.
    QString error;
    ASSERT_TRUE(bus.reappear(&error)) << error.toStdString();
    bus.setFaults(sensor, SimFaults{});
    EXPECT_TRUE(ReadLastResult());
    EXPECT_TRUE(form->CommPortDriver1->Connected());
    EXPECT_FALSE(form->CommPortDriver1->PortLost());
    EXPECT_EQ(bus.lineSpeed(), LineSpeed);
    ASSERT_TRUE(Read());
    EXPECT_EQ(Cell(ParamRow::Address), QStringLiteral("26"));
    EXPECT_EQ(Cell(ParamRow::Uart), U("115200 бод"));
    EXPECT_EQ(closer.seen().size(), 2u);
    ExpectUsable();
}

INSTANTIATE_TEST_SUITE_P(Protocols, PortLossTest, ::testing::Values(false, true), ProtocolName);

TEST_F(StreamFaultTest, APortLostMidStreamFreezesTheChartAndTheStopAfterItsReturnReopensIt)
{
    ModalCloser closer(form.get());
    Start();
    bus.vanish();
    QTest::qWait(200);
    const int frozen = Chart().Count();
    QTest::qWait(300);
    EXPECT_EQ(Chart().Count(), frozen) << "nothing arrives while the port is gone";
    EXPECT_TRUE(form->Bus().StreamRunning()) << "the page still shows a running stream";
    EXPECT_FALSE(form->TabSheet2->Button7->isHidden());
    EXPECT_TRUE(form->TabSheet2->Button7->isEnabled());

    QString error;
    ASSERT_TRUE(bus.reappear(&error)) << error.toStdString();
    Stop();
    EXPECT_TRUE(closer.seen().empty()) << closer.seen()[0].text.toStdString();
    ExpectOnlySentValuesInOrder();
    BackToTheFixedResult();
    ExpectUsable();
    EXPECT_TRUE(ReadLastResult());
}

TEST_F(StreamFaultTest, AStopWhileThePortIsGoneTimesOutAndAStartAndStopAfterItsReturnEndTheStream)
{
    ModalCloser closer(form.get());
    Start();
    bus.vanish();
    form->Bus().SetWatchdogTime(FaultWatchdogMs);
    form->TabSheet2->Button7->click();
    ASSERT_TRUE(WaitFor([&] { return !closer.seen().empty(); }, 5000));
    EXPECT_EQ(closer.seen()[0].text, PortLostText(portPath));
    ASSERT_TRUE(WaitIdle());
    EXPECT_TRUE(form->StatusText(1).isEmpty()) << "the timeout clears the panels";
    EXPECT_TRUE(form->TabSheet2->Button6->isEnabled());
    EXPECT_FALSE(form->TabSheet2->CheckBox_RecordThrd->isEnabled());
    ExpectUsable();
    ExpectOnlySentValuesInOrder();

    // The sensor never heard the stop: once the port is back it still streams, and the user
    // starts and stops the stream again to end it.
    QString error;
    ASSERT_TRUE(bus.reappear(&error)) << error.toStdString();
    EXPECT_TRUE(bus.status(sensor).streaming);
    Start();
    Stop();
    EXPECT_EQ(closer.seen().size(), 1u);
    BackToTheFixedResult();
    ExpectUsable();
    EXPECT_TRUE(ReadLastResult());
}

} // namespace
