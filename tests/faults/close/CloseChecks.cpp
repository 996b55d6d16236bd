#include "CloseChecks.h"
#include "bus/Operation.h"
#include "serial/TCommPortDriver.h"
#include <QDir>
#include <QFile>
#include <QLocale>
#include <cmath>

int OperationThreadCount()
{
    int count = 0;
    const QDir tasks(QStringLiteral("/proc/self/task"));
    for (const QString& task : tasks.entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        QFile comm(tasks.filePath(task + QStringLiteral("/comm")));
        if (!comm.open(QIODevice::ReadOnly))
            continue; // ended meanwhile
        const QByteArray name = comm.readAll().trimmed();
        bool worker = name == "TThread_X";
        for (int code = 1; code <= static_cast<int>(TOperationCode::LatchAll) && !worker; ++code)
            worker = name == WorkerName(static_cast<TOperationCode>(code));
        if (worker)
            ++count;
    }
    return count;
}

bool PortOpensAgain(const QString& path)
{
    TCommPortDriver driver;
    driver.setComPort(path);
    driver.setComPortSpeed(br115200);
    const bool opened = driver.Connect();
    driver.Disconnect();
    return opened;
}

std::optional<std::vector<double>> RecordedValues(const QString& folder)
{
    QFile file(QDir(folder).filePath(QStringLiteral("Thread.txt")));
    if (!file.open(QIODevice::ReadOnly))
        return std::nullopt;
    QList<QByteArray> lines = file.readAll().split('\n');
    if (lines.isEmpty() || !lines.last().isEmpty())
        return std::nullopt; // the last line is cut short
    lines.removeLast();
    const QLocale russian(QLocale::Russian, QLocale::Russia);
    std::vector<double> values;
    for (const QByteArray& raw : lines) {
        if (!raw.endsWith('\r'))
            return std::nullopt;
        bool ok = false;
        values.push_back(russian.toDouble(QString::fromLocal8Bit(raw.chopped(1)), &ok));
        if (!ok)
            return std::nullopt;
    }
    return values;
}

QString FirstGap(const std::vector<double>& values, double step)
{
    for (std::size_t i = 1; i < values.size(); ++i) {
        if (std::abs(values[i] - values[i - 1] - step) > step / 100)
            return QStringLiteral("%1: %2 -> %3").arg(i).arg(values[i - 1]).arg(values[i]);
    }
    return {};
}
