#include "widgets/RadioGroup.h"
#include <QButtonGroup>
#include <QGridLayout>
#include <QRadioButton>
#include <algorithm>

TRadioGroup::TRadioGroup(const QString& name, const QString& caption, const QStringList& items, int columns,
                         QWidget* parent)
    : QGroupBox(caption, parent), group_(new QButtonGroup(this))
{
    setObjectName(name);
    setAccessibleName(caption.trimmed());
    auto* grid = new QGridLayout(this);
    grid->setContentsMargins(2, 0, 0, 0);
    grid->setVerticalSpacing(0);
    grid->setHorizontalSpacing(2);
    const int rows = (static_cast<int>(items.size()) + columns - 1) / std::max(columns, 1);
    for (int i = 0; i < items.size(); ++i) {
        auto* button = new QRadioButton(items[i], this);
        button->setObjectName(name + QStringLiteral("_Item") + QString::number(i));
        // The whole text stays at hand where a narrow group cuts it off.
        button->setToolTip(items[i]);
        group_->addButton(button, i);
        // Filled column by column, as the items are read top to bottom.
        grid->addWidget(button, i % rows, i / rows);
        buttons_.push_back(button);
    }
    connect(group_, &QButtonGroup::idClicked, this, &TRadioGroup::ButtonClicked);
}

QRadioButton* TRadioGroup::Button(int index) const
{
    return index >= 0 && index < Count() ? buttons_[index] : nullptr;
}

void TRadioGroup::SetItemIndex(int index)
{
    if (index < -1 || index >= Count())
        index = -1;
    if (index == itemIndex_)
        return;
    itemIndex_ = index;
    // An exclusive group cannot show "none chosen"; it is lifted while the buttons are set.
    group_->setExclusive(false);
    for (int i = 0; i < Count(); ++i)
        buttons_[i]->setChecked(i == index);
    group_->setExclusive(true);
    emit Click();
}

void TRadioGroup::ButtonClicked(int index)
{
    if (index == itemIndex_)
        return;
    itemIndex_ = index;
    emit Click();
}
