#include "settings/IniFile.h"
#include "params/SaveWhole.h"
#include <QFile>
#include <QFileInfo>
#include <QSet>
#include <QVector>
#include <cctype>
#include <utility>

namespace {

const QByteArray Bom("\xEF\xBB\xBF");

// One line of the file: its bytes without the terminator, and the terminator as found.
struct Line {
    QByteArray text;
    QByteArray eol;
};

enum class Kind { Other, Section, Key };

struct Parsed {
    Kind kind = Kind::Other;
    QString name;  // section or key
    QString value; // key lines only
};

QVector<Line> SplitLines(const QByteArray& content)
{
    QVector<Line> lines;
    qsizetype start = 0;
    while (start < content.size()) {
        const qsizetype nl = content.indexOf('\n', start);
        if (nl < 0) {
            lines.push_back({content.mid(start), {}});
            break;
        }
        const bool crlf = nl > start && content.at(nl - 1) == '\r';
        const qsizetype end = crlf ? nl - 1 : nl;
        lines.push_back({content.mid(start, end - start), crlf ? QByteArray("\r\n") : QByteArray("\n")});
        start = nl + 1;
    }
    return lines;
}

Parsed Parse(QByteArray bytes, bool first)
{
    if (first && bytes.startsWith(Bom))
        bytes.remove(0, Bom.size());
    const QString text = QString::fromUtf8(bytes).trimmed();
    Parsed p;
    if (text.startsWith(QLatin1Char('['))) {
        const qsizetype close = text.indexOf(QLatin1Char(']'));
        p.kind = Kind::Section;
        p.name = (close < 0 ? text.mid(1) : text.mid(1, close - 1)).trimmed();
        return p;
    }
    if (text.startsWith(QLatin1Char(';')) || text.startsWith(QLatin1Char('#')))
        return p;
    const qsizetype eq = text.indexOf(QLatin1Char('='));
    if (eq <= 0)
        return p;
    p.kind = Kind::Key;
    p.name = text.left(eq).trimmed();
    p.value = text.mid(eq + 1).trimmed();
    return p;
}

bool Same(const QString& a, const QString& b)
{
    return a.compare(b, Qt::CaseInsensitive) == 0;
}

// Whether the line may be a section header: its first non-blank byte, after a BOM, is "[".
// Decoding every line of a large file only to find it is none took seconds.
bool MayBeHeader(const QByteArray& bytes, bool first)
{
    qsizetype i = first && bytes.startsWith(Bom) ? Bom.size() : 0;
    while (i < bytes.size() && std::isspace(static_cast<unsigned char>(bytes.at(i))))
        ++i;
    // A byte beyond ASCII may start a Unicode blank, which the full parse skips as well.
    return i < bytes.size() && (bytes.at(i) == '[' || static_cast<unsigned char>(bytes.at(i)) >= 0x80);
}

// Index of the first header of the section, or -1.
qsizetype FindSection(const QVector<Line>& lines, const QString& section)
{
    for (qsizetype i = 0; i < lines.size(); ++i) {
        if (!MayBeHeader(lines[i].text, i == 0))
            continue;
        const Parsed p = Parse(lines[i].text, i == 0);
        if (p.kind == Kind::Section && Same(p.name, section))
            return i;
    }
    return -1;
}

QByteArray Join(const QVector<Line>& lines)
{
    QByteArray out;
    for (const Line& l : lines)
        out += l.text + l.eol;
    return out;
}

QByteArray KeyLine(const QString& key, QString value)
{
    // A value must stay on its line, or it would break the file for every later read.
    value.replace(QLatin1Char('\r'), QLatin1Char(' ')).replace(QLatin1Char('\n'), QLatin1Char(' '));
    return (key + QLatin1Char('=') + value).toUtf8();
}

// The whole file, or nothing when it is missing; false when it exists but cannot be used.
bool ReadFileBytes(const QString& path, QByteArray* bytes, bool* exists)
{
    const QFileInfo info(path);
    *exists = info.exists();
    if (!*exists)
        return true;
    if (!info.isFile() || info.size() > IniFile::MaxFileSize)
        return false;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return false;
    *bytes = file.read(IniFile::MaxFileSize + 1);
    return bytes->size() <= IniFile::MaxFileSize;
}

// A file without any write permission bit is read-only even for a user whom the system would
// let write it anyway (root): replacing it by rename would defeat the user's intent.
bool IsWritable(const QString& path)
{
    const QFileInfo info(path);
    constexpr QFileDevice::Permissions anyWrite =
        QFileDevice::WriteOwner | QFileDevice::WriteGroup | QFileDevice::WriteOther;
    return info.isWritable() && (info.permissions() & anyWrite);
}

} // namespace

