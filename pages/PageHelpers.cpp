#include "pages/PageHelpers.h"
#include <QFontMetrics>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

QPushButton* MakeButton(const QString& name, const QString& caption, const QRect& at, QWidget* parent)
{
    auto* button = new QPushButton(caption, parent);
    button->setObjectName(name);
    button->setGeometry(at);
    // The places are fixed, but desktop fonts are wider than the classic face: a caption that
    // would be cut at the button's edge is set a little smaller instead, down to 7 points.
    constexpr int Margins = 12;
    QFont font = button->font();
    while (font.pointSizeF() > 7.0 && QFontMetrics(font).horizontalAdvance(caption) + Margins > at.width())
        font.setPointSizeF(font.pointSizeF() - 0.5);
    if (font != button->font())
        button->setFont(font);
    return button;
}

QLabel* MakeLabel(const QString& name, const QString& text, const QRect& at, QWidget* parent)
{
    auto* label = new QLabel(text, parent);
    label->setObjectName(name);
    label->setGeometry(at);
    return label;
}

QLineEdit* MakeEdit(const QString& name, const QRect& at, QLabel* label, QWidget* parent)
{
    auto* edit = new QLineEdit(parent);
    edit->setObjectName(name);
    edit->setGeometry(at);
    if (label) {
        label->setBuddy(edit);
        edit->setAccessibleName(label->text().simplified());
    }
    return edit;
}

Q_LOGGING_CATEGORY(lcPages, "veltrano.pages", QtWarningMsg)
