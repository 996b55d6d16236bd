// Times FilteredFrames over a full log of 100,000 frames like a working bus leaves them: a search's
// probes and answers, parameter reads and their replies at several addresses, some unanswered,
// a little noise, and a stream's groups in long runs. The monitor refilters the whole log each
// time the user changes a filter; by address it should take no more than 100 ms.
// Usage: bench_traffic_filter [runs]
#include "BenchFrames.h"
#include "traffic/TrafficFilter.h"
#include <QCoreApplication>
#include <QTextStream>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

struct Figure {
    double minMs = 0;
    double medianMs = 0;
    std::size_t matched = 0;
};

Figure Time(const TTrafficLog& log, const TTrafficFilter& filter, int runs)
{
    std::vector<double> ms;
    std::size_t matched = 0;
    for (int run = 0; run < runs; ++run) {
        const auto start = Clock::now();
        matched = FilteredFrames(log, filter).size();
        ms.push_back(std::chrono::duration<double, std::milli>(Clock::now() - start).count());
    }
    std::sort(ms.begin(), ms.end());
    return {ms.front(), ms[ms.size() / 2], matched};
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const int runs = argc > 1 ? std::max(1, QString::fromLocal8Bit(argv[1]).toInt()) : 7;
    TTrafficLog log;
    bench::Fill(log);

    TTrafficFilter byAddress;
    byAddress.Address = 0x0C;
    TTrafficFilter errors;
    errors.ErrorsOnly = true;
    TTrafficFilter text;
    text.Text = QStringLiteral("r08=00ff");
    TTrafficFilter meaning;
    meaning.Text = QStringLiteral("поисковый");
    const struct {
        const char* name;
        const TTrafficFilter& filter;
        double boundMs; // 0: none
    } cases[] = {
        {"address 0C", byAddress, 100},
        {"errors only", errors, 0},
        {"text \"r08=00ff\"", text, 0},
        {"text \"поисковый\"", meaning, 0},
    };

    QTextStream out(stdout);
    out << "frames kept: " << log.Size() << ", runs each: " << runs << "\n";
    bool withinBounds = true;
    for (const auto& c : cases) {
        const Figure f = Time(log, c.filter, runs);
        out << QString::fromUtf8(c.name).leftJustified(22) << " matched "
            << QString::number(f.matched).rightJustified(6) << "  min "
            << QString::number(f.minMs, 'f', 1).rightJustified(7) << " ms  median "
            << QString::number(f.medianMs, 'f', 1).rightJustified(7) << " ms";
        if (c.boundMs > 0) {
            const bool within = f.medianMs <= c.boundMs;
            withinBounds = withinBounds && within;
            out << (within ? "  (within " : "  (OVER ") << c.boundMs << " ms)";
        }
        out << "\n";
    }
    return withinBounds ? 0 : 1;
}
