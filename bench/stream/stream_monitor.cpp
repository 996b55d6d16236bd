// The cost of the traffic monitor: the same 921600-baud counter stream into the offscreen window,
// with the monitor closed and open in turn (open, it follows the newest rows), in one run. Every
// sample must reach the chart each time; the process's CPU with the monitor open is compared with
// it closed.
// Usage: bench_stream_monitor [seconds]   (Release build)
#include "LiveStream.h"
#include <QAbstractItemModel>
#include <QApplication>
#include <QScrollBar>
#include <QTableView>
#include <vector>

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

    // Closed and open in turn, closed first and last, so that a drift of the machine's load
    // weighs on both alike.
    std::vector<LiveStream::TRun> closed;
    std::vector<LiveStream::TRun> opened;
    bool followed = true;
    int rows = 0;
    for (int round = 0; round < 2; ++round) {
        closed.push_back(bench.Stream(seconds));
        open->click();
        QWidget* const monitor = bench.Form().TrafficMonitor();
        auto* const table =
            monitor ? monitor->findChild<QTableView*>(QStringLiteral("TableTraffic")) : nullptr;
        if (!table || !monitor->isVisible()) {
            std::printf("the traffic monitor did not open\n");
            return 1;
        }
        opened.push_back(bench.Stream(seconds));
        QTest::qWait(500);
        rows = table->model()->rowCount();
        followed = followed && table->verticalScrollBar()->value() == table->verticalScrollBar()->maximum();
        monitor->close();
    }
    closed.push_back(bench.Stream(seconds));

    double closedShare = 0;
    double openShare = 0;
    bool whole = true;
    for (const LiveStream::TRun& run : closed) {
        Print("monitor closed", run);
        closedShare += run.ProcessShare() / static_cast<double>(closed.size());
        whole = whole && run.Shown == static_cast<int>(run.Sent);
    }
    for (const LiveStream::TRun& run : opened) {
        Print("monitor open", run);
        openShare += run.ProcessShare() / static_cast<double>(opened.size());
        whole = whole && run.Shown == static_cast<int>(run.Sent);
    }
    std::printf(
        "rows in the monitor after its last stream: %d (the log keeps %zu); it showed the newest: %s\n", rows,
        bench.Form().Bus().Traffic().Capacity(), followed ? "yes" : "NO");
    std::printf("process CPU: %.1f %% of one core with the monitor open, %.1f %% closed: %.1f %% more\n",
                openShare, closedShare, openShare - closedShare);
    std::printf("every sample on the chart in every run: %s\n", whole ? "yes" : "NO");
    return whole ? 0 : 1;
}
