// The cost of the traffic monitor: the same 921600-baud counter stream into the offscreen window,
// first with the monitor closed, then with it open and following the newest rows, then closed
// again, in one run. Every sample must reach the chart each time; the process's CPU with the
// monitor open is compared with the mean of the two closed runs.
// Usage: bench_stream_monitor [seconds]   (Release build)
#include "LiveStream.h"
#include <QAbstractItemModel>
#include <QApplication>
#include <QTableView>

namespace {
void Print(const char* name, const LiveStream::TRun& run)
{
    std::printf("%-16s %7d of %7llu samples on the chart, %d out of order; CPU main %.1f %%, process %.1f %% "
                "(simulator %.1f %% besides)\n",
                name, run.Shown, static_cast<unsigned long long>(run.Sent), run.Disorder, run.MainShare(),
                run.ProcessShare(), run.SimShare());
}
} // namespace

int main(int argc, char** argv)
{
    LiveStream::Offscreen();
    QApplication app(argc, argv);
    const int seconds = LiveStream::Seconds(argc, argv);
    LiveStream::TBench bench;
    if (!bench.Start())
        return 1;
    auto* const open = bench.Form().findChild<QPushButton*>(QStringLiteral("ButtonTrafficMonitor"));
    if (!open) {
        std::printf("no traffic monitor button\n");
        return 1;
    }

    const LiveStream::TRun closedBefore = bench.Stream(seconds);
    open->click();
    QWidget* monitor = nullptr;
    for (QWidget* w : QApplication::topLevelWidgets())
        if (w->objectName() == QLatin1String("TrafficMonitor") && w->isVisible())
            monitor = w;
    if (!monitor) {
        std::printf("the traffic monitor did not open\n");
        return 1;
    }
    auto* const table = monitor->findChild<QTableView*>();
    const LiveStream::TRun opened = bench.Stream(seconds);
    QTest::qWait(500);
    const int rows = table && table->model() ? table->model()->rowCount() : -1;
    monitor->close();
    const LiveStream::TRun closedAfter = bench.Stream(seconds);

    Print("monitor closed", closedBefore);
    Print("monitor open", opened);
    Print("monitor closed", closedAfter);
    std::printf("rows in the monitor after its stream: %d (the log keeps %zu)\n", rows,
                bench.Form().Bus().Traffic().Capacity());
    const double closedShare = (closedBefore.ProcessShare() + closedAfter.ProcessShare()) / 2;
    std::printf("the open monitor costs %.1f %% of one core more than a closed one\n",
                opened.ProcessShare() - closedShare);
    const bool whole = closedBefore.Shown == static_cast<int>(closedBefore.Sent) &&
                       opened.Shown == static_cast<int>(opened.Sent) &&
                       closedAfter.Shown == static_cast<int>(closedAfter.Sent);
    std::printf("every sample on the chart in every run: %s\n", whole ? "yes" : "NO");
    return whole ? 0 : 1;
}
