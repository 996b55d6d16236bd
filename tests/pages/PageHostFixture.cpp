#include "PageHostFixture.h"
#include "convert/Unit_Utils.h"
#include "protocol/DeviceList.h"
#include "protocol/DeviceUnit.h"
#include "serial/TCommPortDriver.h"

TTestHost::TTestHost(SettingsPaths paths, QString portPath)
    : settings_(std::move(paths)), portPath_(std::move(portPath))
{
    QObject::connect(&bus_, &TSensorBus::SearchPassesDone, &bus_, [this](int found) {
        for (int index = 0; index < found; ++index)
            if (const TDevice* const device = bus_.Devices().At(index))
                AddAddressItem(QString::number(MyHexValue(device->AdressStr.load())));
        if (found > 0)
            selected_ = 0;
    });
    QObject::connect(&bus_, &TSensorBus::DevicesCleared, &bus_, [this] {
        addresses_.clear();
        selected_ = -1;
    });
}

TTestHost::~TTestHost()
{
    bus_.Shutdown();
}

QString TTestHost::SelectedText() const
{
    return selected_ >= 0 && selected_ < addresses_.size() ? addresses_[selected_] : QString();
}

TDevice* TTestHost::SelectedDevice() const
{
    try {
        return bus_.Devices().FindByBoxText(SelectedText());
    } catch (const EConvertError&) {
        return nullptr;
    }
}

void TTestHost::RenameSelected(const QString& text)
{
    if (selected_ >= 0 && selected_ < addresses_.size())
        addresses_[selected_] = text;
}

void TTestHost::RenameEntry(const QString& from, const QString& to)
{
    const qsizetype at = addresses_.indexOf(from);
    if (at >= 0)
        addresses_[at] = to;
}

void TTestHost::SetStatusText(int panel, const QString& text)
{
    status_.at(static_cast<std::size_t>(panel)) = text;
}

QString TTestHost::StatusText(int panel) const
{
    return status_.at(static_cast<std::size_t>(panel));
}

void TTestHost::AddAddressItem(const QString& text)
{
    qsizetype at = 0;
    while (at < addresses_.size() && addresses_[at].compare(text, Qt::CaseInsensitive) <= 0)
        ++at;
    addresses_.insert(at, text);
}

void TTestHost::Choose(int index)
{
    selected_ = index;
    if (const TDevice* const device = SelectedDevice())
        bus_.SetLineSpeed(device->ComPortSpeed);
}

void PageOnBusTest::SetUp()
{
    savedLocale_ = QLocale();
    // Results are shown with the locale's decimal separator.
    QLocale::setDefault(QLocale(QLocale::Russian, QLocale::Russia));
    ASSERT_GE(AddSensor(Address, LineSpeed), 0);
    QString error;
    ASSERT_TRUE(sim.start(&error)) << error.toStdString();
    host = std::make_unique<TTestHost>(SettingsPaths{work.path(), program.path()}, sim.slavePath());
    closer_ = std::make_unique<ModalBoxCloser>();
}

void PageOnBusTest::TearDown()
{
    // The page goes before the bus it watches.
    page_.reset();
    host.reset();
    closer_.reset();
    sim.stop();
    QLocale::setDefault(savedLocale_);
}

int PageOnBusTest::AddSensor(int address, int speed)
{
    SimSensorConfig config;
    config.address = address;
    config.speed = speed;
    config.range = Range;
    config.mode = SimMeasureMode::Fixed;
    config.value = Value;
    return sim.addSensor(config);
}

TDevice* PageOnBusTest::ChooseFoundSensor()
{
    TDevice* const record = host->Bus().Devices().Append("1A", LineSpeed);
    if (!record)
        return nullptr;
    record->ID_D = Range;
    host->AddAddressItem(QStringLiteral("26"));
    host->Choose(0);
    TCommPortDriver& driver = host->Bus().Driver();
    driver.setComPort(sim.slavePath());
    return driver.Connect() ? record : nullptr;
}

bool PageOnBusTest::WaitIdle(int ms) const
{
    return QTest::qWaitFor([this] { return !host->Bus().Busy(); }, ms);
}
