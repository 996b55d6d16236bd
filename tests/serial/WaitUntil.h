#pragma once
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QThread>

// Runs the main thread's event loop until pred holds or ms have passed; returns pred's last value.
template <class Pred> bool WaitUntil(Pred pred, int ms)
{
    QElapsedTimer clock;
    clock.start();
    while (!pred()) {
        if (clock.elapsed() > ms)
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        QThread::msleep(1);
    }
    return true;
}

// Runs the event loop for ms.
inline void Spin(int ms)
{
    WaitUntil([] { return false; }, ms);
}
