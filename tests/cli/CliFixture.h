#pragma once
// The real veltrano-cli against veltrano-sim processes: each sim on a link of its own in a
// temporary directory, each CLI run in an environment of its own, every wait bounded.
#include <QByteArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <functional>
#include <memory>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

// What a CLI run gave.
struct CliResult {
    bool finished = false;  // within its time bound
    bool signalled = false; // the interrupt was sent once its moment had come
    int exitCode = -1;
    QString out;
    QString err;
    qint64 elapsedMs = 0;

    // const, so that a field of it reads as a value.
    const QJsonObject Json() const { return QJsonDocument::fromJson(out.toUtf8()).object(); }
    // For failure messages.
    std::string Describe() const;
};

using EnvChanges = std::vector<std::pair<QString, QString>>;

class CliFixture : public ::testing::Test {
  protected:
    ~CliFixture() override;

    // Starts a sim with these arguments (--sensor, --fault, ...) on a new link and waits for the
    // link; the link's path, or an empty string when the sim did not come up.
    QString StartSim(const QStringList& args, bool log = false);
    // Everything a sim started with log has printed so far.
    QString SimLog(const QString& link);

    // Runs the CLI to its end, at most timeoutMs.
    CliResult Run(const QStringList& args, const EnvChanges& env = {}, int timeoutMs = 20000);
    // Starts the CLI, waits (at most readyMs) until ready holds for its standard output so far,
    // runs whileRunning, sends SIGINT and waits for its end.
    CliResult RunInterrupted(const QStringList& args, const std::function<bool(const QString& out)>& ready,
                             const std::function<void()>& whileRunning = {}, int readyMs = 15000);

    // A path in the test's own directory.
    QString Path(const QString& name) const { return dir_.filePath(name); }

  private:
    struct Sim {
        QString link;
        std::unique_ptr<QProcess> process;
        QByteArray log;
    };
    void Start(QProcess& cli, const QStringList& args, const EnvChanges& env);
    // Waits for the CLI's end while the sims' output keeps being drained.
    bool Finish(QProcess& cli, QByteArray& out, int timeoutMs);
    void Drain();

    QTemporaryDir dir_;
    std::vector<Sim> sims_;
};
