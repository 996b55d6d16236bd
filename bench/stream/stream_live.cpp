// Ten seconds of a counter stream at 921600 baud from the simulated bus into the offscreen window
// with the chart live: how many samples reach the chart of those sent, and the CPU the main thread
// and the whole process take meanwhile.
// Usage: bench_stream_live [seconds]   (Release build)
#include "app/Unit1.h"
#include "bus/SensorBus.h"
#include "pages/StreamChart.h"
#include "protocol/DeviceUnit.h"
#include "serial/TCommPortDriver.h"
#include "sim/SimBus.h"
#include "sim/SimRegisters.h"
#include <QApplication>
#include <QComboBox>
#include <QElapsedTimer>
#include <QPushButton>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTest>
#include <cstdio>
#include <ctime>
#include <sys/resource.h>

namespace {
constexpr int Speed = 921600;

double ProcessCpuMs()
{
    rusage u{};
    ::getrusage(RUSAGE_SELF, &u);
    return (u.ru_utime.tv_sec + u.ru_stime.tv_sec) * 1e3 + (u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e3;
}

double ThreadCpuMs()
{
    timespec t{};
    ::clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) * 1e3 + static_cast<double>(t.tv_nsec) / 1e6;
}
} // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const int seconds = argc > 1 ? std::max(1, QString::fromLocal8Bit(argv[1]).toInt()) : 10;

    SimBus bus;
    SimSensorConfig config;
    config.address = 0x1A;
    config.speed = Speed;
    config.range = 50000; // every value its raw count
    config.mode = SimMeasureMode::Counter;
    const int sensor = bus.addSensor(config);
    QString error;
    if (sensor < 0 || !bus.start(&error)) {
        std::printf("the simulated bus did not start: %s\n", qPrintable(error));
        return 1;
    }
    // A result every 0.1 ms: the line, not the sensor, sets the pace.
    bus.setRegister(sensor, SimReg::PeriodLo, 1);
    bus.setRegister(sensor, SimReg::ConstantLo, 1);

    QTemporaryDir work;
    QTemporaryDir program;
    TForm1 form(nullptr, SettingsPaths{work.path(), program.path()});
    form.show();
    TDevice* const device = form.Bus().Devices().Append("1A", Speed);
    device->ID_D = config.range;
    form.TabSheet5->ParamsLoaded.assign(1, false);
    form.AddAddressItem(QStringLiteral("26"));
    form.ComboBox1->setCurrentIndex(0);
    form.TabSheet2->setEnabled(true);
    form.PageControl1->setCurrentWidget(form.TabSheet2);
    form.CommPortDriver1->setComPort(bus.slavePath());
    if (!form.CommPortDriver1->Connect() || !form.SetComPortSpeed(Speed)) {
        std::printf("the port did not open\n");
        return 1;
    }

    form.TabSheet2->Button6->click();
    if (!QTest::qWaitFor([&] { return form.Bus().StreamRunning(); }, 3000)) {
        std::printf("the stream did not start\n");
        return 1;
    }
    const double mainCpu = ThreadCpuMs();
    const double processCpu = ProcessCpuMs();
    const double simCpu = bus.threadCpuSeconds();
    QElapsedTimer clock;
    clock.start();
    QTest::qWait(seconds * 1000);
    const double wallMs = static_cast<double>(clock.nsecsElapsed()) / 1e6;
    const double main = ThreadCpuMs() - mainCpu;
    const double process = ProcessCpuMs() - processCpu;
    const double sim = (bus.threadCpuSeconds() - simCpu) * 1e3;

    form.TabSheet2->Button7->click();
    if (!QTest::qWaitFor([&] { return !form.Bus().StreamRunning(); }, 8000))
        std::printf("the stream did not stop\n");
    const std::uint64_t sent = bus.status(sensor).samplesSent;
    const int shown = form.TabSheet2->StreamChart().Count();
    int disorder = 0;
    for (int k = 0; k < shown; ++k)
        disorder += *form.TabSheet2->StreamChart().HeightAt(k) == k % 50000 ? 0 : 1;
    std::printf("stream at %d baud for %d s: %d of %llu samples on the chart, %d out of order\n", Speed,
                seconds, shown, static_cast<unsigned long long>(sent), disorder);
    std::printf(
        "CPU while streaming: main thread %.1f %%, process %.1f %% (of it the simulator's thread %.1f %%) "
        "of one core\n",
        100 * main / wallMs, 100 * process / wallMs, 100 * sim / wallMs);
    return 0;
}
