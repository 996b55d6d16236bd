#include "support/ModalBoxCloser.h"
#include <QAbstractButton>
#include <QApplication>
#include <QMessageBox>

ModalBoxCloser::ModalBoxCloser()
{
    QObject::connect(&timer_, &QTimer::timeout, [this] {
        auto* const box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (!box || !box->isVisible())
            return;
        texts_ << box->text();
        if (QAbstractButton* const ok = box->button(QMessageBox::Ok))
            ok->click();
        else
            box->reject();
    });
    timer_.start(10);
}
