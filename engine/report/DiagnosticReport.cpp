#include "report/DiagnosticReport.h"

#include "traffic/TrafficExport.h"
#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStringList>
#include <QtGlobal>
#include <sys/utsname.h>

namespace {

// /proc and /sys files worth quoting are a few lines; a bound keeps a strange one from swelling the
// report.
constexpr qint64 kMaxSystemFileBytes = 64 * 1024;

QString Tr(const char* text)
{
    return QCoreApplication::translate("DiagnosticReport", text);
}

QString Line(const QString& label, const QString& value)
{
    return label + QStringLiteral(": ") + value + QLatin1Char('\n');
}

QString OrUnknown(const QString& value)
{
    return value.isEmpty() ? Tr("не известно") : value;
}

// Only regular files are opened, so that nothing in /proc or /sys can block the report. maxBytes < 0:
// the whole file.
bool ReadRegularFile(const QString& path, qint64 maxBytes, QByteArray* bytes, QString* reason)
{
    const QFileInfo info(path);
    if (!info.exists()) {
        *reason = Tr("файла нет");
        return false;
    }
    if (!info.isFile()) {
        *reason = Tr("это не обычный файл");
        return false;
    }
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        *reason = file.errorString();
        return false;
    }
    // /proc files report a size of 0 and are read to their end all the same.
    *bytes = maxBytes < 0 ? file.readAll() : file.read(maxBytes);
    return true;
}

QByteArray LinkHealthFile(const TDiagnosticSources& sources)
{
    QString out;
    if (!sources.Health || sources.Health->All().empty()) {
        out += Tr("Счётчики связи пусты: ни с одним адресом ничего не сосчитано.") + QLatin1Char('\n');
    } else {
        for (const auto& [address, health] : sources.Health->All()) {
            out += Tr("Адрес %1").arg(QStringLiteral("%1").arg(address, 2, 16, QLatin1Char('0')).toUpper()) +
                   QLatin1Char('\n');
            for (const QString& line : LinkHealthText(health).split(QLatin1Char('\n'), Qt::SkipEmptyParts))
                out += QStringLiteral("  ") + line + QLatin1Char('\n');
        }
    }
    out += QLatin1Char('\n');
    if (sources.Log) {
        out += Line(Tr("Кадров в журнале обмена"), QString::number(sources.Log->Size()));
        out += Line(Tr("Вмещает журнал"), QString::number(sources.Log->Capacity()));
        out += Line(Tr("Вытеснено новыми или стёрто"), QString::number(sources.Log->Dropped()));
    } else {
        out += Tr("Журнала обмена нет.") + QLatin1Char('\n');
    }
    return out.toUtf8();
}

QByteArray VersionFile(const TDiagnosticSources& sources, const QString& settingsNote)
{
    QString out;
    out += Line(Tr("Версия программы"), OrUnknown(sources.Version));
    out += Line(Tr("Qt при работе"), QString::fromLatin1(qVersion()));
    out += Line(Tr("Qt при сборке"), QStringLiteral(QT_VERSION_STR));
    out += Line(Tr("Протокол"), OrUnknown(sources.Protocol));
    const QDateTime now = QDateTime::currentDateTime();
    out += Line(Tr("Отчёт составлен"), now.toOffsetFromUtc(now.offsetFromUtc()).toString(Qt::ISODate));
    out += Line(Tr("Файл настроек"), settingsNote);
    return out.toUtf8();
}

QByteArray PortFile(const TDiagnosticSources& sources)
{
    QString out;
    if (sources.PortPath.isEmpty()) {
        out += Line(Tr("Порт"), Tr("не выбран"));
        return out.toUtf8();
    }
    const TPortDetails details = PortDetailsOf(sources.PortPath);
    out += Line(Tr("Порт"), sources.PortPath);
    out += Line(Tr("Драйвер"), OrUnknown(details.Driver));
    if (!details.Usb) {
        out += Line(Tr("Адаптер USB"), Tr("нет"));
        return out.toUtf8();
    }
    out += Line(Tr("Адаптер USB"), QStringLiteral("%1:%2").arg(details.VendorId, details.ProductId));
    out += Line(Tr("Изготовитель"), OrUnknown(details.Manufacturer));
    out += Line(Tr("Изделие"), OrUnknown(details.Product));
    out += Line(Tr("Серийный номер"), OrUnknown(details.Serial));
    return out.toUtf8();
}

QString QuotedFile(const QString& path)
{
    QByteArray bytes;
    QString reason;
    if (!ReadRegularFile(path, kMaxSystemFileBytes, &bytes, &reason))
        return Tr("%1: не прочитан (%2)").arg(path, reason) + QLatin1Char('\n');
    QString text = QString::fromUtf8(bytes);
    if (!text.endsWith(QLatin1Char('\n')))
        text += QLatin1Char('\n');
    return path + QStringLiteral(":\n") + text;
}

