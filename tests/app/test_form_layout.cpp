#include "FormFixture.h"
#include "pages/ColumnWidths.h"
#include "widgets/ProgressBar.h"
#include "widgets/StatusPanels.h"
#include "widgets/WrapHeader.h"
#include <QHeaderView>
#include <QPushButton>
#include <QTabWidget>
#include <QTableWidget>
#include <QTest>
#include <QTreeWidget>
#include <qcustomplot.h>

namespace {

void ExpectLayoutFor(TForm1& form)
{
    const int W = form.width();
    const int H = form.height();
    SCOPED_TRACE(testing::Message() << W << "x" << H);
    EXPECT_EQ(form.PageControl1->geometry(), QRect(0, 56, W - 6, H - (form.StatusBar1->height() + 75)));
    EXPECT_EQ(form.TabSheet2->Chart1->size(), QSize(W - 15, H - 247));

    const TStatusPanels& bar = *form.StatusBar1;
    EXPECT_EQ(bar.PanelWidth(0), 150);
    EXPECT_EQ(bar.PanelWidth(1), 220);
    EXPECT_EQ(bar.PanelWidth(2), W - (150 + 220 + 210));
    const int left = 150 + 220 + bar.PanelWidth(2);
    const QRect progress = form.QProgressBar1->geometry();
    EXPECT_EQ(progress.left(), left);
    EXPECT_EQ(progress.width(), W - left);
    EXPECT_EQ(progress.top(), H - progress.height());

    EXPECT_EQ(form.TabSheet3->Button_ClearTable->y(), H - 164);
    EXPECT_EQ(form.TabSheet3->BitBtn_Excel->y(), H - 167);
    EXPECT_EQ(form.TabSheet3->BitBtn_TXT->y(), H - 167);
    EXPECT_EQ(form.TabSheet5->KGrid1->size(),
              QSize(form.PageControl1->width() - form.TabSheet5->KGrid1->x() - 10, 21 * 19 + 5));

    // The table begins right of the button column, which is as wide as its widest caption.
    const QTableWidget& table = *form.TabSheet3->StringGrid1;
    EXPECT_EQ(table.x(), form.TabSheet3->Button11->geometry().right() + 5);
    EXPECT_EQ(table.size(), QSize(W - 12 - table.x(), H - 203));
    const std::array<int, 6> latch = LatchTableColumnWidths(table.width());
    const auto& latchHeader = static_cast<const TWrapHeader&>(*table.horizontalHeader());
    bool formulaFits = true;
    int latchSum = 0;
    for (int c = 0; c < 6; ++c) {
        formulaFits = formulaFits && latch[static_cast<std::size_t>(c)] >= latchHeader.LeastSectionWidth(c);
        latchSum += table.columnWidth(c);
        EXPECT_GE(table.columnWidth(c), latchHeader.LeastSectionWidth(c)) << "latch column " << c;
    }
    EXPECT_EQ(latchSum, table.width()) << "a column that needs more takes it from the others";
    const char* headers[] = {"  Счётчик",
                             "  Адрес",
                             "     Время",
                             "       Результат защёлкнут",
                             "  Считанный из защёлки",
                             "    Считанный результат"};
    for (int c = 0; c < 6; ++c) {
        if (formulaFits) {
            EXPECT_EQ(table.columnWidth(c), latch[static_cast<std::size_t>(c)]) << "latch column " << c;
        }
        EXPECT_EQ(table.horizontalHeaderItem(c)->text(), QString::fromUtf8(headers[c]));
    }

    const int LW = W - 215;
    EXPECT_EQ(form.TabSheet1->ListView1->size(), QSize(LW, H - 163));
    const std::array<int, 5> list = SearchListColumnWidths(LW);
    int sum = 0;
    for (int c = 0; c < 5; ++c) {
        EXPECT_EQ(form.TabSheet1->ListView1->columnWidth(c), list[static_cast<std::size_t>(c)])
            << "list column " << c;
        sum += form.TabSheet1->ListView1->columnWidth(c);
    }
    EXPECT_EQ(form.TabSheet1->ListView1->columnWidth(5), LW - sum - 5);

    // Every control stays inside its page at the sizes the rules are made for.
    for (QWidget* page :
         std::initializer_list<QWidget*>{form.TabSheet1, form.TabSheet5, form.TabSheet2, form.TabSheet3}) {
        form.PageControl1->setCurrentWidget(page);
        QCoreApplication::processEvents();
        for (const QWidget* child : page->findChildren<QWidget*>(QString(), Qt::FindDirectChildrenOnly)) {
            if (child->isHidden() && child != form.TabSheet2->ScrollBar1)
                continue;
            EXPECT_TRUE(QRect(QPoint(0, 0), page->size()).contains(child->geometry()))
                << child->objectName().toStdString() << " at " << child->x() << "," << child->y() << " "
                << child->width() << "x" << child->height() << " on " << page->objectName().toStdString()
                << " " << page->width() << "x" << page->height();
        }
    }
    form.PageControl1->setCurrentWidget(form.TabSheet1);
}

TEST_F(FormTest, LayoutPassFollowsTheWindowSize)
{
    auto form = MakeForm();
    ShowAndWait(*form);
    for (const QSize size : {QSize(800, 560), QSize(927, 600), QSize(1283, 777), QSize(1920, 1080)}) {
        form->resize(size);
        QTRY_COMPARE(form->size(), size);
        QTRY_COMPARE(form->PageControl1->width(), size.width() - 6);
        QCoreApplication::processEvents();
        ExpectLayoutFor(*form);
    }
}

TEST_F(FormTest, LayoutWaitsUntilCreationIsOver)
{
    auto form = MakeForm();
    const QSize before = form->PageControl1->size();
    form->FormCreating = true;
    form->FormResize();
    form->resize(1000, 700);
    form->FormResize();
    EXPECT_EQ(form->PageControl1->size(), before);
    form->FormCreating = false;
    form->FormResize();
    EXPECT_EQ(form->PageControl1->width(), 994);
}

TEST_F(FormTest, WindowCannotShrinkBelowTheMinimum)
{
    auto form = MakeForm();
    ShowAndWait(*form);
    EXPECT_EQ(form->minimumSize(), QSize(800, 560));
    form->resize(300, 200);
    QTest::qWait(20);
    EXPECT_GE(form->width(), 800);
    EXPECT_GE(form->height(), 560);
}

} // namespace
