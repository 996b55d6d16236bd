#include "params/ParamHistory.h"
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QStandardPaths>
#include <algorithm>
#include <utility>

namespace {

constexpr char StampFormat[] = "yyyyMMdd-HHmmss-zzz";

// A history file's name taken apart. Copy tells files of the same millisecond apart: the first
// has no number and counts as 1.
struct TNamed {
    TParamHistory::TEntry Entry;
    int Copy = 1;
};

const QRegularExpression& NamePattern()
{
    static const QRegularExpression pattern(
        QStringLiteral("^(\\d{8})-(\\d{6}-\\d{3})(?:-(\\d{1,6}))?-(read|write)\\.json$"));
    return pattern;
}

QString EventWord(TParamHistory::TEvent event)
{
    return event == TParamHistory::TEvent::Write ? QStringLiteral("write") : QStringLiteral("read");
}

QString FileName(const QString& stamp, int copy, TParamHistory::TEvent event)
{
    const QString number = copy > 1 ? QStringLiteral("-%1").arg(copy) : QString();
    return QStringLiteral("%1%2-%3.%4").arg(stamp, number, EventWord(event), QLatin1String(ParamSetSuffix));
}

QString Folder(const QString& root, const TSensorIdentity& sensor)
{
    QString model = sensor.Model.isEmpty() ? QStringLiteral("без_модели") : sensor.Model;
    for (QChar& c : model)
        if (!c.isLetterOrNumber() && c != u'-' && c != u'.')
            c = u'_';
    return QDir(root).filePath(QStringLiteral("%1_%2").arg(model).arg(sensor.Serial));
}

// Newest first; the name decides only between files that nothing else tells apart.
std::vector<TNamed> Listed(const QString& folder)
{
    std::vector<TNamed> found;
    const QDir dir(folder);
    const QStringList names =
        dir.entryList({QStringLiteral("*.") + QLatin1String(ParamSetSuffix)}, QDir::Files);
    for (const QString& name : names) {
        const QRegularExpressionMatch match = NamePattern().match(name);
        if (!match.hasMatch())
            continue;
        const QDate date = QDate::fromString(match.captured(1), QStringLiteral("yyyyMMdd"));
        const QTime time = QTime::fromString(match.captured(2), QStringLiteral("HHmmss-zzz"));
        if (!date.isValid() || !time.isValid())
            continue;
        TNamed named;
        named.Entry.Path = dir.filePath(name);
        named.Entry.Saved = QDateTime(date, time, Qt::UTC);
        named.Entry.Event = match.captured(4) == QLatin1String("write") ? TParamHistory::TEvent::Write
                                                                        : TParamHistory::TEvent::Read;
        named.Copy = match.hasCaptured(3) ? match.captured(3).toInt() : 1;
        found.push_back(std::move(named));
    }
    std::sort(found.begin(), found.end(), [](const TNamed& a, const TNamed& b) {
        if (a.Entry.Saved != b.Entry.Saved)
            return a.Entry.Saved > b.Entry.Saved;
        if (a.Copy != b.Copy)
            return a.Copy > b.Copy;
        return a.Entry.Path > b.Entry.Path;
    });
    return found;
}

} // namespace

TParamHistory::TParamHistory(QString root, int limit) : root_(std::move(root)), limit_(std::max(limit, 1)) {}

QString TParamHistory::DefaultRoot()
{
    return QDir(QStandardPaths::writableLocation(QStandardPaths::AppDataLocation))
        .filePath(QStringLiteral("history"));
}

void TParamHistory::SetLimit(int limit)
{
    limit_ = std::max(limit, 1);
}

bool TParamHistory::Keep(const TParamSet& set, TEvent event, QString* error)
{
    // A set without a time would be nameless here and unreadable later: it is kept as of now.
    TParamSet kept = set;
    if (!kept.Saved.isValid())
        kept.Saved = QDateTime::currentDateTimeUtc();
    const QString stamp = kept.Saved.toUTC().toString(QLatin1String(StampFormat));
    const QString folder = Folder(root_, kept.Sensor);
    const QDir dir(folder);

    // The number goes on past the highest of the same millisecond, whatever its event, so that
    // such files still list in the order they were kept.
    int copy = 0;
    for (const TNamed& named : Listed(folder))
        if (named.Entry.Saved == kept.Saved)
            copy = std::max(copy, named.Copy);
    ++copy;
    while (dir.exists(FileName(stamp, copy, TEvent::Read)) ||
           dir.exists(FileName(stamp, copy, TEvent::Write)))
        ++copy;
    const QString path = dir.filePath(FileName(stamp, copy, event));

    if (!QDir().mkpath(folder)) {
        if (error)
            *error = QStringLiteral("Не удалось записать файл \"%1\": не удалось создать папку \"%2\"")
                         .arg(QFileInfo(path).fileName(), QDir::toNativeSeparators(folder));
        return false;
    }
    if (!WriteParamSet(kept, path, error))
        return false;

    // The file just kept is never the one pruned, even when a clock set back makes it the oldest.
    const std::vector<TNamed> listed = Listed(folder);
    int left = static_cast<int>(listed.size());
    for (auto it = listed.rbegin(); it != listed.rend() && left > limit_; ++it) {
        if (it->Entry.Path == path)
            continue;
        if (QFile::remove(it->Entry.Path))
            --left;
    }
    return true;
}

std::vector<TParamHistory::TEntry> TParamHistory::Entries(const TSensorIdentity& sensor) const
{
    std::vector<TEntry> entries;
    for (TNamed& named : Listed(Folder(root_, sensor)))
        entries.push_back(std::move(named.Entry));
    return entries;
}

std::optional<TParamHistory::TEntry> TParamHistory::BeforeLastWrite(const TSensorIdentity& sensor) const
{
    const std::vector<TEntry> entries = Entries(sensor);
    const auto write = std::find_if(entries.begin(), entries.end(),
                                    [](const TEntry& e) { return e.Event == TEvent::Write; });
    if (write == entries.end() || std::next(write) == entries.end())
        return std::nullopt;
    return *std::next(write);
}
