#include "app/StartupHooks.h"
#include "app/AppLog.h"
#include "app/Unit1.h"
#include <QCoreApplication>
#include <QDir>
#include <QEvent>
#include <QTabWidget>
#include <QTimer>
#include <QWindow>

namespace {

void SavePages(TForm1& form, const QString& folder)
{
    QDir().mkpath(folder);
    const int shown = form.PageControl1->currentIndex();
    for (int i = 0; i < form.PageControl1->count(); ++i) {
        form.PageControl1->setCurrentIndex(i);
        QCoreApplication::processEvents();
        const QString name =
            QStringLiteral("%1-%2.png").arg(i + 1).arg(form.PageControl1->widget(i)->objectName());
        const bool saved = form.grab().save(QDir(folder).filePath(name));
        qCInfo(lcApp) << "screenshot" << name << (saved ? "saved" : "failed");
    }
    form.PageControl1->setCurrentIndex(shown);
}

class ExposureWatch : public QObject {
  public:
    ExposureWatch(TForm1& form, QString folder) : QObject(&form), form_(form), folder_(std::move(folder)) {}

    bool eventFilter(QObject* watched, QEvent* event) override
    {
        auto* window = qobject_cast<QWindow*>(watched);
        if (event->type() != QEvent::Expose || !window || !window->isExposed())
            return false;
        window->removeEventFilter(this);
        qCInfo(lcApp) << "window exposed";
        if (!folder_.isEmpty()) {
            // Let the first frames settle before the pictures are taken.
            QTimer::singleShot(300, &form_, [this] {
                SavePages(form_, folder_);
                form_.close();
            });
        }
        return false;
    }

  private:
    TForm1& form_;
    QString folder_;
};

} // namespace

void InstallStartupHooks(TForm1& form)
{
    form.winId(); // the native window must exist before its first exposure
    QWindow* window = form.windowHandle();
    if (!window)
        return;
    window->installEventFilter(new ExposureWatch(form, qEnvironmentVariable("VELTRANO_SCREENSHOTS")));
}
