// The measuring tools of the stream chart on the real window, driver and simulated bus: the
// statistics of the view and of the cursors, the cursors with mouse and keys, the time axis, the
// pause, the histogram and the exports.
#include "BusFormFixture.h"
#include "bus/SensorBus.h"
#include "pages/StreamChart.h"
#include "pages/StreamGraph.h"
#include "pages/StreamTools.h"
#include "settings/IniFile.h"
#include "sim/SimRegisters.h"
#include "support/FileDialogAnswer.h"
#include "support/ModalBoxCloser.h"
#include <QAction>
#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QTabWidget>
#include <QTest>
#include <cmath>
#include <qcustomplot.h>

namespace {

// The fixture's sensor streams a counter from 1000, a result every millisecond: each sample is
// 1/200 mm above the one before at a range of 250 mm.
class StreamToolsTest : public BusFormTest {
  protected:
    void SetUp() override
    {
        BusFormTest::SetUp();
        bus.setRegister(sensor, SimReg::ConstantLo, 1);
        bus.setMeasurement(sensor, SimMeasureMode::Counter, 1000);
        form->PageControl1->setCurrentWidget(form->TabSheet2);
    }

    TStreamChart& Chart() { return form->TabSheet2->StreamChart(); }
    TStreamTools& Tools() { return form->TabSheet2->StreamTools(); }
    QCustomPlot* Plot() { return form->TabSheet2->Chart1; }
    const TSampleTrace& Trace() { return Chart().Trace(); }

