#include "params/SaveWhole.h"
#include <QSaveFile>

bool SaveWhole(const QString& path, const QByteArray& content, QString* reason)
{
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)) {
        if (reason)
            *reason = file.errorString();
        return false;
    }
    const qint64 written = file.write(content);
    const bool flushed = file.flush();
    // What reached the disk, not what the write call claims.
    const qint64 stored = file.size();
    if (written != content.size() || !flushed || stored != content.size()) {
        file.cancelWriting();
        file.commit();
        if (reason)
            *reason = QStringLiteral("записано %1 из %2 байт").arg(stored).arg(content.size());
        return false;
    }
    if (!file.commit()) {
        if (reason)
            *reason = file.errorString();
        return false;
    }
    return true;
}
