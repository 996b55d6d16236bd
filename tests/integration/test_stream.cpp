#include "BusFormFixture.h"
#include "bus/SensorBus.h"
#include "pages/StreamChart.h"
#include "protocol/DeviceUnit.h"
#include "sim/SimRegisters.h"
#include "widgets/StatusPanels.h"
#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QTabWidget>
#include <cmath>
#include <qcustomplot.h>

namespace {
// The fixture's sensor streams a result every millisecond, each the next value of a counter from
// 1000: sample k is (1000 + k) / 200 mm at a range of 250 mm.
class StreamPageTest : public BusFormTest {
  protected:
    static constexpr int FirstCount = 1000;

    void SetUp() override
    {
        BusFormTest::SetUp();
        bus.setRegister(sensor, SimReg::ConstantLo, 1);
        bus.setMeasurement(sensor, SimMeasureMode::Counter, FirstCount);
        form->PageControl1->setCurrentWidget(form->TabSheet2);
    }

    TStreamChart& Chart() { return form->TabSheet2->StreamChart(); }
    QString Panel(int i) const { return form->StatusText(i); }

    void Start()
    {
        form->TabSheet2->Button6->click();
        ASSERT_TRUE(WaitFor([&] { return Panel(1) == QStringLiteral("Поток запущен"); }));
        ASSERT_TRUE(form->Bus().StreamRunning());
        ASSERT_TRUE(WaitIdle());
    }
    void Stop()
    {
        form->TabSheet2->Button7->click();
        ASSERT_TRUE(WaitFor([&] { return Panel(1) == QStringLiteral("Поток остановлен"); }, 6000));
        ASSERT_FALSE(form->Bus().StreamRunning());
        ASSERT_TRUE(WaitIdle());
    }
    // A stopped stream of at least samples points.
    void StreamFor(int samples)
    {
        Start();
        ASSERT_TRUE(WaitFor([&] { return Chart().Count() >= samples; }));
        Stop();
        Chart().ReplotNow();
    }
    int CountOf(const QByteArray& frame) const
    {
        int n = 0;
        for (const QByteArray& heard : Heard())
            n += heard.endsWith(frame) ? 1 : 0;
        return n;
    }
    QPoint PlotPoint(double fx, double fy)
    {
        const QRect plot = Chart().PlotRect();
        return {plot.left() + static_cast<int>(plot.width() * fx),
                plot.top() + static_cast<int>(plot.height() * fy)};
    }
    void Drag(QPoint from, QPoint to, Qt::KeyboardModifiers keys = Qt::NoModifier)
    {
        QTest::mousePress(form->TabSheet2->Chart1, Qt::LeftButton, keys, from);
        QTest::mouseEvent(QTest::MouseMove, form->TabSheet2->Chart1, Qt::NoButton, keys, to);
        QTest::mouseRelease(form->TabSheet2->Chart1, Qt::LeftButton, Qt::NoModifier, to);
    }
    QString ThreadFile() const { return QDir(program.path()).filePath(QStringLiteral("Thread.txt")); }
    QCPRange Bottom() const { return form->TabSheet2->Chart1->xAxis->range(); }
    QCPRange Left() const { return form->TabSheet2->Chart1->yAxis->range(); }
};

TEST_F(StreamPageTest, StartShowsTheSamplesAndStopConfirmsTheQuiet)
{
    Start();
    EXPECT_FALSE(form->TabSheet1->isEnabled());
    EXPECT_FALSE(form->ComboBox1->isEnabled());
    EXPECT_TRUE(form->TabSheet2->CheckBox_RecordThrd->isEnabled());
    ASSERT_TRUE(WaitFor([&] { return Chart().Count() > 150; }));
    // Every sample arrives in order: point k is the k-th counter value.
    for (int k = 0; k < 150; ++k)
        ASSERT_DOUBLE_EQ(*Chart().HeightAt(k), (FirstCount + k) / 200.0) << k;
    EXPECT_TRUE(form->TabSheet2->Label5->text().endsWith(QStringLiteral(" мм")));
    EXPECT_GT(Bottom().lower, 0);

    Stop();
    EXPECT_FALSE(bus.status(sensor).streaming);
    EXPECT_EQ(CountOf("#1AST\r"), 1);
    EXPECT_EQ(CountOf("#1ASB\r"), 1);
    EXPECT_TRUE(form->TabSheet1->isEnabled());
    EXPECT_TRUE(form->ComboBox1->isEnabled());
    EXPECT_FALSE(form->TabSheet2->CheckBox_RecordThrd->isEnabled());
    EXPECT_TRUE(form->TabSheet2->Button6->isEnabled());
    // The window shows the newest 101 samples, the scroll bar reaches back over the rest.
    EXPECT_DOUBLE_EQ(Bottom().upper, Chart().LastX());
    EXPECT_DOUBLE_EQ(Bottom().lower, Chart().LastX() - 100);
    EXPECT_TRUE(!form->TabSheet2->ScrollBar1->isHidden());
    EXPECT_EQ(form->TabSheet2->ScrollBar1->maximum(), Chart().Count() - 101);
    EXPECT_EQ(form->TabSheet2->ScrollBar1->value(), form->TabSheet2->ScrollBar1->maximum());
}

TEST_F(StreamPageTest, AStreamThatIgnoresTheStopIsAskedAgainUntilItStops)
{
    Start();
    SimFaults faults;
    faults.ignoreStop = true;
    bus.setFaults(sensor, faults);
    // The text stands only until the stop is asked again.
    bool notStopped = false;
    QObject::connect(
        form->StatusBar1, &TStatusPanels::TextSet, form.get(), [&](int panel, const QString& text) {
            notStopped = notStopped || (panel == 1 && text == QStringLiteral("Поток не остановлен"));
        });
    form->TabSheet2->Button7->click();
    ASSERT_TRUE(WaitFor([&] { return notStopped; }, 6000));
    EXPECT_TRUE(form->Bus().StreamRunning());
    EXPECT_TRUE(WaitFor([&] { return CountOf("#1ASB\r") >= 2; }));
    bus.setFaults(sensor, SimFaults{});
    ASSERT_TRUE(WaitFor([&] { return Panel(1) == QStringLiteral("Поток остановлен"); }, 8000));
    EXPECT_FALSE(bus.status(sensor).streaming);
    EXPECT_FALSE(form->Bus().StreamRunning());
}

TEST_F(StreamPageTest, ZoomUndoAndTheDeadZone)
{
    StreamFor(400);
    const QPoint start = PlotPoint(0.3, 0.3);
    const struct {
        const char* name;
        int dx;
        int dy;
        bool zooms;
    } cases[] = {
        {"10 across is a click", 10, 50, false},
        {"10 down is a click", 50, 10, false},
        {"11 across zooms", 11, 50, true},
        {"up and right zooms", 60, -40, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const QCPRange before = Bottom();
        const QPoint end = start + QPoint(c.dx, c.dy);
        const double x1 = form->TabSheet2->Chart1->xAxis->pixelToCoord(start.x());
        const double x2 = form->TabSheet2->Chart1->xAxis->pixelToCoord(end.x());
        Drag(start, end);
        if (c.zooms) {
            EXPECT_NEAR(Bottom().lower, std::min(x1, x2), 1e-9);
            EXPECT_NEAR(Bottom().upper, std::max(x1, x2), 1e-9);
        } else {
            EXPECT_EQ(Bottom(), before);
        }
    }

    // Up and to the left undoes: every sample shown, the left axis 5 % beyond the data.
    Drag(start, start + QPoint(-40, -40));
    EXPECT_DOUBLE_EQ(Bottom().lower, 0);
    EXPECT_DOUBLE_EQ(Bottom().upper, Chart().LastX());
    EXPECT_FALSE(!form->TabSheet2->ScrollBar1->isHidden());
    const double lo = FirstCount / 200.0;
    const double hi = (FirstCount + Chart().LastX()) / 200.0;
    EXPECT_NEAR(Left().lower, lo - (hi - lo) * 0.05, 1e-9);
    EXPECT_NEAR(Left().upper, hi + (hi - lo) * 0.05, 1e-9);
}

TEST_F(StreamPageTest, DraggingShowsPlusOrMinusOutsideTheDeadZone)
{
    StreamFor(200);
    const QPoint start = PlotPoint(0.5, 0.5);
    const struct {
        QPoint to;
        int cursor;
    } cases[] = {{{-30, -30}, 2}, {{30, -30}, 1}, {{30, 30}, 1}, {{-30, 30}, 1}, {{-5, -30}, 0}};
    for (const auto& c : cases) {
        QTest::mousePress(form->TabSheet2->Chart1, Qt::LeftButton, Qt::NoModifier, start);
        QTest::mouseMove(form->TabSheet2->Chart1, start + c.to);
        EXPECT_EQ(form->TabSheet2->Chart1->cursor().pixmap().toImage(),
                  form->TabSheet2->RegisteredCursor(c.cursor).pixmap().toImage())
            << c.to.x() << "," << c.to.y();
        EXPECT_EQ(form->TabSheet2->Chart1->cursor().shape(),
                  form->TabSheet2->RegisteredCursor(c.cursor).shape());
        // Released with a key held: no zoom, the next case starts from the same chart.
        QTest::mouseRelease(form->TabSheet2->Chart1, Qt::LeftButton, Qt::ShiftModifier, start + c.to);
    }
}

TEST_F(StreamPageTest, ScrollBarFollowsTheZoomWindow)
{
    StreamFor(300);
    const int count = Chart().Count();
    const struct {
        int hidden;
        bool shown;
    } cases[] = {{5, false}, {6, true}, {100, true}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.hidden);
        const double first = 3;
        form->TabSheet2->Chart1->xAxis->setRange(first, first + (count - c.hidden) - 1);
        form->TabSheet2->Chart1Scroll();
        EXPECT_EQ(!form->TabSheet2->ScrollBar1->isHidden(), c.shown);
        if (c.shown) {
            EXPECT_EQ(form->TabSheet2->ScrollBar1->maximum(), c.hidden);
            EXPECT_EQ(form->TabSheet2->ScrollBar1->value(), 3);
        }
    }
    // Moving the bar moves the window, keeping its width.
    form->TabSheet2->ScrollBar1->setValue(5);
    EXPECT_DOUBLE_EQ(Bottom().lower, 5);
    EXPECT_DOUBLE_EQ(Bottom().upper, 5 + count - 100 - 1);
}

TEST_F(StreamPageTest, CrossHairShowsTheSampleUnderTheMouse)
{
    StreamFor(300);
    const int k = static_cast<int>(Chart().LastX()) - 40;
    const int x = static_cast<int>(std::lround(form->TabSheet2->Chart1->xAxis->coordToPixel(k)));
    const QPoint at(x, PlotPoint(0, 0.5).y());
    QTest::mousePress(form->TabSheet2->Chart1, Qt::LeftButton, Qt::ShiftModifier, at);
    QTest::mouseRelease(form->TabSheet2->Chart1, Qt::LeftButton, Qt::ShiftModifier, at);
    const double value = (FirstCount + k) / 200.0;
    EXPECT_EQ(form->TabSheet2->Label5->text(), QLocale().toString(value, 'f', 2) + QStringLiteral(" мм"));

    // Without Shift a press draws no cross-hair.
    form->TabSheet2->Label5->setText(QStringLiteral("-"));
    QTest::mousePress(form->TabSheet2->Chart1, Qt::LeftButton, Qt::NoModifier, at);
    QTest::mouseRelease(form->TabSheet2->Chart1, Qt::LeftButton, Qt::NoModifier, at);
    EXPECT_EQ(form->TabSheet2->Label5->text(), QStringLiteral("-"));
}

TEST_F(StreamPageTest, ThreadTxtHoldsEveryNthValueInTheLocaleFormat)
{
    form->TabSheet2->LabeledEdit_RecordThrd->setText(QStringLiteral("3"));
    Start();
    form->TabSheet2->CheckBox_RecordThrd->click();
    EXPECT_EQ(Panel(2), QStringLiteral("Запись потока в файл..."));
    ASSERT_TRUE(WaitFor([&] { return Chart().Count() > 200; }));
    form->TabSheet2->CheckBox_RecordThrd->click();
    EXPECT_EQ(Panel(2), QStringLiteral("Запись потока завершена"));
    Stop();

    QFile file(ThreadFile());
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QByteArray text = file.readAll();
    EXPECT_FALSE(QFile::exists(ThreadFile() + QStringLiteral(".part")));
    ASSERT_TRUE(text.endsWith("\r\n"));
    QList<QByteArray> lines = text.split('\n');
    lines.removeLast();
    ASSERT_GT(lines.size(), 20);
    const QLocale russian(QLocale::Russian, QLocale::Russia);
    double previous = NAN;
    for (const QByteArray& raw : lines) {
        ASSERT_TRUE(raw.endsWith('\r'));
        const QString line = QString::fromLocal8Bit(raw.chopped(1));
        bool ok = false;
        const double value = russian.toDouble(line, &ok);
        ASSERT_TRUE(ok) << line.toStdString();
        EXPECT_FALSE(line.contains('.'));
        if (!std::isnan(previous)) {
            EXPECT_NEAR(value - previous, 3 / 200.0, 1e-9) << line.toStdString();
        }
        previous = value;
    }
}

TEST_F(StreamPageTest, ClosingTheWindowWritesTheRecording)
{
    form->TabSheet2->LabeledEdit_RecordThrd->setText(QStringLiteral("1"));
    Start();
    // Counted from the click: on a slow machine the chart may already hold many samples.
    const auto recordedFrom = Chart().Count();
    form->TabSheet2->CheckBox_RecordThrd->click();
    ASSERT_TRUE(WaitFor([&] { return Chart().Count() > recordedFrom + 100; }));
    form->close();
    form.reset();
    QFile file(ThreadFile());
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_GT(file.readAll().count('\n'), 50);
}

TEST_F(StreamPageTest, MarkersDrawAtTheTypedLevelAndSurviveARestart)
{
    form->TabSheet2->CheckBox2->click();
    ASSERT_TRUE(form->TabSheet2->Edit4->isVisible());
    form->TabSheet2->Edit4->setFocus();
    QTest::keyClicks(form->TabSheet2->Edit4, QStringLiteral("12.5"));
    EXPECT_EQ(form->TabSheet2->Edit4->text(), QStringLiteral("12,5"));
    form->TabSheet2->Edit5->clear();
    QTest::keyClicks(form->TabSheet2->Edit5, QStringLiteral("x"));
    ASSERT_EQ(form->TabSheet2->Series2->data()->size(), 2);
    EXPECT_DOUBLE_EQ(form->TabSheet2->Series2->data()->at(0)->value, 12.5);
    EXPECT_EQ(form->TabSheet2->Series3->data()->size(), 0);

    form->close();
    form = std::make_unique<TForm1>(nullptr, SettingsPaths{work.path(), program.path()});
    EXPECT_TRUE(form->TabSheet2->CheckBox2->isChecked());
    EXPECT_EQ(form->TabSheet2->Edit4->text(), QStringLiteral("12,5"));
    ASSERT_EQ(form->TabSheet2->Series2->data()->size(), 2);
    EXPECT_DOUBLE_EQ(form->TabSheet2->Series2->data()->at(1)->value, 12.5);
}
} // namespace
