#pragma once
#include <QStatusBar>
#include <QVector>

class QLabel;

// A status bar of fixed-width text panels laid side by side from the left edge; the last one
// runs to the right edge. Panel positions are exact sums of the widths before them, so other
// widgets can be laid over a panel.
class TStatusPanels : public QStatusBar {
    Q_OBJECT
  public:
    // Panels are named StatusPanel0, StatusPanel1, ...
    TStatusPanels(const QVector<int>& widths, QWidget* parent);

    int PanelCount() const { return static_cast<int>(panels_.size()); }
    int PanelWidth(int index) const;
    void SetPanelWidth(int index, int width);
    QString Text(int index) const;
    void SetText(int index, const QString& text);
    QLabel* Panel(int index) const;

  signals:
    // Every text put into a panel, also one equal to what it showed.
    void TextSet(int index, const QString& text);

  protected:
    void resizeEvent(QResizeEvent* event) override;

  private:
    void Arrange();

    QVector<QLabel*> panels_;
    QVector<int> widths_;
};
