#include "pages/StreamChart.h"
#include "pages/StreamGraph.h"
#include <QEvent>
#include <QLocale>
#include <QPainter>
#include <QWidget>
#include <algorithm>
#include <cmath>
#include <qcustomplot.h>

namespace {
// About 60 repaints a second at most, however fast the samples come.
constexpr int FramePeriodMs = 16;
// A fixed increment that would put more labels than this on the axis is left to the ticker.
constexpr double MaxFixedTicks = 200;
} // namespace

// Left axis labels in the "###0.##0" style: up to maxDecimals decimals, trailing zeros dropped
// down to fixedDecimals; a fixed increment when one is set.
class TAxisLabelTicker : public QCPAxisTicker {
  public:
    int fixedDecimals = 0;
    int maxDecimals = 7;
    double increment = 0;

  protected:
    double getTickStep(const QCPRange& range) override
    {
        if (increment > 0 && range.size() / increment <= MaxFixedTicks)
            return increment;
        return QCPAxisTicker::getTickStep(range);
    }
    QString getTickLabel(double tick, const QLocale&, QChar, int) override
    {
        QLocale locale;
        locale.setNumberOptions(QLocale::OmitGroupSeparator);
        QString text = locale.toString(std::abs(tick) < 1e-12 ? 0.0 : tick, 'f', maxDecimals);
        const QString point = locale.decimalPoint();
        const qsizetype separator = text.lastIndexOf(point);
        if (separator < 0)
            return text;
        qsizetype keep = text.size();
        while (keep > separator + 1 + fixedDecimals && text[keep - 1] == QLatin1Char('0'))
            --keep;
        if (keep == separator + 1)
            keep = separator;
        return text.left(keep);
    }
};

// The bottom axis in seconds: ticks at round times, each placed at the sample position its time
// falls on, so that zoom, panning and the scroll bar keep working in sample numbers.
class TTimeTicker : public QCPAxisTicker {
  public:
    explicit TTimeTicker(const TSampleTrace& trace) : trace_(trace) {}

    // The time at a sample position, between two samples in proportion.
    double TimeAtX(double x) const
    {
        const std::int64_t n = trace_.Size();
        if (n == 0)
            return 0;
        const double at = std::clamp(x, 0.0, static_cast<double>(n - 1));
        const auto i = static_cast<std::int64_t>(std::floor(at));
        if (i + 1 >= n)
            return trace_.Time(n - 1);
        return trace_.Time(i) + (trace_.Time(i + 1) - trace_.Time(i)) * (at - static_cast<double>(i));
    }

  protected:
    QVector<double> createTickVector(double, const QCPRange& range) override
    {
        QVector<double> ticks;
        const std::int64_t n = trace_.Size();
        const double t0 = TimeAtX(range.lower);
        const double t1 = TimeAtX(range.upper);
        if (n < 2 || !(t1 > t0))
            return ticks;
        step_ = QCPAxisTicker::getTickStep(QCPRange(t0, t1));
        for (double t = std::ceil(t0 / step_) * step_; t <= t1 + step_ * 1e-9; t += step_) {
            const std::int64_t i = std::clamp<std::int64_t>(trace_.IndexAtTime(t), 1, n - 1);
            const double before = trace_.Time(i - 1);
            const double after = trace_.Time(i);
            const double x = after > before ? static_cast<double>(i - 1) + (t - before) / (after - before)
                                            : static_cast<double>(i);
            if (ticks.isEmpty() || x > ticks.constLast())
                ticks.append(x);
        }
        return ticks;
    }
    QVector<QString> createLabelVector(const QVector<double>& ticks, const QLocale&, QChar, int) override
    {
        QLocale locale;
        locale.setNumberOptions(QLocale::OmitGroupSeparator);
        const int decimals = std::clamp(static_cast<int>(-std::floor(std::log10(step_) + 1e-9)), 0, 6);
        QVector<QString> labels;
        labels.reserve(ticks.size());
        for (const double x : ticks)
            labels.append(locale.toString(std::round(TimeAtX(x) / step_) * step_, 'f', decimals));
        return labels;
    }

  private:
    const TSampleTrace& trace_;
    double step_ = 1;
};

// Draws the zoom rectangle or the cross-hair over the chart; the chart image beneath stays.
class TChartOverlay : public QWidget {
  public:
    explicit TChartOverlay(QWidget* parent) : QWidget(parent)
    {
        setAttribute(Qt::WA_TransparentForMouseEvents);
        setAttribute(Qt::WA_NoSystemBackground);
    }
    enum class Shape { None, Rect, Cross };
    void Show(Shape shape, const QPoint& a, const QPoint& b, const QRect& plot)
    {
        shape_ = shape;
        a_ = a;
        b_ = b;
        plot_ = plot;
        update();
    }

