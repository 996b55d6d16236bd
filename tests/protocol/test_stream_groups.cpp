#include "protocol/StreamGroups.h"
#include <gtest/gtest.h>
#include <random>

namespace {
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

TEST(StreamGroups, CountAgreesWithCuttingGroupByGroup)
{
    std::mt19937 random(12345);
    const char alphabet[] = {'!', '!', '1', '2', 'N', '\r', 'x'};
    std::uniform_int_distribution<int> pick(0, sizeof alphabet - 1);
    std::uniform_int_distribution<int> length(0, 40);
    for (int i = 0; i < 2000; ++i) {
        QByteArray line;
        for (int n = length(random); n > 0; --n)
            line.append(alphabet[pick(random)]);
        ASSERT_EQ(CountGroups(line), NaiveValueCount(line)) << line.toStdString();
        const qsizetype from = line.indexOf('!');
        if (from > 0) {
            ASSERT_EQ(CountGroups(line, from), NaiveValueCount(line.mid(from))) << line.toStdString();
        }
    }
}

TEST(StreamGroups, ExtractReadsOneGroupAndMovesPastIt)
{
    const struct {
        QByteArray line;
        bool ok;
        int value;
        bool nGroup;
        QByteArray rest;
    } cases[] = {
        {"!25000\r!N0012\r!12", true, 25000, false, "!N0012\r!12"},
        {"!N0012\r!12", true, 12, true, "!12"},
        {"xx!65534\r", true, 65534, false, ""},
        {"! 1234\r", true, 1234, false, ""},
        {"!12a45\r!12345\r", false, 0, false, "!12345\r"},
        {"!123456\r", false, 0, false, "\r"},
        {"!N12\r", false, 0, true, ""},
        {"!12", false, 0, false, ""},
        {"no group", false, 0, false, "no group"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.line.toStdString());
        qsizetype from = 0;
        int value = 0;
        bool nGroup = false;
        EXPECT_EQ(ExtractGroup(c.line, from, value, nGroup), c.ok);
        if (c.ok) {
            EXPECT_EQ(value, c.value);
        }
        EXPECT_EQ(nGroup, c.nGroup);
        EXPECT_EQ(c.line.mid(from), c.rest);
    }
}
