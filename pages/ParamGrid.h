#pragma once
// The in-cell editors of the parameter grid: an editable drop-down with the row's pick list, a
// line edit for numbers, none for the derived row. Enter takes the text and moves one row down.
#include <QStyledItemDelegate>

class QTableWidget;

class TParamGridDelegate : public QStyledItemDelegate {
    Q_OBJECT
  public:
    explicit TParamGridDelegate(QTableWidget* grid);

    // Which editor a cell gets (KGrid1EditorCreate); nullptr for the caption column and row 9.
    QWidget* createEditor(QWidget* parent, const QStyleOptionViewItem& option,
                          const QModelIndex& index) const override;
    // Fills a new editor from its cell, the pick list first (KGrid1EditorDataFromGrid).
    void setEditorData(QWidget* editor, const QModelIndex& index) const override;
    void setModelData(QWidget* editor, QAbstractItemModel* model, const QModelIndex& index) const override;

  protected:
    bool eventFilter(QObject* editor, QEvent* event) override;

  private:
    QTableWidget* grid_;
};

// Gives the grid its editing behaviour: the delegate above, the editor opened in whichever
// value cell becomes current, and the derived row kept read-only.
void SetUpParamGrid(QTableWidget& grid);