  protected:
    void paintEvent(QPaintEvent*) override
    {
        if (shape_ == Shape::None)
            return;
        QPainter painter(this);
        if (shape_ == Shape::Rect) {
            painter.setPen(QPen(Qt::black, 1, Qt::SolidLine));
            painter.setBrush(Qt::NoBrush);
            painter.drawRect(QRect(a_, b_).normalized());
            return;
        }
        painter.setPen(QPen(Qt::black, 1, Qt::DotLine));
        painter.drawLine(a_.x(), plot_.top(), a_.x(), plot_.bottom());
        painter.drawLine(plot_.left(), a_.y(), plot_.right(), a_.y());
    }

  private:
    Shape shape_ = Shape::None;
    QPoint a_;
    QPoint b_;
    QRect plot_;
};

TStreamChart::TStreamChart(QCustomPlot& chart, TStreamGraph& series, TSampleTrace& trace)
    : QObject(&chart), chart_(chart), series_(series), data_(series.data()), trace_(trace),
      leftTicker_(new TAxisLabelTicker), numberTicker_(chart.xAxis->ticker()), timeTicker_(new TTimeTicker(trace)),
      overlay_(new TChartOverlay(&chart))
{
    chart_.yAxis->setTicker(leftTicker_);
    const QColor colours[2] = {QColor(0x90, 0x00, 0xA0), QColor(0x00, 0x70, 0x90)};
    for (int c = 0; c < 2; ++c) {
        cursors_[c] = new QCPItemStraightLine(&chart_);
        cursors_[c]->setPen(QPen(colours[c], 1, Qt::DashLine));
        cursors_[c]->setVisible(false);
        cursors_[c]->setSelectable(false);
    }
    overlay_->setGeometry(chart_.rect());
    overlay_->show();
    chart_.installEventFilter(this);
    replotClock_.setSingleShot(true);
    replotClock_.setInterval(FramePeriodMs);
    connect(&replotClock_, &QTimer::timeout, this, [this] { chart_.replot(QCustomPlot::rpQueuedRefresh); });
}

TStreamChart::~TStreamChart() = default;

bool TStreamChart::Empty() const
{
    return data_->isEmpty();
}

double TStreamChart::FirstX() const
{
    return data_->constBegin()->key;
}

double TStreamChart::LastX() const
{
    return (data_->constEnd() - 1)->key;
}

bool TStreamChart::AddPoint(double x, double y, bool measured)
{
    if (!std::isfinite(x) || !std::isfinite(y) || (!data_->isEmpty() && x <= LastX()))
        return false;
    data_->add(QCPGraphData(x, y));
    if (measured)
        trace_.Append(y, clock_.Next());
    else
        trace_.AppendGap(clock_.Next());
    return true;
}

bool TStreamChart::AddGap(double x, double height)
{
    if (!std::isfinite(x) || !std::isfinite(height) || (!data_->isEmpty() && x <= LastX()))
        return false;
    // NaN breaks the line; the height stays beside it for the cross-hair.
    data_->add(QCPGraphData(x, std::nan("")));
    trace_.AppendGap(clock_.Next());
    gaps_.emplace_back(x, height);
    return true;
}

void TStreamChart::Clear()
{
    data_->clear();
    data_->squeeze(true, true);
    trace_.Clear();
    clock_.Restart();
    SetCursor(0, std::nullopt);
    SetCursor(1, std::nullopt);
    gaps_.clear();
    gaps_.shrink_to_fit();
    Replot();
}

int TStreamChart::Count() const
{
    return data_->size();
}

double TStreamChart::XAt(int index) const
{
    return data_->at(index)->key;
}

int TStreamChart::IndexOf(double x) const
{
    const auto found = data_->findBegin(x, false);
    if (found == data_->constEnd() || found->key != x)
        return -1;
    return static_cast<int>(found - data_->constBegin());
}

std::optional<double> TStreamChart::HeightAt(double x) const
{
    const int index = IndexOf(x);
    if (index < 0)
        return std::nullopt;
    const double y = data_->at(index)->value;
    if (!std::isnan(y))
        return y;
    const auto gap =
        std::lower_bound(gaps_.begin(), gaps_.end(), x,
                         [](const std::pair<double, double>& g, double key) { return g.first < key; });
    if (gap == gaps_.end() || gap->first != x)
        return std::nullopt;
    return gap->second;
}

std::optional<std::pair<double, double>> TStreamChart::HeightSpan() const
{
    double lo = INFINITY;
    double hi = -INFINITY;
    for (auto it = data_->constBegin(); it != data_->constEnd(); ++it) {
        if (std::isnan(it->value))
            continue;
        lo = std::min(lo, it->value);
        hi = std::max(hi, it->value);
    }
    for (const auto& gap : gaps_) {
        lo = std::min(lo, gap.second);
        hi = std::max(hi, gap.second);
    }
    if (lo > hi)
        return std::nullopt;
    return std::make_pair(lo, hi);
}

