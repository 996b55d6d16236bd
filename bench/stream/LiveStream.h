#pragma once
// A counter stream at 921600 baud from the simulated bus into the offscreen window with the chart
// live, a sample every 0.1 ms: what reaches the chart, and the CPU it costs.
#include "app/Unit1.h"
#include "bus/SensorBus.h"
#include "pages/StreamChart.h"
#include "protocol/DeviceUnit.h"
#include "serial/TCommPortDriver.h"
#include "sim/SimBus.h"
#include "sim/SimRegisters.h"
#include <QComboBox>
#include <QElapsedTimer>
#include <QPushButton>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTest>
#include <algorithm>
#include <cstdio>
#include <ctime>
#include <memory>
#include <sys/resource.h>

namespace LiveStream {
inline constexpr int Speed = 921600;
inline constexpr int CounterWrap = 50000;

// Before the application: the window runs offscreen unless a platform is named.
inline void Offscreen()
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
}

// The stream's length from the first argument, 10 s by default.
inline int Seconds(int argc, char** argv)
{
    return argc > 1 ? std::max(1, QString::fromLocal8Bit(argv[1]).toInt()) : 10;
}

inline double ProcessCpuMs()
{
    rusage u{};
    ::getrusage(RUSAGE_SELF, &u);
    return (u.ru_utime.tv_sec + u.ru_stime.tv_sec) * 1e3 + (u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e3;
}

inline double ThreadCpuMs()
{
    timespec t{};
    ::clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) * 1e3 + static_cast<double>(t.tv_nsec) / 1e6;
}

struct TRun {
    std::uint64_t Sent = 0;
    int Shown = 0;
    int Disorder = 0;
    double WallMs = 0;
    double MainMs = 0;    // the main thread's CPU
    double ProcessMs = 0; // the whole process's, the simulator's thread left out
    double SimMs = 0;
    double MainShare() const { return 100 * MainMs / WallMs; }
    double ProcessShare() const { return 100 * ProcessMs / WallMs; }
    double SimShare() const { return 100 * SimMs / WallMs; }
};

// The simulated bus and the window over it, ready to stream.
class TBench {
  public:
    bool Start()
    {
        SimSensorConfig config;
        config.address = 0x1A;
        config.speed = Speed;
        config.range = CounterWrap; // every value its raw count
        config.mode = SimMeasureMode::Counter;
        sensor_ = sim_.addSensor(config);
        QString error;
        if (sensor_ < 0 || !sim_.start(&error)) {
            std::printf("the simulated bus did not start: %s\n", qPrintable(error));
            return false;
        }
        // The line, not the sensor, sets the pace.
        sim_.setRegister(sensor_, SimReg::PeriodLo, 1);
        sim_.setRegister(sensor_, SimReg::ConstantLo, 1);
        form_ = std::make_unique<TForm1>(nullptr, SettingsPaths{work_.path(), program_.path()});
        form_->show();
        TDevice* const device = form_->Bus().Devices().Append("1A", Speed);
        device->ID_D = config.range;
        form_->TabSheet5->ParamsLoaded.assign(1, false);
        form_->AddAddressItem(QStringLiteral("26"));
        form_->ComboBox1->setCurrentIndex(0);
        form_->TabSheet2->setEnabled(true);
        form_->PageControl1->setCurrentWidget(form_->TabSheet2);
        form_->CommPortDriver1->setComPort(sim_.slavePath());
        if (!form_->CommPortDriver1->Connect() || !form_->SetComPortSpeed(Speed)) {
            std::printf("the port did not open\n");
            return false;
        }
        return true;
    }

    TForm1& Form() { return *form_; }

    // One stream of seconds; nullopt-like Sent == 0 when it did not start.
    TRun Stream(int seconds)
    {
        TRun run;
        const std::uint64_t sentBefore = sim_.status(sensor_).samplesSent;
        form_->TabSheet2->Button6->click();
        if (!QTest::qWaitFor([&] { return form_->Bus().StreamRunning(); }, 3000)) {
            std::printf("the stream did not start\n");
            return run;
        }
        const double main = ThreadCpuMs();
        const double process = ProcessCpuMs();
        const double sim = sim_.threadCpuSeconds();
        QElapsedTimer clock;
        clock.start();
        QTest::qWait(seconds * 1000);
        run.WallMs = static_cast<double>(clock.nsecsElapsed()) / 1e6;
        run.MainMs = ThreadCpuMs() - main;
        run.SimMs = (sim_.threadCpuSeconds() - sim) * 1e3;
        run.ProcessMs = ProcessCpuMs() - process - run.SimMs;

        form_->TabSheet2->Button7->click();
        if (!QTest::qWaitFor([&] { return !form_->Bus().StreamRunning(); }, 8000))
            std::printf("the stream did not stop\n");
        run.Sent = sim_.status(sensor_).samplesSent - sentBefore;
        const TStreamChart& chart = form_->TabSheet2->StreamChart();
        run.Shown = chart.Count();
        // The chart starts afresh with each stream; the counter goes on from where it was.
        const int first = run.Shown > 0 ? *chart.HeightAt(0) : 0;
        for (int k = 0; k < run.Shown; ++k)
            run.Disorder += *chart.HeightAt(k) == (first + k) % CounterWrap ? 0 : 1;
        return run;
    }

  private:
    SimBus sim_;
    int sensor_ = -1;
    QTemporaryDir work_;
    QTemporaryDir program_;
    std::unique_ptr<TForm1> form_;
};
} // namespace LiveStream
