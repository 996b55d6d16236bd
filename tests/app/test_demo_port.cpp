#include "FormFixture.h"
#include "protocol/LinkState.h"
#include "serial/TCommPortDriver.h"
#include <QComboBox>
#include <QFileInfo>
#include <QTest>

namespace {

// Waits, serving events, until the received bytes hold want.
bool ReceiveBufferGets(const QByteArray& want, int timeoutMs = 3000)
{
    return QTest::qWaitFor([&] { return ReceiveBuffer.contains(want); }, timeoutMs);
}

TEST_F(FormTest, DemoPortIsListedLastAndAnswersLikeASensorBus)
{
    auto form = MakeForm();
    ASSERT_GT(form->ComboBox2->count(), 0);
    EXPECT_EQ(form->ComboBox2->itemText(form->ComboBox2->count() - 1), DemoPortName);

    const QString path = form->ChoiceCOM(DemoPortName);
    ASSERT_TRUE(QFileInfo::exists(path)) << path.toStdString();
    EXPECT_EQ(form->ChoiceCOM(DemoPortName), path) << "a running demo bus is reused";

    TCommPortDriver& driver = *form->CommPortDriver1;
    driver.setComPort(path);
    ASSERT_TRUE(form->SetComPortSpeed(115200));
    ASSERT_TRUE(driver.Connect());

    // Sensor 1 runs at 115200: it answers; sensor 2 runs at 9600 and stays silent at this speed.
    ReceiveBuffer.clear();
    ASSERT_TRUE(driver.SendString("#02ON\r#01ON\r"));
    EXPECT_TRUE(ReceiveBufferGets("!01ON\r"));
    EXPECT_FALSE(ReceiveBuffer.contains("!02"));

    ReceiveBuffer.clear();
    ASSERT_TRUE(form->SetComPortSpeed(9600));
    ASSERT_TRUE(driver.SendString("#02OF\r"));
    EXPECT_TRUE(ReceiveBufferGets("!02OF\r"));
    driver.Disconnect();
}

} // namespace
