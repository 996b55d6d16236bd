#include "FormFixture.h"
#include "protocol/DeviceList.h"
#include "protocol/DeviceUnit.h"
#include "bus/SensorBus.h"
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
    ClearDevices();
    CreateSearchDevice("01");
    CreateSearchDevice("02");
    form->AddAddressItem(QStringLiteral("1"));
    form->AddAddressItem(QStringLiteral("2"));
    form->ComboBox1->setCurrentIndex(0);

    TCommPortDriver& driver = *form->CommPortDriver1;
    driver.setComPort(path);
    ASSERT_TRUE(form->SetComPortSpeed(115200));
    ASSERT_TRUE(driver.Connect());

    ReceiveBuffer.clear();
    ASSERT_TRUE(driver.SendString("#02OF\r"));
    QTest::qWait(300);
    EXPECT_TRUE(form->StatusText(0).isEmpty()) << "a sensor at 9600 must not answer at 115200";

    ASSERT_TRUE(driver.SendString("#01ON\r"));
    EXPECT_TRUE(QTest::qWaitFor([&] { return form->StatusText(0) == "  Датчик включён"; }, 3000));

    ASSERT_TRUE(form->SetComPortSpeed(9600));
    ASSERT_TRUE(driver.SendString("#02OF\r"));
    EXPECT_TRUE(QTest::qWaitFor([&] { return form->StatusText(0) == "  Датчик выключен"; }, 3000));
    driver.Disconnect();
    ClearDevices();
}

} // namespace
