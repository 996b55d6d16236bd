#include "SpawnedProgram.h"
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QThread>
#include <csignal>
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <vector>

SpawnedProgram::SpawnedProgram(const QString& program, const QProcessEnvironment& env, const QString& workingDir)
{
    const QByteArray path = QFile::encodeName(program);
    const QByteArray errorFile = QFile::encodeName(QDir(dir_.path()).filePath(QStringLiteral("stderr")));
    const QByteArray folder = QFile::encodeName(workingDir);
    std::vector<QByteArray> envStorage;
    for (const QString& entry : env.toStringList())
        envStorage.push_back(entry.toLocal8Bit());
    std::vector<char*> envp;
    for (QByteArray& entry : envStorage)
        envp.push_back(entry.data());
    envp.push_back(nullptr);
    QByteArray arg0 = path;
    char* argv[] = {arg0.data(), nullptr};

    posix_spawn_file_actions_t actions;
    ::posix_spawn_file_actions_init(&actions);
    ::posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, errorFile.constData(),
                                       O_WRONLY | O_CREAT | O_TRUNC, 0600);
    ::posix_spawn_file_actions_addchdir_np(&actions, folder.constData());
    if (::posix_spawn(&pid_, path.constData(), &actions, nullptr, argv, envp.data()) != 0)
        pid_ = -1;
    ::posix_spawn_file_actions_destroy(&actions);
}

SpawnedProgram::~SpawnedProgram()
{
    if (pid_ > 0 && !Ended()) {
        ::kill(pid_, SIGKILL);
        int status = 0;
        ::waitpid(pid_, &status, 0);
    }
}

bool SpawnedProgram::Ended()
{
    if (ended_ || pid_ <= 0)
        return ended_;
    int status = 0;
    if (::waitpid(pid_, &status, WNOHANG) != pid_)
        return false;
    ended_ = true;
    exitCode_ = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return true;
}

bool SpawnedProgram::WaitEnded(int ms)
{
    QElapsedTimer clock;
    clock.start();
    while (!Ended()) {
        if (clock.elapsed() > ms)
            return false;
        QThread::msleep(5);
    }
    return true;
}

QByteArray SpawnedProgram::ErrorOutput() const
{
    QFile file(QDir(dir_.path()).filePath(QStringLiteral("stderr")));
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}
