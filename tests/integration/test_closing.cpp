#include "BusFormFixture.h"
#include "bus/SensorBus.h"
#include "serial/TCommPortDriver.h"
#include <QPushButton>
#include <QTabWidget>
#include <thread>

namespace {
using namespace std::chrono_literals;

// Destroys the window; returns how long it took.
qint64 CloseWindow(std::unique_ptr<TForm1>& form)
{
    QElapsedTimer clock;
    clock.start();
    form->close();
    form.reset();
    return clock.elapsed();
}

TEST_F(BusFormTest, ClosingDuringAnUnansweredOperationNeitherHangsNorCrashes)
{
    SimFaults faults;
    faults.noAnswer = true;
    bus.setFaults(sensor, faults);
    form->TabSheet1->Button3->click();
    ASSERT_TRUE(WaitFor([&] { return !Heard().empty(); }));
    EXPECT_TRUE(form->Bus().Busy());
    EXPECT_LT(CloseWindow(form), 1000);
}

TEST_F(BusFormTest, ClosingWhileAStreamFloodsTheLineNeitherHangsNorCrashes)
{
    // A result every millisecond: the line runs nearly full.
    bus.setRegister(sensor, 0x0A, 1);
    ASSERT_TRUE(form->CommPortDriver1->SendString("#1AST\r"));
    ASSERT_TRUE(WaitFor([&] { return bus.status(sensor).samplesSent > 300; }));
    form->TabSheet3->Button11->click();
    QTest::qWait(50);
    EXPECT_LT(CloseWindow(form), 1000);
}

TEST_F(BusFormTest, ClosingWithTheOperationsEndQueuedNeitherHangsNorCrashes)
{
    // The echo is handed to the bus directly, and the main thread then serves no more events:
    // the operation's end stays queued while the window goes.
    SimFaults faults;
    faults.noAnswer = true;
    bus.setFaults(sensor, faults);
    form->TabSheet5->Button15->click();
    ASSERT_TRUE(WaitFor([&] { return !Heard().empty(); }));
    QTest::qWait(20);
    form->Bus().Receive({"!1AFL\r", LineSpeed, std::chrono::steady_clock::now()});
    std::this_thread::sleep_for(50ms);
    EXPECT_LT(CloseWindow(form), 1000);
}

TEST_F(BusFormTest, ClosingDuringThePauseAfterAnOperationNeitherHangsNorCrashes)
{
    form->TabSheet1->Button3->click();
    ASSERT_TRUE(WaitFor([&] { return form->StatusText(0) == QStringLiteral("  Датчик включён"); }));
    // The worker's end reaches the supervisor and its end the window; the pause then runs.
    QTest::qWait(50);
    EXPECT_TRUE(form->Bus().Busy()) << "held through the pause after the operation";
    EXPECT_LT(CloseWindow(form), 1000);
    QTest::qWait(150);
}

} // namespace
