// The configuration history: what it keeps, in which order, for how long and where.
#include "LocaleTest.h"
#include "params/ParamHistory.h"
#include "protocol/DeviceUnit.h"
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

namespace {

using TEvent = TParamHistory::TEvent;

const QDateTime Start(QDate(2024, 5, 17), QTime(23, 59, 58, 900), Qt::UTC);

class ParamHistoryTest : public ::testing::Test {
  protected:
    // The n-th set of a sensor, seven hours after the one before.
    static TParamSet Set(int n, const QString& model = QStringLiteral("VLT-250"), int serial = 210341)
    {
        TDevice record("01");
        TParamImage image = ImageOf(record);
        // Values the page's checks accept; the period tells the sets read back apart.
        const std::pair<TParam, int> values[] = {
            {TParam::Address, 1},      {TParam::Uart, 5},        {TParam::Constant, 300},
            {TParam::MiddlePoint, 17}, {TParam::MedianPoint, 7}, {TParam::Period, 10 + n},
        };
        for (const auto& [param, raw] : values)
            image[static_cast<std::size_t>(param)] = static_cast<std::uint16_t>(raw);
        StoreImage(image, record);
        TParamSet set = ParamSetOf(ParamTextsOf(record), IdentityOf(record, TProtocol::Standard),
                                   QStringLiteral("Veltrano test %1").arg(n));
        set.Sensor.Model = model;
        set.Sensor.Serial = serial;
        set.Saved = Start.addSecs(7 * 3600 * n);
        return set;
    }

    void Keep(const TParamSet& set, TEvent event)
    {
        QString error;
        ASSERT_TRUE(history.Keep(set, event, &error)) << error.toStdString();
    }

    // The programs the kept files name, newest first, or why one could not be read.
    std::vector<QString> Programs(const TSensorIdentity& sensor) const
    {
        std::vector<QString> programs;
        for (const TParamHistory::TEntry& entry : history.Entries(sensor)) {
            const TParamSetRead read = ReadParamSet(entry.Path);
            programs.push_back(read.Set ? read.Set->Program : read.Error);
        }
        return programs;
    }

