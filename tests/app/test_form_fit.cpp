// Every caption of the four pages reads in full with the desktop's font, at the smallest window
// and at a large one: nothing cut at its own edge, nothing clipped by what holds it.
#include "FormFixture.h"
#include "widgets/WrapHeader.h"
#include <QAbstractButton>
#include <QAbstractScrollArea>
#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QTabWidget>
#include <QTableWidget>
#include <QTest>
#include <QTreeWidget>

namespace {

constexpr int Unbounded = 10000;

std::string Name(const QWidget& widget)
{
    return widget.objectName().toStdString();
}

// Whether the text of a label fits the room its frame leaves, on one line or wrapped.
bool LabelFits(const QLabel& label)
{
    const QRect room = label.contentsRect();
    const QFontMetrics metrics = label.fontMetrics();
    if (!label.wordWrap())
        return metrics.horizontalAdvance(label.text()) <= room.width();
    return metrics.boundingRect(QRect(0, 0, room.width(), Unbounded), Qt::TextWordWrap, label.text())
               .height() <= room.height();
}

bool ButtonFits(const QAbstractButton& button)
{
    if (button.hasHeightForWidth())
        return button.heightForWidth(button.width()) <= button.height() &&
               button.minimumSizeHint().width() <= button.width();
    return button.sizeHint().width() <= button.width();
}

// No ancestor up to the page cuts the widget off at the side; inside a scrolled area only the
// width counts, as the area scrolls the rest into view.
void ExpectNotClipped(const QWidget& widget, const QWidget& page)
{
    const QWidget* child = &widget;
    for (const QWidget* parent = widget.parentWidget(); parent && child != &page;
         parent = parent->parentWidget()) {
        const QRect at = child->geometry();
        const bool scrolled = qobject_cast<const QAbstractScrollArea*>(parent->parentWidget()) != nullptr;
        EXPECT_TRUE(at.left() >= 0 && at.right() < parent->width())
            << Name(widget) << " sideways in " << Name(*parent);
        if (!scrolled) {
            EXPECT_TRUE(at.top() >= 0 && at.bottom() < parent->height())
                << Name(widget) << " vertically in " << Name(*parent);
        }
        child = parent;
    }
}

void ExpectCaptionsFit(QWidget& page)
{
    SCOPED_TRACE(Name(page));
    for (const QLabel* label : page.findChildren<QLabel*>()) {
        if (label->text().isEmpty())
            continue;
        EXPECT_TRUE(LabelFits(*label)) << Name(*label) << " \"" << label->text().toStdString() << "\" in "
                                       << label->width() << "x" << label->height();
        ExpectNotClipped(*label, page);
    }
    for (const QAbstractButton* button : page.findChildren<QAbstractButton*>()) {
        if (button->text().isEmpty())
            continue;
        EXPECT_TRUE(ButtonFits(*button)) << Name(*button) << " \"" << button->text().toStdString() << "\" in "
                                         << button->width() << "x" << button->height();
        ExpectNotClipped(*button, page);
    }
    for (const QGroupBox* group : page.findChildren<QGroupBox*>()) {
        EXPECT_LE(group->minimumSizeHint().width(), group->width()) << Name(*group) << " caption";
        ExpectNotClipped(*group, page);
    }
    for (const TWrapHeader* header : page.findChildren<TWrapHeader*>()) {
        EXPECT_GE(header->height(), header->sizeHint().height()) << Name(*header->parentWidget());
        for (int section = 0; section < header->count(); ++section)
            EXPECT_LE(header->LeastSectionWidth(section), header->sectionSize(section))
                << Name(*header->parentWidget()) << " section " << section;
    }
}

TEST_F(FormTest, EveryCaptionReadsInFullAtTheSmallestAndALargeWindow)
{
    auto form = MakeForm();
    ShowAndWait(*form);
    for (const QSize size : {form->minimumSize(), QSize(1920, 1080)}) {
        SCOPED_TRACE(testing::Message() << size.width() << "x" << size.height());
        form->resize(size);
        QTRY_COMPARE(form->size(), size);
        for (QWidget* page : std::initializer_list<QWidget*>{form->TabSheet1, form->TabSheet5,
                                                             form->TabSheet2, form->TabSheet3}) {
            form->PageControl1->setCurrentWidget(page);
            QCoreApplication::processEvents();
            ExpectCaptionsFit(*page);
        }
        // The parameter names in the grid's first column.
        const QTableWidget& grid = *form->TabSheet5->KGrid1;
        constexpr int CellPadding = 6;
        for (int row = 0; row < grid.rowCount(); ++row)
            EXPECT_LE(grid.fontMetrics().horizontalAdvance(grid.item(row, 0)->text()) + CellPadding,
                      grid.columnWidth(0))
                << grid.item(row, 0)->text().toStdString();
        EXPECT_LE(grid.columnWidth(0) + grid.columnWidth(1) + 2 * grid.frameWidth(), grid.width());
    }
}

} // namespace
