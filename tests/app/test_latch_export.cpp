#include "pages/LatchExport.h"
#include "pages/LatchPage.h"
#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLocale>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

const QStringList Headers{QStringLiteral("  Счётчик"),
                          QStringLiteral("  Адрес"),
                          QStringLiteral("     Время"),
                          QStringLiteral("       Результат защёлкнут"),
                          QStringLiteral("  Считанный из защёлки"),
                          QStringLiteral("    Считанный результат")};
const QStringList EmptyRow{QString(), QString(), QString(), QString(), QString(), QString()};

class LocaleGuard {
  public:
    explicit LocaleGuard(const QLocale& locale) { QLocale::setDefault(locale); }
    ~LocaleGuard() { QLocale::setDefault(saved_); }
    LocaleGuard(const LocaleGuard&) = delete;
    LocaleGuard& operator=(const LocaleGuard&) = delete;

  private:
    QLocale saved_;
};

TEST(LatchReport, OneLinePerRowWithoutLeadingBlanks)
{
    struct Case {
        const char* name;
        std::vector<QStringList> rows;
        QStringList dataLines;
    };
    const Case cases[] = {
        {"fresh table", {EmptyRow}, {QStringLiteral(";;;;;;")}},
        {"latch confirmation",
         {{"    3", "    5", "    14:05:09", "               Защёлкнут", "", ""}},
         {QStringLiteral("3;5;14:05:09;Защёлкнут;;;")}},
        {"latch all, then a value and an empty row",
         {{"    1", "    ", "    09:00:00", "           Защёлкнуты все", "", ""},
          {"    2", "    26", "    09:00:01", "", "               125,00", ""},
          EmptyRow},
         {QStringLiteral("1;;09:00:00;Защёлкнуты все;;;"), QStringLiteral("2;26;09:00:01;;125,00;;"),
          QStringLiteral(";;;;;;")}},
        {"only leading blanks go", {{" a b ", "", "", "", "", "\tx"}}, {QStringLiteral("a b ;;;;;x;")}},
    };
    for (const Case& c : cases) {
        QStringList expected{QStringLiteral(
            "Счётчик;Адрес;Время;Результат защёлкнут;Считанный из защёлки;Считанный результат;")};
        expected << c.dataLines;
        EXPECT_EQ(ReportLines({Headers, c.rows}), expected) << c.name;
    }
}

TEST(LatchReport, FileHasCrLfLinesAndReplacesTheOldOne)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(ReportFileName);
    QFile old(path);
    ASSERT_TRUE(old.open(QIODevice::WriteOnly));
    old.write("an older and longer report that must not survive\r\n");
    old.close();

    QString why;
    ASSERT_TRUE(WriteReport(path, {Headers, {{"    3", "    5", "    14:05:09", "", "", ""}}}, &why))
        << why.toStdString();
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(
        QString::fromUtf8(file.readAll()),
        QStringLiteral("Счётчик;Адрес;Время;Результат защёлкнут;Считанный из защёлки;Считанный результат;"
                       "\r\n3;5;14:05:09;;;;\r\n"));
}

TEST(LatchReport, UnwritablePlaceIsReported)
{
    QTemporaryDir dir;
    QString why;
    EXPECT_FALSE(
        WriteReport(dir.filePath(QStringLiteral("missing/Report.txt")), {Headers, {EmptyRow}}, &why));
    EXPECT_FALSE(why.isEmpty());
}

