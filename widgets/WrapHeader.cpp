#include "widgets/WrapHeader.h"
#include <QAbstractItemView>
#include <QStyle>
#include <QStyleOptionHeader>
#include <algorithm>

namespace {
constexpr int Unbounded = 10000;
}

TWrapHeader::TWrapHeader(QWidget* parent) : QHeaderView(Qt::Horizontal, parent)
{
    setTextElideMode(Qt::ElideNone);
    connect(this, &QHeaderView::sectionResized, this, &TWrapHeader::SectionsChanged);
    connect(this, &QHeaderView::sectionCountChanged, this, &TWrapHeader::SectionsChanged);
}

void TWrapHeader::setModel(QAbstractItemModel* model)
{
    if (this->model())
        disconnect(this->model(), &QAbstractItemModel::headerDataChanged, this,
                   &TWrapHeader::SectionsChanged);
    QHeaderView::setModel(model);
    if (model)
        connect(model, &QAbstractItemModel::headerDataChanged, this, &TWrapHeader::SectionsChanged);
}

// Whatever alignment a section is given, its caption wraps.
void TWrapHeader::initStyleOptionForIndex(QStyleOptionHeader* option, int logicalIndex) const
{
    QHeaderView::initStyleOptionForIndex(option, logicalIndex);
    option->textAlignment = Qt::Alignment(option->textAlignment.toInt() | Qt::TextWordWrap);
}

QRect TWrapHeader::CaptionRect(int logicalIndex) const
{
    QStyleOptionHeader option;
    initStyleOption(&option);
    option.section = logicalIndex;
    option.rect = QRect(0, 0, sectionSize(logicalIndex), Unbounded);
    return style()->subElementRect(QStyle::SE_HeaderLabel, &option, this);
}

int TWrapHeader::LeastSectionWidth(int logicalIndex) const
{
    if (!model())
        return 0;
    const QString text = model()->headerData(logicalIndex, orientation(), Qt::DisplayRole).toString();
    // The blanks before the first word stay with it on its line.
    qsizetype firstWordAt = 0;
    while (firstWordAt < text.size() && text[firstWordAt] == QLatin1Char(' '))
        ++firstWordAt;
    int widest = 0;
    for (qsizetype start = 0; start < text.size();) {
        qsizetype end = text.indexOf(QLatin1Char(' '), std::max(start, firstWordAt));
        if (end < 0)
            end = text.size();
        widest = std::max(widest, fontMetrics().horizontalAdvance(text.mid(start, end - start)));
        start = end + 1;
    }
    QStyleOptionHeader option;
    initStyleOption(&option);
    option.section = logicalIndex;
    option.rect = QRect(0, 0, Unbounded, Unbounded);
    const int margins = Unbounded - style()->subElementRect(QStyle::SE_HeaderLabel, &option, this).width();
    return widest + margins;
}

QSize TWrapHeader::sectionSizeFromContents(int logicalIndex) const
{
    QSize size = QHeaderView::sectionSizeFromContents(logicalIndex);
    if (!model() || sectionSize(logicalIndex) <= 0)
        return size;
    const QString text = model()->headerData(logicalIndex, orientation(), Qt::DisplayRole).toString();
    const int width = std::max(1, CaptionRect(logicalIndex).width());
    const int textHeight =
        fontMetrics().boundingRect(QRect(0, 0, width, Unbounded), Qt::TextWordWrap, text).height();
    const int lineHeight = fontMetrics().height();
    size.setHeight(size.height() + std::max(0, textHeight - lineHeight));
    return size;
}

QSize TWrapHeader::sizeHint() const
{
    QSize hint = QHeaderView::sizeHint();
    int height = hint.height();
    for (int section = 0; section < count(); ++section)
        if (!isSectionHidden(section))
            height = std::max(height, sectionSizeFromContents(section).height());
    hint.setHeight(height);
    return hint;
}

// The view places its header only when told; it is told whenever the tallest caption changes.
void TWrapHeader::SectionsChanged()
{
    const int height = sizeHint().height();
    if (height == shownHeight_)
        return;
    shownHeight_ = height;
    updateGeometry();
    if (auto* const view = qobject_cast<QAbstractItemView*>(parentWidget()))
        view->doItemsLayout();
}
