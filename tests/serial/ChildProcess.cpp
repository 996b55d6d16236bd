#include "ChildProcess.h"

#include <QFile>
#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <stdexcept>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

extern char** environ;

ChildProcess::ChildProcess(const QStringList& programAndArgs)
{
    int toChild[2];
    int fromChild[2];
    if (::pipe2(toChild, O_CLOEXEC) != 0 || ::pipe2(fromChild, O_CLOEXEC) != 0)
        throw std::runtime_error("pipe2 failed");
    std::vector<QByteArray> storage;
    for (const QString& a : programAndArgs)
        storage.push_back(QFile::encodeName(a));
    std::vector<char*> argv;
    for (QByteArray& a : storage)
        argv.push_back(a.data());
    argv.push_back(nullptr);

    posix_spawn_file_actions_t actions;
    ::posix_spawn_file_actions_init(&actions);
    ::posix_spawn_file_actions_adddup2(&actions, toChild[0], STDIN_FILENO);
    ::posix_spawn_file_actions_adddup2(&actions, fromChild[1], STDOUT_FILENO);
    const int rc = ::posix_spawn(&pid_, argv[0], &actions, nullptr, argv.data(), environ);
    ::posix_spawn_file_actions_destroy(&actions);
    ::close(toChild[0]);
    ::close(fromChild[1]);
    in_ = toChild[1];
    out_ = fromChild[0];
    if (rc != 0)
        throw std::runtime_error("posix_spawn failed");
}

ChildProcess::~ChildProcess()
{
    finish();
    if (out_ >= 0)
        ::close(out_);
}

QByteArray ChildProcess::readLine(int timeoutMs)
{
    while (!pending_.contains('\n')) {
        pollfd p{out_, POLLIN, 0};
        if (::poll(&p, 1, timeoutMs) <= 0)
            break;
        char buf[256];
        const ssize_t n = ::read(out_, buf, sizeof buf);
        if (n <= 0)
            break;
        pending_.append(buf, n);
    }
    const qsizetype end = pending_.indexOf('\n');
    const QByteArray line = end < 0 ? pending_ : pending_.left(end);
    pending_.remove(0, end < 0 ? pending_.size() : end + 1);
    return line;
}

int ChildProcess::finish()
{
    if (in_ >= 0)
        ::close(in_);
    in_ = -1;
    if (pid_ < 0)
        return -1;
    int status = 0;
    const pid_t done = ::waitpid(pid_, &status, 0);
    pid_ = -1;
    return done > 0 && WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}
