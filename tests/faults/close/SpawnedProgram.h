#pragma once
// The real program started as a child, with its own environment, working folder and error
// output. Started with posix_spawn, not fork() (which QProcess uses), because the thread
// sanitizer does not support fork() in a process that has threads, as a test with a window on
// a simulated bus has.
#include <QByteArray>
#include <QProcessEnvironment>
#include <QString>
#include <QTemporaryDir>
#include <sys/types.h>

class SpawnedProgram {
  public:
    SpawnedProgram(const QString& program, const QProcessEnvironment& env, const QString& workingDir);
    ~SpawnedProgram(); // kills a child still running
    SpawnedProgram(const SpawnedProgram&) = delete;
    SpawnedProgram& operator=(const SpawnedProgram&) = delete;

    bool Started() const { return pid_ > 0; }
    // Looks without waiting; true once the child has ended.
    bool Ended();
    // Waits (without serving events) up to ms for the end.
    bool WaitEnded(int ms);
    // Exit code after a normal end; -1 when it was killed or has not ended.
    int ExitCode() const { return exitCode_; }
    // What it has written to its error output.
    QByteArray ErrorOutput() const;

  private:
    QTemporaryDir dir_;
    pid_t pid_ = -1;
    bool ended_ = false;
    int exitCode_ = -1;
};
