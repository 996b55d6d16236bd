#pragma once
// Answers the next file dialog as the user does: a name typed into its box, a kind chosen.
#include <QApplication>
#include <QFileDialog>
#include <QLineEdit>
#include <QTimer>

// Answers the next file dialog with path, under the name filter that contains filterPart.
class FileDialogAnswer {
  public:
    FileDialogAnswer(const QString& path, const QString& filterPart)
    {
        QObject::connect(&timer_, &QTimer::timeout, [this, path, filterPart] {
            auto* const dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
            if (!dialog || !dialog->isVisible())
                return;
            timer_.stop();
            for (const QString& filter : dialog->nameFilters())
                if (filter.contains(filterPart))
                    dialog->selectNameFilter(filter);
            // Typed into the name box, as the user does: selectFile leaves a box that has the focus.
            dialog->selectFile(path);
            if (auto* const name = dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit")))
                name->setText(path);
            static_cast<QDialog*>(dialog)->accept(); // as the dialog's own button does
        });
        timer_.start(20);
    }

  private:
    QTimer timer_;
};