    void Start()
    {
        form->TabSheet2->Button6->click();
        ASSERT_TRUE(WaitFor([&] { return form->StatusText(1) == QStringLiteral("Поток запущен"); }));
    }
    void Stop()
    {
        form->TabSheet2->Button7->click();
        ASSERT_TRUE(WaitFor([&] { return form->StatusText(1) == QStringLiteral("Поток остановлен"); }, 6000));
        Chart().ReplotNow();
    }
    void StreamFor(int samples)
    {
        Start();
        ASSERT_TRUE(WaitFor([&] { return Chart().Count() >= samples; }, 8000));
        Stop();
    }
    // The pixel column of a sample.
    int PixelOf(std::int64_t index) { return static_cast<int>(std::lround(Plot()->xAxis->coordToPixel(index))); }
    void CtrlClick(Qt::MouseButton button, std::int64_t index)
    {
        QTest::mouseClick(Plot(), button, Qt::ControlModifier,
                          QPoint(PixelOf(index), Chart().PlotRect().center().y()));
    }
    void Key(int key, Qt::KeyboardModifiers modifiers = Qt::NoModifier)
    {
        QTest::keyClick(Plot(), static_cast<Qt::Key>(key), modifiers);
    }
    QString Stored(const QString& key)
    {
        IniFile ini(QDir(work.path()).filePath(QStringLiteral("Settings.ini")));
        ini.Load();
        return ini.ReadString(QStringLiteral("StreamChart"), key, QString());
    }
    // A value as the strip shows it at a range of 250 mm.
    static QString Number(double v) { return QLocale().toString(v, 'f', 2); }
    static QString Mm(double v) { return Number(v) + " мм"; }
    // The number after a figure's name in the statistics line.
    static double Figure(const QString& text, const QString& name)
    {
        const qsizetype at = text.indexOf(QStringLiteral(" %1 ").arg(name));
        if (at < 0)
            return NAN;
        const qsizetype from = at + name.size() + 2;
        return QLocale().toDouble(text.mid(from, text.indexOf(QLatin1Char(' '), from) - from));
    }
    QString StatsText()
    {
        Tools().RefreshNow();
        return Tools().LabelStreamStats->text();
    }
};

TEST_F(StreamToolsTest, StatisticsFollowTheViewThenTheCursorsMovedWithMouseAndKeys)
{
    Start();
    ASSERT_TRUE(WaitFor([&] { return Chart().Count() >= 300; }, 8000));
    // While the stream runs the view holds the newest hundred or so samples.
    const QString live = StatsText();
    EXPECT_TRUE(live.startsWith("В окне, мм: N ")) << live.toStdString();
    EXPECT_TRUE(live.contains("пропуски 0,0 %")) << live.toStdString();
    EXPECT_FALSE(Tools().LabelStreamRate->text().isEmpty());
    Stop();
    form->TabSheet2->Chart1UndoZoom();
    Chart().ReplotNow();

    const auto [from, to] = Chart().Shown();
    ASSERT_EQ(to - from, Trace().Size()) << "the whole stream in view";
    double sum = 0;
    for (std::int64_t i = from; i < to; ++i)
        sum += Trace().Value(i);
    const QString shown = StatsText();
    EXPECT_TRUE(shown.startsWith(QStringLiteral("В окне, мм: N %1 · ").arg(to - from))) << shown.toStdString();
    // Shown to two decimals: each figure within half the last one of the plain computation.
    EXPECT_NEAR(Figure(shown, "мин"), Trace().Value(from), 0.0051) << shown.toStdString();
    EXPECT_NEAR(Figure(shown, "макс"), Trace().Value(to - 1), 0.0051) << shown.toStdString();
    EXPECT_NEAR(Figure(shown, "сред."), sum / static_cast<double>(to - from), 0.0051) << shown.toStdString();

    // Ctrl with the left button sets the first cursor, with the right one the second, each on the
    // sample under the pointer (a neighbour when a pixel column spans more than one sample).
    Plot()->setFocus();
    CtrlClick(Qt::LeftButton, from + 20);
    CtrlClick(Qt::RightButton, from + 120);
    ASSERT_TRUE(Chart().Cursor(0) && Chart().Cursor(1));
    const std::int64_t a = *Chart().Cursor(0);
    const std::int64_t b = *Chart().Cursor(1);
    EXPECT_NEAR(static_cast<double>(a), static_cast<double>(from + 20), 1);
    EXPECT_NEAR(static_cast<double>(b), static_cast<double>(from + 120), 1);
    EXPECT_TRUE(StatsText().startsWith(QStringLiteral("Между курсорами, мм: N %1 · ").arg(b - a + 1)))
        << StatsText().toStdString();
    EXPECT_TRUE(Tools().LabelStreamCursors->text().startsWith(QStringLiteral("Δ %1 отсч. · Δt ").arg(b - a)));
    EXPECT_TRUE(Tools().LabelStreamCursors->text().endsWith(" · Δ " + Mm(Trace().Value(b) - Trace().Value(a))))
        << Tools().LabelStreamCursors->text().toStdString();

    // The arrows move the cursor set last; with Shift ten samples at a time; never past the data.
    Key(Qt::Key_Right);
    EXPECT_EQ(Chart().Cursor(1), b + 1);
    Key(Qt::Key_Left, Qt::ShiftModifier);
    EXPECT_EQ(Chart().Cursor(1), b - 9);
    EXPECT_TRUE(StatsText().startsWith(QStringLiteral("Между курсорами, мм: N %1 · ").arg(b - 9 - a + 1)));
    for (int i = 0; i < 10000 && Chart().Cursor(1) != 0; ++i)
        Key(Qt::Key_Left, Qt::ShiftModifier);
    Key(Qt::Key_Left);
    EXPECT_EQ(Chart().Cursor(1), 0);
    // Both cursors on one sample: a range of one, without a deviation.
    Chart().SetCursor(0, 0);
    const QString one = StatsText();
    EXPECT_TRUE(one.startsWith("Между курсорами, мм: N 1 · ")) << one.toStdString();
    EXPECT_TRUE(one.contains("σ — · размах " + Number(0))) << one.toStdString();
    EXPECT_TRUE(Tools().LabelStreamCursors->text().startsWith("Δ 0 отсч. · Δt 0,000000 с"));

    // Cursors outside the data are refused; Escape takes both away.
    EXPECT_FALSE(Tools().PlaceCursor(0, Chart().PlotRect().right() + 500));
    Chart().SetCursor(0, Trace().Size());
    EXPECT_FALSE(Chart().Cursor(0));
    Chart().SetCursor(0, -1);
    EXPECT_FALSE(Chart().Cursor(0));
    Tools().RefreshNow();
    EXPECT_TRUE(Tools().LabelStreamCursors->text().startsWith("Курсор 2: № 0 · "));
    Key(Qt::Key_Escape);
    EXPECT_FALSE(Chart().Cursor(1));
    EXPECT_TRUE(Tools().LabelStreamCursors->text().isEmpty());
    EXPECT_TRUE(StatsText().startsWith("В окне, мм: "));

    // The zoom and its undo work as before, the statistics following the view.
    const QRect plot = Chart().PlotRect();
    QTest::mousePress(Plot(), Qt::LeftButton, Qt::NoModifier, QPoint(PixelOf(a), plot.top() + 5));
    QTest::mouseEvent(QTest::MouseMove, Plot(), Qt::NoButton, Qt::NoModifier, QPoint(PixelOf(b), plot.bottom() - 5));
    QTest::mouseRelease(Plot(), Qt::LeftButton, Qt::NoModifier, QPoint(PixelOf(b), plot.bottom() - 5));
    const auto [zoomFrom, zoomTo] = Chart().Shown();
    EXPECT_NEAR(static_cast<double>(zoomTo - zoomFrom), static_cast<double>(b - a), 3);
    EXPECT_TRUE(StatsText().startsWith(QStringLiteral("В окне, мм: N %1 · ").arg(zoomTo - zoomFrom)));
}

TEST_F(StreamToolsTest, ThePauseHoldsTheViewWhileEverySampleIsKept)
{
    Start();
    ASSERT_TRUE(WaitFor([&] { return Chart().Count() >= 200; }, 8000));
    QPushButton* const pause = Tools().ButtonStreamPause;
    ASSERT_TRUE(pause->isEnabled());
    pause->click();
    EXPECT_EQ(pause->text(), QStringLiteral("Продолжить"));
    const QCPRange held = Plot()->xAxis->range();
    const int count = Chart().Count();
    ASSERT_TRUE(WaitFor([&] { return Chart().Count() >= count + 300; }, 8000));
    EXPECT_EQ(Plot()->xAxis->range(), held) << "the view stays where it was paused";
    pause->click();
    ASSERT_TRUE(WaitFor([&] { return Plot()->xAxis->range().upper >= Chart().LastX() - 1; }));
    EXPECT_GT(Plot()->xAxis->range().upper, held.upper + 250) << "resumed at the newest sample";
    Stop();
    EXPECT_FALSE(pause->isEnabled());
    EXPECT_FALSE(pause->isChecked());
    // Nothing was lost: the counter went up by one every sample.
    for (std::int64_t i = 2; i < Trace().Size(); ++i)
        ASSERT_NEAR(Trace().Value(i) - Trace().Value(i - 1), 1 / 200.0, 1e-9) << i;
}

TEST_F(StreamToolsTest, TheTimeAxisShowsSecondsAndTheCrossHairBoth)
{
    StreamFor(800);
    Tools().CheckBoxTimeAxis->click();
    EXPECT_EQ(Stored("TimeAxis"), "1");
    EXPECT_EQ(Plot()->xAxis->label(), QStringLiteral("Время, с"));
    form->TabSheet2->Chart1UndoZoom();
    Chart().ReplotNow();
    // A result a millisecond: the times span about the sample count in milliseconds.
    const double span = Trace().Time(Trace().Size() - 1);
    EXPECT_NEAR(span, (Trace().Size() - 1) * 0.001, Trace().Size() * 0.0003);
    const QVector<double> ticks = Plot()->xAxis->tickVector();
    const QVector<QString> labels = Plot()->xAxis->tickVectorLabels();
    ASSERT_GE(ticks.size(), 3);
    for (int k = 0; k < ticks.size(); ++k) {
        const double seconds = QLocale().toDouble(labels[k]);
        const auto i = static_cast<std::int64_t>(std::floor(ticks[k]));
        ASSERT_LT(i + 1, Trace().Size());
        EXPECT_GE(seconds, Trace().Time(i) - 1e-9) << labels[k].toStdString();
        EXPECT_LE(seconds, Trace().Time(i + 1) + 1e-9) << labels[k].toStdString();
    }
    // The cross-hair names the sample under the pointer and its time.
    const QPoint at(PixelOf(100), Chart().PlotRect().center().y());
    const std::optional<std::int64_t> under = Chart().IndexAtPixel(at.x());
    ASSERT_TRUE(under);
    QTest::mouseMove(Plot(), at);
    QTest::mousePress(Plot(), Qt::LeftButton, Qt::ShiftModifier, at);
    QTest::mouseRelease(Plot(), Qt::LeftButton, Qt::ShiftModifier, at);
    const QString point = Tools().LabelStreamPoint->text();
    EXPECT_EQ(point, QStringLiteral("№ %1 · %2 с").arg(*under).arg(QLocale().toString(Trace().Time(*under), 'f', 6)));

    Tools().CheckBoxTimeAxis->click();
    EXPECT_EQ(Plot()->xAxis->label(), QStringLiteral("Номер отсчета"));
}

TEST_F(StreamToolsTest, TheHistogramCountsTheValuesInView)
{
    StreamFor(300);
    Tools().CheckBoxHistogram->click();
    EXPECT_EQ(Stored("Histogram"), "1");
    ASSERT_TRUE(Tools().ChartHistogram->isVisible());
    Tools().RefreshNow();
    auto* const bars = qobject_cast<QCPBars*>(Tools().ChartHistogram->plottable(0));
    ASSERT_NE(bars, nullptr);
    double counted = 0;
    for (auto it = bars->data()->constBegin(); it != bars->data()->constEnd(); ++it)
        counted += it->value;
    const auto [from, to] = Chart().Shown();
    EXPECT_EQ(counted, static_cast<double>(to - from));
    EXPECT_TRUE(Chart().PlotRect().contains(Tools().ChartHistogram->geometry()));
    Tools().CheckBoxHistogram->click();
    EXPECT_FALSE(Tools().ChartHistogram->isVisible());
}

TEST_F(StreamToolsTest, ExportsWriteWholeFilesOrSayWhyNot)
{
    StreamFor(300);
    const QDir dir(work.path());
    const auto exportTo = [&](const char* action, const QString& path, const QString& filter) {
        FileDialogAnswer answer(path, filter);
        Tools().MenuStreamExport->findChild<QAction*>(QString::fromLatin1(action))->trigger();
    };
    exportTo("ActionExportShown", dir.filePath("shown"), "csv");
    QFile shown(dir.filePath("shown.csv"));
    ASSERT_TRUE(shown.open(QIODevice::ReadOnly)) << "the suffix of the chosen kind is added";
    const auto [from, to] = Chart().Shown();
    EXPECT_EQ(shown.readAll().count('\n'), 1 + (to - from));
    exportTo("ActionExportStream", dir.filePath("all.csv"), "csv");
    QFile all(dir.filePath("all.csv"));
    ASSERT_TRUE(all.open(QIODevice::ReadOnly));
    EXPECT_EQ(all.readAll().count('\n'), 1 + Trace().Size());

    const std::pair<const char*, QByteArray> images[] = {{"png", "\x89PNG"}, {"svg", "<?xml"}, {"pdf", "%PDF"}};
    for (const auto& [suffix, magic] : images) {
        exportTo("ActionExportChart", dir.filePath(QStringLiteral("chart")), suffix);
        QFile image(dir.filePath(QStringLiteral("chart.%1").arg(suffix)));
        ASSERT_TRUE(image.open(QIODevice::ReadOnly)) << suffix;
        EXPECT_TRUE(image.readAll().startsWith(magic)) << suffix;
    }

    // A folder that is not there, a kind that is not known: a message, and no file at all.
    ModalBoxCloser closer;
    exportTo("ActionExportStream", dir.filePath("missing/all.csv"), "csv");
    exportTo("ActionExportChart", dir.filePath("chart.bmp"), "png");
    ASSERT_TRUE(WaitFor([&] { return closer.Texts().size() == 2; }));
    EXPECT_TRUE(closer.Texts()[0].startsWith("Не удалось записать файл ")) << closer.Texts()[0].toStdString();
    EXPECT_TRUE(closer.Texts()[1].contains("нужен PNG, SVG или PDF")) << closer.Texts()[1].toStdString();
    EXPECT_FALSE(QFile::exists(dir.filePath("chart.bmp")));
    EXPECT_FALSE(QDir(dir.filePath("missing")).exists());
}

// Known arrival times, without a bus: the bottom axis in seconds puts each tick where its time
// falls between two samples and labels it with that time.
TEST(StreamTimeAxisTest, TicksStandAtTheirTimes)
{
    QCustomPlot plot;
    plot.resize(800, 400);
    TSampleTrace trace;
    auto* const graph = new TStreamGraph(plot.xAxis, plot.yAxis, trace);
    TStreamChart chart(plot, *graph, trace);
    // Reads of 100 samples at 9600 baud, one every 0.8 s: the line is busy 0.73 s of each.
    const auto start = std::chrono::steady_clock::now();
    for (int read = 0; read < 10; ++read) {
        chart.Arrived(start + std::chrono::milliseconds(800 * read), 100, 9600);
        for (int i = 0; i < 100; ++i) {
            const double x = read * 100 + i;
            ASSERT_TRUE(chart.AddPoint(x, x, true));
        }
    }
    chart.SetTimeAxis(true);
    chart.SetBottomRange(0, 999);
    chart.ReplotNow();
    const QVector<double> ticks = plot.xAxis->tickVector();
    const QVector<QString> labels = plot.xAxis->tickVectorLabels();
    ASSERT_GE(ticks.size(), 4);
    const double step = 70.0 / 9600;
    for (int k = 0; k < ticks.size(); ++k) {
        const double seconds = QLocale().toDouble(labels[k]);
        // Sample i of read r arrived at 0.8 r + i step: a read's last sample at its read time.
        const auto at = [&](int sample) { return (sample / 100) * 0.8 + (sample % 100) * step; };
        const int i = static_cast<int>(std::floor(ticks[k]));
        const double expected = at(i) + (at(std::min(i + 1, 999)) - at(i)) * (ticks[k] - i);
        EXPECT_NEAR(seconds, expected, 1e-6) << labels[k].toStdString() << " at " << ticks[k];
    }
}

} // namespace
