#pragma once
// What the samples of a stream line do: the recording list, the reference sample, the chart
// points, the horizontal window, the vertical axis and the value label. The chart is reached
// through TStreamSeries, so the rules run without widgets. Main thread only.
#include "protocol/ReceivePath.h"
#include <QString>
#include <QStringList>
#include <cstdint>
#include <optional>
#include <span>

// The series of the stream chart as the sample decoding needs it.
class TStreamSeries {
  public:
    virtual ~TStreamSeries() = default;
    virtual bool Empty() const = 0;
    virtual double FirstX() const = 0;
    virtual double LastX() const = 0;
    // False when the chart refuses the point. measured: false for the first point that stands in
    // for a sample without a result; it is drawn, but no statistic counts it.
    virtual bool AddPoint(double x, double y, bool measured) = 0;
    // A gap point: it breaks the line and keeps height for the cross-hair.
    virtual bool AddGap(double x, double height) = 0;
};

// The axis ranges and value label that the samples so far leave, for the window to show.
struct TStreamView {
    double LeftMin = 0;
    double LeftMax = 0;
    // The bottom axis minimum once the horizontal window has moved.
    std::optional<double> BottomMin;
    // The label text of the last sample that set it; empty while none has.
    QString Label;
    // A sample failed since the window last looked: status panel 2 shows the decoding error.
    bool Error = false;
};

class TStreamSampler {
  public:
    explicit TStreamSampler(TStreamSeries& series) : series_(series) {}

    // A new stream: no reference sample yet, the chart starts again at the first sample, the left
    // axis at [0, 0], the bottom axis at its start, no label.
    void Restart();
    // The samples of one stream line for a sensor with measuring range, recorded while recording.
    void Samples(std::span<const TStreamSample> samples, double range, bool recording);
    // A recording begins: every interval-th sample from now on goes to the recorded lines.
    void BeginRecording(int interval);
    int RecordInterval() const { return recordInterval_; }
    // The recorded lines not yet taken; the caller empties it as it writes them away.
    QStringList& RecordLines() { return recordLines_; }
    double ReferenceSample() const { return referenceSample_; }

    // The axes, label and error flag as every sample so far has left them. Taking it clears
    // the error flag.
    TStreamView Take();
    const TStreamView& View() const { return view_; }

  private:
    struct TLabelState {
        enum Kind { None, OutOfRange, NoResult, Count, Result } kind = None;
        double value = 0;
        int decimals = 0;
    };
    // False when the chart refused a point or a range; the label then stays.
    bool Sample(bool nGroup, int raw, double range, bool recording);
    void ScaleLeft(bool nGroup, bool valid, double v, double range);
    void Widen(double x);

    TStreamSeries& series_;
    TStreamView view_;
    bool firstSample_ = true;
    bool chartStart_ = true;
    double referenceSample_ = 0;
    int recordCounter_ = 0;
    int recordInterval_ = 0;
    QStringList recordLines_;
    TLabelState label_;
    bool labelChanged_ = false;
    QString point_;
};