// /proc/tty/drivers: "name  /dev/prefix  major  minors  type"; the serial ones are typed "serial".
QString SerialDrivers()
{
    const QString path = QStringLiteral("/proc/tty/drivers");
    QByteArray bytes;
    QString reason;
    if (!ReadRegularFile(path, kMaxSystemFileBytes, &bytes, &reason))
        return Tr("%1: не прочитан (%2)").arg(path, reason) + QLatin1Char('\n');
    QString out;
    for (const QString& line : QString::fromUtf8(bytes).split(QLatin1Char('\n'), Qt::SkipEmptyParts)) {
        const QStringList fields = line.simplified().split(QLatin1Char(' '));
        if (fields.size() >= 5 && fields.last() == QLatin1String("serial"))
            out += QStringLiteral("  ") + line.simplified() + QLatin1Char('\n');
    }
    return Tr("Последовательные драйверы (%1):").arg(path) + QLatin1Char('\n') +
           (out.isEmpty() ? QStringLiteral("  ") + Tr("нет") + QLatin1Char('\n') : out);
}

QString TtyDevices()
{
    const QString sysTty = QStringLiteral("/sys/class/tty");
    const QDir dir(sysTty);
    QString out;
    if (dir.exists()) {
        for (const QString& name : dir.entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::System)) {
            const TPortDetails details = PortDetailsOf(QStringLiteral("/dev/") + name, sysTty);
            if (details.Driver.isEmpty())
                continue;
            out += QStringLiteral("  ") + name + QStringLiteral(": ") + details.Driver;
            if (details.Usb)
                out += QStringLiteral(" (USB %1:%2)").arg(details.VendorId, details.ProductId);
            out += QLatin1Char('\n');
        }
    }
    if (out.isEmpty())
        out = QStringLiteral("  ") + Tr("нет") + QLatin1Char('\n');
    return Tr("Устройства tty с драйвером (%1):").arg(sysTty) + QLatin1Char('\n') + out;
}

QByteArray SystemFile()
{
    QString out;
    struct utsname names {};
    if (::uname(&names) == 0) {
        out += Line(Tr("Система"), QString::fromLocal8Bit(names.sysname));
        out += Line(Tr("Выпуск ядра"), QString::fromLocal8Bit(names.release));
        out += Line(Tr("Сборка ядра"), QString::fromLocal8Bit(names.version));
        out += Line(Tr("Машина"), QString::fromLocal8Bit(names.machine));
    } else {
        out += Tr("uname: нет ответа") + QLatin1Char('\n');
    }
    out += QLatin1Char('\n') + QuotedFile(QStringLiteral("/proc/version"));
    out += QLatin1Char('\n') + SerialDrivers();
    out += QLatin1Char('\n') + TtyDevices();
    return out.toUtf8();
}

TArchiveEntry Entry(const char* name, QByteArray data)
{
    TArchiveEntry entry;
    entry.Name = QString::fromLatin1(name);
    entry.Data = std::move(data);
    return entry;
}

} // namespace

std::vector<TArchiveEntry> DiagnosticEntries(const TDiagnosticSources& sources)
{
    std::vector<TArchiveEntry> entries;
    // With no log the traffic files still come, headings only, so that the archive's layout is one.
    const TTrafficLog noLog(1);
    const TTrafficLog& log = sources.Log ? *sources.Log : noLog;
    const std::vector<std::uint64_t> seqs = AllFrames(log);
    entries.push_back(Entry("traffic.txt", TrafficAsText(log, seqs)));
    entries.push_back(Entry("traffic.csv", TrafficAsCsv(log, seqs)));
    entries.push_back(Entry("link-health.txt", LinkHealthFile(sources)));

    // A settings file that cannot be read leaves no Settings.ini in the archive, so that nothing
    // there is taken for the settings; version.txt says why it is missing.
    QString settingsNote;
    QByteArray settings;
    QString reason;
    if (sources.SettingsPath.isEmpty()) {
        settingsNote = Tr("не указан");
    } else if (ReadRegularFile(sources.SettingsPath, -1, &settings, &reason)) {
        settingsNote = Tr("%1 (в архиве: Settings.ini)").arg(sources.SettingsPath);
        entries.push_back(Entry("Settings.ini", std::move(settings)));
    } else {
        settingsNote = Tr("%1: не прочитан (%2)").arg(sources.SettingsPath, reason);
    }
    entries.push_back(Entry("version.txt", VersionFile(sources, settingsNote)));
    entries.push_back(Entry("port.txt", PortFile(sources)));
    entries.push_back(Entry("system.txt", SystemFile()));
    return entries;
}

bool WriteDiagnosticReport(const QString& path, const TDiagnosticSources& sources, QString* error)
{
    return WriteZipArchive(path, DiagnosticEntries(sources), error);
}
