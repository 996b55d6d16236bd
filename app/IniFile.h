#pragma once
#include <QByteArray>
#include <QString>

// A settings file in the classic INI layout: "[Section]" headers and "key=value" lines.
// Sections and keys are matched without regard to letter case (Cyrillic included); the first
// match wins. Text is UTF-8. Reads come from a snapshot taken by Load(); every write reads the
// file afresh, changes one line and replaces the file atomically, leaving every other byte as it
// was. Failures never throw: reads fall back to the caller's default, writes report false and
// leave the file untouched.
class IniFile {
  public:
    // Files larger than this are treated as unreadable: neither read nor rewritten.
    static constexpr qint64 MaxFileSize = 4 * 1024 * 1024;

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

  private:
    QString path_;
    QByteArray snapshot_;
};

// The pure text operations behind IniFile, for callers that hold the bytes themselves.
namespace ini {
// The value of section/key in the content, or nothing.
bool Find(const QByteArray& content, const QString& section, const QString& key, QString* value);
// The content with section/key set to value; every other line stays byte for byte.
QByteArray Replace(const QByteArray& content, const QString& section, const QString& key,
                   const QString& value);
} // namespace ini
