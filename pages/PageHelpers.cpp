#include "pages/PageHelpers.h"
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

QPushButton* MakeButton(const QString& name, const QString& caption, const QRect& at, QWidget* parent)
{
    auto* button = new QPushButton(caption, parent);
    button->setObjectName(name);
    button->setGeometry(at);
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

QWidget* MakePage(const QString& name)
{
    auto* page = new QWidget;
    page->setObjectName(name);
    page->setAutoFillBackground(true);
    return page;
}
