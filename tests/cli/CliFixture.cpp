#include "CliFixture.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QProcessEnvironment>
#include <QThread>

#include <csignal>
#include <sys/types.h>

namespace {
const QString kCli = QStringLiteral(VELTRANO_CLI_EXE);
const QString kSim = QStringLiteral(VELTRANO_SIM_EXE);
constexpr int kSimStartMs = 5000;
constexpr int kSimStopMs = 3000;
constexpr int kPollMs = 10;
} // namespace

std::string CliResult::Describe() const
{
    return QStringLiteral("finished=%1 exit=%2 after %3 ms\nstdout: %4\nstderr: %5")
        .arg(finished ? "yes" : "no")
        .arg(exitCode)
        .arg(elapsedMs)
        .arg(out.left(2000), err)
        .toStdString();
}

CliFixture::~CliFixture()
{
    for (Sim& sim : sims_) {
        sim.process->terminate();
        if (!sim.process->waitForFinished(kSimStopMs)) {
            sim.process->kill();
            sim.process->waitForFinished(kSimStopMs);
        }
    }
}

QString CliFixture::StartSim(const QStringList& args, bool log)
{
    Sim sim;
    sim.link = Path(QStringLiteral("ttySIM%1").arg(sims_.size()));
    sim.process = std::make_unique<QProcess>();
    sim.process->setProcessChannelMode(QProcess::MergedChannels);
    QStringList all{QStringLiteral("--link"), sim.link};
    all << args;
    if (log)
        all << QStringLiteral("--log");
    sim.process->start(kSim, all);
    if (!sim.process->waitForStarted(kSimStartMs))
        return {};
    QProcess& process = *sim.process;
    const QString link = sim.link;
    sims_.push_back(std::move(sim));
    QElapsedTimer timer;
    timer.start();
    while (!QFileInfo::exists(link)) {
        if (timer.elapsed() > kSimStartMs || process.state() != QProcess::Running) {
            ADD_FAILURE() << "the sim did not come up: " << process.readAll().toStdString();
            return {};
        }
        QThread::msleep(kPollMs);
    }
    return link;
}

void CliFixture::Drain()
{
    QCoreApplication::processEvents();
    for (Sim& sim : sims_)
        sim.log += sim.process->readAll();
}

QString CliFixture::SimLog(const QString& link)
{
    Drain();
    for (const Sim& sim : sims_)
        if (sim.link == link)
            return QString::fromUtf8(sim.log);
    return {};
}

void CliFixture::Start(QProcess& cli, const QStringList& args, const EnvChanges& env)
{
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    // English messages unless a test asks otherwise, and nothing that would want a display.
    for (const char* name : {"LC_ALL", "LC_MESSAGES", "LANGUAGE", "QT_QPA_PLATFORM"})
        environment.remove(QString::fromLatin1(name));
    environment.insert(QStringLiteral("LANG"), QStringLiteral("C"));
    for (const auto& [name, value] : env)
        environment.insert(name, value);
    cli.setProcessEnvironment(environment);
    // The simulator is a process of its own that a loaded machine (or a sanitizer build) may hold
    // back for some milliseconds: a probe pause above the default keeps a search from moving on
    // before the answer comes.
    QStringList all = args;
    if (!args.contains(QStringLiteral("--delay")) &&
        (args.contains(QStringLiteral("--port")) || args.value(0) == QStringLiteral("inventory")))
        all << QStringLiteral("--delay") << QStringLiteral("60");
    cli.start(kCli, all);
    cli.closeWriteChannel();
}

bool CliFixture::Finish(QProcess& cli, QByteArray& out, int timeoutMs)
{
    QElapsedTimer timer;
    timer.start();
    bool finished = false;
    while (!finished && timer.elapsed() < timeoutMs) {
        finished = cli.waitForFinished(kPollMs) || cli.state() == QProcess::NotRunning;
        out += cli.readAllStandardOutput();
        Drain();
    }
    if (!finished) {
        ADD_FAILURE() << "veltrano-cli did not end within " << timeoutMs
                      << " ms: " << cli.arguments().join(' ').toStdString();
        cli.kill();
        cli.waitForFinished(kSimStopMs);
    }
    out += cli.readAllStandardOutput();
    return finished;
}

CliResult CliFixture::Run(const QStringList& args, const EnvChanges& env, int timeoutMs)
{
    CliResult result;
    QElapsedTimer timer;
    timer.start();
    QProcess cli;
    Start(cli, args, env);
    QByteArray out;
    result.finished = cli.waitForStarted(kSimStartMs) && Finish(cli, out, timeoutMs);
    result.elapsedMs = timer.elapsed();
    result.exitCode = result.finished && cli.exitStatus() == QProcess::NormalExit ? cli.exitCode() : -1;
    result.out = QString::fromUtf8(out);
    result.err = QString::fromUtf8(cli.readAllStandardError());
    return result;
}

CliResult CliFixture::RunInterrupted(const QStringList& args,
                                     const std::function<bool(const QString& out)>& ready,
                                     const std::function<void()>& whileRunning, int readyMs)
{
    CliResult result;
    QElapsedTimer timer;
    timer.start();
    QProcess cli;
    Start(cli, args, {});
    QByteArray out;
    if (cli.waitForStarted(kSimStartMs)) {
        while (cli.state() == QProcess::Running && timer.elapsed() < readyMs && !result.signalled) {
            cli.waitForReadyRead(kPollMs);
            out += cli.readAllStandardOutput();
            Drain();
            result.signalled = ready(QString::fromUtf8(out));
        }
        if (result.signalled && whileRunning)
            whileRunning();
        if (cli.state() == QProcess::Running)
            ::kill(static_cast<pid_t>(cli.processId()), SIGINT);
        else
            result.signalled = false;
        result.finished = Finish(cli, out, 20000);
    }
    result.elapsedMs = timer.elapsed();
    result.exitCode = result.finished && cli.exitStatus() == QProcess::NormalExit ? cli.exitCode() : -1;
    result.out = QString::fromUtf8(out);
    result.err = QString::fromUtf8(cli.readAllStandardError());
    return result;
}
