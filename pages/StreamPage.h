#pragma once
// The stream page "Поток результатов": the chosen sensor's result stream, started and stopped
// here, drawn on the chart, optionally recorded to a file, and looked at after the stop with
// zoom, cross-hair, panning and the scroll bar. It owns its controls, its timers, its handlers
// and its slice of the settings (markers and the recording interval).
#include "bus/Operation.h"
#include "stream/SampleTrace.h"
#include <QCursor>
#include <QPoint>
#include <QWidget>
#include <cstdint>
#include <optional>

class QCheckBox;
class QCPGraph;
class QCustomPlot;
class QLabel;
class QLineEdit;
class QMouseEvent;
class QPushButton;
class QScrollBar;
class QTimer;
class TDevice;
class TPageHost;
class TStreamChart;
class TStreamRecorder;
class TStreamTools;
struct TStreamView;
struct TSampleBatch;

class TStreamPage : public QWidget {
    Q_OBJECT
  public:
    // programDir: where the recording's file goes.
    TStreamPage(TPageHost& host, const QString& programDir, QWidget* parent = nullptr);

    // The markers and the recording interval as the settings keep them.
    void ApplySettings();
    // The chart's geometry in a window of width W and height H.
    void Layout(int W, int H);
    // The operation of a running stream timed out or lost its port: the stream is taken for
    // stopped and the page returns to its idle state.
    void StopAfterTimeout();

    void Button6Click();
    void Button7Click();
    void Timer2Timer();
    void CheckBox_RecordThrdClick();
    void CheckBox2Click();
    void Edit4Change();
    void Edit5Change();
    void LabeledEdit_RecordThrdChange();
    void Chart1MouseDown(QMouseEvent* event);
    void Chart1MouseMove(QMouseEvent* event);
    void Chart1MouseUp(QMouseEvent* event);
    void CursorPlusMinus(Qt::MouseButton Button, int X, int Y, bool DownMove);
    void MouseCross(const QString& NChart, Qt::KeyboardModifiers Shift, Qt::MouseButtons Buttons, int X,
                    int Y);
    void DrawCross1(int X, int Y, double Value);
    void Chart1Zoom();
    void Chart1UndoZoom();
    void Chart1Scroll();
    void ScrollBar1Scroll();
    void OperScroll();
    // Series1 emptied with its gap heights, as a new stream begins.
    void ClearStreamChart();
    TStreamChart& StreamChart() { return *streamChart_; }
    // The measuring tools on the chart.
    TStreamTools& StreamTools() { return *streamTools_; }
    // Cursor number 1 is "PLUS", 2 is "MINUS"; any other number is the arrow.
    QCursor RegisteredCursor(int number) const;

    QPushButton* Button6;
    QPushButton* Button7;
    QLabel* Label4;
    QLabel* Label5;
    QLabel* LabeledEdit_RecordThrdLabel;
    QLineEdit* LabeledEdit_RecordThrd;
    QCheckBox* CheckBox_RecordThrd;
    QCheckBox* CheckBox2;
    QLineEdit* Edit4;
    QLineEdit* Edit5;
    QCustomPlot* Chart1;
    QCPGraph* Series1;
    QCPGraph* Series2;
    QCPGraph* Series3;
    QScrollBar* ScrollBar1;
    QTimer* Timer2;

    bool UndoZoomPending = false;
    std::int32_t VisibleSpan = 0;
    bool ZoomDragging = false;
    bool PressOutsideChart = false;
    std::int32_t DragStartX = 0;
    std::int32_t DragStartY = 0;

  signals:
    // The stream has ended (stopped, or taken for stopped): what it held disabled is usable again.
    void StreamEnded();

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    void CreateChart();
    void OnFinished(TOperationCode code, const TOutcome& outcome);
    void OnSamples(TDevice* device, const TSampleBatch& batch);
    void UpdateAfterStopThread();
    void SetMarker(QCPGraph* series, QLineEdit* edit, bool blue);
    // The left axis labels and increment for its current range.
    void LeftAxisLabelRule();
    // Panning with the right button once the stream has stopped.
    void PanChart(const QPoint& to);
    // Launches the stop again as soon as the bus takes it, without blocking.
    void RetryStreamStop();
    // Key filter of the marker edits: a typed "." becomes ",".
    bool CorreciaVvoda(QObject* edit, QEvent* event);

    // The view follows the newest sample again, unless paused.
    void FollowStream(const TStreamView& view);

    TPageHost& host_;
    TSampleTrace streamTrace_;
    TStreamChart* streamChart_ = nullptr;
    TStreamTools* streamTools_ = nullptr;
    bool countStream_ = false;
    TStreamRecorder* streamRecorder_ = nullptr;
    QTimer* streamStopRetry_ = nullptr;
    QCursor cursorPlus_;
    QCursor cursorMinus_;
    bool chartPanning_ = false;
    bool recordRefused_ = false;
    std::optional<QPoint> panFrom_;
    bool scrollSync_ = false;
};
