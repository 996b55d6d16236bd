#include "settings/IniFile.h"
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

QByteArray ReadAll(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

void WriteAll(const QString& path, const QByteArray& bytes)
{
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    ASSERT_EQ(f.write(bytes), bytes.size());
}

struct FindCase {
    const char* what;
    QByteArray content;
    QString section;
    QString key;
    bool found;
    QString value;
};

TEST(IniFind, LooksUpSectionsAndKeysWithoutRegardToCase)
{
    const QByteArray file = "; comment\n"
                            "[MainForm]\n"
                            "Width = 1024 \n"
                            "COM-port=/dev/ttyUSB0\n"
                            "Протокол обмена=1\n"
                            "empty=\n"
                            "Width=7\n"
                            "[metki]\r\n"
                            "Blue=12,5\r\n"
                            "[MainForm]\n"
                            "Height=600\n";
    const FindCase cases[] = {
        {"exact", file, "MainForm", "Width", true, "1024"},
        {"section case", file, "MAINFORM", "width", true, "1024"},
        {"cyrillic key", file, "MainForm", "Протокол обмена", true, "1"},
        {"cyrillic key in other case", file, "MainForm", "ПРОТОКОЛ ОБМЕНА", true, "1"},
        {"value with slashes", file, "MainForm", "COM-port", true, "/dev/ttyUSB0"},
        {"empty value", file, "MainForm", "empty", true, ""},
        {"crlf lines", file, "Metki", "Blue", true, "12,5"},
        {"key of another section", file, "Metki", "Width", false, ""},
        {"second section of the same name is not read", file, "MainForm", "Height", false, ""},
        {"missing section", file, "Other", "Width", false, ""},
        {"comment is no key", file, "MainForm", "; comment", false, ""},
        {"utf-8 bom before the first header", "\xEF\xBB\xBF[A]\nk=v\n", "A", "k", true, "v"},
        {"no newline at the end", "[A]\nk=v", "A", "k", true, "v"},
        {"header without bracket", "[A\nk=v\n", "A", "k", true, "v"},
        {"binary bytes", QByteArray("\x00\xff[A]\x00\nk=v\n", 11), "A", "k", false, ""},
        {"empty file", "", "A", "k", false, ""},
    };
    for (const FindCase& c : cases) {
        QString value;
        EXPECT_EQ(ini::Find(c.content, c.section, c.key, &value), c.found) << c.what;
        if (c.found) {
            EXPECT_EQ(value, c.value) << c.what;
        }
    }
}

struct ReplaceCase {
    const char* what;
    QByteArray before;
    QString section;
    QString key;
    QString value;
    QByteArray after;
};

TEST(IniReplace, ChangesOneLineAndLeavesEveryOtherByte)
{
    const ReplaceCase cases[] = {
        {"replace in place", "; keep\n[MainForm]\nWidth=1\n  Other = x \n[B]\nWidth=2\n", "mainform", "Width",
         "800", "; keep\n[MainForm]\nWidth=800\n  Other = x \n[B]\nWidth=2\n"},
        {"append to the section before blank lines", "[A]\nx=1\n\n[B]\ny=2\n", "A", "z", "3",
         "[A]\nx=1\nz=3\n\n[B]\ny=2\n"},
        {"new section at the end", "[A]\nx=1\n", "B", "k", "v", "[A]\nx=1\n\n[B]\nk=v\n"},
        {"new file", "", "MainForm", "Протокол обмена", "1", "[MainForm]\nПротокол обмена=1\n"},
        {"keeps crlf style", "[A]\r\nx=1\r\n", "A", "y", "2", "[A]\r\nx=1\r\ny=2\r\n"},
        {"last line without newline", "[A]\nx=1", "A", "y", "2", "[A]\nx=1\ny=2\n"},
        {"empty section", "[A]\n[B]\n", "A", "k", "v", "[A]\nk=v\n[B]\n"},
        {"value kept on one line", "[A]\n", "A", "k", "a\nb\rc", "[A]\nk=a b c\n"},
        {"garbage lines survive", QByteArray("\x01\x02junk\n[A]\nk=1\n\xff\xfe\n", 18), "A", "k", "2",
         QByteArray("\x01\x02junk\n[A]\nk=2\n\xff\xfe\n", 18)},
    };
    for (const ReplaceCase& c : cases)
        EXPECT_EQ(ini::Replace(c.before, c.section, c.key, c.value), c.after) << c.what;
}

class IniFileTest : public ::testing::Test {
  protected:
    QTemporaryDir dir;
    QString path = dir.filePath(QStringLiteral("Settings.ini"));
};

TEST_F(IniFileTest, ReadsDefaultsFromMissingEmptyAndUnusableFiles)
{
    const QByteArray contents[] = {QByteArray(), QByteArray(""), QByteArray("[MainForm]\nWidth=12"),
                                   QByteArray("[MainForm]\nWidth=abc\nHeight=99999999999\nTop=1.5\n"),
                                   QByteArray(4096, '\0')};
    for (const QByteArray& content : contents) {
        QFile::remove(path);
        if (!content.isNull())
            WriteAll(path, content);
        IniFile ini(path);
        ini.Load();
        EXPECT_EQ(ini.ReadInteger("MainForm", "Height", 540), 540);
        EXPECT_EQ(ini.ReadInteger("MainForm", "Top", -100000), -100000);
        EXPECT_EQ(ini.ReadString("MainForm", "COM-port", "x"), "x");
        EXPECT_FALSE(ini.ReadBool("Metki", "Checked", false));
    }
    IniFile truncated(path);
    WriteAll(path, "[MainForm]\nWidth=12");
    truncated.Load();
    EXPECT_EQ(truncated.ReadInteger("MainForm", "Width", 800), 12);
}

TEST_F(IniFileTest, BooleansCountAnyNonZeroIntegerAsTrue)
{
    WriteAll(path, "[M]\na=0\nb=1\nc=-7\nd=yes\n");
    IniFile ini(path);
    ini.Load();
    EXPECT_FALSE(ini.ReadBool("M", "a", true));
    EXPECT_TRUE(ini.ReadBool("M", "b", false));
    EXPECT_TRUE(ini.ReadBool("M", "c", false));
    EXPECT_TRUE(ini.ReadBool("M", "d", true));
    EXPECT_FALSE(ini.ReadBool("M", "d", false));
}

TEST_F(IniFileTest, WritesOneKeyAndKeepsTheRest)
{
    const QByteArray before = "# mine\n[MainForm]\nWidth=900\nmy own=stuff\n[Other]\nx=1\n";
    WriteAll(path, before);
    IniFile ini(path);
    ASSERT_TRUE(ini.WriteString("MAINFORM", "Протокол обмена", "1"));
    ASSERT_TRUE(ini.WriteInteger("mainform", "width", -1));
    EXPECT_EQ(ReadAll(path), "# mine\n[MainForm]\nwidth=-1\nmy own=stuff\nПротокол обмена=1\n[Other]\nx=1\n");
    IniFile again(path);
    again.Load();
    EXPECT_EQ(again.ReadInteger("MainForm", "Протокол обмена", 0), 1);
    EXPECT_EQ(again.ReadInteger("MainForm", "Width", 0), -1);
}

TEST_F(IniFileTest, CreatesAMissingFile)
{
    IniFile ini(path);
    ASSERT_TRUE(ini.WriteBool("Metki", "Checked", true));
    EXPECT_EQ(ReadAll(path), "[Metki]\nChecked=1\n");
}

TEST_F(IniFileTest, ReadOnlyFolderKeepsTheFile)
{
    if (::geteuid() == 0)
        GTEST_SKIP() << "folder permissions do not bind root";
    const QByteArray before = "[MainForm]\nWidth=900\n";
    WriteAll(path, before);
    ASSERT_EQ(::chmod(dir.path().toLocal8Bit().constData(), 0555), 0);
    EXPECT_FALSE(IniFile(path).WriteInteger("MainForm", "Width", 1));
    EXPECT_EQ(ReadAll(path), before);
    ::chmod(dir.path().toLocal8Bit().constData(), 0755);
}

TEST_F(IniFileTest, ReadOnlyFileIsNotReplacedEvenWhenTheFolderIsWritable)
{
    const QByteArray before = "[MainForm]\nWidth=900\n";
    WriteAll(path, before);
    ASSERT_TRUE(QFile::setPermissions(path, QFileDevice::ReadOwner | QFileDevice::ReadGroup));
    EXPECT_FALSE(IniFile(path).WriteInteger("MainForm", "Width", 1));
    EXPECT_EQ(ReadAll(path), before);
    QFile::setPermissions(path, QFileDevice::ReadOwner | QFileDevice::WriteOwner);
}

TEST_F(IniFileTest, HugeFileIsNeitherReadNorRewritten)
{
    QByteArray huge = "[MainForm]\nWidth=1234\n";
    huge.append(QByteArray(IniFile::MaxFileSize, 'x'));
    WriteAll(path, huge);
    IniFile ini(path);
    ini.Load();
    EXPECT_EQ(ini.ReadInteger("MainForm", "Width", 800), 800);
    EXPECT_FALSE(ini.WriteInteger("MainForm", "Width", 1));
    EXPECT_EQ(QFileInfo(path).size(), huge.size());
}

TEST_F(IniFileTest, AFolderInPlaceOfTheFileIsLeftAlone)
{
    ASSERT_TRUE(QDir(dir.path()).mkdir(QStringLiteral("Settings.ini")));
    IniFile ini(path);
    ini.Load();
    EXPECT_EQ(ini.ReadInteger("MainForm", "Width", 800), 800);
    EXPECT_FALSE(ini.WriteInteger("MainForm", "Width", 1));
    EXPECT_TRUE(QFileInfo(path).isDir());
}

TEST_F(IniFileTest, KeepsPermissionsOfTheReplacedFile)
{
    WriteAll(path, "[A]\nk=1\n");
    ASSERT_TRUE(QFile::setPermissions(path, QFileDevice::ReadOwner | QFileDevice::WriteOwner));
    ASSERT_TRUE(IniFile(path).WriteString("A", "k", "2"));
    const QFileDevice::Permissions modeBits(0x7077);
    EXPECT_EQ(QFile::permissions(path) & modeBits, QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    EXPECT_EQ(ReadAll(path), "[A]\nk=2\n");
}

} // namespace
