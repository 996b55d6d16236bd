#include "pages/StreamSampler.h"
#include <QLocale>
#include <gtest/gtest.h>
#include <vector>

namespace {
// The chart as a list of points; a refusal can be switched on to see the failure rules.
class ListSeries : public TStreamSeries {
  public:
    struct Point {
        double x;
        double y;
        bool gap;
    };
    std::vector<Point> points;
    bool refuse = false;

    bool Empty() const override { return points.empty(); }
    double FirstX() const override { return points.front().x; }
    double LastX() const override { return points.back().x; }
    bool AddPoint(double x, double y, bool) override { return Add({x, y, false}); }
    bool AddGap(double x, double height) override { return Add({x, height, true}); }

  private:
    bool Add(const Point& p)
    {
        if (refuse)
            return false;
        points.push_back(p);
        return true;
    }
};

// Samples of a line: a raw result, a count ("N" set) or a malformed group.
struct S {
    int value;
    bool count = false;
    bool valid = true;
};
std::vector<TStreamSample> Line(std::initializer_list<S> samples)
{
    std::vector<TStreamSample> line;
    for (const S& s : samples)
        line.push_back({s.value, s.count, s.valid});
    return line;
}
const S Bad{0, false, false};

// A new stream with an empty chart, in a Russian locale (decimal ",").
class StreamSamples : public ::testing::Test {
  protected:
    void SetUp() override
    {
        previous_ = QLocale();
        QLocale::setDefault(QLocale(QLocale::Russian, QLocale::Russia));
        Fresh();
    }
    void TearDown() override { QLocale::setDefault(previous_); }
    void Fresh()
    {
        series_.points.clear();
        sampler_.Restart();
        sampler_.BeginRecording(100);
    }

    ListSeries series_;
    TStreamSampler sampler_{series_};

  private:
    QLocale previous_;
};
} // namespace

TEST_F(StreamSamples, ResultThenGapAsTheFirstSamplesOfAStream)
{
    sampler_.Samples(Line({{25000}}), 250, false);
    TStreamView view = sampler_.Take();
    EXPECT_DOUBLE_EQ(sampler_.ReferenceSample(), 125);
    ASSERT_EQ(series_.points.size(), 1u);
    EXPECT_DOUBLE_EQ(series_.points[0].x, 0);
    EXPECT_DOUBLE_EQ(series_.points[0].y, 125);
    EXPECT_DOUBLE_EQ(view.LeftMin, 118.75);
    EXPECT_DOUBLE_EQ(view.LeftMax, 131.25);
    EXPECT_EQ(view.Label, QStringLiteral("125,00 мм"));
    EXPECT_FALSE(view.Error);

    sampler_.Samples(Line({{65534}}), 250, false);
    view = sampler_.Take();
    ASSERT_EQ(series_.points.size(), 2u);
    EXPECT_TRUE(series_.points[1].gap);
    EXPECT_DOUBLE_EQ(series_.points[1].x, 1);
    EXPECT_DOUBLE_EQ(series_.points[1].y, 125);
    EXPECT_EQ(view.Label, QStringLiteral("Нет результата"));
    EXPECT_DOUBLE_EQ(view.LeftMin, 118.75);
    EXPECT_DOUBLE_EQ(view.LeftMax, 131.25);
    EXPECT_DOUBLE_EQ(sampler_.ReferenceSample(), 125);
}

