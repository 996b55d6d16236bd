// The monitor's rows over a log filled by hand: the filter, catching up, frames giving way, a
// cleared log, requests answered late and the pause.
#include "pages/TrafficModel.h"
#include "traffic/TrafficFilter.h"
#include <QSignalSpy>
#include <gtest/gtest.h>
#include <vector>

namespace {

TTrafficFrame Frame(TFrameDirection direction, int address, const QByteArray& bytes,
                    TFrameStatus status = TFrameStatus::Ok)
{
    TTrafficFrame frame;
    frame.Direction = direction;
    frame.Address = address;
    frame.Bytes = bytes;
    frame.Status = status;
    frame.Port = QStringLiteral("/dev/ttyUSB0");
    frame.Speed = 115200;
    frame.At = std::chrono::steady_clock::now();
    return frame;
}

TTrafficFrame Probe(int address)
{
    TTrafficFrame frame =
        Frame(TFrameDirection::Sent, address,
              "#" + QByteArray::number(address, 16).toUpper().rightJustified(2, '0') + "R01\r");
    frame.HasKind = true;
    frame.Kind = TRequestKind::Probe;
    return frame;
}

std::vector<std::uint64_t> Rows(const TTrafficModel& model)
{
    return model.Seqs();
}

std::vector<std::uint64_t> Range(std::uint64_t from, std::uint64_t to)
{
    std::vector<std::uint64_t> seqs;
    for (std::uint64_t seq = from; seq <= to; ++seq)
        seqs.push_back(seq);
    return seqs;
}

class TrafficFilterTest : public ::testing::Test {
  protected:
    void SetUp() override
    {
        log.Add(Probe(0x1A));                                                                    // 1
        log.Add(Frame(TFrameDirection::Received, 0x1A, "!1AR01=VLT\r"));                         // 2
        log.Add(Frame(TFrameDirection::Sent, 0x02, "#02R08\r", TFrameStatus::NoReply));          // 3
        log.Add(Frame(TFrameDirection::Received, 0x1B, "\x1B\x03\x02", TFrameStatus::CrcError)); // 4
        log.Add(Frame(TFrameDirection::Received, -1, "\xFF\xFE", TFrameStatus::Noise));          // 5
    }
    TTrafficLog log;
};

TEST_F(TrafficFilterTest, LetsThroughTheFramesEachFilterNames)
{
    const auto filter = [](auto set) {
        TTrafficFilter f;
        set(f);
        return f;
    };
    const struct {
        const char* what;
        TTrafficFilter filter;
        std::vector<std::uint64_t> seqs;
    } cases[] = {
        {"none", {}, {1, 2, 3, 4, 5}},
        {"address", filter([](TTrafficFilter& f) { f.Address = 0x1A; }), {1, 2}},
        {"sent", filter([](TTrafficFilter& f) { f.Direction = TFrameDirection::Sent; }), {1, 3}},
        {"received", filter([](TTrafficFilter& f) { f.Direction = TFrameDirection::Received; }), {2, 4, 5}},
        {"errors", filter([](TTrafficFilter& f) { f.ErrorsOnly = true; }), {3, 4, 5}},
        {"hex, lower case", filter([](TTrafficFilter& f) { f.Text = QStringLiteral("fe"); }), {5}},
        {"hex across bytes", filter([](TTrafficFilter& f) { f.Text = QStringLiteral("52 30 38"); }), {3}},
        {"printable, other case", filter([](TTrafficFilter& f) { f.Text = QStringLiteral("r01=vlt"); }), {2}},
        {"meaning", filter([](TTrafficFilter& f) { f.Text = QStringLiteral("ПОИСКОВЫЙ"); }), {1}},
        {"address and errors",
         filter([](TTrafficFilter& f) {
             f.Address = 0x1B;
             f.ErrorsOnly = true;
         }),
         {4}},
        {"sent and text",
         filter([](TTrafficFilter& f) {
             f.Direction = TFrameDirection::Sent;
             f.Text = QStringLiteral("1A");
         }),
         {1}},
    };
    for (const auto& c : cases)
        EXPECT_EQ(FilteredFrames(log, c.filter), c.seqs) << c.what;
}

class TrafficModelTest : public ::testing::Test {
  protected:
    // Probes to addresses 1, 2, 3, 1, ... by frame number: frame n goes to 1 + (n - 1) % 3.
    void Add(int count)
    {
        for (int i = 0; i < count; ++i)
            log.Add(Probe(1 + static_cast<int>((log.NextSeq() - 1) % 3)));
    }
    void CatchUp()
    {
        model.CatchUp();
        ASSERT_LE(static_cast<std::size_t>(model.rowCount()), log.Size());
    }

