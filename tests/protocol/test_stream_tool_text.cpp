// The figures of the stream chart's measuring strip: what is missing shows as a dash.
#include "pages/StreamTools.h"
#include <QLocale>
#include <gtest/gtest.h>

namespace {

class StreamToolTextTest : public ::testing::Test {
  protected:
    void SetUp() override
    {
        saved_ = QLocale();
        QLocale::setDefault(QLocale(QLocale::Russian, QLocale::Russia));
    }
    void TearDown() override { QLocale::setDefault(saved_); }
    const TValueFormat mm{2, QStringLiteral("мм")};

  private:
    QLocale saved_;
};

TEST_F(StreamToolTextTest, MissingFiguresAreDashes)
{
    const struct {
        std::optional<TTraceStats> stats;
        bool between;
        const char* text;
    } cases[] = {
        {std::nullopt, false, "В окне, мм: N 0 · мин — · макс — · сред. — · σ — · размах — · пропуски —"},
        {TTraceStats{12, 0, 0, 0, 0, std::nullopt}, true,
         "Между курсорами, мм: N 12 · мин — · макс — · сред. — · σ — · размах — · пропуски 100,0 %"},
        {TTraceStats{4, 1, 2.5, 2.5, 2.5, std::nullopt}, false,
         "В окне, мм: N 4 · мин 2,50 · макс 2,50 · сред. 2,50 · σ — · размах 0,00 · пропуски 75,0 %"},
        {TTraceStats{3, 3, -1, 2, 0.5, 1.25}, false,
         "В окне, мм: N 3 · мин -1,00 · макс 2,00 · сред. 0,50 · σ 1,2500 · размах 3,00 · пропуски 0,0 %"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(StreamToolText::Stats(c.stats, mm, c.between).toStdString(), c.text);
    // Counts: no unit, no decimals.
    EXPECT_EQ(StreamToolText::Stats(TTraceStats{2, 2, 7, 9, 8, 1.4142}, TValueFormat{0, QString()}, false).toStdString(),
              "В окне: N 2 · мин 7 · макс 9 · сред. 8 · σ 1,41 · размах 2 · пропуски 0,0 %");
}

TEST_F(StreamToolTextTest, CursorsOverGapsAndAlone)
{
    TSampleTrace trace;
    trace.Append(1.25, 0.5);
    trace.AppendGap(0.75);
    trace.Append(2, 1.0);
    EXPECT_EQ(StreamToolText::Cursors(trace, 2, 0, mm).toStdString(), "Δ 2 отсч. · Δt 0,500000 с · Δ -0,75 мм");
    EXPECT_EQ(StreamToolText::Cursors(trace, 0, 1, mm).toStdString(), "Δ 1 отсч. · Δt 0,250000 с · Δ —");
    EXPECT_EQ(StreamToolText::Cursors(trace, std::nullopt, 1, mm).toStdString(), "Курсор 2: № 1 · 0,750000 с · —");
    EXPECT_EQ(StreamToolText::Cursors(trace, std::nullopt, std::nullopt, mm), QString());
    EXPECT_EQ(StreamToolText::Rate(std::nullopt), QString());
    EXPECT_EQ(StreamToolText::Rate(9999.6).toStdString(), "10000 отсч./с");
    EXPECT_EQ(StreamToolText::Point(trace, 3), QString()) << "past the samples";
}

} // namespace
