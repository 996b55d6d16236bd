#pragma once
#include <array>

// ceil(value * permille / 1000) in exact integer arithmetic: a width rule such as
// "ceil(LW x 0.084)" must not jump by a pixel because 0.084 has no exact binary form.
int CeilPermille(int value, int permille);

// Widths of columns 0-4 of the search list for the list width LW; column 5 takes what the
// list reports for these, subtracted from LW - 5.
std::array<int, 5> SearchListColumnWidths(int LW);

// Widths of the six columns of the result table for the table width W.
std::array<int, 6> LatchTableColumnWidths(int W);
