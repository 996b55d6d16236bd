#pragma once
// The samples of a stream as a CSV file: one row a sample with its number, its arrival time in
// seconds since the first, its value (empty for a gap) and a gap flag; UTF-8 with a byte-order
// mark, comma-separated, decimal points, so that spreadsheets and scripts read it alike.
#include "stream/SampleTrace.h"
#include <QByteArray>
#include <cstdint>

// Samples [from, to) of the trace, clipped to it; the header row alone when nothing is left.
QByteArray TraceAsCsv(const TSampleTrace& trace, std::int64_t from, std::int64_t to);