    TTrafficLog log{10};
    TTrafficModel model{log};
};

TEST_F(TrafficModelTest, AppendsNewFramesAtTheBottomOnlyWhenItCatchesUp)
{
    Add(4);
    EXPECT_EQ(model.rowCount(), 0) << "nothing before the first catching up";
    CatchUp();
    EXPECT_EQ(Rows(model), Range(1, 4));
    QSignalSpy inserted(&model, &QAbstractItemModel::rowsInserted);
    Add(3);
    CatchUp();
    EXPECT_EQ(Rows(model), Range(1, 7));
    ASSERT_EQ(inserted.size(), 1);
    EXPECT_EQ(inserted[0][1].toInt(), 4);
    EXPECT_EQ(inserted[0][2].toInt(), 6);
    EXPECT_EQ(model.data(model.index(6, TrafficColumn::Text)).toString(), QStringLiteral("#01R01."));
    EXPECT_EQ(model.data(model.index(6, TrafficColumn::Address)).toString(), QStringLiteral("01"));
}

TEST_F(TrafficModelTest, RowsOfFramesThatGaveWayGoFromTheTop)
{
    QSignalSpy removed(&model, &QAbstractItemModel::rowsAboutToBeRemoved);
    // Ten times what the log keeps, in uneven steps, one of them more than it keeps at once.
    for (const int step : {3, 7, 1, 9, 25, 4, 10, 11, 30}) {
        Add(step);
        CatchUp();
        EXPECT_EQ(Rows(model), Range(log.FirstSeq(), log.NextSeq() - 1)) << "after " << log.NextSeq() - 1;
    }
    EXPECT_EQ(log.NextSeq() - 1, 100u);
    ASSERT_FALSE(removed.empty());
    for (const QList<QVariant>& signal : removed)
        EXPECT_EQ(signal[1].toInt(), 0);
}

TEST_F(TrafficModelTest, ClearedLogResetsTheRows)
{
    Add(5);
    CatchUp();
    QSignalSpy reset(&model, &QAbstractItemModel::modelReset);
    log.Clear();
    Add(2);
    CatchUp();
    EXPECT_EQ(reset.size(), 1);
    EXPECT_EQ(Rows(model), Range(6, 7));
}

TEST_F(TrafficModelTest, RequestAnsweredLaterShowsHowItEnded)
{
    TTrafficFrame request = Probe(2);
    request.Status = TFrameStatus::Pending;
    const std::uint64_t first = log.Add(request);
    const std::uint64_t second = log.Add(request);
    Add(1);
    CatchUp();
    const QModelIndex status = model.index(0, TrafficColumn::Status);
    const QString before = model.data(status).toString();

    QSignalSpy changed(&model, &QAbstractItemModel::dataChanged);
    log.Find(first)->Status = TFrameStatus::NoReply;
    log.Find(first)->ResponseUs = 3'000'000;
    CatchUp();
    ASSERT_EQ(changed.size(), 1);
    EXPECT_EQ(changed[0][0].toModelIndex().row(), 0);
    EXPECT_EQ(changed[0][1].toModelIndex().row(), 0);
    EXPECT_NE(model.data(status).toString(), before);
    EXPECT_TRUE(model.data(status, Qt::ForegroundRole).isValid()) << "a request without answer is marked";

    // With only errors shown, the request answered in time leaves; the one given up stays.
    TTrafficFilter errors;
    errors.ErrorsOnly = true;
    log.Find(first)->Status = TFrameStatus::Pending;
    model.SetFilter(errors);
    EXPECT_EQ(Rows(model), (std::vector<std::uint64_t>{first, second}));
    log.Find(first)->Status = TFrameStatus::NoReply;
    log.Find(second)->Status = TFrameStatus::Ok;
    CatchUp();
    EXPECT_EQ(Rows(model), (std::vector<std::uint64_t>{first}));
}

TEST_F(TrafficModelTest, PausedRowsStayUntilResumedButForThoseThatGaveWay)
{
    Add(6);
    CatchUp();
    model.SetPaused(true);
    Add(2);
    CatchUp();
    EXPECT_EQ(Rows(model), Range(1, 6)) << "no new rows while paused";
    // A filter changed while paused sorts the rows it had, not what came since.
    TTrafficFilter one;
    one.Address = 1;
    model.SetFilter(one);
    EXPECT_EQ(Rows(model), (std::vector<std::uint64_t>{1, 4}));
    Add(3); // frame 1 gives way
    CatchUp();
    EXPECT_EQ(Rows(model), (std::vector<std::uint64_t>{4}));
    model.SetPaused(false);
    EXPECT_EQ(Rows(model), (std::vector<std::uint64_t>{4, 7, 10}));
}

} // namespace
