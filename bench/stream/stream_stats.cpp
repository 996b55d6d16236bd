// The statistics of a stream's samples as the chart's measuring tools take them: of 1,000,000
// samples in view, of cursor ranges of 1,000,000 samples starting anywhere in a longer stream, and
// the histogram of 1,000,000 samples. Prints the median and the slowest of many runs.
#include "stream/SampleTrace.h"
#include <QElapsedTimer>
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <random>
#include <vector>

namespace {
constexpr std::int64_t Million = 1'000'000;

struct TTimes {
    double median;
    double slowest;
};

template <class F> TTimes Measure(int runs, F&& f)
{
    std::vector<double> ms;
    for (int i = 0; i < runs; ++i) {
        QElapsedTimer clock;
        clock.start();
        f(i);
        ms.push_back(static_cast<double>(clock.nsecsElapsed()) / 1e6);
    }
    std::sort(ms.begin(), ms.end());
    return {ms[ms.size() / 2], ms.back()};
}
} // namespace

int main()
{
    // Three million samples of a noisy edge with a gap now and then.
    std::mt19937_64 random(7);
    std::normal_distribution<double> noise(0, 0.2);
    std::uniform_int_distribution<int> rare(0, 999);
    TSampleTrace trace;
    for (std::int64_t i = 0; i < 3 * Million; ++i) {
        const double v = 125 + 40 * std::sin(static_cast<double>(i) / 5000.0) + noise(random);
        trace.Append(rare(random) < 2 ? NAN : v, static_cast<double>(i) * 1e-4);
    }
    volatile double sink = 0;

    const TTimes view = Measure(200, [&](int) { sink = sink + trace.Stats(0, Million)->Mean; });
    std::printf("statistics of 1000000 samples in view:     median %.3f ms, slowest %.3f ms\n", view.median,
                view.slowest);
    std::uniform_int_distribution<std::int64_t> start(0, 2 * Million);
    const TTimes cursors = Measure(200, [&](int) {
        const std::int64_t from = start(random);
        sink = sink + trace.Stats(from, from + Million)->Mean;
    });
    std::printf("statistics of 1000000 samples at cursors:  median %.3f ms, slowest %.3f ms\n", cursors.median,
                cursors.slowest);
    const TTimes histogram = Measure(50, [&](int) {
        sink = sink + static_cast<double>(trace.Histogram(0, Million, 40)->Bins[20]);
    });
    std::printf("histogram of 1000000 samples in 40 bins:   median %.3f ms, slowest %.3f ms\n", histogram.median,
                histogram.slowest);
    // For comparison in the same run: one plain pass over the same samples.
    const TTimes pass = Measure(50, [&](int) {
        double sum = 0;
        for (std::int64_t i = 0; i < Million; ++i)
            if (!trace.IsGap(i))
                sum += trace.Value(i);
        sink = sink + sum;
    });
    std::printf("one pass over 1000000 samples (reference): median %.3f ms, slowest %.3f ms\n", pass.median,
                pass.slowest);
    return 0;
}
