#include "pages/StreamRecorder.h"
#include <QDir>
#include <QLoggingCategory>
#include <cerrno>
#include <cstdio>
#include <cstring>

namespace {
Q_LOGGING_CATEGORY(lcRecord, "veltrano.stream.record", QtWarningMsg)
} // namespace

TStreamRecorder::TStreamRecorder(const QString& directory, QObject* parent)
    : QObject(parent), directory_(directory)
{
}

TStreamRecorder::~TStreamRecorder() = default;

QString TStreamRecorder::FilePath() const
{
    return QDir(directory_).filePath(QStringLiteral("Thread.txt"));
}

QString TStreamRecorder::SpoolPath() const
{
    return FilePath() + QStringLiteral(".part");
}

bool TStreamRecorder::Replace()
{
    // rename() replaces the old file in one step: Thread.txt is either the old or the new one.
    if (std::rename(QFile::encodeName(SpoolPath()).constData(), QFile::encodeName(FilePath()).constData()) ==
        0)
        return true;
    qCWarning(lcRecord) << "Thread.txt not replaced:" << std::strerror(errno);
    return false;
}

bool TStreamRecorder::Begin()
{
    spool_.close();
    // The kept recording is the one Thread.txt should hold; a new spool must not empty it.
    if (kept_) {
        if (!Replace())
            return false;
        kept_ = false;
    }
    spool_.setFileName(SpoolPath());
    failed_ = !spool_.open(QIODevice::WriteOnly | QIODevice::Truncate);
    if (failed_)
        qCWarning(lcRecord) << "spool" << SpoolPath() << "not opened:" << spool_.errorString();
    return !failed_;
}

bool TStreamRecorder::Spool(QStringList& lines)
{
    if (lines.isEmpty())
        return !failed_;
    if (!spool_.isOpen()) {
        // Nothing to spool into: the lines wait for End, which writes them.
        return !failed_;
    }
    QByteArray bytes;
    bytes.reserve(lines.size() * 12);
    for (const QString& line : lines) {
        bytes.append(line.toLocal8Bit());
        bytes.append("\r\n", 2);
    }
    lines.clear();
    // Flushed at once: what was received is on disk even if the program dies.
    if (spool_.write(bytes) != bytes.size() || !spool_.flush()) {
        if (!failed_)
            qCWarning(lcRecord) << "spool" << SpoolPath() << "not written:" << spool_.errorString();
        failed_ = true;
    }
    return !failed_;
}

bool TStreamRecorder::End(QStringList& lines)
{
    if (!spool_.isOpen() && !Begin()) {
        lines.clear();
        return false;
    }
    Spool(lines);
    spool_.close();
    const bool ok = !failed_;
    failed_ = false;
    // What reached the spool stays there: removing it would lose the whole recording for the
    // sake of its last lines.
    if (!ok || !Replace()) {
        kept_ = QFile::exists(SpoolPath());
        return false;
    }
    return true;
}
