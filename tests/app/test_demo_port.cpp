#include "FormFixture.h"
#include "bus/SensorBus.h"
#include "protocol/DeviceList.h"
#include "protocol/DeviceUnit.h"
#include "serial/TCommPortDriver.h"
#include <QComboBox>
#include <QFileInfo>
#include <QTest>

namespace {

TEST_F(FormTest, DemoPortIsListedLastAndAnswersLikeASensorBus)
{
    auto form = MakeForm();
    ASSERT_GT(form->ComboBox2->count(), 0);
    EXPECT_EQ(form->ComboBox2->itemText(form->ComboBox2->count() - 1), DemoPortName);

    const QString path = form->ChoiceCOM(DemoPortName);
    ASSERT_TRUE(QFileInfo::exists(path)) << path.toStdString();
    EXPECT_EQ(form->ChoiceCOM(DemoPortName), path) << "a running demo bus is reused";

    // The demo bus has sensor 1 at 115200 and sensor 2 at 9600.
    TSensorBus& bus = form->Bus();
    bus.Devices().Append("01", 115200);
    bus.Devices().Append("02", 9600);
    form->AddAddressItem(QStringLiteral("1"));
    form->AddAddressItem(QStringLiteral("2"));
    bus.SetWatchdogTime(500);
    TCommPortDriver& driver = *form->CommPortDriver1;
    driver.setComPort(path);
    ASSERT_TRUE(driver.Connect());

    ModalBoxCloser closer;
    form->ComboBox1->setCurrentIndex(1);
    ASSERT_EQ(form->SelectedDevice(), bus.Devices().At(1));
    ASSERT_TRUE(form->SetComPortSpeed(115200));
    ASSERT_TRUE(form->LaunchThread(TOperationCode::SwitchOff));
    ASSERT_TRUE(QTest::qWaitFor([&] { return !bus.Busy(); }, 3000));
    EXPECT_TRUE(form->StatusText(0).isEmpty()) << "a sensor at 9600 must not answer at 115200";
    EXPECT_EQ(closer.Texts(), QStringList{QStringLiteral("Превышен интервал ожидания ответа от датчика")});

    ASSERT_TRUE(form->SetComPortSpeed(9600));
    ASSERT_TRUE(form->LaunchThread(TOperationCode::SwitchOff));
    EXPECT_TRUE(QTest::qWaitFor([&] { return form->StatusText(0) == "  Датчик выключен"; }, 3000));
    ASSERT_TRUE(QTest::qWaitFor([&] { return !bus.Busy(); }, 3000));

    // Choosing sensor 1 in the address box sets its line speed.
    form->ComboBox1->setCurrentIndex(0);
    form->ComboBox1Change();
    ASSERT_TRUE(form->LaunchThread(TOperationCode::SwitchOn));
    EXPECT_TRUE(QTest::qWaitFor([&] { return form->StatusText(0) == "  Датчик включён"; }, 3000));
    EXPECT_EQ(closer.Texts().size(), 1);
    driver.Disconnect();
}

} // namespace
