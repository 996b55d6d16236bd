#include "ParamsFixture.h"
#include "bus/SensorBus.h"
#include "protocol/DeviceList.h"
#include "protocol/DeviceUnit.h"
#include "serial/TCommPortDriver.h"
#include <QComboBox>
#include <QPushButton>
#include <QTableWidget>

QString ParamsBusTest::Cell(int row) const
{
    return form->TabSheet5->KGrid1->item(row, 1)->text();
}

void ParamsBusTest::SetCell(int row, const QString& text)
{
    form->TabSheet5->KGrid1->item(row, 1)->setText(text);
}

TParamTexts ParamsBusTest::Page() const
{
    return form->TabSheet5->ParamPageTexts();
}

bool ParamsBusTest::Read()
{
    form->SetStatusText(1, QString());
    form->TabSheet5->Button1->click();
    return WaitFor([&] { return form->StatusText(1) == QStringLiteral("Чтение параметров завершено"); },
                   5000) &&
           WaitIdle();
}

bool ParamsBusTest::Write()
{
    form->SetStatusText(1, QString());
    form->TabSheet5->Button4->click();
    return WaitFor([&] { return form->StatusText(1) == QStringLiteral("Параметры записаны"); }, 5000) &&
           WaitIdle();
}

TDevice* ParamsBusTest::AddSelectedSensor(int address, int speed)
{
    SimSensorConfig config;
    config.address = address;
    config.speed = speed;
    if (bus.addSensor(config) < 0)
        return nullptr;
    TDevice* const added =
        form->Bus().Devices().Append(QByteArray::number(address, 16).toUpper().rightJustified(2, '0'), speed);
    const QString text = QString::number(address);
    form->AddAddressItem(text);
    form->TabSheet5->ParamsLoaded.assign(static_cast<std::size_t>(form->ComboBox1->count()), false);
    form->ComboBox1->setCurrentIndex(form->ComboBox1->findText(text));
    form->SetComPortSpeed(speed);
    return added;
}

std::vector<QString> RowsOf(const TParamTexts& page)
{
    return {page.rows.begin(), page.rows.end()};
}
