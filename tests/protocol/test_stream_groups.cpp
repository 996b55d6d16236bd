#include "ReceiveFixture.h"
#include "widgets/StreamSampler.h"
#include <random>
#include <vector>

namespace {
class StreamGroups : public ReceiveFixture {
  protected:
    TDevice device_{"1A"};
};

// The count as first described: on a copy, cut the seven characters from the first "!" while
// the copy is longer than six characters and holds one.
int NaiveValueCount(QByteArray copy)
{
    int count = 0;
    while (copy.size() > 6 && copy.contains('!')) {
        copy.remove(copy.indexOf('!'), 7);
        ++count;
    }
    return count;
}
} // namespace

TEST_F(StreamGroups, ValueCountAgreesWithCuttingGroupByGroup)
{
    std::mt19937 random(12345);
    const char alphabet[] = {'!', '!', '1', '2', 'N', '\r', 'x'};
    std::uniform_int_distribution<int> pick(0, sizeof alphabet - 1);
    std::uniform_int_distribution<int> length(0, 40);
    for (int i = 0; i < 2000; ++i) {
        QByteArray line;
        for (int n = length(random); n > 0; --n)
            line.append(alphabet[pick(random)]);
        ASSERT_EQ(device_.ValueCount(line), NaiveValueCount(line)) << line.toStdString();
    }
}

TEST_F(StreamGroups, ExtractValueConsumesOneGroupAndLeavesTheRestInTheBuffer)
{
    const struct {
        QByteArray line;
        bool ok;
        int value;
        QByteArray rest;
    } cases[] = {
        {"!25000\r!N0012\r!12", true, 25000, "!N0012\r!12"},
        {"!N0012\r!12", true, 12, "!12"},
        {"xx!65534\r", true, 65534, ""},
        {"!12a45\r!12345\r", false, 0, "!12345\r"},
        {"!123456\r", false, 0, "\r"},
        {"!N12\r", false, 0, ""},
        {"!12", false, 0, ""},
        {"no group", false, 0, "no group"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.line.toStdString());
        QByteArray st = c.line;
        ReceiveBuffer = "stale";
        int value = 0;
        EXPECT_EQ(device_.ExtractValue(value, st), c.ok);
        if (c.ok) {
            EXPECT_EQ(value, c.value);
        }
        EXPECT_EQ(st, c.rest);
        EXPECT_EQ(ReceiveBuffer, c.rest);
    }
}

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
    bool AddPoint(double x, double y) override { return Add({x, y, false}); }
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

class StreamSamples : public ReceiveFixture {
  protected:
    void SetUp() override
    {
        ReceiveFixture::SetUp();
        Fresh();
    }
    // A new stream with an empty chart.
    void Fresh()
    {
        series_.points.clear();
        FirstSample = true;
        ChartStart = true;
        ReferenceSample = 0;
        RecordCounter = 0;
        RecordInterval = 100;
        RecordLines.clear();
        sampler_.Restart();
    }
    void TearDown() override
    {
        RecordLines.clear();
        ReceiveFixture::TearDown();
    }
    // A line of result groups with the given raw values.
    static QByteArray Groups(std::initializer_list<int> raws)
    {
        QByteArray line;
        for (const int raw : raws)
            line += '!' + QByteArray::number(raw).rightJustified(5, '0') + '\r';
        return line;
    }

    ListSeries series_;
    TStreamSampler sampler_{series_};
};
} // namespace

TEST_F(StreamSamples, ResultThenGapAsTheFirstSamplesOfAStream)
{
    sampler_.Line(Groups({25000}), 250, false);
    TStreamView view = sampler_.Take();
    EXPECT_DOUBLE_EQ(ReferenceSample, 125);
    ASSERT_EQ(series_.points.size(), 1u);
    EXPECT_DOUBLE_EQ(series_.points[0].x, 0);
    EXPECT_DOUBLE_EQ(series_.points[0].y, 125);
    EXPECT_DOUBLE_EQ(view.LeftMin, 118.75);
    EXPECT_DOUBLE_EQ(view.LeftMax, 131.25);
    EXPECT_EQ(view.Label, QStringLiteral("125,00 мм"));
    EXPECT_FALSE(view.Error);
    EXPECT_FALSE(StreamQuiet);

    sampler_.Line(Groups({65534}), 250, false);
    view = sampler_.Take();
    ASSERT_EQ(series_.points.size(), 2u);
    EXPECT_TRUE(series_.points[1].gap);
    EXPECT_DOUBLE_EQ(series_.points[1].x, 1);
    EXPECT_DOUBLE_EQ(series_.points[1].y, 125);
    EXPECT_EQ(view.Label, QStringLiteral("Нет результата"));
    EXPECT_DOUBLE_EQ(view.LeftMin, 118.75);
    EXPECT_DOUBLE_EQ(view.LeftMax, 131.25);
    EXPECT_DOUBLE_EQ(ReferenceSample, 125);
}

