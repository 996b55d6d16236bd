#include "LinkFaultFixture.h"
#include "bus/SensorBus.h"
#include "pages/StreamChart.h"
#include "protocol/DeviceUnit.h"
#include "serial/TCommPortDriver.h"
#include "sim/SimRegisters.h"
#include "widgets/RadioGroup.h"
#include <QComboBox>
#include <QDir>
#include <QPushButton>
#include <QTabWidget>
#include <QTableWidget>
#include <cmath>

const QString LinkFaultTest::TimeoutText = QStringLiteral("Превышен интервал ожидания ответа от датчика");

void LinkFaultTest::SetUp()
{
    ParamsBusTest::SetUp();
    if (HasFatalFailure())
        return;
    // The bus again, now behind a link that outlives an unplugged adapter.
    form->CommPortDriver1->Disconnect();
    bus.stop();
    portPath = QDir(work.path()).filePath(QStringLiteral("ttyVLT0"));
    QString error;
    ASSERT_TRUE(bus.start(&error, portPath)) << error.toStdString();
    form->CommPortDriver1->setComPort(portPath);
    ASSERT_TRUE(form->CommPortDriver1->Connect());
}

void LinkFaultTest::ExpectUsable(const QString& box, const QByteArray& adressStr, int busAddress)
{
    ASSERT_TRUE(WaitIdle(8000));
    form->Bus().SetWatchdogTime(3000);
    EXPECT_TRUE(form->PageControl1->isEnabled());
    for (QWidget* page : std::initializer_list<QWidget*>{form->TabSheet1, form->TabSheet2, form->TabSheet3,
                                                         form->TabSheet5}) {
        // The stream page is a standard-protocol page only.
        if (page != form->TabSheet2 || form->Bus().Protocol() == TProtocol::Standard) {
            EXPECT_TRUE(page->isEnabled()) << page->objectName().toStdString();
        }
    }
    EXPECT_TRUE(form->ComboBox1->isEnabled());
    EXPECT_TRUE(form->RadioGroup_protocol_obm->isEnabled());
    EXPECT_FALSE(form->Bus().StreamRunning());
    EXPECT_EQ(form->ComboBox1->currentText(), box);
    EXPECT_EQ(record->AdressStr.load(), adressStr);
    EXPECT_EQ(bus.status(sensor).address, busAddress);
}

bool LinkFaultTest::ReadLastResult()
{
    const int rows = form->TabSheet3->CountRowTable;
    form->SetStatusText(1, QString());
    form->TabSheet3->Button11->click();
    const bool shown = WaitFor([&] { return form->TabSheet3->CountRowTable == rows + 1; }, 3000) &&
                       WaitFor([&] { return form->StatusText(1) == U("Последний результат прочитан"); });
    EXPECT_TRUE(shown) << "panel 1: " << form->StatusText(1).toStdString();
    if (!shown)
        return false;
    EXPECT_EQ(LatchCell(rows + 1, 5), QStringLiteral("               125,00"));
    return WaitIdle(3000) && LatchCell(rows + 1, 5) == QStringLiteral("               125,00");
}

void ProtocolFaultTest::SetUp()
{
    LinkFaultTest::SetUp();
    if (HasFatalFailure())
        return;
    if (Modbus())
        SelectModbus();
}

std::string ProtocolName(const ::testing::TestParamInfo<bool>& info)
{
    return info.param ? "Modbus" : "Standard";
}

void StreamFaultTest::SetUp()
{
    LinkFaultTest::SetUp();
    if (HasFatalFailure())
        return;
    bus.setRegister(sensor, SimReg::ConstantLo, 1);
    bus.setMeasurement(sensor, SimMeasureMode::Counter, FirstCount);
    form->PageControl1->setCurrentWidget(form->TabSheet2);
}

TStreamChart& StreamFaultTest::Chart()
{
    return form->TabSheet2->StreamChart();
}

void StreamFaultTest::Start()
{
    form->TabSheet2->Button6->click();
    ASSERT_TRUE(WaitFor([&] { return form->StatusText(1) == U("Поток запущен"); }));
    ASSERT_TRUE(WaitIdle());
    ASSERT_TRUE(WaitFor([&] { return Chart().Count() > 50; }));
}

void StreamFaultTest::Stop()
{
    form->TabSheet2->Button7->click();
    ASSERT_TRUE(WaitFor([&] { return form->StatusText(1) == U("Поток остановлен"); }, 8000));
    ASSERT_TRUE(WaitIdle());
    EXPECT_FALSE(bus.status(sensor).streaming);
}

void StreamFaultTest::ExpectOnlySentValuesInOrder()
{
    double last = 0;
    for (int k = 0; k < Chart().Count(); ++k) {
        const std::optional<double> height = Chart().HeightAt(Chart().XAt(k));
        ASSERT_TRUE(height.has_value()) << k;
        const double count = *height * 200.0;
        ASSERT_NEAR(count, std::round(count), 1e-6) << k;
        ASSERT_GE(count, FirstCount) << k;
        ASSERT_GT(*height, last) << k;
        last = *height;
    }
}

void StreamFaultTest::BackToTheFixedResult()
{
    bus.setMeasurement(sensor, SimMeasureMode::Fixed, 25000);
}
