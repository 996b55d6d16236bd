#pragma once
#include <QGroupBox>
#include <QStringList>
#include <QVector>

class QButtonGroup;
class QRadioButton;

// A captioned group of radio buttons laid out in columns, with an item index (-1: none chosen)
// and a Click signal that fires whenever the index changes, by the user or by SetItemIndex.
class TRadioGroup : public QGroupBox {
    Q_OBJECT
  public:
    // The buttons are named <name>_Item0, <name>_Item1, ...
    TRadioGroup(const QString& name, const QString& caption, const QStringList& items, int columns,
                QWidget* parent);

    int ItemIndex() const { return itemIndex_; }
    void SetItemIndex(int index);
    int Count() const { return static_cast<int>(buttons_.size()); }
    QRadioButton* Button(int index) const;

  signals:
    void Click();

  private:
    void ButtonClicked(int index);

    QButtonGroup* group_;
    QVector<QRadioButton*> buttons_;
    int itemIndex_ = -1;
};
