#pragma once
#include <QStringList>
#include <QTimer>

// Closes every modal message box that opens while it lives, by its OK button, and keeps each
// box's text.
class ModalBoxCloser {
  public:
    ModalBoxCloser();
    const QStringList& Texts() const { return texts_; }

  private:
    QTimer timer_;
    QStringList texts_;
};