TEST(LatchSheetCell, EachColumnHasItsRule)
{
    using K = TSheetCell::Kind;
    const auto time = [](int h, int m, int s) { return (h * 3600 + m * 60 + s) / 86400.0; };
    struct Case {
        int column;
        const char* text;
        TSheetCell cell;
    };
    const Case cases[] = {
        {0, "    5", {K::Number, 5, {}}},
        {0, "5", {K::Number, 5, {}}},
        {0, "  -3", {K::Number, -3, {}}},
        {0, "", {K::Number, 0, {}}},
        {0, "abc", {K::Number, 0, {}}},
        {0, "5 ", {K::Number, 0, {}}},
        {0, "    99999999999", {K::Number, 0, {}}},
        {1, "    26", {K::Number, 26, {}}},
        {1, "    ", {K::Number, 0, {}}},
        {1, "1,5", {K::Number, 0, {}}},
        {2, "    14:05:09", {K::Time, time(14, 5, 9), {}}},
        {2, "9:05", {K::Time, time(9, 5, 0), {}}},
        {2, "", {K::Time, 0, {}}},
        {2, "    25:00:00", {K::Time, 0, {}}},
        {2, "14:61:00", {K::Time, 0, {}}},
        {2, "soon", {K::Time, 0, {}}},
        {3, "               Защёлкнут", {K::Text, 0, QStringLiteral("               Защёлкнут")}},
        {3, "12,5", {K::Text, 0, QStringLiteral("12,5")}},
        {4, "               12,345", {K::Number, 12.345, {}}},
        {4, "               125.00", {K::Number, 125, {}}},
        {4, "               1234", {K::Number, 1234, {}}},
        {4, "         Вне диапазона", {K::Text, 0, QStringLiteral("         Вне диапазона")}},
        {4, "", {K::Text, 0, QString()}},
        {5, "            Нет данных", {K::Text, 0, QStringLiteral("            Нет данных")}},
        {5, "               -0,5", {K::Number, -0.5, {}}},
    };
    for (const QLocale& locale : {QLocale(QLocale::Russian, QLocale::Russia), QLocale(QLocale::English)}) {
        const LocaleGuard guard(locale);
        for (const Case& c : cases) {
            const TSheetCell cell = SheetCellOf(c.column, QString::fromUtf8(c.text));
            EXPECT_EQ(cell.kind, c.cell.kind)
                << locale.name().toStdString() << " " << c.column << " '" << c.text;
            EXPECT_DOUBLE_EQ(cell.number, c.cell.number) << c.column << " '" << c.text << "'";
            EXPECT_EQ(cell.text, c.cell.text) << c.column << " '" << c.text << "'";
        }
    }
}

TEST(LatchAllSpeeds, OneBroadcastPerDistinctSpeedOnlyWhenThereAreSeveral)
{
    struct Case {
        std::vector<int> sensors;
        std::vector<int> broadcasts;
    };
    const Case cases[] = {
        {{}, {}},
        {{9600}, {}},
        {{19200, 19200}, {}},
        {{9600, 19200, 19200}, {9600, 19200}},
        {{9600, 9600, 115200, 921600}, {9600, 115200, 921600}},
    };
    for (const Case& c : cases)
        EXPECT_EQ(LatchAllSpeeds(c.sensors), c.broadcasts) << c.sensors.size() << " sensors";
}

// The distribution's interpreter carries the distribution's openpyxl; one earlier in PATH may not.
QString PythonWithOpenpyxl()
{
    const QStringList candidates{QStandardPaths::findExecutable(QStringLiteral("python3")),
                                 QStringLiteral("/usr/bin/python3")};
    for (const QString& python : candidates) {
        if (python.isEmpty())
            continue;
        QProcess probe;
        probe.start(python, {QStringLiteral("-c"), QStringLiteral("import openpyxl")});
        if (probe.waitForFinished(30000) && probe.exitStatus() == QProcess::NormalExit &&
            probe.exitCode() == 0)
            return python;
    }
    return {};
}

// Reads the workbook back with an independent reader and prints what it sees as JSON.
const char* const ReadBack = R"(
import datetime, json, sys, openpyxl
wb = openpyxl.load_workbook(sys.argv[1])
ws = wb.worksheets[0]
cells = {}
for row in ws.iter_rows(min_row=1, max_row=ws.max_row, max_col=6):
    for c in row:
        v = c.value
        if isinstance(v, datetime.datetime):
            v = "time " + v.time().isoformat()
        elif isinstance(v, datetime.time):
            v = "time " + v.isoformat()
        cells[c.coordinate] = {"value": v, "type": c.data_type, "format": c.number_format,
                               "bold": bool(c.font.b), "italic": bool(c.font.i)}
widths = {k: d.width for k, d in ws.column_dimensions.items()}
print(json.dumps({"sheets": len(wb.worksheets), "rows": ws.max_row, "cells": cells, "widths": widths}))
)";

