#pragma once
// The stream chart: the samples of Series1 with their gap heights, the axes as the samples leave
// them, repaints on a clock, and the overlay (zoom rectangle, cross-hair) drawn over the chart
// image without repainting it. Main thread only.
#include "pages/StreamSampler.h"
#include "stream/SampleTrace.h"
#include <QObject>
#include <QPoint>
#include <QRect>
#include <QSharedPointer>
#include <QTimer>
#include <chrono>
#include <cstdint>
#include <optional>
#include <utility>
#include <vector>

class QCPAxisTicker;
class QCPGraphData;
class QCPItemStraightLine;
template <class T> class QCPDataContainer;
class QCustomPlot;
class TAxisLabelTicker;
class TTimeTicker;
class TChartOverlay;
class TStreamGraph;

class TStreamChart : public QObject, public TStreamSeries {
    Q_OBJECT
  public:
    // trace: kept in step with the series, each point with its arrival time.
    TStreamChart(QCustomPlot& chart, TStreamGraph& series, TSampleTrace& trace);
    ~TStreamChart() override;

    bool Empty() const override;
    double FirstX() const override;
    double LastX() const override;
    bool AddPoint(double x, double y, bool measured) override;
    bool AddGap(double x, double height) override;

    // A read of count samples at a line speed: the points that follow take their times from it.
    void Arrived(std::chrono::steady_clock::time_point readAt, std::size_t count, int speed);
    const TSampleTrace& Trace() const { return trace_; }
    // The points whose x the bottom axis shows, as trace indices [first, end); empty when none.
    std::pair<std::int64_t, std::int64_t> Shown() const;
    // The trace index of the point nearest a pixel column; none outside the points.
    std::optional<std::int64_t> IndexAtPixel(int x) const;

    // The bottom axis in seconds since the first sample instead of sample numbers.
    void SetTimeAxis(bool on);
    bool TimeAxis() const { return timeAxis_; }
    // Measuring cursor 0 or 1 at a trace index; none takes it away.
    void SetCursor(int which, std::optional<std::int64_t> index);
    std::optional<std::int64_t> Cursor(int which) const;

    // The sample decoding that feeds this chart.
    TStreamSampler& Sampler() { return sampler_; }

    void Clear();
    int Count() const;
    double XAt(int index) const;
    // The index of the point at x; -1 when there is none.
    int IndexOf(double x) const;
    // The height of the point at x, a gap at its kept height; none when there is no such point.
    std::optional<double> HeightAt(double x) const;
    // The smallest and largest height, gaps included; none while the series is empty.
    std::optional<std::pair<double, double>> HeightSpan() const;

    // While on, the bottom axis maximum follows the last point.
    void SetAutoBottomMax(bool on) { autoBottomMax_ = on; }
    bool AutoBottomMax() const { return autoBottomMax_; }
    // The axes and (when set) the minimum of the bottom axis that the samples left.
    void ShowView(const TStreamView& view);
    // Sets the bottom axis; false when the range is no range.
    bool SetBottomRange(double lo, double hi);
    bool SetLeftRange(double lo, double hi);
    // The left axis label format "###0." with hashes optional decimals and then one fixed, and
    // its increment; increment 0 is automatic. maxDecimals < 0 keeps the free format.
    void SetLeftLabels(int fixedDecimals, int maxDecimals, double increment);
    void SetLeftIncrementAutomatic();

    // Asks for a repaint; repaints are coalesced to at most one per frame period.
    void Replot();
    // Repaints at once, for callers that must see the result (screenshots, measurements).
    void ReplotNow();

    QRect PlotRect() const;
    // The chart image without any overlay drawing.
    void RestoreImage();
    void DrawRect(const QPoint& a, const QPoint& b);
    void DrawCross(const QPoint& at);

  private:
    bool eventFilter(QObject* watched, QEvent* event) override;

    QCustomPlot& chart_;
    TStreamGraph& series_;
    QSharedPointer<QCPDataContainer<QCPGraphData>> data_;
    // Gap points by x in ascending order with the height they stand for.
    std::vector<std::pair<double, double>> gaps_;
    TSampleTrace& trace_;
    TStreamClock clock_;
    QSharedPointer<TAxisLabelTicker> leftTicker_;
    QSharedPointer<QCPAxisTicker> numberTicker_;
    QSharedPointer<TTimeTicker> timeTicker_;
    bool timeAxis_ = false;
    QCPItemStraightLine* cursors_[2] = {nullptr, nullptr};
    std::optional<std::int64_t> cursorAt_[2];
    TChartOverlay* overlay_;
    QTimer replotClock_;
    TStreamSampler sampler_{*this};
    bool autoBottomMax_ = true;
    double bottomMin_ = 0;
};
