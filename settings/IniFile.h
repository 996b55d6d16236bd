#pragma once
#include <QByteArray>
#include <QHash>
#include <QString>

// A settings file in the classic INI layout: "[Section]" headers and "key=value" lines.
// Sections and keys are matched without regard to letter case (Cyrillic included); the first
// match wins. Text is UTF-8. Reads come from a snapshot taken by Load(); every write reads the
// file afresh, changes one line and replaces the file atomically, leaving every other byte as it
// was. Failures never throw: reads fall back to the caller's default, writes report false and
// leave the file untouched.
class IniFile {
  public:
    // Files larger than this are treated as unreadable: neither read nor rewritten. A settings
    // file holds a few short lines; each write goes through the whole file.
    static constexpr qint64 MaxFileSize = 1024 * 1024;

    explicit IniFile(QString path);

    const QString& Path() const { return path_; }
    // Takes a fresh snapshot of the file; a missing or unusable file gives an empty snapshot.
    void Load();

    QString ReadString(const QString& section, const QString& key, const QString& def) const;
    // A value that is not a decimal 32-bit integer gives the default.
    int ReadInteger(const QString& section, const QString& key, int def) const;
    // Any integer other than 0 counts as true.
    bool ReadBool(const QString& section, const QString& key, bool def) const;

    bool WriteString(const QString& section, const QString& key, const QString& value);
    bool WriteInteger(const QString& section, const QString& key, int value);
    bool WriteBool(const QString& section, const QString& key, bool value);
    // Whether a write could succeed: the file is usable and writable, or it is missing and its
    // folder takes new files. Nothing is written to find out.
    bool Writable() const;

  private:
    // Indexes the snapshot, so that a read does not go through the whole file again.
    void Index() const;

    QString path_;
    QByteArray snapshot_;
    // The value of each section/key as Find gives it, by folded "section\nkey".
    mutable QHash<QString, QString> values_;
    mutable bool indexed_ = false;
};

// The pure text operations behind IniFile, for callers that hold the bytes themselves.
namespace ini {
// The value of section/key in the content, or nothing.
bool Find(const QByteArray& content, const QString& section, const QString& key, QString* value);
// The content with section/key set to value; every other line stays byte for byte.
QByteArray Replace(const QByteArray& content, const QString& section, const QString& key,
                   const QString& value);
} // namespace ini