TEST_F(StreamSamples, LinesAndTheirAxesAndLabels)
{
    const struct {
        const char* name;
        std::vector<TStreamSample> line;
        double range;
        size_t points;
        double lo;
        double hi;
        QString label;
        bool error;
    } cases[] = {
        {"two groups", Line({{25000}, {25000}}), 250, 2, 118.75, 131.25, "125,00 мм", false},
        {"count 12 keeps the start axis", Line({{12, true}}), 250, 1, 11, 13, "12", false},
        {"count 9999", Line({{12, true}, {9999, true}}), 250, 2, 11, 10498.95, "9999", false},
        {"count at the range", Line({{12, true}, {300, true}}), 250, 2, 11, 315, "300", false},
        {"out of range keeps the axis", Line({{25000}, {65535}}), 250, 2, 118.75, 131.25, "Вне диапазона",
         false},
        {"range 1000 has no decimals", Line({{25000}}), 1000, 1, 475, 525, "500 мм", false},
        {"range 5 has four", Line({{25000}}), 5, 1, 1.5, 3.5, "2,5000 мм", false},
        {"a malformed group is skipped", Line({{25000}, Bad}), 250, 1, 118.75, 131.25, "125,00 мм", true},
        {"no samples", Line({}), 250, 0, 0, 0, "", false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Fresh();
        sampler_.Samples(c.line, c.range, false);
        const TStreamView view = sampler_.Take();
        EXPECT_EQ(series_.points.size(), c.points);
        EXPECT_DOUBLE_EQ(view.LeftMin, c.lo);
        EXPECT_DOUBLE_EQ(view.LeftMax, c.hi);
        EXPECT_EQ(view.Label, c.label);
        EXPECT_EQ(view.Error, c.error);
        EXPECT_FALSE(sampler_.Take().Error) << "taking clears the error";
    }
}

TEST_F(StreamSamples, TheHundredAndSecondSampleMovesTheWindow)
{
    sampler_.Samples(std::vector<TStreamSample>(101, TStreamSample{25000, false, true}), 250, false);
    EXPECT_EQ(sampler_.Take().BottomMin.value_or(-1), 0);
    sampler_.Samples(Line({{25000}}), 250, false);
    const TStreamView view = sampler_.Take();
    EXPECT_DOUBLE_EQ(series_.points.back().x, 101);
    ASSERT_TRUE(view.BottomMin);
    EXPECT_DOUBLE_EQ(*view.BottomMin, 1);
}

TEST_F(StreamSamples, RecordingKeepsEveryNthValue)
{
    const struct {
        int interval;
        QStringList lines;
    } cases[] = {
        {3, {"3", "6", "9"}}, {1, {"1", "2", "3", "4", "5", "6", "7", "8", "9", "10"}}, {0, {}}, {-2, {}},
        {4, {"4", "8"}},
    };
    std::vector<TStreamSample> counts;
    for (int i = 1; i <= 10; ++i)
        counts.push_back({i, true, true});
    for (const auto& c : cases) {
        SCOPED_TRACE(c.interval);
        Fresh();
        sampler_.BeginRecording(c.interval);
        sampler_.Samples(counts, 250, true);
        EXPECT_EQ(sampler_.RecordLines(), c.lines);
    }
    // Nothing is recorded while the recording is off.
    Fresh();
    sampler_.BeginRecording(1);
    sampler_.Samples(counts, 250, false);
    EXPECT_TRUE(sampler_.RecordLines().isEmpty());
    // Values in general format with the locale's separator, gap codes as computed.
    sampler_.Samples(Line({{12345}, {65534}}), 100, true);
    EXPECT_EQ(sampler_.RecordLines(), QStringList({"24,69", "131,068"}));
}

TEST_F(StreamSamples, ARefusedPointResetsTheReferenceAndKeepsTheLabel)
{
    sampler_.Samples(Line({{25000}}), 250, false);
    ASSERT_EQ(sampler_.Take().Label, QStringLiteral("125,00 мм"));
    series_.refuse = true;
    sampler_.Samples(Line({{20000}}), 250, false);
    const TStreamView view = sampler_.Take();
    EXPECT_TRUE(view.Error);
    EXPECT_DOUBLE_EQ(sampler_.ReferenceSample(), 0);
    EXPECT_EQ(view.Label, QStringLiteral("125,00 мм"));
    series_.refuse = false;
    sampler_.Samples(Line({{20000}}), 250, false);
    EXPECT_EQ(sampler_.Take().Label, QStringLiteral("100,00 мм"));
}
