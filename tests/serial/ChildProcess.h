#pragma once
#include <QByteArray>
#include <QStringList>
#include <sys/types.h>

// A helper program run with pipes on its standard input and output. Started with posix_spawn,
// not fork(), which the thread sanitizer does not support in a process that has threads.
class ChildProcess {
  public:
    explicit ChildProcess(const QStringList& programAndArgs);
    ~ChildProcess();
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    // One line of its output without the newline; empty after timeoutMs or at its end.
    QByteArray readLine(int timeoutMs);
    // Ends its input, waits for it to end and returns its exit code (-1 if it did not exit).
    int finish();

  private:
    pid_t pid_ = -1;
    int in_ = -1;
    int out_ = -1;
    QByteArray pending_;
};
