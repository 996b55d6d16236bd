#pragma once
#include <QLocalServer>
#include <QLockFile>
#include <QObject>
#include <QString>

// Keeps the program to one instance per user session: a lock file named after the program in
// the user's runtime folder, and a local socket beside it on which a later start asks the
// running instance to bring its window to the front. A lock left by a crashed instance is
// taken over.
class SingleInstance : public QObject {
    Q_OBJECT
  public:
    enum class Outcome {
        First,          // this process holds the lock and listens for later starts
        AlreadyRunning, // another instance holds it and has been asked to show itself
        Failed          // the lock could not be created; ErrorText() says why
    };

    explicit SingleInstance(const QString& name, QObject* parent = nullptr);

    Outcome Acquire();
    QString ErrorText() const { return error_; }
    QString SocketPath() const { return socketPath_; }

  signals:
    void ActivationRequested();

  private:
    void Listen();
    static void AskToActivate(const QString& socketPath);

    QString socketPath_;
    QLockFile lock_;
    QLocalServer server_;
    QString error_;
};
