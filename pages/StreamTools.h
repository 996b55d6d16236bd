#pragma once
// The measuring tools of the stream chart, in a strip across its top: the statistics of the
// samples in view or between the two cursors, the cursors' differences, the sample rate, the
// pause of the view, the time axis switch, the histogram, and the exports of the samples and of
// the chart. Main thread only.
#include "stream/SampleTrace.h"
#include <QString>
#include <QWidget>
#include <cstdint>
#include <optional>

class QCheckBox;
class QCPBars;
class QCustomPlot;
class QKeyEvent;
class QLabel;
class QMenu;
class QPushButton;
class QTimer;
class TSettings;
class TStreamChart;

// How the statistics and differences show a value: decimals and unit ("мм", or none for counts).
struct TValueFormat {
    int Decimals = 3;
    QString Unit;
};

// The texts of the strip; every missing figure is "—".
namespace StreamToolText {
// between: the range is the cursors', not the view's.
QString Stats(const std::optional<TTraceStats>& stats, const TValueFormat& format, bool between);
// The cursors at trace indices a and b; one of them alone gives its place.
QString Cursors(const TSampleTrace& trace, std::optional<std::int64_t> a, std::optional<std::int64_t> b,
                const TValueFormat& format);
QString Rate(std::optional<double> samplesPerSecond);
QString Point(const TSampleTrace& trace, std::int64_t index);
} // namespace StreamToolText

class TStreamTools : public QWidget {
    Q_OBJECT
  public:
    // Sits on the chart, in the top margin it keeps free for it.
    TStreamTools(TStreamChart& chart, QCustomPlot& plot, TSettings& settings);

    static constexpr int Height = 46;

    // The time axis and the histogram as the settings keep them.
    void ApplySettings();
    void SetFormat(const TValueFormat& format);
    // New samples, or a new view: the figures follow within a tenth of a second.
    void Changed();
    // The figures at once, for callers that must see them (tests, benchmarks, screenshots).
    void RefreshNow();
    // Whether the stream runs; when it ends the view is no longer paused.
    void SetStreaming(bool running);
    bool Paused() const;

    // Cursor 0 or 1 to the sample under the pixel column; false outside the samples.
    bool PlaceCursor(int which, int pixelX);
    // Arrows move the cursor placed last by a sample, with Shift by ten; Escape takes both away.
    bool CursorKey(const QKeyEvent& key);
    // The cross-hair stands on a sample: its number and time are shown.
    void ShowPoint(std::int64_t index);

    // Samples in view (or all of them) to a CSV file, the chart to a PNG, SVG or PDF file by the
    // path's suffix: the file is written whole or not at all. false with the reason.
    bool ExportCsv(const QString& path, bool whole, QString* reason) const;
    bool ExportImage(const QString& path, QString* reason) const;

    // The range the statistics are of: between the cursors when both are set, else the view.
    std::pair<std::int64_t, std::int64_t> StatsRange() const;

    QPushButton* ButtonStreamPause;
    QCheckBox* CheckBoxTimeAxis;
    QCheckBox* CheckBoxHistogram;
    QPushButton* ButtonStreamExport;
    QMenu* MenuStreamExport;
    QLabel* LabelStreamStats;
    QLabel* LabelStreamCursors;
    QLabel* LabelStreamRate;
    QLabel* LabelStreamPoint;
    QCustomPlot* ChartHistogram;

  signals:
    // The view stops following the newest sample, or follows it again.
    void PauseToggled(bool paused);

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    void Refresh();
    void PlaceHistogram();
    void ExportDialog(int kind);

    TStreamChart& chart_;
    QCustomPlot& plot_;
    TSettings& settings_;
    TValueFormat format_;
    QTimer* clock_;
    QCPBars* bars_;
    int lastCursor_ = 0;
};
