#pragma once
#include <QObject>

class QSocketNotifier;

// Turns SIGTERM, SIGINT and SIGHUP into a Qt signal on the main thread, so that a session
// logout or a service stop closes the window the normal way (port closed, geometry stored)
// instead of killing the process mid-write.
class TerminationSignals : public QObject {
    Q_OBJECT
  public:
    explicit TerminationSignals(QObject* parent = nullptr);
    ~TerminationSignals() override;

  signals:
    void TerminationRequested();

  private:
    QSocketNotifier* notifier_ = nullptr;
};
