#include "pages/LatchExport.h"
#include "convert/Unit_Utils.h"
#include "params/SaveWhole.h"
#include <QFile>
#include <QFileInfo>
#include <QLocale>
#include <QRegularExpression>
#include <QTableWidget>
#include <algorithm>
#include <array>
#include <cerrno>
#include <cstdio>
#include <limits>
#include <memory>
#include <xlsxwriter.h>

namespace {

constexpr int ColumnCount = 6;
constexpr int CounterColumn = 0;
constexpr int AddressColumn = 1;
constexpr int TimeColumn = 2;
constexpr int ConfirmColumn = 3;

QString TrimLeft(const QString& s)
{
    qsizetype i = 0;
    while (i < s.size() && s[i].isSpace())
        ++i;
    return s.mid(i);
}

// Leading blanks are allowed, as in the table's cells; anything else that is no 32-bit
// integer counts as 0.
double IntegerOf(const QString& text)
{
    static const QRegularExpression integer(QStringLiteral("^[+-]?\\d{1,10}$"));
    const QString s = TrimLeft(text);
    if (!integer.match(s).hasMatch())
        return 0;
    bool ok = false;
    const qlonglong value = s.toLongLong(&ok);
    if (!ok || value < std::numeric_limits<qint32>::min() || value > std::numeric_limits<qint32>::max())
        return 0;
    return static_cast<double>(value);
}

// A time of day, hours and minutes with optional seconds, as a fraction of a day; 0 otherwise.
double TimeOf(const QString& text)
{
    static const QRegularExpression time(QStringLiteral("^(\\d{1,2}):(\\d{2})(?::(\\d{2}))?$"));
    const QRegularExpressionMatch m = time.match(text.trimmed());
    if (!m.hasMatch())
        return 0;
    const int h = m.captured(1).toInt();
    const int min = m.captured(2).toInt();
    const int sec = m.captured(3).isEmpty() ? 0 : m.captured(3).toInt();
    if (h > 23 || min > 59 || sec > 59)
        return 0;
    return (h * 3600 + min * 60 + sec) / 86400.0;
}

// The text a spreadsheet shows for the cell, to fit the column to it.
qsizetype ShownLength(const TSheetCell& cell)
{
    switch (cell.kind) {
    case TSheetCell::Kind::Time: {
        const int seconds = static_cast<int>(cell.number * 86400.0 + 0.5);
        return seconds >= 36000 ? 8 : 7;
    }
    case TSheetCell::Kind::Number:
        return QLocale().toString(cell.number, 'g', 15).size();
    case TSheetCell::Kind::Text:
        break;
    }
    return cell.text.size();
}

// Frees the workbook if it was not closed, so that no early return leaks it.
struct WorkbookCloser {
    void operator()(lxw_workbook* wb) const
    {
        if (wb)
            workbook_close(wb);
    }
};
using WorkbookPtr = std::unique_ptr<lxw_workbook, WorkbookCloser>;

lxw_format* NewFormat(lxw_workbook* wb, bool header, bool time)
{
    lxw_format* const format = workbook_add_format(wb);
    if (header) {
        format_set_bold(format);
        format_set_italic(format);
    }
    if (time)
        format_set_num_format(format, "h:mm:ss");
    return format;
}

} // namespace

TLatchTable LatchTableOf(const QTableWidget& grid)
{
    TLatchTable table;
    for (int column = 0; column < ColumnCount; ++column) {
        const QTableWidgetItem* const header = grid.horizontalHeaderItem(column);
        table.Headers << (header ? header->text() : QString());
    }
    for (int row = 0; row < grid.rowCount(); ++row) {
        QStringList cells;
        for (int column = 0; column < ColumnCount; ++column) {
            const QTableWidgetItem* const item = grid.item(row, column);
            cells << (item ? item->text() : QString());
        }
        table.Rows.push_back(cells);
    }
    return table;
}

QStringList ReportLines(const TLatchTable& table)
{
    const auto line = [](const QStringList& cells) {
        QString text;
        for (int column = 0; column < ColumnCount; ++column)
            text += TrimLeft(cells.value(column)) + u';';
        return text;
    };
    QStringList lines{line(table.Headers)};
    for (const QStringList& row : table.Rows)
        lines << line(row);
    return lines;
}