TEST_F(StreamSamples, LinesAndTheirAxesLabelsAndLeftovers)
{
    const struct {
        const char* name;
        QByteArray line;
        double range;
        size_t points;
        double lo;
        double hi;
        QString label;
        QByteArray left;
        bool error;
    } cases[] = {
        {"two and a half groups", "xx!25000\r!25000\r!250", 250, 2, 118.75, 131.25, "125,00 мм", "!250",
         false},
        {"count 12 keeps the start axis", "!N0012\r", 250, 1, 11, 13, "12", "", false},
        {"count 9999", "!N0012\r!N9999\r", 250, 2, 11, 10498.95, "9999", "", false},
        {"count at the range", "!N0012\r!N0300\r", 250, 2, 11, 315, "300", "", false},
        {"out of range keeps the axis", "!25000\r!65535\r", 250, 2, 118.75, 131.25, "Вне диапазона", "",
         false},
        {"range 1000 has no decimals", "!25000\r", 1000, 1, 475, 525, "500 мм", "", false},
        {"range 5 has four", "!25000\r", 5, 1, 1.5, 3.5, "2,5000 мм", "", false},
        {"bad digits skipped", "!25000\r!2x000\r", 250, 1, 118.75, 131.25, "125,00 мм", "", true},
        {"no CR at the seventh", "!25000\r!250000\r", 250, 1, 118.75, 131.25, "125,00 мм", "\r", true},
        {"a line without a group", "no sample", 250, 0, 0, 0, "", "unchanged", false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Fresh();
        ReceiveBuffer = "unchanged";
        sampler_.Line(c.line, c.range, false);
        const TStreamView view = sampler_.Take();
        EXPECT_EQ(series_.points.size(), c.points);
        EXPECT_DOUBLE_EQ(view.LeftMin, c.lo);
        EXPECT_DOUBLE_EQ(view.LeftMax, c.hi);
        EXPECT_EQ(view.Label, c.label);
        EXPECT_EQ(ReceiveBuffer, c.left);
        EXPECT_EQ(view.Error, c.error);
    }
}

TEST_F(StreamSamples, TheHundredAndSecondSampleMovesTheWindow)
{
    QByteArray line;
    for (int i = 0; i < 101; ++i)
        line += Groups({25000});
    sampler_.Line(line, 250, false);
    EXPECT_EQ(sampler_.Take().BottomMin.value_or(-1), 0);
    sampler_.Line(Groups({25000}), 250, false);
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
    for (const auto& c : cases) {
        SCOPED_TRACE(c.interval);
        Fresh();
        RecordInterval = c.interval;
        QByteArray line;
        for (int i = 1; i <= 10; ++i)
            line += "!N" + QByteArray::number(i).rightJustified(4, '0') + '\r';
        sampler_.Line(line, 250, true);
        EXPECT_EQ(RecordLines, c.lines);
    }
    // Values are written in general format with the locale's separator, gap codes as computed.
    Fresh();
    RecordInterval = 1;
    sampler_.Line(Groups({12345, 65534}), 100, true);
    EXPECT_EQ(RecordLines, QStringList({"24,69", "131,068"}));
}

TEST_F(StreamSamples, ARefusedPointResetsTheReferenceAndKeepsTheLabel)
{
    sampler_.Line(Groups({25000}), 250, false);
    ASSERT_EQ(sampler_.Take().Label, QStringLiteral("125,00 мм"));
    series_.refuse = true;
    sampler_.Line(Groups({20000}), 250, false);
    const TStreamView view = sampler_.Take();
    EXPECT_TRUE(view.Error);
    EXPECT_DOUBLE_EQ(ReferenceSample, 0);
    EXPECT_EQ(view.Label, QStringLiteral("125,00 мм"));
    series_.refuse = false;
    sampler_.Line(Groups({20000}), 250, false);
    EXPECT_EQ(sampler_.Take().Label, QStringLiteral("100,00 мм"));
}
