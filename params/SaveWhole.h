#pragma once
#include <QByteArray>
#include <QString>

// Writes content to path whole or not at all: beside the old file, then renamed over it, so that
// the old file stays as it was when anything fails. A short write, as a full disk or a file size
// limit gives, counts as a failure: QSaveFile alone reports it as success and commits the stump.
// false with the reason in *reason.
bool SaveWhole(const QString& path, const QByteArray& content, QString* reason);
