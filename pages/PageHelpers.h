#pragma once
#include <QRect>
#include <QString>

class QLabel;
class QLineEdit;
class QPushButton;
class QWidget;

// Controls sit at fixed places on their page; these make one, named, at its place. A button's
// caption is made to fit its width.
QPushButton* MakeButton(const QString& name, const QString& caption, const QRect& at, QWidget* parent);
QLabel* MakeLabel(const QString& name, const QString& text, const QRect& at, QWidget* parent);
// An edit box whose accessible name is its label's text; the label becomes its buddy.
QLineEdit* MakeEdit(const QString& name, const QRect& at, QLabel* label, QWidget* parent);
// A page of the page control, without a layout: its controls are placed by hand.
QWidget* MakePage(const QString& name);
