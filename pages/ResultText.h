#pragma once
// The texts of result values in the latch table, in the locale's number format.
#include "pages/LatchColumns.h"
#include "protocol/ReplyFields.h"
#include <QString>

// Decimals of a result in mm, from the sensor's measuring range: 0 from 1000 mm, 1 from 500,
// 2 from 100, 3 from 10, else 4.
int ResultDecimals(double range);
// value with up to 15 significant digits and no exponent for ordinary counts ("42", "1234").
QString GeneralNumberText(double value);
// value with exactly decimals digits after the separator.
QString FixedNumberText(double value, int decimals);

// The cell text of a standard-protocol result read from the latch (LatchReadColumn) or as the last
// result (LastResultColumn), for a sensor with the given measuring range.
QString LatchResultText(TLatchColumn column, const TResultField& field, double range);
