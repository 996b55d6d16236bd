#include "pages/StreamGraph.h"
#include "stream/SampleTrace.h"
#include <algorithm>
#include <cmath>

namespace {
// Below this many samples per pixel column the plain drawing is cheap enough and exact.
constexpr double PlainBelowPerPixel = 4;
} // namespace

TStreamGraph::TStreamGraph(QCPAxis* keyAxis, QCPAxis* valueAxis, const TSampleTrace& trace)
    : QCPGraph(keyAxis, valueAxis), trace_(trace)
{
}

void TStreamGraph::draw(QCPPainter* painter)
{
    const QCPGraphDataContainer& data = *mDataContainer;
    QCPAxis* const keyAxis = mKeyAxis.data();
    QCPAxis* const valueAxis = mValueAxis.data();
    const int count = data.size();
    // The table only describes samples at consecutive x that it has seen.
    const bool consecutive =
        count > 0 && count == trace_.Size() && (data.constEnd() - 1)->key - data.constBegin()->key == count - 1;
    if (!keyAxis || !valueAxis || !consecutive) {
        QCPGraph::draw(painter);
        return;
    }
    const double first = data.constBegin()->key;
    const QCPRange shown = keyAxis->range();
    const int from = std::clamp(static_cast<int>(std::floor(shown.lower - first)), 0, count - 1);
    const int to = std::clamp(static_cast<int>(std::ceil(shown.upper - first)) + 1, from + 1, count);
    const double left = keyAxis->coordToPixel(first + from);
    const double right = keyAxis->coordToPixel(first + to - 1);
    const int columns = std::max(1, static_cast<int>(std::abs(right - left)));
    if ((to - from) < PlainBelowPerPixel * columns) {
        QCPGraph::draw(painter);
        return;
    }

    // One vertical span per pixel column, joined to the next column: straight pixel lines, which
    // the raster engine draws far faster than a stroked zigzag.
    painter->setAntialiasing(false);
    painter->setPen(pen());
    painter->setBrush(Qt::NoBrush);
    QVector<QLineF> lines;
    lines.reserve(2 * columns);
    bool joined = false;
    double lastY = 0;
    for (int c = 0; c < columns; ++c) {
        const int a = from + static_cast<int>(static_cast<qint64>(to - from) * c / columns);
        const int b = from + static_cast<int>(static_cast<qint64>(to - from) * (c + 1) / columns);
        double lo = 0;
        double hi = 0;
        if (b <= a || !trace_.Span(a, b, lo, hi)) {
            joined = false;
            continue;
        }
        const double x = left + (right - left) * c / columns;
        const double top = valueAxis->coordToPixel(hi);
        const double bottom = valueAxis->coordToPixel(lo);
        lines.append(QLineF(x, top, x, bottom));
        if (joined)
            lines.append(QLineF(x - (right - left) / columns, lastY, x, (top + bottom) / 2));
        lastY = (top + bottom) / 2;
        joined = true;
    }
    painter->drawLines(lines);
}
