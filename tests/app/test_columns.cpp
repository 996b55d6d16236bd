#include "pages/ColumnWidths.h"
#include <cmath>
#include <gtest/gtest.h>

namespace {

TEST(CeilPermille, IsTheExactCeiling)
{
    struct Case {
        int value, permille, expected;
    };
    const Case cases[] = {{1000, 84, 84},  {1001, 84, 85},  {0, 84, 0},   {585, 84, 50},    {585, 200, 117},
                          {500, 200, 100}, {501, 200, 101}, {-10, 98, 0}, {-1000, 98, -98}, {1, 1, 1}};
    for (const Case& c : cases)
        EXPECT_EQ(CeilPermille(c.value, c.permille), c.expected) << c.value << " x " << c.permille;
}

TEST(ColumnWidths, FollowTheTableWidthRules)
{
    for (const int width : {0, 1, 100, 585, 612, 739, 1000, 1732}) {
        const std::array<int, 5> list = SearchListColumnWidths(width);
        const double factors[] = {0.084, 0.135, 0.144, 0.2, 0.231};
        for (int i = 0; i < 5; ++i) {
            // The exact product may sit a hair above an integer in binary; allow for it.
            const double exact = width * factors[i];
            EXPECT_GE(list[static_cast<std::size_t>(i)], exact - 1e-9) << width << " column " << i;
            EXPECT_LT(list[static_cast<std::size_t>(i)], exact + 1) << width << " column " << i;
        }
        const std::array<int, 6> table = LatchTableColumnWidths(width);
        const double tableFactors[] = {0.098, 0.082, 0.114, 0.248, 0.212};
        int sum = 0;
        for (int i = 0; i < 5; ++i) {
            EXPECT_EQ(table[static_cast<std::size_t>(i)],
                      static_cast<int>(std::ceil(width * tableFactors[i] - 1e-9)))
                << width << " column " << i;
            sum += table[static_cast<std::size_t>(i)];
        }
        EXPECT_EQ(table[5], width - sum);
    }
}

} // namespace
