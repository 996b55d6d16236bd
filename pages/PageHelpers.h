#pragma once
#include <QLoggingCategory>
#include <QRect>
#include <QString>

class QLabel;
class QLineEdit;
class QPushButton;
class QWidget;

// Controls sit at fixed places on their page; these make one, named, at its place. A button is
// made wide enough for its caption.
QPushButton* MakeButton(const QString& name, const QString& caption, const QRect& at, QWidget* parent);
QLabel* MakeLabel(const QString& name, const QString& text, const QRect& at, QWidget* parent);
// An edit box whose accessible name is its label's text; the label becomes its buddy.
QLineEdit* MakeEdit(const QString& name, const QRect& at, QLabel* label, QWidget* parent);

// The path with the suffix of the chosen kind when the user typed none.
QString WithSuffix(const QString& path, const QString& suffix);

// What the pages could not do (an export, a search start), for a look at what went wrong;
// QT_LOGGING_RULES="veltrano.pages.debug=true" shows it all.
Q_DECLARE_LOGGING_CATEGORY(lcPages)
