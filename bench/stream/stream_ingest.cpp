// Feeds stream lines through the bus's receive path in chunks of 30 ms of line time at
// 921600 baud (395 groups, cut anywhere), with the chart live and repaints served, and prints:
// samples per second through the whole receive path, memory per retained sample, the time to
// repaint a chart of 1,000,000 samples, the same two with the statistics and the histogram shown,
// and samples per second while recording every sample.
#include "app/Unit1.h"
#include "bus/SensorBus.h"
#include "pages/StreamChart.h"
#include "pages/StreamTools.h"
#include "protocol/DeviceList.h"
#include "protocol/DeviceUnit.h"
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTabWidget>
#include <QTemporaryDir>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <qcustomplot.h>
#include <random>
#include <unistd.h>

namespace {
constexpr int ChunkBytes = 2765; // 30 ms at 921600 baud, 10 bits a byte
constexpr int Samples = 1'000'000;

// A slowly moving edge with noise and now and then a no-result code, as a sensor sends it.
QByteArray StreamText(int samples, unsigned seed)
{
    std::mt19937 random(seed);
    std::normal_distribution<double> noise(0, 40);
    std::uniform_int_distribution<int> rare(0, 999);
    QByteArray text;
    text.reserve(static_cast<qsizetype>(samples) * 7);
    char group[16];
    for (int i = 0; i < samples; ++i) {
        int raw = 25000 + static_cast<int>(8000 * std::sin(i / 5000.0) + noise(random));
        const int r = rare(random);
        if (r == 0)
            raw = 65535;
        else if (r == 1)
            raw = 65534;
        std::snprintf(group, sizeof group, "!%05d\r", raw);
        text.append(group, 7);
    }
    return text;
}

double ResidentBytes()
{
    QFile statm(QStringLiteral("/proc/self/statm"));
    if (!statm.open(QIODevice::ReadOnly))
        return 0;
    const QList<QByteArray> fields = statm.readAll().split(' ');
    return fields.size() > 1 ? fields[1].toDouble() * static_cast<double>(sysconf(_SC_PAGESIZE)) : 0;
}

// The stream's start as the window makes it, over a bus without a port: the start request goes
// nowhere, and the lines are then handed to the bus as its driver would.
void BeginStream(TForm1& form, TDevice& device)
{
    form.Bus().StreamEnded();
    form.TabSheet2->ClearStreamChart();
    form.TabSheet2->StreamChart().Sampler().Restart();
    form.TabSheet2->StreamChart().SetAutoBottomMax(true);
    form.Bus().Start(TOperationCode::StartStream, &device);
    while (form.Bus().Busy())
        QCoreApplication::processEvents();
}

// Seconds to feed text through the bus's receive path, serving events after every chunk.
double Feed(TForm1& form, const QByteArray& text)
{
    QElapsedTimer clock;
    clock.start();
    for (qsizetype at = 0; at < text.size(); at += ChunkBytes) {
        const auto now = std::chrono::steady_clock::now();
        form.Bus().Receive({text.mid(at, ChunkBytes), 921600, now, now});
        QCoreApplication::processEvents();
    }
    return static_cast<double>(clock.nsecsElapsed()) / 1e9;
}

double RepaintMs(TForm1& form, int times)
{
    QElapsedTimer clock;
    clock.start();
    for (int i = 0; i < times; ++i)
        form.TabSheet2->StreamChart().ReplotNow();
    return static_cast<double>(clock.nsecsElapsed()) / 1e6 / times;
}
} // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QTemporaryDir work;
    QTemporaryDir program;
    TForm1 form(nullptr, SettingsPaths{work.path(), program.path()});
    form.resize(1000, 640);
    form.show();
    form.PageControl1->setCurrentWidget(form.TabSheet2);
    QCoreApplication::processEvents();

    TDevice* const device = form.Bus().Devices().Append("1A", 921600);
    device->ID_D = 250;
    form.AddAddressItem(QStringLiteral("26"));
    form.ComboBox1->setCurrentIndex(0);
    const QByteArray text = StreamText(Samples, 1);

    BeginStream(form, *device);
    const double before = ResidentBytes();
    const double seconds = Feed(form, text);
    const double after = ResidentBytes();
    std::printf("ingest:     %.0f samples/s (%d samples in %.3f s)\n", Samples / seconds, Samples, seconds);
    std::printf("memory:     %.1f bytes per retained sample (resident growth over %d samples)\n",
                (after - before) / Samples, form.TabSheet2->StreamChart().Count());

    // The worst case: every sample in view, as after undoing a zoom.
    form.TabSheet2->StreamChart().SetAutoBottomMax(false);
    form.TabSheet2->StreamChart().SetBottomRange(0, form.TabSheet2->StreamChart().LastX());
    RepaintMs(form, 2);
    std::printf("repaint:    %.2f ms with all %d samples in view\n", RepaintMs(form, 20),
                form.TabSheet2->StreamChart().Count());
    form.TabSheet2->StreamChart().SetBottomRange(form.TabSheet2->StreamChart().LastX() - 100,
                                                 form.TabSheet2->StreamChart().LastX());
    std::printf("repaint:    %.2f ms with the newest 101 in view\n", RepaintMs(form, 20));

    // The measuring tools shown: the statistics and the histogram follow the samples.
    TStreamTools& tools = form.TabSheet2->StreamTools();
    tools.CheckBoxHistogram->setChecked(true);
    BeginStream(form, *device);
    const double toolSeconds = Feed(form, text);
    std::printf("ingest:     %.0f samples/s with the statistics and histogram shown\n", Samples / toolSeconds);
    form.TabSheet2->StreamChart().SetAutoBottomMax(false);
    form.TabSheet2->StreamChart().SetBottomRange(0, form.TabSheet2->StreamChart().LastX());
    const auto repaintWithTools = [&](int times) {
        QElapsedTimer clock;
        clock.start();
        for (int i = 0; i < times; ++i) {
            tools.RefreshNow();
            tools.ChartHistogram->replot(QCustomPlot::rpImmediateRefresh);
            form.TabSheet2->StreamChart().ReplotNow();
        }
        return static_cast<double>(clock.nsecsElapsed()) / 1e6 / times;
    };
    repaintWithTools(2);
    std::printf("repaint:    %.2f ms with all %d samples in view, their statistics and histogram taken and shown\n",
                repaintWithTools(20), form.TabSheet2->StreamChart().Count());
    tools.CheckBoxHistogram->setChecked(false);

    BeginStream(form, *device);
    form.TabSheet2->LabeledEdit_RecordThrd->setText(QStringLiteral("1"));
    form.TabSheet2->CheckBox_RecordThrd->setEnabled(true);
    form.TabSheet2->CheckBox_RecordThrd->setChecked(true);
    const double recordSeconds = Feed(form, text);
    form.TabSheet2->CheckBox_RecordThrd->setChecked(false);
    QFile thread(QDir(program.path()).filePath(QStringLiteral("Thread.txt")));
    std::printf("recording:  %.0f samples/s at interval 1 (Thread.txt %lld bytes)\n", Samples / recordSeconds,
                static_cast<long long>(thread.size()));

    form.Bus().StreamEnded();
    return 0;
}
