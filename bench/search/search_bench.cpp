// Times the bus search on the real window (offscreen) against a simulated bus and compares it
// with its floor: 8 passes x bound x max(delay, 10) ms of probe pauses, plus the identification.
// Usage: bench_search [runs of the default search]
#include "app/Unit1.h"
#include "bus/SensorBus.h"
#include "protocol/DeviceList.h"
#include "protocol/DeviceUnit.h"
#include "sim/SimBus.h"
#include <QApplication>
#include <QComboBox>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTextStream>
#include <QThread>
#include <algorithm>
#include <vector>

namespace {

struct Timing {
    double passesMs = -1; // click to the end of the last probe pass
    double totalMs = -1;  // click to the launcher free again
    int found = 0;
    QString foundText; // address@speed of every record
};

SimSensorConfig Sensor(int address, int speed)
{
    SimSensorConfig config;
    config.address = address;
    config.speed = speed;
    return config;
}

Timing RunSearch(const QString& delay, const QString& range, const std::vector<SimSensorConfig>& sensors)
{
    SimBus bus;
    for (const SimSensorConfig& sensor : sensors)
        bus.addSensor(sensor);
    QString error;
    if (!bus.start(&error))
        return {};
    QTemporaryDir work;
    QTemporaryDir program;
    Timing timing;
    {
        TForm1 form(nullptr, SettingsPaths{work.path(), program.path()});
        form.CreateSplash();
        form.show();
        form.ComboBox2->setCurrentText(bus.slavePath());
        form.TabSheet1->Edit1->setText(delay);
        form.TabSheet1->Edit2->setText(range);
        QApplication::processEvents();
        QElapsedTimer clock;
        clock.start();
        form.TabSheet1->Button5->click();
        while (clock.elapsed() < 120000) {
            QApplication::processEvents(QEventLoop::AllEvents, 1);
            if (timing.passesMs < 0 && form.ComboBox1->count() > 0)
                timing.passesMs = static_cast<double>(clock.nsecsElapsed()) / 1e6;
            if (!form.Bus().Busy())
                break;
            QThread::usleep(200);
        }
        timing.totalMs = static_cast<double>(clock.nsecsElapsed()) / 1e6;
        timing.found = form.Bus().Devices().Count();
        for (int i = 0; i < timing.found; ++i) {
            const TDevice* const device = form.Bus().Devices().At(i);
            timing.foundText += QStringLiteral(" %1@%2")
                                    .arg(QString::fromLatin1(device->AdressStr.load()))
                                    .arg(device->ComPortSpeed.load());
        }
    }
    bus.stop();
    return timing;
}

void Report(QTextStream& out, const char* name, int delay, int range, const std::vector<Timing>& runs)
{
    const double floorMs = 8.0 * range * std::max(delay, 10);
    for (const Timing& t : runs) {
        const double identMs = t.totalMs - t.passesMs;
        const double overPasses = (t.passesMs / floorMs - 1.0) * 100.0;
        const double overTotal = (t.totalMs / (floorMs + identMs) - 1.0) * 100.0;
        out << name << ": found " << t.found << " (" << t.foundText.trimmed() << "), probe passes "
            << qRound(t.passesMs) << " ms against " << qRound(floorMs) << " ms (+"
            << QString::number(overPasses, 'f', 1) << " %), identification " << qRound(identMs)
            << " ms, total " << qRound(t.totalMs) << " ms (+" << QString::number(overTotal, 'f', 1)
            << " % over floor + identification)\n";
    }
    out.flush();
}

} // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const int runs = argc > 1 ? std::max(1, QString::fromLocal8Bit(argv[1]).toInt()) : 5;
    QTextStream out(stdout);

    const std::vector<SimSensorConfig> nearSensors{Sensor(1, 115200), Sensor(2, 57600), Sensor(3, 921600)};
    std::vector<Timing> defaults;
    for (int i = 0; i < runs; ++i)
        defaults.push_back(RunSearch(QStringLiteral("20"), QStringLiteral("3"), nearSensors));
    Report(out, "default search (bound 3, delay 20 ms)", 20, 3, defaults);

    const std::vector<SimSensorConfig> wideSensors{Sensor(1, 115200), Sensor(26, 921600), Sensor(130, 57600),
                                                   Sensor(255, 460800)};
    Report(out, "full search (bound 255, delay 10 ms)", 10, 255,
           {RunSearch(QStringLiteral("10"), QStringLiteral("255"), wideSensors)});
    return 0;
}
