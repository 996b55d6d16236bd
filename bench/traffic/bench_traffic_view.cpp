// The monitor's model and a table view like the monitor's over a full log, offscreen: the first
// catching up with 100,000 frames, then ticks of a 921600-baud stream (2,250 groups a 150 ms tick,
// as many of the oldest giving way), each with the view following the newest rows and repainted.
// Usage: bench_traffic_view [ticks]
#include "BenchFrames.h"
#include "pages/TrafficModel.h"
#include <QApplication>
#include <QHeaderView>
#include <QTableView>
#include <QTextStream>
#include <algorithm>
#include <vector>

namespace {

double MsSince(bench::Clock::time_point start)
{
    return std::chrono::duration<double, std::milli>(bench::Clock::now() - start).count();
}

} // namespace

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const int ticks = argc > 1 ? std::max(1, QString::fromLocal8Bit(argv[1]).toInt()) : 40;
    constexpr int GroupsPerTick = 15000 * TTrafficModel::DefaultIntervalMs / 1000;

    TTrafficLog log;
    bench::Fill(log);
    TTrafficModel model(log);
    QTableView view;
    view.setModel(&model);
    view.verticalHeader()->hide();
    view.verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    view.verticalHeader()->setDefaultSectionSize(view.fontMetrics().height() + 6);
    view.setWordWrap(false);
    view.resize(1100, 600);
    view.show();
    QApplication::processEvents();

    auto start = bench::Clock::now();
    model.CatchUp();
    view.scrollToBottom();
    view.viewport()->repaint();
    QTextStream out(stdout);
    out << "first catching up, " << model.rowCount() << " rows: " << QString::number(MsSince(start), 'f', 1)
        << " ms\n";

    std::vector<double> ms;
    auto at = bench::Clock::now();
    for (int tick = 0; tick < ticks; ++tick) {
        for (int g = 0; g < GroupsPerTick; ++g) {
            TTrafficFrame group = bench::Frame(TFrameDirection::Received, 0x1A, "!25814\r",
                                               at += std::chrono::microseconds(66));
            group.Stream = true;
            group.Speed = 921600;
            log.Add(group);
        }
        start = bench::Clock::now();
        model.CatchUp();
        view.scrollToBottom();
        view.viewport()->repaint();
        ms.push_back(MsSince(start));
    }
    std::sort(ms.begin(), ms.end());
    out << ticks << " stream ticks of " << GroupsPerTick << " groups: median "
        << QString::number(ms[ms.size() / 2], 'f', 1) << " ms, max " << QString::number(ms.back(), 'f', 1)
        << " ms a tick (rows " << model.rowCount() << ", kept " << log.Size() << ")\n";
    return 0;
}
