#include "pages/ColumnWidths.h"
#include <cstdint>

int CeilPermille(int value, int permille)
{
    const std::int64_t q = static_cast<std::int64_t>(value) * permille;
    return static_cast<int>(q >= 0 ? (q + 999) / 1000 : -((-q) / 1000));
}

std::array<int, 5> SearchListColumnWidths(int LW)
{
    return {CeilPermille(LW, 84), CeilPermille(LW, 135), CeilPermille(LW, 144), CeilPermille(LW, 200),
            CeilPermille(LW, 231)};
}

std::array<int, 6> LatchTableColumnWidths(int W)
{
    std::array<int, 6> w{CeilPermille(W, 98),  CeilPermille(W, 82),  CeilPermille(W, 114),
                         CeilPermille(W, 248), CeilPermille(W, 212), 0};
    w[5] = W - (w[0] + w[1] + w[2] + w[3] + w[4]);
    return w;
}
