#include "BusFormFixture.h"
#include "bus/SensorBus.h"
#include "pages/StreamChart.h"
#include "protocol/DeviceList.h"
#include "protocol/DeviceUnit.h"
#include "serial/TCommPortDriver.h"
#include "sim/SimRegisters.h"
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QPushButton>
#include <QTabWidget>

namespace {
constexpr int FastSpeed = 921600;
constexpr int Interval = 7;
// The counter of a result stream wraps at the full scale of a result.
constexpr int Wrap = 50000;

// Ten seconds at the fastest line speed with a result every 0.1 ms: the line, not the program,
// limits the rate. A range of 50000 mm makes every value its raw count.
TEST_F(BusFormTest, TenSecondsAtTheFastestSpeedLoseAndDoubleNothing)
{
    SimSensorConfig config;
    config.address = 0x2B;
    config.speed = FastSpeed;
    config.range = 50000;
    config.mode = SimMeasureMode::Counter;
    config.value = 0;
    const int fast = bus.addSensor(config);
    ASSERT_GE(fast, 0);
    bus.setRegister(fast, SimReg::PeriodLo, 1);
    bus.setRegister(fast, SimReg::ConstantLo, 1);
    TDevice* const device = form->Bus().Devices().Append("2B", FastSpeed);
    ASSERT_NE(device, nullptr);
    device->ID_D = config.range;
    form->TabSheet5->ParamsLoaded.assign(2, false);
    form->AddAddressItem(QStringLiteral("43"));
    form->ComboBox1->setCurrentIndex(form->ComboBox1->findText(QStringLiteral("43")));
    ASSERT_EQ(form->SelectedDevice(), device);
    ASSERT_TRUE(form->SetComPortSpeed(FastSpeed));
    form->PageControl1->setCurrentWidget(form->TabSheet2);
    form->TabSheet2->LabeledEdit_RecordThrd->setText(QString::number(Interval));

    form->TabSheet2->Button6->click();
    ASSERT_TRUE(WaitFor([&] { return form->StatusText(1) == QStringLiteral("Поток запущен"); }));
    form->TabSheet2->CheckBox_RecordThrd->click();
    QTest::qWait(10000);
    form->TabSheet2->Button7->click();
    ASSERT_TRUE(WaitFor([&] { return form->StatusText(1) == QStringLiteral("Поток остановлен"); }, 8000));

    const TStreamChart& chart = form->TabSheet2->StreamChart();
    const std::uint64_t sent = bus.status(fast).samplesSent;
    EXPECT_GT(sent, 100000u);
    ASSERT_EQ(static_cast<std::uint64_t>(chart.Count()), sent);
    for (int k = 0; k < chart.Count(); ++k)
        ASSERT_EQ(*chart.HeightAt(k), k % Wrap) << "sample " << k;

    QFile file(QDir(program.path()).filePath(QStringLiteral("Thread.txt")));
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QList<QByteArray> lines = file.readAll().split('\n');
    ASSERT_GT(lines.size(), 10000);
    bool ok = false;
    int previous = lines[0].trimmed().toInt(&ok);
    ASSERT_TRUE(ok);
    for (qsizetype i = 1; i + 1 < lines.size(); ++i) {
        const int value = lines[i].trimmed().toInt(&ok);
        ASSERT_TRUE(ok) << lines[i].toStdString();
        ASSERT_EQ(value, (previous + Interval) % Wrap) << "line " << i;
        previous = value;
    }
}
} // namespace