void TStreamChart::Arrived(std::chrono::steady_clock::time_point readAt, std::size_t count, int speed)
{
    clock_.Batch(readAt, count, speed);
}

std::pair<std::int64_t, std::int64_t> TStreamChart::Shown() const
{
    if (Empty())
        return {0, 0};
    const QCPRange shown = chart_.xAxis->range();
    const double first = FirstX();
    const auto from = static_cast<std::int64_t>(std::max(0.0, std::ceil(shown.lower - first)));
    const auto to = static_cast<std::int64_t>(
        std::min(static_cast<double>(trace_.Size()), std::floor(shown.upper - first) + 1));
    return {from, std::max(from, to)};
}

std::optional<std::int64_t> TStreamChart::IndexAtPixel(int x) const
{
    if (Empty() || !std::isfinite(chart_.xAxis->pixelToCoord(x)))
        return std::nullopt;
    const double at = std::nearbyint(chart_.xAxis->pixelToCoord(x)) - FirstX();
    if (at < 0 || at >= static_cast<double>(trace_.Size()))
        return std::nullopt;
    return static_cast<std::int64_t>(at);
}

void TStreamChart::SetTimeAxis(bool on)
{
    timeAxis_ = on;
    if (on)
        chart_.xAxis->setTicker(timeTicker_);
    else
        chart_.xAxis->setTicker(numberTicker_);
    chart_.xAxis->setLabel(on ? QStringLiteral("Время, с") : QStringLiteral("Номер отсчета"));
    Replot();
}

void TStreamChart::SetCursor(int which, std::optional<std::int64_t> index)
{
    if (index && (*index < 0 || *index >= trace_.Size()))
        index.reset();
    cursorAt_[which] = index;
    QCPItemStraightLine* const line = cursors_[which];
    line->setVisible(index.has_value());
    if (index) {
        const double x = (Empty() ? 0 : FirstX()) + static_cast<double>(*index);
        line->point1->setCoords(x, 0);
        line->point2->setCoords(x, 1);
    }
    Replot();
}

std::optional<std::int64_t> TStreamChart::Cursor(int which) const
{
    return cursorAt_[which];
}

void TStreamChart::ShowView(const TStreamView& view)
{
    SetLeftRange(view.LeftMin, view.LeftMax);
    if (view.BottomMin)
        bottomMin_ = *view.BottomMin;
    if (autoBottomMax_) {
        const double last = Empty() ? bottomMin_ : LastX();
        SetBottomRange(bottomMin_, std::max(last, bottomMin_ + 1));
    } else if (view.BottomMin) {
        SetBottomRange(bottomMin_, chart_.xAxis->range().upper);
    }
    Replot();
}

bool TStreamChart::SetBottomRange(double lo, double hi)
{
    if (!QCPRange::validRange(lo, hi))
        return false;
    bottomMin_ = lo;
    chart_.xAxis->setRange(lo, hi);
    return true;
}

bool TStreamChart::SetLeftRange(double lo, double hi)
{
    if (!QCPRange::validRange(lo, hi))
        return false;
    chart_.yAxis->setRange(lo, hi);
    return true;
}

void TStreamChart::SetLeftLabels(int fixedDecimals, int maxDecimals, double increment)
{
    if (maxDecimals >= 0) {
        leftTicker_->fixedDecimals = fixedDecimals;
        leftTicker_->maxDecimals = maxDecimals;
    }
    leftTicker_->increment = increment;
}

void TStreamChart::SetLeftIncrementAutomatic()
{
    leftTicker_->increment = 0;
}

void TStreamChart::Replot()
{
    if (!replotClock_.isActive())
        replotClock_.start();
}

void TStreamChart::ReplotNow()
{
    replotClock_.stop();
    chart_.replot(QCustomPlot::rpImmediateRefresh);
}

QRect TStreamChart::PlotRect() const
{
    return chart_.axisRect()->rect();
}

void TStreamChart::RestoreImage()
{
    overlay_->Show(TChartOverlay::Shape::None, {}, {}, {});
}

void TStreamChart::DrawRect(const QPoint& a, const QPoint& b)
{
    overlay_->Show(TChartOverlay::Shape::Rect, a, b, PlotRect());
}

void TStreamChart::DrawCross(const QPoint& at)
{
    overlay_->Show(TChartOverlay::Shape::Cross, at, at, PlotRect());
}

bool TStreamChart::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == &chart_ && event->type() == QEvent::Resize)
        overlay_->setGeometry(chart_.rect());
    return QObject::eventFilter(watched, event);
}
