#pragma once
// The samples of one stream as the chart holds them, at consecutive indices from 0: each a value
// or a gap (no result, out of range), with the time it arrived. A table per block of samples
// keeps count, minimum, maximum, mean and spread, so that the statistics and the extremes of any
// range take time in proportion to its blocks, not its samples. One thread only.
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

// The statistics of a range of samples: the extremes, mean and deviation over its values, gaps
// left out; none of them while the range holds no value.
struct TTraceStats {
    std::int64_t Count = 0;  // samples in the range, gaps included
    std::int64_t Values = 0; // of them, values
    double Min = 0;
    double Max = 0;
    double Mean = 0;
    // The sample standard deviation (n - 1); none below two values.
    std::optional<double> StdDev;
    double PeakToPeak() const { return Max - Min; }
    double GapShare() const { return Count > 0 ? static_cast<double>(Count - Values) / Count : 0; }
};

// The count of values in each of Bins equal bins over [Lo, Hi]; Hi itself goes to the last bin.
struct THistogram {
    double Lo = 0;
    double Hi = 0;
    std::vector<std::int64_t> Bins;
};

class TSampleTrace {
  public:
    void Clear();
    // A value; a value that is not finite is taken for a gap. Times never go back: an earlier
    // one is taken as the last.
    void Append(double value, double seconds);
    void AppendGap(double seconds);

    std::int64_t Size() const { return static_cast<std::int64_t>(values_.size()); }
    bool IsGap(std::int64_t i) const;
    double Value(std::int64_t i) const { return values_[static_cast<std::size_t>(i)]; }
    double Time(std::int64_t i) const { return times_[static_cast<std::size_t>(i)]; }
    // The first sample at or after the time; Size() when none is.
    std::int64_t IndexAtTime(double seconds) const;
    // The samples a second over the last second of the stream, or over all of it while it is
    // shorter; none below two samples or without time between them.
    std::optional<double> Rate() const;

    // Samples [from, to), clipped to the trace; none when nothing of the range is left.
    std::optional<TTraceStats> Stats(std::int64_t from, std::int64_t to) const;
    // The smallest and largest value of [from, to); false when it holds no value.
    bool Span(std::int64_t from, std::int64_t to, double& lo, double& hi) const;
    // The values of [from, to) in bins over their own extremes; none without a value.
    std::optional<THistogram> Histogram(std::int64_t from, std::int64_t to, int bins) const;

  private:
    struct TBlock {
        std::int64_t n = 0; // values
        double mean = 0;
        double m2 = 0; // sum of squared deviations from the mean
        double lo = 0;
        double hi = 0;
    };
    static void Add(TBlock& block, double value);
    static void Merge(TBlock& into, const TBlock& block);
    bool Clip(std::int64_t& from, std::int64_t& to) const;
    // The values of [from, to) as one block.
    TBlock Range(std::int64_t from, std::int64_t to) const;

    std::vector<double> values_; // NaN for a gap
    std::vector<double> times_;
    std::vector<TBlock> blocks_;
};

// The arrival time of each sample, in seconds since the first: the samples of one read end at its
// time and lie one group's time on the line apart before it.
class TStreamClock {
  public:
    using Clock = std::chrono::steady_clock;
    void Restart() { start_.reset(); }
    // A read of count samples at the line speed; Next() then gives their times in order.
    void Batch(Clock::time_point readAt, std::size_t count, int speed);
    double Next();

  private:
    std::optional<Clock::time_point> start_;
    double end_ = 0;   // the last sample of the read, since the start
    double step_ = 0;  // one group's time on the line
    double left_ = 0;  // samples of the read not yet given a time
};
