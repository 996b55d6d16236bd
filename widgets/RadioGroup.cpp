#include "widgets/RadioGroup.h"
#include <QButtonGroup>
#include <QGridLayout>
#include <QRadioButton>
#include <QStyleOptionButton>
#include <QStylePainter>
#include <algorithm>

namespace {

// A radio button whose text breaks into lines at word boundaries when its group is narrower than
// the text; the style centres the indicator on the text block.
class TWrapRadioButton : public QRadioButton {
  public:
    using QRadioButton::QRadioButton;

    bool hasHeightForWidth() const override { return true; }
    int heightForWidth(int width) const override
    {
        return std::max(QRadioButton::sizeHint().height(), TextHeight(width) + 2 * Padding);
    }
    // As narrow as the longest word allows; as wide as the text on one line by preference.
    QSize minimumSizeHint() const override
    {
        int longestWord = 0;
        for (const QString& word : text().split(QLatin1Char(' '), Qt::SkipEmptyParts))
            longestWord = std::max(longestWord, fontMetrics().horizontalAdvance(word));
        return {Indent() + longestWord, QRadioButton::sizeHint().height()};
    }

  protected:
    void paintEvent(QPaintEvent*) override
    {
        QStylePainter painter(this);
        QStyleOptionButton option;
        initStyleOption(&option);
        const QString caption = option.text;
        option.text.clear();
        painter.drawControl(QStyle::CE_RadioButton, option);
        const QRect textRect = rect().adjusted(Indent(), 0, 0, 0);
        const int flags = Qt::AlignLeft | Qt::AlignVCenter | Qt::TextWordWrap;
        style()->drawItemText(&painter, textRect, flags, palette(), isEnabled(), caption,
                              QPalette::WindowText);
        if (hasFocus()) {
            QStyleOptionFocusRect focus;
            focus.initFrom(this);
            focus.rect = fontMetrics().boundingRect(textRect, flags, caption).adjusted(-1, 0, 1, 0);
            painter.drawPrimitive(QStyle::PE_FrameFocusRect, focus);
        }
    }
    bool hitButton(const QPoint& pos) const override { return rect().contains(pos); }

  private:
    static constexpr int Padding = 2;
    static constexpr int Unbounded = 10000;
    int Indent() const
    {
        return style()->pixelMetric(QStyle::PM_ExclusiveIndicatorWidth, nullptr, this) +
               style()->pixelMetric(QStyle::PM_RadioButtonLabelSpacing, nullptr, this);
    }
    int TextHeight(int width) const
    {
        return fontMetrics()
            .boundingRect(QRect(0, 0, std::max(1, width - Indent()), Unbounded), Qt::TextWordWrap, text())
            .height();
    }
};

} // namespace

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
        auto* button = new TWrapRadioButton(items[i], this);
        button->setObjectName(name + QStringLiteral("_Item") + QString::number(i));
        QSizePolicy policy(QSizePolicy::Preferred, QSizePolicy::Preferred);
        policy.setHeightForWidth(true);
        button->setSizePolicy(policy);
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
