// The stream chart after a stop: rubber-band zoom and undo, the cross-hair, panning and the
// scroll bar over a zoomed window.
#include "bus/SensorBus.h"
#include "pages/PageHost.h"
#include "pages/ResultText.h"
#include "pages/StreamChart.h"
#include "pages/StreamPage.h"
#include "pages/StreamTools.h"
#include "protocol/DeviceUnit.h"
#include <QLabel>
#include <QMouseEvent>
#include <QScrollBar>
#include <cmath>
#include <qcustomplot.h>

namespace {
// A drag this short in either direction is taken for a click: no zoom.
constexpr int DeadZonePx = 10;
// A zoom window hiding no more samples than this needs no scroll bar.
constexpr int HiddenWithoutScrollBar = 5;

bool InDeadZone(int dx, int dy)
{
    return (dx >= -DeadZonePx && dx <= DeadZonePx) || (dy >= -DeadZonePx && dy <= DeadZonePx);
}

int CrossDecimals(double range)
{
    if (range >= 100)
        return 2;
    if (range >= 10)
        return 3;
    return 4;
}
} // namespace

void TStreamPage::Chart1MouseDown(QMouseEvent* event)
{
    const QPoint at = event->position().toPoint();
    // Ctrl with the left or right button sets a measuring cursor, while the stream runs too.
    if (event->modifiers() == Qt::ControlModifier &&
        (event->button() == Qt::LeftButton || event->button() == Qt::RightButton)) {
        if (streamChart_->PlotRect().contains(at))
            streamTools_->PlaceCursor(event->button() == Qt::LeftButton ? 0 : 1, at.x());
        return;
    }
    if (host_.Bus().StreamRunning())
        return;
    if (event->button() == Qt::RightButton && chartPanning_)
        panFrom_ = at;
    CursorPlusMinus(event->button(), at.x(), at.y(), true);
    MouseCross(QStringLiteral("Chart1"), event->modifiers(), event->buttons(), at.x(), at.y());
}

void TStreamPage::Chart1MouseMove(QMouseEvent* event)
{
    if (host_.Bus().StreamRunning())
        return;
    const QPoint at = event->position().toPoint();
    if (panFrom_ && (event->buttons() & Qt::RightButton)) {
        PanChart(at);
        return;
    }
    MouseCross(QStringLiteral("Chart1"), event->modifiers(), event->buttons(), at.x(), at.y());
    if (event->buttons() != Qt::LeftButton || event->modifiers() != Qt::NoModifier || PressOutsideChart)
        return;
    streamChart_->RestoreImage();
    const int dx = at.x() - DragStartX;
    const int dy = at.y() - DragStartY;
    if (!ZoomDragging)
        return;
    streamChart_->DrawRect(at, QPoint(DragStartX, DragStartY));
    if (InDeadZone(dx, dy))
        Chart1->setCursor(RegisteredCursor(0));
    else
        Chart1->setCursor(RegisteredCursor(dx < 0 && dy < 0 ? 2 : 1));
}

void TStreamPage::Chart1MouseUp(QMouseEvent* event)
{
    if (host_.Bus().StreamRunning())
        return;
    if (event->button() == Qt::RightButton)
        panFrom_.reset();
    Chart1->setCursor(RegisteredCursor(0));
    ZoomDragging = false;
    if (event->buttons() == Qt::NoButton && event->modifiers() == Qt::NoModifier) {
        const QPoint at = event->position().toPoint();
        CursorPlusMinus(event->button(), at.x(), at.y(), false);
    }
}

void TStreamPage::CursorPlusMinus(Qt::MouseButton Button, int X, int Y, bool DownMove)
{
    if (DownMove) {
        const QRect plot = streamChart_->PlotRect();
        const bool inside = plot.left() < X && X < plot.left() + plot.width() && plot.top() < Y &&
                            Y < plot.top() + plot.height();
        if (!inside) {
            PressOutsideChart = true;
        } else if (Button == Qt::LeftButton) {
            DragStartX = X;
            DragStartY = Y;
            ZoomDragging = true;
            PressOutsideChart = false;
        }
        return;
    }
    if (PressOutsideChart)
        return;
    streamChart_->RestoreImage();
    const int dx = X - DragStartX;
    const int dy = Y - DragStartY;
    if (Button != Qt::LeftButton || InDeadZone(dx, dy))
        return;
    if (dx < 0 && dy < 0) {
        Chart1UndoZoom();
        return;
    }
    const double x1 = Chart1->xAxis->pixelToCoord(X);
    const double x2 = Chart1->xAxis->pixelToCoord(DragStartX);
    const double y1 = Chart1->yAxis->pixelToCoord(Y);
    const double y2 = Chart1->yAxis->pixelToCoord(DragStartY);
    streamChart_->SetAutoBottomMax(false);
    streamChart_->SetBottomRange(std::min(x1, x2), std::max(x1, x2));
    streamChart_->SetLeftRange(std::min(y1, y2), std::max(y1, y2));
    Chart1Zoom();
}

