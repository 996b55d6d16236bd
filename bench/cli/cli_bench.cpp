// The command-line program as a production line runs it, against veltrano-sim processes:
//  - inventory of four buses at once against the slowest of the four searched one at a time;
//  - read of a sensor at 115200 baud, process start to exit, with and without its line speed.
// Usage: bench_cli [runs]   (Release build)
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>
#include <algorithm>
#include <cstdio>
#include <memory>
#include <vector>

namespace {

const QString Cli = QStringLiteral(VELTRANO_CLI_EXE);
const QString Sim = QStringLiteral(VELTRANO_SIM_EXE);
constexpr int Bound = 5;

struct TSimProcess {
    TSimProcess(const QString& link, const QStringList& sensors)
    {
        QStringList args{QStringLiteral("--link"), link};
        for (const QString& sensor : sensors)
            args << QStringLiteral("--sensor") << sensor;
        process.start(Sim, args);
        for (int waited = 0; waited < 5000 && !QFileInfo::exists(link); waited += 10)
            QThread::msleep(10);
    }
    ~TSimProcess()
    {
        process.terminate();
        process.waitForFinished(3000);
    }
    QProcess process;
};

// Wall time of one run of the program, in ms; exits on a failed run, which would time nothing.
double TimeCli(const QStringList& args)
{
    QElapsedTimer timer;
    timer.start();
    QProcess cli;
    cli.start(Cli, args);
    if (!cli.waitForFinished(120000) || cli.exitCode() != 0) {
        std::fprintf(stderr, "veltrano-cli %s failed: %s\n", qPrintable(args.join(QLatin1Char(' '))),
                     cli.readAllStandardError().constData());
        std::exit(1);
    }
    return static_cast<double>(timer.nsecsElapsed()) / 1e6;
}

double Median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 3;
    QTemporaryDir dir;
    const QStringList bound{QStringLiteral("--bound"), QString::number(Bound)};
    // Four buses, each with sensors at several addresses and speeds, one at the bound.
    const std::vector<QStringList> buses{
        {"addr=1,speed=115200", "addr=2,speed=9600", "addr=5,speed=921600"},
        {"addr=1,speed=57600", "addr=3,speed=19200", "addr=5,speed=115200"},
        {"addr=2,speed=38400", "addr=4,speed=230400", "addr=5,speed=9600"},
        {"addr=1,speed=460800", "addr=3,speed=115200", "addr=5,speed=57600"},
    };
    std::vector<std::unique_ptr<TSimProcess>> sims;
    QStringList links;
    for (std::size_t i = 0; i < buses.size(); ++i) {
        links << dir.filePath(QStringLiteral("ttySIM%1").arg(i));
        sims.push_back(std::make_unique<TSimProcess>(links.back(), buses[i]));
    }

    std::printf("veltrano-cli, %d runs each, bound %d, all eight speeds\n", runs, Bound);
    for (int run = 0; run < runs; ++run) {
        double slowest = 0;
        for (const QString& link : links)
            slowest = std::max(
                slowest,
                TimeCli(QStringList{QStringLiteral("search"), QStringLiteral("--port"), link} + bound));
        const double inventory = TimeCli(QStringList{QStringLiteral("inventory")} + links + bound);
        std::printf("run %d: slowest single search %7.1f ms, inventory of 4 buses %7.1f ms, ratio %.2f "
                    "(target <= 1.2)\n",
                    run + 1, slowest, inventory, inventory / slowest);
    }

    std::vector<double> located;
    std::vector<double> direct;
    for (int run = 0; run < std::max(runs, 5); ++run) {
        located.push_back(TimeCli({QStringLiteral("read"), QStringLiteral("--port"), links[0],
                                   QStringLiteral("--address"), QStringLiteral("1")}));
        direct.push_back(
            TimeCli({QStringLiteral("read"), QStringLiteral("--port"), links[0], QStringLiteral("--address"),
                     QStringLiteral("1"), QStringLiteral("--speed"), QStringLiteral("115200")}));
    }
    std::printf("read at 115200, start to exit: %.1f ms median looking for the speed, %.1f ms with --speed "
                "(target <= 500)\n",
                Median(located), Median(direct));
    return 0;
}