    QTemporaryDir dir;
    TParamHistory history{dir.path(), 10};
};

TEST_F(ParamHistoryTest, ListsNewestFirstWithTheirEventsAndReadsBackWhatWasKept)
{
    const TEvent events[] = {TEvent::Read, TEvent::Write, TEvent::Read};
    for (int n = 0; n < 3; ++n)
        Keep(Set(n), events[n]);
    // Files the history did not write are no entries.
    const QString folder = QFileInfo(history.Entries(Set(0).Sensor).front().Path).path();
    for (const char* name : {"notes.json", "20240517-235958-900-read.txt", "20241317-235958-900-read.json",
                             "20240517-235958-900-copy.json"})
        QFile(QDir(folder).filePath(QLatin1String(name))).open(QIODevice::WriteOnly);

    const std::vector<TParamHistory::TEntry> entries = history.Entries(Set(0).Sensor);
    ASSERT_EQ(entries.size(), 3u);
    for (int i = 0; i < 3; ++i) {
        const TParamSet kept = Set(2 - i);
        const TParamHistory::TEntry& entry = entries[static_cast<std::size_t>(i)];
        EXPECT_EQ(entry.Event, events[2 - i]) << i;
        EXPECT_EQ(entry.Saved, kept.Saved) << i;
        const TParamSetRead read = ReadParamSet(entry.Path);
        ASSERT_TRUE(read.Set) << read.Error.toStdString();
        EXPECT_EQ(std::tie(read.Set->Saved, read.Set->Program, read.Set->Registers, read.Set->Page.rows),
                  std::tie(kept.Saved, kept.Program, kept.Registers, kept.Page.rows));
    }
}

TEST_F(ParamHistoryTest, TheLimitRemovesTheOldestFromTheNextKeepOn)
{
    history.SetLimit(3);
    for (int n = 0; n < 5; ++n)
        Keep(Set(n), TEvent::Read);
    EXPECT_EQ(Programs(Set(0).Sensor),
              (std::vector<QString>{"Veltrano test 4", "Veltrano test 3", "Veltrano test 2"}));

    history.SetLimit(0);
    EXPECT_EQ(history.Limit(), 1);
    EXPECT_EQ(history.Entries(Set(0).Sensor).size(), 3u);
    Keep(Set(5), TEvent::Write);
    EXPECT_EQ(Programs(Set(0).Sensor), (std::vector<QString>{"Veltrano test 5"}));
}

TEST_F(ParamHistoryTest, EachSensorHasAFolderOfItsOwn)
{
    const struct {
        const char* model;
        int serial;
        const char* folder;
    } cases[] = {
        {"VLT-250", 210341, "VLT-250_210341"},
        {"VLT-250", 210342, "VLT-250_210342"},
        {"VLT 2.5/x", 210341, "VLT_2.5_x_210341"},
        {"", 7, "без_модели_7"},
    };
    for (const auto& c : cases)
        Keep(Set(0, QString::fromUtf8(c.model), c.serial), TEvent::Read);
    for (const auto& c : cases) {
        const std::vector<TParamHistory::TEntry> entries =
            history.Entries(Set(0, QString::fromUtf8(c.model), c.serial).Sensor);
        ASSERT_EQ(entries.size(), 1u) << c.folder;
        EXPECT_EQ(QFileInfo(entries[0].Path).absolutePath(),
                  QDir(dir.path()).absoluteFilePath(QString::fromUtf8(c.folder)));
    }
}

TEST_F(ParamHistoryTest, BeforeLastWriteIsWhatTheLastWriteReplaced)
{
    const struct {
        const char* what;
        std::vector<TEvent> kept; // oldest first
        int expected;             // the index in kept, -1 for none
    } cases[] = {
        {"read, write", {TEvent::Read, TEvent::Write}, 0},
        {"write, write", {TEvent::Write, TEvent::Write}, 0},
        {"read, write, read", {TEvent::Read, TEvent::Write, TEvent::Read}, 0},
        {"write, read, write, read", {TEvent::Write, TEvent::Read, TEvent::Write, TEvent::Read}, 1},
        {"reads only", {TEvent::Read, TEvent::Read}, -1},
        {"a lone write", {TEvent::Write}, -1},
    };
    int serial = 1;
    for (const auto& c : cases) {
        const TSensorIdentity sensor = Set(0, QStringLiteral("VLT-250"), serial).Sensor;
        for (std::size_t n = 0; n < c.kept.size(); ++n)
            Keep(Set(static_cast<int>(n), sensor.Model, serial), c.kept[n]);
        const std::optional<TParamHistory::TEntry> before = history.BeforeLastWrite(sensor);
        EXPECT_EQ(before ? before->Saved : QDateTime(), c.expected < 0 ? QDateTime() : Set(c.expected).Saved)
            << c.what;
        ++serial;
    }
}

TEST_F(ParamHistoryTest, SetsOfTheSameMillisecondAreAllKeptInTheirOrder)
{
    std::vector<QString> expected;
    for (int n = 0; n < 10; ++n) {
        TParamSet set = Set(n);
        set.Saved = Start;
        Keep(set, n % 3 == 0 ? TEvent::Write : TEvent::Read);
        expected.insert(expected.begin(), set.Program);
    }
    EXPECT_EQ(Programs(Set(0).Sensor), expected);
    EXPECT_EQ(history.BeforeLastWrite(Set(0).Sensor)->Path, history.Entries(Set(0).Sensor)[1].Path);
}

TEST_F(ParamHistoryTest, ARootThatCannotBeMadeFailsWithAMessageAndLeavesNothing)
{
    const QString blocker = dir.filePath(QStringLiteral("blocker"));
    {
        QFile file(blocker);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write("x");
    }
    TParamHistory blocked(QDir(blocker).filePath(QStringLiteral("history")), 5);
    QString error;
    EXPECT_FALSE(blocked.Keep(Set(0), TEvent::Write, &error));
    EXPECT_TRUE(
        error.startsWith(QStringLiteral("Не удалось записать файл \"20240517-235958-900-write.json\"")))
        << error.toStdString();
    EXPECT_TRUE(error.contains(QStringLiteral("VLT-250_210341"))) << error.toStdString();
    EXPECT_TRUE(blocked.Entries(Set(0).Sensor).empty());
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot), QStringList{"blocker"});
    EXPECT_TRUE(QFileInfo(blocker).isFile());
}

} // namespace
