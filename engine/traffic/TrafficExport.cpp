#include "traffic/TrafficExport.h"

#include <QCoreApplication>
#include <QStringList>
#include <algorithm>
#include <array>

namespace {

constexpr std::size_t kColumns = TrafficColumn::Count;
using TRow = std::array<QString, kColumns>;

// A column is padded to its widest cell up to this many characters; a longer cell (a long frame's
// hex) pushes the rest of its own line along instead of widening every line of the file.
constexpr qsizetype kMaxPaddedWidth = 48;

TRow Heading()
{
    TRow row;
    for (int c = 0; c < TrafficColumn::Count; ++c)
        row[static_cast<std::size_t>(c)] = TrafficText::Heading(c);
    return row;
}

TRow Cells(const TTrafficLog& log, const TTrafficFrame& frame)
{
    TRow row;
    for (int c = 0; c < TrafficColumn::Count; ++c)
        row[static_cast<std::size_t>(c)] = TrafficText::Cell(log, frame, c);
    return row;
}

template <typename Visit>
void ForEachKept(const TTrafficLog& log, const std::vector<std::uint64_t>& seqs, Visit visit)
{
    for (const std::uint64_t seq : seqs) {
        if (const TTrafficFrame* frame = log.Find(seq))
            visit(*frame);
    }
}

void AppendTextRow(QString& out, const TRow& row, const std::array<qsizetype, kColumns>& widths)
{
    // The last column is not padded, so that no line ends in spaces.
    std::size_t last = kColumns;
    while (last > 0 && row[last - 1].isEmpty())
        --last;
    for (std::size_t c = 0; c < last; ++c) {
        if (c > 0)
            out += QLatin1String("  ");
        out += row[c];
        if (c + 1 < last)
            out += QString(std::max<qsizetype>(0, widths[c] - row[c].size()), QLatin1Char(' '));
    }
    out += QLatin1Char('\n');
}

QString CsvField(const QString& field)
{
    static const QString special = QStringLiteral(",\"\r\n");
    if (std::none_of(field.begin(), field.end(), [](QChar ch) { return special.contains(ch); }))
        return field;
    QString quoted = field;
    quoted.replace(QLatin1Char('"'), QLatin1String("\"\""));
    return QLatin1Char('"') + quoted + QLatin1Char('"');
}

void AppendCsvRow(QString& out, const TRow& row)
{
    for (std::size_t c = 0; c < kColumns; ++c) {
        if (c > 0)
            out += QLatin1Char(',');
        out += CsvField(row[c]);
    }
    out += QLatin1String("\r\n");
}

} // namespace

QByteArray TrafficAsText(const TTrafficLog& log, const std::vector<std::uint64_t>& seqs)
{
    // Two passes, widths first, rather than holding the cells of up to a full log at once.
    const TRow heading = Heading();
    std::array<qsizetype, kColumns> widths{};
    const auto widen = [&widths](const TRow& row) {
        for (std::size_t c = 0; c < kColumns; ++c)
            widths[c] = std::max(widths[c], std::min(row[c].size(), kMaxPaddedWidth));
    };
    widen(heading);
    ForEachKept(log, seqs, [&](const TTrafficFrame& frame) { widen(Cells(log, frame)); });

    QString out;
    AppendTextRow(out, heading, widths);
    ForEachKept(log, seqs,
                [&](const TTrafficFrame& frame) { AppendTextRow(out, Cells(log, frame), widths); });
    return out.toUtf8();
}

QByteArray TrafficAsCsv(const TTrafficLog& log, const std::vector<std::uint64_t>& seqs)
{
    QString out;
    AppendCsvRow(out, Heading());
    ForEachKept(log, seqs, [&](const TTrafficFrame& frame) { AppendCsvRow(out, Cells(log, frame)); });
    // The byte order mark is what makes a spreadsheet program take the file as UTF-8, not as the
    // system's 8-bit code page, and show the Cyrillic texts as they are.
    return QByteArray("\xEF\xBB\xBF") + out.toUtf8();
}

std::vector<std::uint64_t> AllFrames(const TTrafficLog& log)
{
    std::vector<std::uint64_t> seqs;
    seqs.reserve(log.Size());
    for (std::size_t i = 0; i < log.Size(); ++i)
        seqs.push_back(log.At(i).Seq);
    return seqs;
}
