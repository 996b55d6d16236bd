#pragma once
#include <QWidget>

class QLabel;

// The cover laid over the stream page while Modbus RTU is chosen: a translucent panel with a
// message that takes every mouse and keyboard event meant for the page it covers, so none of
// the page's controls can be reached while it is shown.
class Tsplash : public QWidget {
    Q_OBJECT
  public:
    // covered: the page whose controls are kept out of reach; the cover's parent is the window.
    Tsplash(QWidget* covered, QWidget* window);

    QLabel* Label1;

  protected:
    void paintEvent(QPaintEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    bool IsCovered(QObject* object) const;

    QWidget* covered_;
};
