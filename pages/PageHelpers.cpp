#include "pages/PageHelpers.h"
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <algorithm>

QPushButton* MakeButton(const QString& name, const QString& caption, const QRect& at, QWidget* parent)
{
    auto* button = new QPushButton(caption, parent);
    button->setObjectName(name);
    button->setGeometry(at);
    // Desktop fonts are wider than the classic face: a caption that would be cut at the button's
    // edge widens the button instead, to the right.
    button->resize(std::max(at.width(), button->sizeHint().width()), at.height());
    return button;
}

QString WithSuffix(const QString& path, const QString& suffix)
{
    return QFileInfo(path).suffix().isEmpty() ? path + QLatin1Char('.') + suffix : path;
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
