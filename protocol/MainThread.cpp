#include "protocol/MainThread.h"
#include <QCoreApplication>
#include <QThread>
#include <exception>

void RunOnMainThread(const std::function<void()>& f)
{
    QCoreApplication* const app = QCoreApplication::instance();
    if (app == nullptr || QThread::currentThread() == app->thread()) {
        f();
        return;
    }
    std::exception_ptr error;
    QMetaObject::invokeMethod(
        app,
        [&] {
            try {
                f();
            } catch (...) {
                error = std::current_exception();
            }
        },
        Qt::BlockingQueuedConnection);
    if (error)
        std::rethrow_exception(error);
}