namespace ini {

bool Find(const QByteArray& content, const QString& section, const QString& key, QString* value)
{
    const QVector<Line> lines = SplitLines(content);
    const qsizetype header = FindSection(lines, section);
    if (header < 0)
        return false;
    for (qsizetype i = header + 1; i < lines.size(); ++i) {
        const Parsed p = Parse(lines[i].text, false);
        if (p.kind == Kind::Section)
            return false;
        if (p.kind == Kind::Key && Same(p.name, key)) {
            *value = p.value;
            return true;
        }
    }
    return false;
}

QByteArray Replace(const QByteArray& content, const QString& section, const QString& key,
                   const QString& value)
{
    QVector<Line> lines = SplitLines(content);
    const QByteArray eol = content.contains("\r\n") ? QByteArray("\r\n") : QByteArray("\n");
    const qsizetype header = FindSection(lines, section);
    if (header < 0) {
        if (!lines.isEmpty() && lines.back().eol.isEmpty())
            lines.back().eol = eol;
        if (!lines.isEmpty() && !lines.back().text.trimmed().isEmpty())
            lines.push_back({{}, eol});
        lines.push_back({(QLatin1Char('[') + section + QLatin1Char(']')).toUtf8(), eol});
        lines.push_back({KeyLine(key, value), eol});
        return Join(lines);
    }
    qsizetype last = header; // last line of the section that is not blank
    for (qsizetype i = header + 1; i < lines.size(); ++i) {
        if (lines[i].text.trimmed().isEmpty())
            continue;
        const Parsed p = Parse(lines[i].text, false);
        if (p.kind == Kind::Section)
            break;
        if (p.kind == Kind::Key && Same(p.name, key)) {
            lines[i].text = KeyLine(key, value);
            return Join(lines);
        }
        last = i;
    }
    if (lines[last].eol.isEmpty())
        lines[last].eol = eol;
    lines.insert(last + 1, {KeyLine(key, value), eol});
    return Join(lines);
}

} // namespace ini

IniFile::IniFile(QString path) : path_(std::move(path)) {}

void IniFile::Load()
{
    QByteArray bytes;
    bool exists = false;
    snapshot_ = ReadFileBytes(path_, &bytes, &exists) ? bytes : QByteArray();
    indexed_ = false;
}

namespace {
QString IndexKey(const QString& section, const QString& key)
{
    return section.toCaseFolded() + QLatin1Char('\n') + key.toCaseFolded();
}
} // namespace

// The same answers as ini::Find, in one pass: only the first header of a section counts, and
// within it the first line of a key. Built at the first read after a change, so that a run of
// writes reads the file only as each write must.
void IniFile::Index() const
{
    if (indexed_)
        return;
    indexed_ = true;
    values_.clear();
    QSet<QString> sections;
    QString prefix;
    bool collecting = false;
    qsizetype start = 0;
    while (start < snapshot_.size()) {
        qsizetype end = snapshot_.indexOf('\n', start);
        if (end < 0)
            end = snapshot_.size();
        const bool first = start == 0;
        const QByteArrayView view(snapshot_.constData() + start, end - start);
        start = end + 1;
        if (view.trimmed().isEmpty())
            continue;
        const Parsed p = Parse(view.toByteArray(), first);
        if (p.kind == Kind::Section) {
            const QString folded = p.name.toCaseFolded();
            collecting = !sections.contains(folded);
            sections.insert(folded);
            prefix = folded + QLatin1Char('\n');
        } else if (p.kind == Kind::Key && collecting) {
            values_.insert(prefix + p.name.toCaseFolded(), p.value); // keeps an earlier line's value
        }
    }
}

QString IniFile::ReadString(const QString& section, const QString& key, const QString& def) const
{
    Index();
    const auto found = values_.constFind(IndexKey(section, key));
    return found != values_.cend() ? *found : def;
}

int IniFile::ReadInteger(const QString& section, const QString& key, int def) const
{
    Index();
    const auto found = values_.constFind(IndexKey(section, key));
    if (found == values_.cend())
        return def;
    const QString& text = *found;
    bool ok = false;
    const int value = text.toInt(&ok, 10);
    return ok ? value : def;
}

bool IniFile::ReadBool(const QString& section, const QString& key, bool def) const
{
    return ReadInteger(section, key, def ? 1 : 0) != 0;
}

bool IniFile::WriteString(const QString& section, const QString& key, const QString& value)
{
    QByteArray old;
    bool exists = false;
    if (!ReadFileBytes(path_, &old, &exists))
        return false;
    if (exists && !IsWritable(path_))
        return false;
    const QByteArray updated = ini::Replace(old, section, key, value);
    if (exists && updated == old) {
        snapshot_ = old;
        indexed_ = false;
        return true;
    }
    // Written beside the old file and renamed over it: a crash or a full disk leaves the old
    // content whole.
    if (!SaveWhole(path_, updated, nullptr))
        return false;
    snapshot_ = updated;
    indexed_ = false;
    return true;
}

bool IniFile::Writable() const
{
    const QFileInfo info(path_);
    if (info.exists())
        return info.isFile() && info.size() <= MaxFileSize && IsWritable(path_);
    const QFileInfo folder(info.absolutePath());
    return folder.isDir() && folder.isWritable();
}

bool IniFile::WriteInteger(const QString& section, const QString& key, int value)
{
    return WriteString(section, key, QString::number(value));
}

bool IniFile::WriteBool(const QString& section, const QString& key, bool value)
{
    return WriteString(section, key, value ? QStringLiteral("1") : QStringLiteral("0"));
}
