#include "pages/StreamSampler.h"
#include "pages/ResultText.h"
#include "protocol/ReplyFields.h"
#include <QLocale>
#include <algorithm>
#include <charconv>
#include <cmath>

namespace {
// The horizontal window shows this many samples after the first.
constexpr double WindowSpan = 100;
// The largest count an N group can carry, and the axis around it: 9999 -/+ 5 %.
constexpr double CountLimit = 9999;
constexpr double CountAxisMin = 9499.05;
constexpr double CountAxisMax = 10498.95;

bool IsNoResultCode(int raw)
{
    return raw == RawOutOfRange || raw == RawNoResult;
}

// The general format of GeneralNumberText; plain decimals, the common case, without the locale's
// slower formatter.
QString RecordText(double v, const QString& point)
{
    char text[32];
    const auto [end, error] = std::to_chars(text, text + sizeof text, v, std::chars_format::general, 15);
    if (error != std::errc{} || std::find(text, end, 'e') != end)
        return GeneralNumberText(v);
    QString line = QString::fromLatin1(text, end - text);
    line.replace(QLatin1Char('.'), point);
    return line;
}

bool ValidRange(double lo, double hi)
{
    return std::isfinite(lo) && std::isfinite(hi) && lo <= hi;
}
} // namespace

void TStreamSampler::Restart()
{
    view_ = TStreamView{};
    label_ = TLabelState{};
    labelChanged_ = false;
    firstSample_ = true;
    chartStart_ = true;
    referenceSample_ = 0;
}

void TStreamSampler::BeginRecording(int interval)
{
    recordCounter_ = 0;
    recordInterval_ = interval;
    recordLines_.clear();
}

void TStreamSampler::Samples(std::span<const TStreamSample> samples, double range, bool recording)
{
    point_ = QLocale().decimalPoint();
    for (const TStreamSample& sample : samples) {
        if (!sample.Valid || !Sample(sample.Count, sample.Value, range, recording))
            view_.Error = true;
    }
}

bool TStreamSampler::Sample(bool nGroup, int raw, double range, bool recording)
{
    const bool valid = nGroup || !IsNoResultCode(raw);
    const double v = nGroup ? raw : raw * range / 50000.0;

    if (recording && recordInterval_ > 0) {
        if (++recordCounter_ == recordInterval_) {
            recordLines_.append(RecordText(v, point_));
            recordCounter_ = 0;
        }
    }
    if (firstSample_ && valid) {
        referenceSample_ = v;
        firstSample_ = false;
    }

    bool placed = true;
    if (chartStart_) {
        placed = series_.AddPoint(0, referenceSample_, valid);
        if (placed) {
            view_.LeftMin = referenceSample_ - 1;
            view_.LeftMax = referenceSample_ + 1;
            chartStart_ = false;
        }
    } else {
        const double x = series_.Empty() ? 0 : series_.LastX() + 1;
        placed = valid ? series_.AddPoint(x, v, true) : series_.AddGap(x, referenceSample_);
    }
    if (placed && !series_.Empty() && series_.LastX() + 1 - series_.FirstX() > WindowSpan) {
        const double windowMin = series_.LastX() - WindowSpan;
        placed = std::isfinite(windowMin);
        if (placed)
            view_.BottomMin = windowMin;
    }
    if (!placed) {
        referenceSample_ = 0;
        return false;
    }

    const double lo = view_.LeftMin;
    const double hi = view_.LeftMax;
    ScaleLeft(nGroup, valid, v, range);
    if (!ValidRange(view_.LeftMin, view_.LeftMax)) {
        view_.LeftMin = lo;
        view_.LeftMax = hi;
        return false;
    }

    // Only the last label of a line is shown, so only its kind and value are kept here.
    if (!nGroup && raw == RawOutOfRange)
        label_ = {TLabelState::OutOfRange, v, 0};
    else if (!nGroup && raw == RawNoResult)
        label_ = {TLabelState::NoResult, v, 0};
    else if (nGroup)
        label_ = {TLabelState::Count, v, 0};
    else
        label_ = {TLabelState::Result, v, ResultDecimals(range)};
    labelChanged_ = true;
    return true;
}

void TStreamSampler::ScaleLeft(bool nGroup, bool valid, double v, double range)
{
    const double r = referenceSample_;
    if (nGroup) {
        if (valid && (v >= CountLimit || r >= CountLimit)) {
            view_.LeftMin = std::min(view_.LeftMin, CountAxisMin);
            view_.LeftMax = CountAxisMax;
        } else if (valid && (v >= range || r >= range)) {
            view_.LeftMin = std::min(view_.LeftMin, range - range / 20);
            view_.LeftMax = range + range / 20;
        }
        if (v < CountLimit)
            Widen(v);
        if (!valid && r < CountLimit)
            Widen(r);
        return;
    }
    if (v < range)
        Widen(v);
    if (!valid && r < range)
        Widen(r);
}

void TStreamSampler::Widen(double x)
{
    view_.LeftMin = std::min(view_.LeftMin, x - x / 20);
    view_.LeftMax = std::max(view_.LeftMax, x + x / 20);
}

TStreamView TStreamSampler::Take()
{
    if (labelChanged_) {
        switch (label_.kind) {
        case TLabelState::OutOfRange:
            view_.Label = QStringLiteral("Вне диапазона");
            break;
        case TLabelState::NoResult:
            view_.Label = QStringLiteral("Нет результата");
            break;
        case TLabelState::Count:
            view_.Label = GeneralNumberText(label_.value);
            break;
        case TLabelState::Result:
            view_.Label = FixedNumberText(label_.value, label_.decimals) + QStringLiteral(" мм");
            break;
        case TLabelState::None:
            break;
        }
        labelChanged_ = false;
    }
    TStreamView taken = view_;
    view_.Error = false;
    return taken;
}
