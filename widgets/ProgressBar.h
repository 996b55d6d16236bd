#pragma once
#include <QProgressBar>

// The search progress bar: a green bar with a caption text drawn over it.
class TCaptionProgressBar : public QProgressBar {
    Q_OBJECT
  public:
    explicit TCaptionProgressBar(QWidget* parent);

    QString Caption() const { return format(); }
    void SetCaption(const QString& text) { setFormat(text); }
};
