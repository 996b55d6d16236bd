#include "widgets/StatusPanels.h"
#include <QLabel>
#include <algorithm>

TStatusPanels::TStatusPanels(const QVector<int>& widths, QWidget* parent)
    : QStatusBar(parent), widths_(widths)
{
    setSizeGripEnabled(false);
    for (int i = 0; i < widths.size(); ++i) {
        auto* panel = new QLabel(this);
        panel->setObjectName(QStringLiteral("StatusPanel") + QString::number(i));
        panel->setFrameShape(QFrame::Panel);
        panel->setFrameShadow(QFrame::Sunken);
        panel->setTextFormat(Qt::PlainText);
        panel->setIndent(2);
        panels_.push_back(panel);
    }
    setFixedHeight(fontMetrics().height() + 8);
    Arrange();
}

int TStatusPanels::PanelWidth(int index) const
{
    return index >= 0 && index < PanelCount() ? panels_[index]->width() : 0;
}

void TStatusPanels::SetPanelWidth(int index, int width)
{
    if (index < 0 || index >= PanelCount())
        return;
    widths_[index] = std::max(width, 0);
    Arrange();
}

QString TStatusPanels::Text(int index) const
{
    return index >= 0 && index < PanelCount() ? panels_[index]->text() : QString();
}

void TStatusPanels::SetText(int index, const QString& text)
{
    if (index < 0 || index >= PanelCount())
        return;
    panels_[index]->setText(text);
    emit TextSet(index, text);
}

QLabel* TStatusPanels::Panel(int index) const
{
    return index >= 0 && index < PanelCount() ? panels_[index] : nullptr;
}

void TStatusPanels::resizeEvent(QResizeEvent* event)
{
    QStatusBar::resizeEvent(event);
    Arrange();
}

void TStatusPanels::Arrange()
{
    int x = 0;
    for (int i = 0; i < PanelCount(); ++i) {
        const bool last = i == PanelCount() - 1;
        const int w = last ? std::max(width() - x, 0) : widths_[i];
        panels_[i]->setGeometry(x, 0, w, height());
        x += w;
    }
}
