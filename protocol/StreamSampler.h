#pragma once
// What one stream line and each of its samples do: the recording list, the reference sample, the
// chart points, the horizontal window, the vertical axis and the value label. The chart is reached
// through TStreamSeries, so the rules run without widgets. Main thread only.
#include <QByteArray>
#include <QString>
#include <cstdint>
#include <optional>

// The series of the stream chart as the sample decoding needs it.
class TStreamSeries {
  public:
    virtual ~TStreamSeries() = default;
    virtual bool Empty() const = 0;
    virtual double FirstX() const = 0;
    virtual double LastX() const = 0;
    // False when the chart refuses the point.
    virtual bool AddPoint(double x, double y) = 0;
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

    // A new stream: the left axis at [0, 0], the bottom axis at its start, no label.
    void Restart();
    // One stream line for a sensor with measuring range, recording while recording is set.
    // What is left of the line after its last counted group goes to ReceiveBuffer.
    void Line(const QByteArray& line, double range, bool recording);

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
    TLabelState label_;
    bool labelChanged_ = false;
    QString point_;
};
