#include "SearchFixture.h"
#include "bus/SensorBus.h"
#include "protocol/DeviceList.h"
#include "widgets/RadioGroup.h"
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <QTreeWidget>

void SearchBusTest::StartBus(std::initializer_list<SimSensorConfig> sensors)
{
    savedLocale_ = QLocale();
    // Distances are shown with the locale's decimal separator.
    QLocale::setDefault(QLocale(QLocale::Russian, QLocale::Russia));
    for (const SimSensorConfig& config : sensors) {
        QString error;
        ASSERT_GE(bus.addSensor(config, &error), 0) << error.toStdString();
    }
    QString error;
    ASSERT_TRUE(bus.start(&error)) << error.toStdString();
    form = std::make_unique<TForm1>(nullptr, SettingsPaths{work.path(), program.path()});
    form->CreateSplash();
    form->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(form.get()));
    form->ComboBox2->setCurrentText(bus.slavePath());
}

SimSensorConfig SearchBusTest::Sensor(int address, int speed, const char* model, std::int32_t serial)
{
    SimSensorConfig config;
    config.address = address;
    config.speed = speed;
    config.model = model;
    config.serial = serial;
    config.distance = 150.0;
    config.range = 50.0;
    return config;
}

void SearchBusTest::TearDown()
{
    form.reset();
    bus.stop();
    QLocale::setDefault(savedLocale_);
}

void SearchBusTest::SetSearchParameters(const QString& delay, const QString& range)
{
    form->TabSheet1->Edit1->setText(delay);
    form->TabSheet1->Edit2->setText(range);
}

void SearchBusTest::SelectModbus()
{
    form->RadioGroup_protocol_obm->Button(1)->click();
    ASSERT_EQ(form->Bus().Protocol(), TProtocol::Modbus);
}

bool SearchBusTest::RunSearch(int ms)
{
    form->TabSheet1->Button5->click();
    return WaitIdle(ms);
}

bool SearchBusTest::WaitIdle(int ms) const
{
    return QTest::qWaitFor([this] { return !form->Bus().Busy(); }, ms);
}

QStringList SearchBusTest::AddressItems() const
{
    QStringList items;
    for (int i = 0; i < form->ComboBox1->count(); ++i)
        items << form->ComboBox1->itemText(i);
    return items;
}

QStringList SearchBusTest::ListColumn(int column) const
{
    QStringList texts;
    for (int row = 0; row < form->TabSheet1->ListView1->topLevelItemCount(); ++row)
        texts << form->TabSheet1->ListView1->topLevelItem(row)->text(column);
    return texts;
}
