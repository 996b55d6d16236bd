#include "BusFormFixture.h"
#include "bus/SensorBus.h"
#include <QPushButton>
#include <QRegularExpression>
#include <QTableWidget>

namespace {

// Four blanks and the time of day, hours, minutes and seconds, without a time zone.
const QRegularExpression TimeCell(QStringLiteral("^    \\d\\d:\\d\\d:\\d\\d$"));

TEST_F(BusFormTest, LatchPageButtonsAddOneRowEachByTheRowTemplate)
{
    struct Case {
        QPushButton* TLatchPage::*button;
        QByteArray frame;
        int column;
        const char* cell;
        const char* status;
    };
    const Case cases[] = {
        {&TLatchPage::Button9, "#1AFX\r", 3, "               Защёлкнут", "Результат защёлкнут"},
        {&TLatchPage::Button10, "#1AFR\r", 4, "               125,00", "Результат прочитан из защёлки"},
        {&TLatchPage::Button11, "#1ALR\r", 5, "               125,00", "Последний результат прочитан"},
        {&TLatchPage::Button9, "#1AFX\r", 3, "               Защёлкнут", "Результат защёлкнут"},
    };
    int row = 0;
    for (const Case& c : cases) {
        ++row;
        bus.clearLog();
        (form->TabSheet3->*c.button)->click();
        ASSERT_TRUE(WaitFor([&] { return form->TabSheet3->CountRowTable == row; })) << c.frame.constData();
        ASSERT_TRUE(WaitIdle());
        EXPECT_EQ(Heard(), std::vector<QByteArray>{c.frame});
        EXPECT_EQ(form->StatusText(1), QString::fromUtf8(c.status));
        EXPECT_EQ(form->TabSheet3->StringGrid1->rowCount(), row) << "the header row is the widget's own";
        EXPECT_EQ(LatchCell(row, 0), QStringLiteral("    ") + QString::number(row));
        EXPECT_EQ(LatchCell(row, 1), QStringLiteral("    26"));
        EXPECT_TRUE(TimeCell.match(LatchCell(row, 2)).hasMatch()) << LatchCell(row, 2).toStdString();
        for (int column = 3; column <= 5; ++column)
            EXPECT_EQ(LatchCell(row, column), column == c.column ? QString::fromUtf8(c.cell) : QString())
                << "row " << row << ", column " << column;
        EXPECT_EQ(form->TabSheet3->StringGrid1->currentRow(), row - 1) << "the new row is the current one";
    }
}

} // namespace
