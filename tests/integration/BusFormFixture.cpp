#include "BusFormFixture.h"
#include "bus/SensorBus.h"
#include "protocol/DeviceList.h"
#include "protocol/DeviceUnit.h"
#include "serial/TCommPortDriver.h"
#include "widgets/RadioGroup.h"
#include <QAbstractButton>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QMessageBox>
#include <QRadioButton>
#include <QSignalBlocker>
#include <QTabWidget>
#include <QTableWidget>

ModalCloser::ModalCloser(const TForm1* form) : form_(form)
{
    clock_.start();
    QObject::connect(&timer_, &QTimer::timeout, [this] { Poll(); });
    timer_.start(10);
}

void ModalCloser::Poll()
{
    auto* const box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
    if (!box || !box->isVisible())
        return;
    seen_.push_back(
        {box->text(), box->windowTitle(), clock_.elapsed(), form_ ? form_->StatusText(0) : QString()});
    if (QAbstractButton* const ok = box->button(QMessageBox::Ok))
        ok->click();
    else
        box->reject();
}

void BusFormTest::SetUp()
{
    savedLocale_ = QLocale();
    // Results are shown with the locale's decimal separator.
    QLocale::setDefault(QLocale(QLocale::Russian, QLocale::Russia));

    SimSensorConfig config;
    config.address = 0x1A;
    config.speed = LineSpeed;
    config.range = 250.0;
    config.mode = SimMeasureMode::Fixed;
    config.value = 25000;
    sensor = bus.addSensor(config);
    ASSERT_GE(sensor, 0);
    QString error;
    ASSERT_TRUE(bus.start(&error)) << error.toStdString();

    form = std::make_unique<TForm1>(nullptr, SettingsPaths{work.path(), program.path()});
    form->CreateSplash();
    form->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(form.get()));

    // What the bus search and the identification leave behind.
    record = form->Bus().Devices().Append("1A", LineSpeed);
    ASSERT_NE(record, nullptr);
    record->ID_D = 250.0;
    form->TabSheet5->ParamsLoaded.assign(1, false);
    form->AddAddressItem(QStringLiteral("26"));
    form->ComboBox1->setCurrentIndex(0);
    ASSERT_EQ(form->SelectedDevice(), record);
    form->TabSheet2->setEnabled(true);
    form->TabSheet3->setEnabled(true);
    form->TabSheet5->setEnabled(true);
    // The suites follow a write as it goes on the line; the read-back of a verified write is
    // switched on by its own tests. Not kept in the settings.
    {
        const QSignalBlocker quiet(form->TabSheet5->CheckBox_VerifyWrite);
        form->TabSheet5->CheckBox_VerifyWrite->setChecked(false);
    }

    ASSERT_TRUE(form->SetComPortSpeed(LineSpeed));
    form->CommPortDriver1->setComPort(bus.slavePath());
    ASSERT_TRUE(form->CommPortDriver1->Connect());
}

void BusFormTest::TearDown()
{
    form.reset();
    bus.stop();
    QLocale::setDefault(savedLocale_);
}

bool BusFormTest::WaitIdle(int ms) const
{
    return QTest::qWaitFor([this] { return !form->Bus().Busy(); }, ms);
}

void BusFormTest::SelectModbus()
{
    form->RadioGroup_protocol_obm->Button(1)->click();
    ASSERT_EQ(form->Bus().Protocol(), TProtocol::Modbus);
}

QString BusFormTest::LatchCell(int dataRow, int column) const
{
    const QTableWidgetItem* const item = form->TabSheet3->StringGrid1->item(dataRow - 1, column);
    return item ? item->text() : QString();
}

QByteArray BusFormTest::Unused() const
{
    return form->Bus().ReceivePath().Buffer();
}
