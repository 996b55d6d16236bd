// The parameters page itself: its in-cell editors and what filling it does, without the bus.
#include "ParamsFixture.h"
#include "protocol/DeviceUnit.h"
#include "widgets/RadioGroup.h"
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QTableWidget>
#include <memory>

namespace {

QString U(const char* utf8)
{
    return QString::fromUtf8(utf8);
}

enum class TEditor { None, Combo, Line };

TEditor ExpectedEditor(int row)
{
    switch (row) {
    case 1:
    case 2:
    case 3:
    case 4:
    case 5:
    case 6:
    case 17:
        return TEditor::Combo;
    case 9:
        return TEditor::None;
    default:
        return TEditor::Line;
    }
}

TEST_F(ParamsBusTest, EveryValueCellGetsTheEditorOfItsRow)
{
    QTableWidget& grid = *form->TabSheet5->KGrid1;
    QAbstractItemDelegate* const delegate = grid.itemDelegate();
    for (int row = 0; row < ParamRowCount; ++row) {
        SCOPED_TRACE(row);
        SetCell(row, U("старый текст"));
        const QModelIndex index = grid.model()->index(row, 1);
        const std::unique_ptr<QWidget> editor(delegate->createEditor(grid.viewport(), {}, index));
        const std::unique_ptr<QWidget> caption(
            delegate->createEditor(grid.viewport(), {}, grid.model()->index(row, 0)));
        EXPECT_EQ(caption, nullptr) << "the caption column is never edited";
        switch (ExpectedEditor(row)) {
        case TEditor::None:
            EXPECT_EQ(editor, nullptr);
            EXPECT_FALSE(grid.item(row, 1)->flags() & Qt::ItemIsEditable);
            break;
        case TEditor::Combo: {
            auto* const combo = qobject_cast<QComboBox*>(editor.get());
            ASSERT_NE(combo, nullptr);
            EXPECT_TRUE(combo->isEditable()) << "a text may also be typed";
            delegate->setEditorData(combo, index);
            QStringList items;
            for (int i = 0; i < combo->count(); ++i)
                items << combo->itemText(i);
            EXPECT_EQ(items, PickList(row));
            EXPECT_EQ(combo->currentText(), U("старый текст"));
            break;
        }
        case TEditor::Line: {
            auto* const edit = qobject_cast<QLineEdit*>(editor.get());
            ASSERT_NE(edit, nullptr);
            delegate->setEditorData(edit, index);
            EXPECT_EQ(edit->text(), U("старый текст"));
            break;
        }
        }
    }
}

TEST_F(ParamsBusTest, TheEditorOpensInTheCurrentCellAndEnterMovesDown)
{
    QTableWidget& grid = *form->TabSheet5->KGrid1;
    form->PageControl1->setCurrentWidget(form->TabSheet5);
    grid.setFocus();
    grid.setCurrentCell(9, 1);
    EXPECT_EQ(grid.indexWidget(grid.model()->index(9, 1)), nullptr) << "row 9 is read-only";

    grid.setCurrentCell(7, 1);
    auto* const edit = qobject_cast<QLineEdit*>(grid.indexWidget(grid.model()->index(7, 1)));
    ASSERT_NE(edit, nullptr);
    edit->selectAll();
    QTest::keyClicks(edit, QStringLiteral("2,5"));
    QTest::keyClick(edit, Qt::Key_Return);
    EXPECT_EQ(Cell(7), U("2,5"));
    EXPECT_EQ(grid.currentRow(), 8);

    grid.setCurrentCell(6, 1);
    auto* const combo = qobject_cast<QComboBox*>(grid.indexWidget(grid.model()->index(6, 1)));
    ASSERT_NE(combo, nullptr);
    combo->setCurrentIndex(0);
    emit combo->activated(0);
    EXPECT_EQ(Cell(6), U("9600 бод"));
}

TEST_F(ParamsBusTest, FillingThePageSelectsTheOptionGroupsByTheirRegisters)
{
    struct Case {
        std::uint8_t discreet, r, oi;
        int radio1, radio2, radio6, radio5;
    };
    const Case cases[] = {
        {0x21, 0, 8, 2, 1, 0, 8},
        {0x03, 1, 0, -1, -1, 1, 0},
        {0x12, 2, 9, 1, 2, -1, -1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.discreet);
        record->DiscreetExit = c.discreet;
        record->param_R = c.r;
        record->param_OI = c.oi;
        record->Uart = 0;
        form->TabSheet5->Label_Hint->show();
        form->TabSheet5->FillForm(*record);
        EXPECT_EQ(form->TabSheet5->RadioGroup1->ItemIndex(), c.radio1);
        EXPECT_EQ(form->TabSheet5->RadioGroup2->ItemIndex(), c.radio2);
        EXPECT_EQ(form->TabSheet5->RadioGroup6->ItemIndex(), c.radio6);
        EXPECT_EQ(form->TabSheet5->RadioGroup5->ItemIndex(), c.radio5);
        EXPECT_EQ(Cell(ParamRow::Uart), QString()) << "no speed for raw 0";
        EXPECT_TRUE(form->TabSheet5->Label_Hint->isHidden());
        EXPECT_EQ(form->StatusText(1), U("Чтение параметров завершено"));
    }
}

} // namespace
