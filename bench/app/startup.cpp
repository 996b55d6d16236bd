// Starts the real program several times in a scratch working directory and prints the time from
// the start of the process to the first exposure of its window, as the program logs it.
// The platform is the caller's QT_QPA_PLATFORM (offscreen when unset); under xvfb-run with
// QT_QPA_PLATFORM=xcb it measures a real X window.
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QProcess>
#include <QTemporaryDir>
#include <QTextStream>
#include <algorithm>
#include <vector>

namespace {

// Milliseconds until the window was exposed, or -1.
double StartOnce(const QString& platform)
{
    QTemporaryDir work;
    QTemporaryDir runtime;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), platform);
    env.insert(QStringLiteral("XDG_RUNTIME_DIR"), runtime.path());
    env.insert(QStringLiteral("QT_LOGGING_RULES"), QStringLiteral("veltrano.app.info=true"));
    QProcess process;
    process.setProcessEnvironment(env);
    process.setWorkingDirectory(work.path());
    QElapsedTimer clock;
    clock.start();
    process.start(QStringLiteral(VELTRANO_EXE), {});
    QByteArray log;
    double ms = -1;
    while (clock.elapsed() < 20000 && process.state() != QProcess::NotRunning) {
        process.waitForReadyRead(5);
        log += process.readAllStandardError();
        if (log.contains("window exposed")) {
            ms = static_cast<double>(clock.nsecsElapsed()) / 1e6;
            break;
        }
    }
    process.terminate();
    if (!process.waitForFinished(5000))
        process.kill();
    return ms;
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const QString platform = qEnvironmentVariable("QT_QPA_PLATFORM", QStringLiteral("offscreen"));
    const int runs = argc > 1 ? std::max(1, QString::fromLocal8Bit(argv[1]).toInt()) : 10;
    QTextStream out(stdout);
    StartOnce(platform); // warms the file cache
    std::vector<double> times;
    for (int i = 0; i < runs; ++i) {
        const double ms = StartOnce(platform);
        if (ms < 0) {
            out << "run " << i << ": the window was not exposed\n";
            return 1;
        }
        times.push_back(ms);
    }
    std::sort(times.begin(), times.end());
    out << "startup to first exposed window (" << platform << ", " << runs << " runs): min "
        << QString::number(times.front(), 'f', 1) << " ms, median "
        << QString::number(times[times.size() / 2], 'f', 1) << " ms, max "
        << QString::number(times.back(), 'f', 1) << " ms\n";
    return 0;
}
