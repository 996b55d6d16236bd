#pragma once
// A ZIP archive of named files, written through libarchive.
#include <QByteArray>
#include <QString>
#include <vector>

struct TArchiveEntry {
    QString Name; // a path inside the archive, "/" between folders
    QByteArray Data;
};

// Writes the entries to path, replacing a file there only once the whole archive is written.
// False, with a message fit for the user in *error, when it cannot be written.
bool WriteZipArchive(const QString& path, const std::vector<TArchiveEntry>& entries, QString* error);