TEST(LatchWorkbook, AnIndependentReaderSeesTheLayout)
{
    const QString python = PythonWithOpenpyxl();
    if (python.isEmpty())
        GTEST_SKIP() << "python3 with openpyxl is not installed";

    const LocaleGuard guard(QLocale(QLocale::Russian, QLocale::Russia));
    QTemporaryDir dir;
    const QString path = dir.filePath(WorkbookFileName);
    const TLatchTable table{Headers,
                            {{"    1", "    26", "    14:05:09", "               Защёлкнут", "", ""},
                             {"    2", "    26", "    14:05:10", "", "               12,345", ""},
                             {"    3", "    ", "", "", "", "            Нет данных"},
                             EmptyRow}};
    QString why;
    ASSERT_TRUE(WriteLatchWorkbook(path, table, &why)) << why.toStdString();
    EXPECT_FALSE(QFile::exists(path + QStringLiteral(".part")));

    QProcess reader;
    reader.start(python, {QStringLiteral("-c"), QString::fromUtf8(ReadBack), path});
    ASSERT_TRUE(reader.waitForFinished(30000));
    ASSERT_EQ(reader.exitCode(), 0) << reader.readAllStandardError().toStdString();
    const QJsonObject seen = QJsonDocument::fromJson(reader.readAllStandardOutput()).object();
    EXPECT_EQ(seen[QStringLiteral("sheets")].toInt(), 1);
    EXPECT_EQ(seen[QStringLiteral("rows")].toInt(), 5);
    const QJsonObject cells = seen[QStringLiteral("cells")].toObject();

    for (int column = 0; column < 6; ++column) {
        const QJsonObject header = cells[QString(QChar(u'A' + column)) + u'1'].toObject();
        EXPECT_EQ(header[QStringLiteral("value")].toString(), Headers[column]);
        EXPECT_TRUE(header[QStringLiteral("bold")].toBool()) << column;
        EXPECT_TRUE(header[QStringLiteral("italic")].toBool()) << column;
    }
    struct Expect {
        const char* ref;
        QJsonValue value;
        const char* type;
    };
    const Expect expected[] = {
        {"A2", 1, "n"},
        {"B2", 26, "n"},
        {"C2", QStringLiteral("time 14:05:09"), "d"},
        {"D2", QStringLiteral("               Защёлкнут"), "s"},
        {"E2", QJsonValue::Null, "n"},
        {"E3", 12.345, "n"},
        {"A4", 3, "n"},
        {"B4", 0, "n"},
        {"C4", QStringLiteral("time 00:00:00"), "d"},
        {"F4", QStringLiteral("            Нет данных"), "s"},
        {"A5", 0, "n"},
        {"C5", QStringLiteral("time 00:00:00"), "d"},
        {"D5", QJsonValue::Null, "n"},
    };
    for (const Expect& e : expected) {
        const QJsonObject cell = cells[QString::fromLatin1(e.ref)].toObject();
        EXPECT_EQ(cell[QStringLiteral("value")], e.value) << e.ref;
        EXPECT_EQ(cell[QStringLiteral("type")].toString(), QString::fromLatin1(e.type)) << e.ref;
        EXPECT_FALSE(cell[QStringLiteral("bold")].toBool()) << e.ref;
    }
    for (const char* ref : {"C2", "C3", "C4", "C5"})
        EXPECT_EQ(cells[QString::fromLatin1(ref)].toObject()[QStringLiteral("format")].toString(),
                  QStringLiteral("h:mm:ss"))
            << ref;

    // Fitted: every column at least as wide as its longest text, the short ones narrower.
    const QJsonObject widths = seen[QStringLiteral("widths")].toObject();
    for (int column = 0; column < 6; ++column) {
        const QString letter(QChar(u'A' + column));
        EXPECT_GE(widths[letter].toDouble(), Headers[column].size()) << letter.toStdString();
    }
    EXPECT_GE(widths[QStringLiteral("F")].toDouble(), QStringLiteral("            Нет данных").size());
    EXPECT_LT(widths[QStringLiteral("B")].toDouble(), widths[QStringLiteral("D")].toDouble());
}

TEST(LatchWorkbook, UnwritablePlaceIsReportedAndLeavesNothing)
{
    QTemporaryDir dir;
    // A folder where the workbook should go: the finished file cannot take its place.
    ASSERT_TRUE(QDir(dir.path()).mkdir(WorkbookFileName));
    QString why;
    EXPECT_FALSE(WriteLatchWorkbook(dir.filePath(WorkbookFileName), {Headers, {EmptyRow}}, &why));
    EXPECT_FALSE(why.isEmpty());
    EXPECT_FALSE(QFile::exists(dir.filePath(WorkbookFileName + QStringLiteral(".part"))));
    EXPECT_FALSE(
        WriteLatchWorkbook(dir.filePath(QStringLiteral("missing/x.xlsx")), {Headers, {EmptyRow}}, &why));
}

} // namespace
