#include "stream/TraceExport.h"
#include <algorithm>
#include <charconv>

namespace {
void AppendNumber(QByteArray& out, double value, int fixedDecimals)
{
    char text[40];
    // Values in their shortest exact form, so that reading the file back gives the same doubles;
    // times to the microsecond.
    const auto result = fixedDecimals < 0
                            ? std::to_chars(text, text + sizeof text, value)
                            : std::to_chars(text, text + sizeof text, value, std::chars_format::fixed, fixedDecimals);
    out.append(text, result.ptr - text);
}
} // namespace

QByteArray TraceAsCsv(const TSampleTrace& trace, std::int64_t from, std::int64_t to)
{
    from = std::max<std::int64_t>(from, 0);
    to = std::min(to, trace.Size());
    QByteArray out("\xEF\xBB\xBF");
    out.append("\"Номер отсчета\",\"Время, с\",\"Значение, мм\",\"Пропуск\"\r\n");
    out.reserve(out.size() + std::max<std::int64_t>(0, to - from) * 32);
    for (std::int64_t i = from; i < to; ++i) {
        out.append(QByteArray::number(i));
        out.append(',');
        AppendNumber(out, trace.Time(i), 6);
        out.append(',');
        const bool gap = trace.IsGap(i);
        if (!gap)
            AppendNumber(out, trace.Value(i), -1);
        out.append(gap ? ",1\r\n" : ",0\r\n");
    }
    return out;
}
