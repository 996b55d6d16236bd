#include "stream/SampleTrace.h"
#include <algorithm>
#include <cmath>
#include <limits>

namespace {
constexpr std::int64_t BlockSize = 64;
// A stream group is seven characters of ten bits each: start, eight data bits, stop.
constexpr double GroupBits = 70;
} // namespace

void TSampleTrace::Clear()
{
    values_.clear();
    values_.shrink_to_fit();
    times_.clear();
    times_.shrink_to_fit();
    blocks_.clear();
    blocks_.shrink_to_fit();
}

void TSampleTrace::Append(double value, double seconds)
{
    if (!std::isfinite(seconds) || (!times_.empty() && seconds < times_.back()))
        seconds = times_.empty() ? 0 : times_.back();
    if (values_.size() % BlockSize == 0)
        blocks_.emplace_back();
    const bool gap = !std::isfinite(value);
    values_.push_back(gap ? std::numeric_limits<double>::quiet_NaN() : value);
    times_.push_back(seconds);
    if (!gap)
        Add(blocks_.back(), value);
}

void TSampleTrace::AppendGap(double seconds)
{
    Append(std::numeric_limits<double>::quiet_NaN(), seconds);
}

bool TSampleTrace::IsGap(std::int64_t i) const
{
    return std::isnan(values_[static_cast<std::size_t>(i)]);
}

std::int64_t TSampleTrace::IndexAtTime(double seconds) const
{
    return std::lower_bound(times_.begin(), times_.end(), seconds) - times_.begin();
}

std::optional<double> TSampleTrace::Rate() const
{
    if (times_.size() < 2)
        return std::nullopt;
    const double last = times_.back();
    const std::int64_t from = std::max<std::int64_t>(0, IndexAtTime(last - 1.0) - 1);
    const double span = last - Time(from);
    if (span <= 0)
        return std::nullopt;
    return static_cast<double>(Size() - 1 - from) / span;
}

// Welford's update: exact enough for millions of values however far they lie from zero.
void TSampleTrace::Add(TBlock& block, double value)
{
    if (block.n == 0) {
        block.lo = value;
        block.hi = value;
    } else {
        block.lo = std::min(block.lo, value);
        block.hi = std::max(block.hi, value);
    }
    ++block.n;
    const double delta = value - block.mean;
    block.mean += delta / static_cast<double>(block.n);
    block.m2 += delta * (value - block.mean);
}

// Chan's combination of two blocks' means and squared deviations.
void TSampleTrace::Merge(TBlock& into, const TBlock& block)
{
    if (block.n == 0)
        return;
    if (into.n == 0) {
        into = block;
        return;
    }
    const double na = static_cast<double>(into.n);
    const double nb = static_cast<double>(block.n);
    const double n = na + nb;
    const double delta = block.mean - into.mean;
    into.mean += delta * nb / n;
    into.m2 += block.m2 + delta * delta * na * nb / n;
    into.n += block.n;
    into.lo = std::min(into.lo, block.lo);
    into.hi = std::max(into.hi, block.hi);
}

bool TSampleTrace::Clip(std::int64_t& from, std::int64_t& to) const
{
    from = std::max<std::int64_t>(from, 0);
    to = std::min(to, Size());
    return from < to;
}

TSampleTrace::TBlock TSampleTrace::Range(std::int64_t from, std::int64_t to) const
{
    TBlock range;
    const auto single = [&](std::int64_t i) {
        const double value = values_[static_cast<std::size_t>(i)];
        if (!std::isnan(value))
            Add(range, value);
    };
    std::int64_t i = from;
    for (; i < to && i % BlockSize != 0; ++i)
        single(i);
    for (; i + BlockSize <= to; i += BlockSize)
        Merge(range, blocks_[static_cast<std::size_t>(i / BlockSize)]);
    // The tail as a block of its own, merged, keeps the order of the sums the same for any range.
    TBlock tail;
    for (; i < to; ++i) {
        const double value = values_[static_cast<std::size_t>(i)];
        if (!std::isnan(value))
            Add(tail, value);
    }
    Merge(range, tail);
    return range;
}

std::optional<TTraceStats> TSampleTrace::Stats(std::int64_t from, std::int64_t to) const
{
    if (!Clip(from, to))
        return std::nullopt;
    const TBlock range = Range(from, to);
    TTraceStats stats;
    stats.Count = to - from;
    stats.Values = range.n;
    if (range.n > 0) {
        stats.Min = range.lo;
        stats.Max = range.hi;
        stats.Mean = range.mean;
    }
    if (range.n > 1)
        stats.StdDev = std::sqrt(std::max(0.0, range.m2 / static_cast<double>(range.n - 1)));
    return stats;
}

bool TSampleTrace::Span(std::int64_t from, std::int64_t to, double& lo, double& hi) const
{
    lo = INFINITY;
    hi = -INFINITY;
    if (!Clip(from, to))
        return false;
    const auto take = [&](std::int64_t i) {
        const double value = values_[static_cast<std::size_t>(i)];
        if (!std::isnan(value)) {
            lo = std::min(lo, value);
            hi = std::max(hi, value);
        }
    };
    std::int64_t i = from;
    for (; i < to && i % BlockSize != 0; ++i)
        take(i);
    for (; i + BlockSize <= to; i += BlockSize) {
        const TBlock& block = blocks_[static_cast<std::size_t>(i / BlockSize)];
        if (block.n > 0) {
            lo = std::min(lo, block.lo);
            hi = std::max(hi, block.hi);
        }
    }
    for (; i < to; ++i)
        take(i);
    return lo <= hi;
}

std::optional<THistogram> TSampleTrace::Histogram(std::int64_t from, std::int64_t to, int bins) const
{
    double lo = 0;
    double hi = 0;
    if (bins < 1 || !Span(from, to, lo, hi))
        return std::nullopt;
    Clip(from, to);
    THistogram histogram;
    histogram.Lo = lo;
    histogram.Hi = hi;
    histogram.Bins.assign(static_cast<std::size_t>(bins), 0);
    // All values alike: one bin holds them all.
    const double scale = hi > lo ? bins / (hi - lo) : 0;
    for (std::int64_t i = from; i < to; ++i) {
        const double value = values_[static_cast<std::size_t>(i)];
        if (std::isnan(value))
            continue;
        const int bin = std::min(bins - 1, static_cast<int>((value - lo) * scale));
        ++histogram.Bins[static_cast<std::size_t>(bin)];
    }
    return histogram;
}

void TStreamClock::Batch(Clock::time_point readAt, std::size_t count, int speed)
{
    step_ = speed > 0 ? GroupBits / speed : 0;
    if (!start_)
        start_ = readAt - std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(
                              step_ * static_cast<double>(count > 0 ? count - 1 : 0)));
    end_ = std::chrono::duration<double>(readAt - *start_).count();
    left_ = static_cast<double>(count);
}

double TStreamClock::Next()
{
    if (left_ > 0)
        left_ -= 1;
    return std::max(0.0, end_ - step_ * left_);
}