bool WriteReport(const QString& path, const TLatchTable& table, QString* error)
{
    QByteArray content;
    for (const QString& line : ReportLines(table))
        content += (line + QStringLiteral("\r\n")).toLocal8Bit();
    return SaveWhole(path, content, error);
}

TSheetCell SheetCellOf(int column, const QString& text)
{
    switch (column) {
    case CounterColumn:
    case AddressColumn:
        return {TSheetCell::Kind::Number, IntegerOf(text), {}};
    case TimeColumn:
        return {TSheetCell::Kind::Time, TimeOf(text), {}};
    case ConfirmColumn:
        return {TSheetCell::Kind::Text, 0, text};
    default:
        break;
    }
    bool ok = false;
    const double value = TryStrToFloatDotComma(text, ok);
    if (ok)
        return {TSheetCell::Kind::Number, value, {}};
    return {TSheetCell::Kind::Text, 0, text};
}

bool WriteLatchWorkbook(const QString& path, const TLatchTable& table, QString* error)
{
    const auto fail = [error](const QString& why) {
        if (error)
            *error = why;
        return false;
    };
    // Written beside the target first: a failure must not leave a cut-off workbook behind.
    const QString part = path + QStringLiteral(".part");
    const QByteArray partName = QFile::encodeName(part);
    WorkbookPtr wb(workbook_new(partName.constData()));
    if (!wb)
        return fail(QStringLiteral("no memory for the workbook"));
    lxw_worksheet* const sheet = workbook_add_worksheet(wb.get(), nullptr);
    lxw_format* const header = NewFormat(wb.get(), true, false);
    lxw_format* const headerTime = NewFormat(wb.get(), true, true);
    lxw_format* const time = NewFormat(wb.get(), false, true);
    if (!sheet || !header || !headerTime || !time)
        return fail(QStringLiteral("no memory for the workbook"));

    std::array<qsizetype, ColumnCount> widest{};
    // A cell the sheet refuses (beyond its last row) cuts only its own column short.
    std::array<bool, ColumnCount> cut{};
    for (int column = 0; column < ColumnCount; ++column) {
        const QString text = table.Headers.value(column);
        lxw_format* const format = column == TimeColumn ? headerTime : header;
        worksheet_write_string(sheet, 0, static_cast<lxw_col_t>(column), text.toUtf8().constData(), format);
        // Bold italic runs about a tenth wider than the plain digits below.
        widest[static_cast<std::size_t>(column)] = text.size() + text.size() / 10;
    }
    for (std::size_t r = 0; r < table.Rows.size(); ++r) {
        const auto row = static_cast<lxw_row_t>(r + 1);
        for (int column = 0; column < ColumnCount; ++column) {
            const auto col = static_cast<lxw_col_t>(column);
            if (cut[static_cast<std::size_t>(column)])
                continue;
            const TSheetCell cell = SheetCellOf(column, table.Rows[r].value(column));
            lxw_error written = LXW_NO_ERROR;
            if (cell.kind == TSheetCell::Kind::Text)
                written = worksheet_write_string(sheet, row, col, cell.text.toUtf8().constData(), nullptr);
            else
                written = worksheet_write_number(sheet, row, col, cell.number,
                                                 cell.kind == TSheetCell::Kind::Time ? time : nullptr);
            if (written != LXW_NO_ERROR) {
                cut[static_cast<std::size_t>(column)] = true;
                continue;
            }
            auto& width = widest[static_cast<std::size_t>(column)];
            width = std::max(width, ShownLength(cell));
        }
    }
    for (int column = 0; column < ColumnCount; ++column) {
        const auto col = static_cast<lxw_col_t>(column);
        const double width = static_cast<double>(widest[static_cast<std::size_t>(column)]) + 1.0;
        worksheet_set_column(sheet, col, col, width, column == TimeColumn ? time : nullptr);
    }

    const lxw_error closed = workbook_close(wb.release());
    if (closed != LXW_NO_ERROR) {
        QFile::remove(part);
        return fail(QString::fromUtf8(lxw_strerror(closed)));
    }
    if (std::rename(partName.constData(), QFile::encodeName(path).constData()) != 0) {
        const QString why = qt_error_string(errno);
        QFile::remove(part);
        return fail(why);
    }
    return true;
}
