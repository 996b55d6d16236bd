#pragma once
// The two exports of the result table: Report.txt and a spreadsheet workbook. Both are pure
// functions of the table's texts, so they can be checked without a window.
#include <QString>
#include <QStringList>
#include <vector>

class QTableWidget;

inline const QString ReportFileName = QStringLiteral("Report.txt");
inline const QString WorkbookFileName = QStringLiteral("Report.xlsx");

// The texts of the result table: the six header texts and every data row, six cells each.
struct TLatchTable {
    QStringList Headers;
    std::vector<QStringList> Rows;
};

// What the window shows: its header and every widget row (empty cells as empty texts).
TLatchTable LatchTableOf(const QTableWidget& grid);

// One line per row, header first: each cell without its leading blanks and followed by ";".
QStringList ReportLines(const TLatchTable& table);
// Writes the lines in the system's 8-bit encoding (UTF-8 here), CR LF ended, replacing the file
// only once all of it is written. False, with the reason in *error, when the file could not be
// written; an older file then stays unchanged.
bool WriteReport(const QString& path, const TLatchTable& table, QString* error);

// A worksheet cell: a number, a time of day as a fraction of a day, or a text.
struct TSheetCell {
    enum class Kind { Number, Time, Text };
    Kind kind = Kind::Text;
    double number = 0;
    QString text;
    bool operator==(const TSheetCell&) const = default;
};

// The cell a table text becomes in the workbook, by its table column: counter and address as
// integers (0 when not one), the time as a time value (0 when not one), the latch confirmation
// as text, the two results as numbers when they read as one with either separator, else text.
TSheetCell SheetCellOf(int column, const QString& text);

// The workbook: the header in row 1 bold and italic, data row r in row r + 1, the time column
// as h:mm:ss, the columns as wide as their contents. Written beside the target and moved over
// it once complete; false, with the reason in *error, when that failed.
bool WriteLatchWorkbook(const QString& path, const TLatchTable& table, QString* error);
