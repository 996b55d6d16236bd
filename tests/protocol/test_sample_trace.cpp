// The statistics, extremes, histogram, times and CSV file of a stream's samples, against plain
// computations over every sample.
#include "stream/SampleTrace.h"
#include "stream/TraceExport.h"
#include <QList>
#include <QString>
#include <cmath>
#include <gtest/gtest.h>
#include <limits>
#include <random>

namespace {

struct TReference {
    std::int64_t count = 0;
    std::int64_t values = 0;
    double min = INFINITY;
    double max = -INFINITY;
    double mean = 0;
    double deviation = 0;
};

// Two passes over the samples: the mean, then the squared deviations from it.
TReference Reference(const std::vector<double>& v, std::int64_t from, std::int64_t to)
{
    TReference r;
    r.count = to - from;
    double sum = 0;
    for (std::int64_t i = from; i < to; ++i) {
        if (std::isnan(v[static_cast<std::size_t>(i)]))
            continue;
        ++r.values;
        sum += v[static_cast<std::size_t>(i)];
        r.min = std::min(r.min, v[static_cast<std::size_t>(i)]);
        r.max = std::max(r.max, v[static_cast<std::size_t>(i)]);
    }
    r.mean = r.values ? sum / static_cast<double>(r.values) : 0;
    double squares = 0;
    for (std::int64_t i = from; i < to; ++i)
        if (!std::isnan(v[static_cast<std::size_t>(i)]))
            squares += (v[static_cast<std::size_t>(i)] - r.mean) * (v[static_cast<std::size_t>(i)] - r.mean);
    r.deviation = r.values > 1 ? std::sqrt(squares / static_cast<double>(r.values - 1)) : 0;
    return r;
}

void ExpectClose(double actual, double expected, const char* what)
{
    EXPECT_LE(std::abs(actual - expected), 1e-9 * std::max(1e-300, std::abs(expected))) << what;
}

struct TStreamCase {
    std::int64_t size;
    double gapShare;
    double level; // the values lie about here
    double noise; // with this deviation
};

class TraceStatsTest : public ::testing::TestWithParam<TStreamCase> {};

TEST_P(TraceStatsTest, EqualThePlainComputationOverAnyRange)
{
    const TStreamCase c = GetParam();
    std::mt19937_64 random(static_cast<std::uint64_t>(c.size) * 7919 + static_cast<std::uint64_t>(c.level));
    std::normal_distribution<double> noise(c.level, c.noise);
    std::bernoulli_distribution gap(c.gapShare);
    TSampleTrace trace;
    std::vector<double> values;
    for (std::int64_t i = 0; i < c.size; ++i) {
        const double v = gap(random) ? std::numeric_limits<double>::quiet_NaN() : noise(random);
        values.push_back(v);
        trace.Append(v, 0.0001 * static_cast<double>(i));
    }
    ASSERT_EQ(trace.Size(), c.size);
    std::uniform_int_distribution<std::int64_t> place(0, c.size);
    std::vector<std::pair<std::int64_t, std::int64_t>> ranges{{0, c.size}, {1, c.size}, {0, c.size - 1}};
    for (int k = 0; k < 40; ++k) {
        std::int64_t a = place(random);
        std::int64_t b = place(random);
        ranges.emplace_back(std::min(a, b), std::max(a, b));
    }
    for (const auto& [from, to] : ranges) {
        SCOPED_TRACE(testing::Message() << "[" << from << ", " << to << ")");
        const std::optional<TTraceStats> stats = trace.Stats(from, to);
        if (from >= to) {
            EXPECT_FALSE(stats);
            continue;
        }
        ASSERT_TRUE(stats);
        const TReference r = Reference(values, from, to);
        EXPECT_EQ(stats->Count, r.count);
        EXPECT_EQ(stats->Values, r.values);
        ExpectClose(stats->GapShare(), static_cast<double>(r.count - r.values) / static_cast<double>(r.count),
                    "gap share");
        double lo = 0;
        double hi = 0;
        EXPECT_EQ(trace.Span(from, to, lo, hi), r.values > 0);
        if (r.values == 0)
            continue;
        EXPECT_EQ(stats->Min, r.min);
        EXPECT_EQ(stats->Max, r.max);
        EXPECT_EQ(lo, r.min);
        EXPECT_EQ(hi, r.max);
        ExpectClose(stats->Mean, r.mean, "mean");
        ASSERT_EQ(stats->StdDev.has_value(), r.values > 1);
        if (stats->StdDev)
            ExpectClose(*stats->StdDev, r.deviation, "deviation");
    }
}

INSTANTIATE_TEST_SUITE_P(
    Streams, TraceStatsTest,
    ::testing::Values(TStreamCase{1, 0, 5, 1}, TStreamCase{63, 0.1, 5, 1}, TStreamCase{64, 0, 5, 1},
                      TStreamCase{65, 0.5, 5, 1}, TStreamCase{1000, 0.3, 0, 1},
                      // Far from zero with little noise: where sums of squares lose every digit.
                      TStreamCase{100003, 0.05, 12345.678, 0.001}, TStreamCase{4096, 1.0, 5, 1},
                      TStreamCase{20000, 0.999, 250, 3}));

TEST(TraceBadInputTest, NoNumbersAndEmptyRangesNeverReachTheStatistics)
{
    TSampleTrace trace;
    trace.Append(std::numeric_limits<double>::quiet_NaN(), 0);
    trace.Append(INFINITY, 0.1);
    trace.Append(-INFINITY, 0.2);
    trace.Append(2.5, 0.3);
    trace.AppendGap(0.4);
    EXPECT_TRUE(trace.IsGap(1) && trace.IsGap(2) && trace.IsGap(4));

    const std::optional<TTraceStats> all = trace.Stats(-10, 100);
    ASSERT_TRUE(all);
    EXPECT_EQ(all->Count, 5);
    EXPECT_EQ(all->Values, 1);
    EXPECT_EQ(all->Mean, 2.5);
    EXPECT_FALSE(all->StdDev) << "one value has no deviation";
    EXPECT_DOUBLE_EQ(all->GapShare(), 0.8);

    EXPECT_FALSE(trace.Stats(3, 3)) << "zero width";
    EXPECT_FALSE(trace.Stats(4, 2)) << "reversed";
    EXPECT_FALSE(trace.Stats(5, 9)) << "beyond the samples";
    EXPECT_FALSE(trace.Stats(-5, 0)) << "before the samples";
    const std::optional<TTraceStats> gaps = trace.Stats(0, 3);
    ASSERT_TRUE(gaps);
    EXPECT_EQ(gaps->Values, 0);
    EXPECT_EQ(gaps->GapShare(), 1.0);
    EXPECT_FALSE(trace.Histogram(0, 3, 10)) << "all gaps";
    EXPECT_FALSE(trace.Histogram(3, 4, 0)) << "no bins";
    EXPECT_FALSE(TSampleTrace().Stats(0, 1));
    EXPECT_FALSE(TSampleTrace().Rate());
}

TEST(TraceHistogramTest, EveryValueInItsBin)
{
    TSampleTrace trace;
    for (int i = 0; i <= 100; ++i)
        trace.Append(i % 7 == 0 ? std::nan("") : i * 0.5, i);
    const std::optional<THistogram> histogram = trace.Histogram(0, trace.Size(), 10);
    ASSERT_TRUE(histogram);
    EXPECT_EQ(histogram->Lo, 0.5);
    EXPECT_EQ(histogram->Hi, 50);
    std::vector<std::int64_t> expected(10, 0);
    for (int i = 0; i <= 100; ++i)
        if (i % 7 != 0)
            ++expected[static_cast<std::size_t>(std::min(9, static_cast<int>((i * 0.5 - 0.5) / 4.95)))];
    EXPECT_EQ(histogram->Bins, expected);

    TSampleTrace flat;
    for (int i = 0; i < 5; ++i)
        flat.Append(3, i);
    const std::optional<THistogram> one = flat.Histogram(0, 5, 4);
    ASSERT_TRUE(one);
    EXPECT_EQ(one->Bins, (std::vector<std::int64_t>{5, 0, 0, 0}));
}

TEST(TraceTimeTest, TimesFollowTheReadsAndNeverGoBack)
{
    using Clock = TStreamClock::Clock;
    TStreamClock clock;
    TSampleTrace trace;
    const Clock::time_point start = Clock::now();
    // Ten groups at 9600 baud end at the first read: 70 bits, 7.291(6) ms apart.
    clock.Batch(start, 10, 9600);
    for (int i = 0; i < 10; ++i)
        trace.Append(i, clock.Next());
    const double step = 70.0 / 9600;
    for (int i = 0; i < 10; ++i)
        EXPECT_NEAR(trace.Time(i), i * step, 1e-9) << i;
    // A second read half a second after the first: its last sample then, the other one before;
    // a time that goes back is taken as the last.
    clock.Batch(start + std::chrono::milliseconds(500), 2, 9600);
    trace.Append(10, clock.Next());
    trace.Append(11, clock.Next());
    EXPECT_NEAR(trace.Time(10), 0.5 + 8 * step, 1e-6);
    EXPECT_NEAR(trace.Time(11), 0.5 + 9 * step, 1e-6);
    trace.Append(12, trace.Time(11) - 1);
    EXPECT_EQ(trace.Time(12), trace.Time(11));

    EXPECT_EQ(trace.IndexAtTime(-1), 0);
    EXPECT_EQ(trace.IndexAtTime(step * 3), 3);
    EXPECT_EQ(trace.IndexAtTime(step * 3 + 1e-6), 4);
    EXPECT_EQ(trace.IndexAtTime(100), trace.Size());

    // Over the last second: samples 0..12, 12 intervals, over the span from sample 0.
    ASSERT_TRUE(trace.Rate());
    EXPECT_NEAR(*trace.Rate(), 12 / trace.Time(12), 1e-9);
}

TEST(TraceCsvTest, ReadBackGivesTheSamples)
{
    TSampleTrace trace;
    const std::vector<double> values{12.345, std::nan(""), -0.005, 1e-7, 249.995, 0.1 + 0.2};
    for (std::size_t i = 0; i < values.size(); ++i)
        trace.Append(values[i], 0.000123 * static_cast<double>(i) + 1.5);

    const QByteArray csv = TraceAsCsv(trace, 1, 100);
    ASSERT_TRUE(csv.startsWith("\xEF\xBB\xBF"));
    QList<QByteArray> lines = csv.mid(3).split('\n');
    ASSERT_EQ(lines.takeLast(), QByteArray()) << "each row ends with CR LF";
    ASSERT_EQ(lines.size(), 1 + 5);
    EXPECT_EQ(QString::fromUtf8(lines[0].chopped(1)),
              QStringLiteral("\"Номер отсчета\",\"Время, с\",\"Значение, мм\",\"Пропуск\""));
    for (int row = 1; row < lines.size(); ++row) {
        ASSERT_TRUE(lines[row].endsWith('\r'));
        const QList<QByteArray> cells = lines[row].chopped(1).split(',');
        ASSERT_EQ(cells.size(), 4) << row;
        const std::int64_t i = cells[0].toLongLong();
        EXPECT_EQ(i, row) << "the rows start at the range";
        EXPECT_NEAR(cells[1].toDouble(), trace.Time(i), 5e-7);
        EXPECT_EQ(cells[3], trace.IsGap(i) ? "1" : "0");
        if (trace.IsGap(i)) {
            EXPECT_TRUE(cells[2].isEmpty());
        } else {
            bool ok = false;
            EXPECT_EQ(cells[2].toDouble(&ok), trace.Value(i)) << "exact round trip";
            EXPECT_TRUE(ok);
        }
    }
    EXPECT_EQ(TraceAsCsv(trace, 4, 2).count('\n'), 1) << "an empty range gives the header alone";
}

} // namespace
