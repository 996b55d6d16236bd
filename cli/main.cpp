#include "Version.h"
#include "app/SanitizerOptions.h"
#include "app/TerminationSignals.h"
#include "cli/CliArgs.h"
#include "cli/CliCommands.h"
#include "cli/CliOutput.h"
#include "cli/CliSession.h"
#include "cli/ExitCodes.h"
#include <QCoreApplication>
#include <QLocale>
#include <QTranslator>
#include <csignal>
#include <exception>

int main(int argc, char** argv)
{
    // A closed pipe on stdout is seen as a failed write, so a stream still stops cleanly.
    std::signal(SIGPIPE, SIG_IGN);
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("veltrano-cli"));
    QCoreApplication::setApplicationVersion(QStringLiteral(VELTRANO_VERSION));
    QTranslator translator;
    if (translator.load(QLocale(), QStringLiteral("veltrano-cli"), QStringLiteral("_"),
                        QStringLiteral(":/i18n")))
        QCoreApplication::installTranslator(&translator);

    const TCliParse parse = ParseCliArgs(QCoreApplication::arguments().mid(1));
    if (!parse.Args) {
        PrintError(parse.Error + QStringLiteral(" (veltrano-cli --help)"));
        return ExitCode::Usage;
    }
    TInterrupt interrupt;
    TerminationSignals termination;
    QObject::connect(&termination, &TerminationSignals::TerminationRequested, &interrupt, &TInterrupt::Raise);
    try {
        return RunCommand(*parse.Args, interrupt);
    } catch (const std::exception& e) {
        PrintError(QString::fromLocal8Bit(e.what()));
        return ExitCode::Internal;
    }
}
