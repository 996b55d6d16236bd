#pragma once
#include <QHeaderView>

// A horizontal header whose captions break into lines at word boundaries to fit their sections
// instead of ending in an ellipsis; it grows as tall as its longest caption needs.
class TWrapHeader : public QHeaderView {
    Q_OBJECT
  public:
    explicit TWrapHeader(QWidget* parent = nullptr);

    QSize sizeHint() const override;
    void setModel(QAbstractItemModel* model) override;
    // The rectangle the caption of section logicalIndex is drawn in, relative to the section.
    QRect CaptionRect(int logicalIndex) const;
    // The narrowest section that shows its caption's longest word whole (the first word with the
    // blanks before it).
    int LeastSectionWidth(int logicalIndex) const;

  protected:
    QSize sectionSizeFromContents(int logicalIndex) const override;
    void initStyleOptionForIndex(QStyleOptionHeader* option, int logicalIndex) const override;

  private:
    void SectionsChanged();
    int shownHeight_ = 0;
};
