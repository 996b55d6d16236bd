#include "app/SingleInstance.h"
#include <QDir>
#include <QElapsedTimer>
#include <QLocalSocket>
#include <QStandardPaths>
#include <QThread>
#include <cerrno>

namespace {

const QByteArray ActivateRequest("activate\n");

QString RuntimeFolder()
{
    QString dir = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
    if (dir.isEmpty())
        dir = QDir::tempPath();
    return dir;
}

} // namespace

SingleInstance::SingleInstance(const QString& name, QObject* parent)
    : QObject(parent), socketPath_(QDir(RuntimeFolder()).filePath(name)),
      lock_(socketPath_ + QStringLiteral(".lock"))
{
    // A live instance may run for days: only a lock whose owner process is gone is stale.
    lock_.setStaleLockTime(0);
}

SingleInstance::Outcome SingleInstance::Acquire()
{
    QDir().mkpath(QFileInfo(socketPath_).absolutePath());
    if (lock_.tryLock(0)) {
        Listen();
        return Outcome::First;
    }
    switch (lock_.error()) {
    case QLockFile::LockFailedError:
        AskToActivate(socketPath_);
        return Outcome::AlreadyRunning;
    case QLockFile::PermissionError:
        error_ = qt_error_string(EACCES) + QStringLiteral("\n") + lock_.fileName();
        return Outcome::Failed;
    default:
        error_ = qt_error_string(errno) + QStringLiteral("\n") + lock_.fileName();
        return Outcome::Failed;
    }
}

void SingleInstance::Listen()
{
    // A socket file left by a crashed instance would make listen() fail; we hold the lock, so
    // nobody else serves it.
    QLocalServer::removeServer(socketPath_);
    server_.setSocketOptions(QLocalServer::UserAccessOption);
    if (!server_.listen(socketPath_))
        return;
    connect(&server_, &QLocalServer::newConnection, this, [this] {
        while (QLocalSocket* socket = server_.nextPendingConnection()) {
            connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
            connect(socket, &QLocalSocket::readyRead, this, [this, socket] {
                if (socket->readAll().contains(ActivateRequest.trimmed()))
                    emit ActivationRequested();
            });
        }
    });
}

void SingleInstance::AskToActivate(const QString& socketPath)
{
    // The running instance takes the lock a moment before it listens; a start in that gap
    // tries again for a short while and then gives up quietly.
    QElapsedTimer clock;
    clock.start();
    while (clock.elapsed() < 2000) {
        QLocalSocket socket;
        socket.connectToServer(socketPath);
        if (socket.waitForConnected(500)) {
            socket.write(ActivateRequest);
            socket.waitForBytesWritten(500);
            socket.disconnectFromServer();
            if (socket.state() != QLocalSocket::UnconnectedState)
                socket.waitForDisconnected(500);
            return;
        }
        QThread::msleep(50);
    }
}
