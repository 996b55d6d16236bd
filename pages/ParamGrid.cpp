#include "pages/ParamGrid.h"
#include "params/ParamSet.h"
#include <QComboBox>
#include <QKeyEvent>
#include <QLineEdit>
#include <QTableWidget>

namespace {
constexpr int ValueColumn = 1;

bool HasPickList(int row)
{
    return !PickList(row).isEmpty();
}
} // namespace

TParamGridDelegate::TParamGridDelegate(QTableWidget* grid) : QStyledItemDelegate(grid), grid_(grid) {}

QWidget* TParamGridDelegate::createEditor(QWidget* parent, const QStyleOptionViewItem&,
                                          const QModelIndex& index) const
{
    const int row = index.row();
    if (index.column() != ValueColumn || row < 0 || row >= ParamRowCount || row == ParamRow::OutputPeriod)
        return nullptr;
    if (HasPickList(row)) {
        auto* combo = new QComboBox(parent);
        combo->setObjectName(QStringLiteral("KGrid1Combo"));
        // Typed text is kept as typed: the check before a write judges it, not the editor.
        combo->setEditable(true);
        combo->setInsertPolicy(QComboBox::NoInsert);
        combo->setFrame(false);
        // A pick from the list is taken at once, as Enter would take it. Qt's editor factory is const
        // while the signal it answers is not.
        auto* const self = const_cast<TParamGridDelegate*>(this);
        connect(combo, &QComboBox::activated, self, [self, combo] { emit self->commitData(combo); });
        return combo;
    }
    auto* edit = new QLineEdit(parent);
    edit->setObjectName(QStringLiteral("KGrid1Edit"));
    edit->setFrame(false);
    return edit;
}

void TParamGridDelegate::setEditorData(QWidget* editor, const QModelIndex& index) const
{
    const QString text = index.data(Qt::EditRole).toString();
    if (auto* combo = qobject_cast<QComboBox*>(editor)) {
        combo->clear();
        combo->addItems(PickList(index.row()));
        combo->setCurrentIndex(-1);
        combo->setEditText(text);
        return;
    }
    if (auto* edit = qobject_cast<QLineEdit*>(editor))
        edit->setText(text);
}

void TParamGridDelegate::setModelData(QWidget* editor, QAbstractItemModel* model,
                                      const QModelIndex& index) const
{
    if (const auto* combo = qobject_cast<QComboBox*>(editor))
        model->setData(index, combo->currentText(), Qt::EditRole);
    else if (const auto* edit = qobject_cast<QLineEdit*>(editor))
        model->setData(index, edit->text(), Qt::EditRole);
}

bool TParamGridDelegate::eventFilter(QObject* object, QEvent* event)
{
    auto* const editor = qobject_cast<QWidget*>(object);
    if (editor && event->type() == QEvent::KeyPress) {
        const auto* key = static_cast<QKeyEvent*>(event);
        if (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) {
            emit commitData(editor);
            emit closeEditor(editor, QAbstractItemDelegate::NoHint);
            const int next = grid_->currentRow() + 1;
            if (next < grid_->rowCount())
                grid_->setCurrentCell(next, ValueColumn);
            return true;
        }
    }
    return QStyledItemDelegate::eventFilter(object, event);
}

void SetUpParamGrid(QTableWidget& grid)
{
    grid.setItemDelegate(new TParamGridDelegate(&grid));
    grid.setSelectionMode(QAbstractItemView::SingleSelection);
    grid.setEditTriggers(QAbstractItemView::CurrentChanged | QAbstractItemView::DoubleClicked |
                         QAbstractItemView::SelectedClicked | QAbstractItemView::EditKeyPressed |
                         QAbstractItemView::AnyKeyPressed);
    for (int row = 0; row < grid.rowCount(); ++row) {
        QTableWidgetItem* item = grid.item(row, ValueColumn);
        if (!item) {
            item = new QTableWidgetItem;
            grid.setItem(row, ValueColumn, item);
        }
        if (row == ParamRow::OutputPeriod)
            item->setFlags(item->flags() & ~Qt::ItemIsEditable);
    }
}
