#pragma once
// The stream chart: the samples of Series1 with their gap heights, the axes as the samples leave
// them, repaints on a clock, and the overlay (zoom rectangle, cross-hair) drawn over the chart
// image without repainting it. Main thread only.
#include "pages/StreamSampler.h"
#include <QObject>
#include <QPoint>
#include <QRect>
#include <QSharedPointer>
#include <QTimer>
#include <optional>
#include <utility>
#include <vector>

class QCPGraphData;
template <class T> class QCPDataContainer;
class QCustomPlot;
class TAxisLabelTicker;
class TChartOverlay;
class TStreamGraph;

class TStreamChart : public QObject, public TStreamSeries {
    Q_OBJECT
  public:
    TStreamChart(QCustomPlot& chart, TStreamGraph& series);
    ~TStreamChart() override;

    bool Empty() const override;
    double FirstX() const override;
    double LastX() const override;
    bool AddPoint(double x, double y) override;
    bool AddGap(double x, double height) override;

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
    QSharedPointer<TAxisLabelTicker> leftTicker_;
    TChartOverlay* overlay_;
    QTimer replotClock_;
    TStreamSampler sampler_{*this};
    bool autoBottomMax_ = true;
    double bottomMin_ = 0;
};
