#include "ReceiveFixture.h"
#include <random>

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
