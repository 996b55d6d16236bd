#include "report/ArchiveWriter.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QFileInfo>
#include <QSaveFile>
#include <archive.h>
#include <archive_entry.h>
#include <memory>

namespace {

QString Tr(const char* text)
{
    return QCoreApplication::translate("ArchiveWriter", text);
}

struct TArchiveFree {
    void operator()(archive* a) const { archive_write_free(a); }
};
struct TEntryFree {
    void operator()(archive_entry* e) const { archive_entry_free(e); }
};

// What libarchive's write callback writes into, and why it stopped if it did.
struct TSink {
    QSaveFile* File = nullptr;
    bool Failed = false;
};

la_ssize_t WriteToSink(archive* a, void* data, const void* buffer, size_t length)
{
    auto* sink = static_cast<TSink*>(data);
    const qint64 written = sink->File->write(static_cast<const char*>(buffer), static_cast<qint64>(length));
    if (written != static_cast<qint64>(length)) {
        sink->Failed = true;
        archive_set_error(a, EIO, "%s", sink->File->errorString().toLocal8Bit().constData());
        return -1;
    }
    return static_cast<la_ssize_t>(written);
}

// Why the file could not even be started: the folder's state says it in the user's words better
// than the system's text does.
QString OpenFailureReason(const QString& path, const QSaveFile& file)
{
    const QFileInfo dir(QFileInfo(path).absolutePath());
    if (!dir.exists())
        return Tr("папка «%1» не существует").arg(dir.filePath());
    if (!dir.isDir())
        return Tr("«%1» — не папка").arg(dir.filePath());
    if (!dir.isWritable())
        return Tr("нет права на запись в папку «%1»").arg(dir.filePath());
    if (QFileInfo(path).isDir())
        return Tr("это папка");
    return file.errorString();
}

bool Fail(const QString& path, const QString& reason, QString* error)
{
    if (error)
        *error = Tr("Не удалось записать файл «%1»: %2").arg(path, reason);
    return false;
}

} // namespace

bool WriteZipArchive(const QString& path, const std::vector<TArchiveEntry>& entries, QString* error)
{
    // QSaveFile writes beside the target and renames only on commit, so an archive cut short by a
    // full disk or an error never replaces a report already there. No direct-write fallback: a
    // folder where no temporary file can be made is an error, not a reason to write in place.
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return Fail(path, OpenFailureReason(path, file), error);

    TSink sink;
    sink.File = &file;
    const std::unique_ptr<archive, TArchiveFree> a(archive_write_new());
    if (!a)
        return Fail(path, Tr("не хватает памяти"), error);
    const auto archiveFailure = [&]() {
        const char* text = archive_error_string(a.get());
        const QString reason =
            sink.Failed
                ? file.errorString()
                : Tr("ошибка упаковки: %1").arg(text ? QString::fromLocal8Bit(text) : Tr("неизвестная"));
        // What libarchive still writes as it is freed goes nowhere.
        file.cancelWriting();
        return Fail(path, reason, error);
    };
    // No padding after the central directory: it would sit where readers look for its end.
    if (archive_write_set_format_zip(a.get()) != ARCHIVE_OK ||
        archive_write_zip_set_compression_deflate(a.get()) != ARCHIVE_OK ||
        archive_write_set_bytes_in_last_block(a.get(), 1) != ARCHIVE_OK ||
        archive_write_open2(a.get(), &sink, nullptr, WriteToSink, nullptr, nullptr) != ARCHIVE_OK)
        return archiveFailure();

    const time_t now = QDateTime::currentSecsSinceEpoch();
    for (const TArchiveEntry& item : entries) {
        const std::unique_ptr<archive_entry, TEntryFree> entry(archive_entry_new());
        if (!entry)
            return Fail(path, Tr("не хватает памяти"), error);
        archive_entry_set_pathname_utf8(entry.get(), item.Name.toUtf8().constData());
        archive_entry_set_filetype(entry.get(), AE_IFREG);
        archive_entry_set_perm(entry.get(), 0644);
        archive_entry_set_mtime(entry.get(), now, 0);
        archive_entry_set_size(entry.get(), item.Data.size());
        if (archive_write_header(a.get(), entry.get()) < ARCHIVE_WARN)
            return archiveFailure();
        qsizetype done = 0;
        while (done < item.Data.size()) {
            const la_ssize_t n = archive_write_data(a.get(), item.Data.constData() + done,
                                                    static_cast<size_t>(item.Data.size() - done));
            if (n <= 0)
                return archiveFailure();
            done += n;
        }
    }
    if (archive_write_close(a.get()) != ARCHIVE_OK)
        return archiveFailure();
    if (!file.commit())
        return Fail(path, file.errorString(), error);
    return true;
}