void TStreamPage::MouseCross(const QString&, Qt::KeyboardModifiers Shift, Qt::MouseButtons Buttons, int X,
                             int Y)
{
    if (Shift != Qt::ShiftModifier || Buttons != Qt::LeftButton)
        return;
    if (!streamChart_->PlotRect().contains(X, Y))
        return;
    // Rounded half to even, as the chart's own rounding of a pixel to a sample number.
    const double x = std::nearbyint(Chart1->xAxis->pixelToCoord(X));
    const auto height = streamChart_->HeightAt(x);
    if (!height)
        return;
    const QCPRange shown = Chart1->yAxis->range();
    if (*height < shown.lower || *height > shown.upper)
        return;
    streamTools_->ShowPoint(static_cast<std::int64_t>(x - streamChart_->FirstX()));
    DrawCross1(static_cast<int>(std::lround(Chart1->xAxis->coordToPixel(x))),
               static_cast<int>(std::lround(Chart1->yAxis->coordToPixel(*height))), *height);
}

void TStreamPage::DrawCross1(int X, int Y, double Value)
{
    Chart1->setCursor(RegisteredCursor(0));
    streamChart_->RestoreImage();
    streamChart_->DrawCross(QPoint(X, Y));
    // Without a sensor behind the address box the cross-hair stays drawn and the label keeps its text.
    if (const TDevice* const device = host_.SelectedDevice())
        Label5->setText(FixedNumberText(Value, CrossDecimals(device->ID_D)) + QStringLiteral(" мм"));
}

void TStreamPage::Chart1Zoom()
{
    Chart1Scroll();
    LeftAxisLabelRule();
    streamChart_->Replot();
}

void TStreamPage::Chart1UndoZoom()
{
    UndoZoomPending = true;
    TStreamChart& chart = *streamChart_;
    if (!chart.Empty()) {
        chart.SetAutoBottomMax(false);
        chart.SetBottomRange(chart.FirstX(), chart.LastX());
    }
    OperScroll();
    if (const auto span = chart.HeightSpan()) {
        const double margin = (span->second - span->first) * 0.05;
        chart.SetLeftRange(span->first - margin, span->second + margin);
    }
    LeftAxisLabelRule();
    chart.Replot();
}

void TStreamPage::Chart1Scroll()
{
    OperScroll();
}

void TStreamPage::PanChart(const QPoint& to)
{
    const QPoint from = *panFrom_;
    Chart1->xAxis->moveRange(Chart1->xAxis->pixelToCoord(from.x()) - Chart1->xAxis->pixelToCoord(to.x()));
    Chart1->yAxis->moveRange(Chart1->yAxis->pixelToCoord(from.y()) - Chart1->yAxis->pixelToCoord(to.y()));
    panFrom_ = to;
    Chart1Scroll();
    streamChart_->Replot();
}

void TStreamPage::OperScroll()
{
    if (UndoZoomPending) {
        ScrollBar1->hide();
        UndoZoomPending = false;
        return;
    }
    const TStreamChart& chart = *streamChart_;
    const QCPRange shown = Chart1->xAxis->range();
    const double lo = std::ceil(shown.lower);
    const double hi = std::floor(shown.upper);
    const double hidden = chart.Count() - (hi - lo + 1);
    if (hidden <= HiddenWithoutScrollBar) {
        ScrollBar1->hide();
        return;
    }
    scrollSync_ = true;
    ScrollBar1->setMinimum(0);
    ScrollBar1->setMaximum(static_cast<int>(hidden));
    VisibleSpan = static_cast<std::int32_t>(chart.Count() - hidden - 1);
    ScrollBar1->show();
    ScrollBar1->setValue(std::max(0, chart.IndexOf(lo)));
    scrollSync_ = false;
}

void TStreamPage::ScrollBar1Scroll()
{
    TStreamChart& chart = *streamChart_;
    const int position = ScrollBar1->value();
    if (position < 0 || position >= chart.Count())
        return;
    const double first = chart.XAt(position);
    chart.SetBottomRange(first, first + VisibleSpan);
    OperScroll();
    chart.Replot();
}

void TStreamPage::LeftAxisLabelRule()
{
    const QCPRange shown = Chart1->yAxis->range();
    const double r = shown.upper - shown.lower;
    if (r >= 5) {
        streamChart_->SetLeftLabels(0, 7, 0);
        return;
    }
    if (r == 0) {
        streamChart_->SetLeftIncrementAutomatic();
        return;
    }
    const double step = r / 7;
    const int n = static_cast<int>(std::floor(std::log10(1 / step)));
    const double scale = std::pow(10.0, n + 1);
    // Half to even, as the rounding of the step to n + 1 decimals is.
    int d = static_cast<int>(std::nearbyint(step * scale));
    if (d >= 4)
        d = 5;
    else if (d == 3)
        d = 4;
    streamChart_->SetLeftLabels(n + 1, n + 1, d / scale);
}
