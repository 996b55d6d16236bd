// Times the whole "Читать параметры" and "Записать параметры" operations, from the button to the
// status text that ends them, on an offscreen window over the simulated bus at 115200 baud.
// Run it from a Release build; the first argument is the number of runs (10 by default).
#include "app/Unit1.h"
#include "bus/SensorBus.h"
#include "protocol/DeviceList.h"
#include "protocol/DeviceUnit.h"
#include "serial/TCommPortDriver.h"
#include "sim/SimBus.h"
#include "widgets/StatusPanels.h"
#include <QApplication>
#include <QComboBox>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QPushButton>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QTextStream>
#include <QTimer>
#include <algorithm>
#include <memory>
#include <numeric>
#include <vector>

namespace {
constexpr int LineSpeed = 115200;
constexpr int Registers = 34;

// Milliseconds from the click to the status text, or -1 when it did not come. The wait is an
// event loop, as the program's: a loop that sleeps between looks would hold every reply back.
double TimeOperation(TForm1& form, QPushButton& button, const QString& done)
{
    form.SetStatusText(1, QString());
    QEventLoop loop;
    QElapsedTimer clock;
    double ms = -1;
    const auto shown = QObject::connect(form.StatusBar1, &TStatusPanels::TextSet, &loop,
                                        [&](int panel, const QString& text) {
                                            if (panel == 1 && text == done) {
                                                ms = static_cast<double>(clock.nsecsElapsed()) / 1e6;
                                                loop.quit();
                                            }
                                        });
    QTimer::singleShot(10000, &loop, &QEventLoop::quit);
    clock.start();
    button.click();
    loop.exec();
    QObject::disconnect(shown);
    // The next operation may start only once the bus takes it.
    if (!QTest::qWaitFor([&] { return !form.Bus().Busy(); }, 3000))
        return -1;
    return ms;
}

void Report(QTextStream& out, const char* what, std::vector<double> times, double floorMs)
{
    std::sort(times.begin(), times.end());
    const double mean = std::accumulate(times.begin(), times.end(), 0.0) / static_cast<double>(times.size());
    out << what << ": mean " << QString::number(mean, 'f', 1) << " ms, min "
        << QString::number(times.front(), 'f', 1) << " ms, max " << QString::number(times.back(), 'f', 1)
        << " ms; floor " << floorMs << " ms; per register " << QString::number(mean / Registers, 'f', 2)
        << " ms\n";
}
} // namespace

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const int runs = argc > 1 ? std::max(1, QString::fromLocal8Bit(argv[1]).toInt()) : 10;
    QTextStream out(stdout);

    SimBus bus;
    SimSensorConfig config;
    config.address = 0x1A;
    config.speed = LineSpeed;
    QString error;
    if (bus.addSensor(config) < 0 || !bus.start(&error)) {
        out << "the simulated bus did not start: " << error << "\n";
        return 1;
    }
    QTemporaryDir work;
    QTemporaryDir program;
    auto form = std::make_unique<TForm1>(nullptr, SettingsPaths{work.path(), program.path()});
    form->show();
    form->Bus().Devices().Append("1A", LineSpeed);
    form->TabSheet5->ParamsLoaded.assign(1, false);
    form->AddAddressItem(QStringLiteral("26"));
    form->ComboBox1->setCurrentIndex(0);
    form->TabSheet5->setEnabled(true);
    form->SetComPortSpeed(LineSpeed);
    form->CommPortDriver1->setComPort(bus.slavePath());
    if (!form->CommPortDriver1->Connect()) {
        out << "the port did not open\n";
        return 1;
    }
    // What the line itself needs for one request and its reply: 7 + 9 bytes of 10 bits.
    const double floorMs = Registers * 160.0 * 1000 / LineSpeed;

    std::vector<double> reads;
    std::vector<double> writes;
    for (int run = 0; run < runs; ++run) {
        const double read =
            TimeOperation(*form, *form->TabSheet5->Button1, QStringLiteral("Чтение параметров завершено"));
        const double write =
            TimeOperation(*form, *form->TabSheet5->Button4, QStringLiteral("Параметры записаны"));
        if (read < 0 || write < 0) {
            out << "run " << run << ": an operation did not end\n";
            return 1;
        }
        reads.push_back(read);
        writes.push_back(write);
    }
    out << "34 registers at " << LineSpeed << " baud, polling delay "
        << form->CommPortDriver1->ComPortPollingDelay() << " ms, " << runs << " runs\n";
    Report(out, "read ", reads, floorMs);
    Report(out, "write", writes, floorMs);
    form.reset();
    bus.stop();
    return 0;
}
