// Settings.ini as the user's disk may leave it: corrupt, binary, huge, not writable, or in a
// folder that takes no file. The window starts promptly with sound values, and when settings
// cannot be kept the status bar says so.
#include "FormFixture.h"
#include "InputFixture.h"
#include "bus/SensorBus.h"
#include "settings/Geometry.h"
#include "settings/IniFile.h"
#include "settings/Settings.h"
#include "widgets/RadioGroup.h"
#include "widgets/StatusPanels.h"
#include <QAbstractButton>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>
#include <QScreen>
#include <QTemporaryDir>
#include <QTest>
#include <cstdio>
#include <functional>
#include <qcustomplot.h>

namespace {
// The sanitizer builds run the same code several times slower.
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
constexpr qint64 PromptMs = 20000;
#else
constexpr qint64 PromptMs = 5000;
#endif

const QString Unsaved = QString::fromUtf8("Настройки не сохраняются");

class SettingsInputTest : public FormTest {
  protected:
    // The window lies on the screen, at least as large as allowed.
    static void ExpectSoundGeometry(const TForm1& form)
    {
        const QRect screen = QGuiApplication::primaryScreen()->geometry();
        EXPECT_GE(form.width(), MinimumWindowSize.width());
        EXPECT_GE(form.height(), MinimumWindowSize.height());
        EXPECT_LE(form.width(), std::max(screen.width(), MinimumWindowSize.width()));
        EXPECT_LE(form.height(), std::max(screen.height(), MinimumWindowSize.height()));
        EXPECT_TRUE(screen.intersects(form.frameGeometry())) << "x " << form.x() << " y " << form.y();
    }
    static QString Notice(const TForm1& form) { return form.StatusText(3); }
    static QString NoticeTip(const TForm1& form) { return form.StatusBar1->Panel(3)->toolTip(); }
};

TEST_F(SettingsInputTest, CorruptContentGivesSoundValuesAndIsNotRewritten)
{
    struct Case {
        const char* what;
        QByteArray content;
    };
    const char nulText[] = "[MainForm]\nWidth=9\0"
                           "00\n\0Maximized=1\n[Metki\0]\nChecked=1\n";
    const QByteArray nuls(nulText, sizeof nulText - 1);
    QByteArray random;
    quint32 seed = 12345;
    for (int i = 0; i < 64 * 1024; ++i) {
        seed = seed * 1103515245u + 12345u;
        random.append(static_cast<char>(seed >> 16));
    }
    const Case cases[] = {
        {"garbage lines", "\x01\x02 ===\n[[[\n]]]\n=\n[MainForm\nWidth\nHeight==\n;[Metki]\n=Width=900\n"},
        {"wrong types", "[MainForm]\nWidth=wide\nHeight=1.5e3\nTop=0x10\nLeft=--5\nMaximized=yes\n"
                        "Протокол обмена=Modbus\n[Metki]\nChecked=true\nBlue=синий\n"},
        {"out of range", "[MainForm]\nWidth=-800\nHeight=0\nTop=2147483647\nLeft=-2147483648\n"
                         "Протокол обмена=-1\n"},
        {"overflow", "[MainForm]\nWidth=99999999999999999999\nHeight=2147483648\nTop=-99999999999\n"
                     "Протокол обмена=4294967297\n"},
        {"screen sized",
         "[MainForm]\nWidth=2147483647\nHeight=2147483647\nTop=-2147483648\nLeft=2147483647\n"},
        {"port garbage", "[MainForm]\nCOM-port=\xff\xfe/dev/\x01\n"},
        {"NULs", nuls},
        {"random bytes", random},
        {"only NULs", QByteArray(100000, '\0')},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        WriteWorkingSettings(c.content);
        {
            auto form = MakeForm();
            ShowAndWait(*form);
            ExpectSoundGeometry(*form);
            EXPECT_FALSE(form->windowState() & Qt::WindowMaximized);
            EXPECT_EQ(form->Bus().Protocol(), TProtocol::Standard);
            EXPECT_EQ(form->RadioGroup_protocol_obm->ItemIndex(), 0);
            EXPECT_FALSE(form->TabSheet2->CheckBox2->isChecked());
            EXPECT_EQ(form->TabSheet1->Edit1->text(), "20");
            EXPECT_EQ(Notice(*form), QString()) << "the file can be written";
            form->hide();
        }
        EXPECT_EQ(WorkingSettings(), c.content) << "a start rewrites nothing";
    }
}

TEST_F(SettingsInputTest, OverlongValuesAreCutToTheirBoxes)
{
    const QByteArray nines(128 * 1024, '9');
    WriteWorkingSettings("[MainForm]\ndelay_of_find=" + nines + "\nrange_of_find=" + nines +
                         "\ninterval_of_record=" + nines + "\n[Metki]\nBlue=" + nines + "\nChecked=1\n");
    auto form = MakeForm();
    EXPECT_EQ(form->TabSheet1->Edit1->text(), "999999999");
    EXPECT_EQ(form->TabSheet1->Edit2->text(), "999");
    EXPECT_EQ(form->TabSheet2->LabeledEdit_RecordThrd->text(), "9999999999");
    // An eighth of a million nines is a number too large for any chart; it draws no marker.
    EXPECT_TRUE(form->TabSheet2->CheckBox2->isChecked());
    EXPECT_EQ(form->TabSheet2->Series2->dataCount(), 0);
}

TEST_F(SettingsInputTest, HugeFilesStartPromptlyWithDefaultsAndAreLeftAlone)
{
    struct Case {
        const char* what;
        qint64 size;
        char fill;
    };
    // Just under the size that is still read, in the shortest lines; and far beyond it.
    const Case cases[] = {
        {"empty lines up to the size still read", IniFile::MaxFileSize - 64, '\n'},
        {"50 MB", 50 * 1024 * 1024, 'x'},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        QByteArray content("[MainForm]\n");
        content.append(QByteArray(c.size - 2 * content.size() - 12, c.fill));
        content.append("\ndelay_of_find=7\n[MainForm]\n");
        WriteWorkingSettings(content);
        QElapsedTimer clock;
        clock.start();
        {
            auto form = MakeForm();
            const qint64 startMs = clock.elapsed();
            std::printf("[          ] %s: window made in %lld ms\n", c.what, static_cast<long long>(startMs));
            EXPECT_LT(startMs, PromptMs);
            const bool read = c.size <= IniFile::MaxFileSize;
            EXPECT_EQ(form->TabSheet1->Edit1->text(), read ? "7" : "20");
            EXPECT_EQ(Notice(*form), read ? QString() : Unsaved);
            // Every keystroke goes through the whole file.
            clock.restart();
            TypeInto(form->TabSheet1->Edit1, QStringLiteral("55"));
            const qint64 typedMs = clock.elapsed();
            std::printf("[          ] %s: three keys took %lld ms\n", c.what,
                        static_cast<long long>(typedMs));
            EXPECT_LT(typedMs, PromptMs);
            form->close();
        }
        if (c.size > IniFile::MaxFileSize) {
            EXPECT_EQ(QFileInfo(Paths().WorkingFile()).size(), content.size())
                << "neither read nor rewritten";
        }
    }
}

// Every way a working-directory file can refuse a write, root included: the stored values still
// apply, the status bar says at start that settings are not kept, and no change reaches the disk.
TEST_F(SettingsInputTest, SettingsThatCannotBeSavedAreNotedAtStartAndLeftAsTheyWere)
{
    const QByteArray stored = "[MainForm]\nMaximized=0\ndelay_of_find=33\n";
    struct Case {
        const char* what;
        std::function<QString(const QString& dir)> spoil; // gives the working directory to use
        bool applies;
    };
    const Case cases[] = {
        {"read-only file",
         [&](const QString& dir) {
             WriteBytes(QDir(dir).filePath("Settings.ini"), stored);
             QFile::setPermissions(QDir(dir).filePath("Settings.ini"),
                                   QFileDevice::ReadOwner | QFileDevice::ReadGroup);
             return dir;
         },
         true},
        {"a folder in the file's place",
         [](const QString& dir) {
             QDir(dir).mkpath("Settings.ini/inner");
             return dir;
         },
         false},
        {"the folder is a regular file",
         [](const QString& dir) {
             WriteBytes(QDir(dir).filePath("file"), "x");
             return QDir(dir).filePath("file/work");
         },
         false},
        {"the folder does not exist", [](const QString& dir) { return QDir(dir).filePath("gone/work"); },
         false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        QTemporaryDir root;
        const QString dir = c.spoil(root.path());
        const QString file = QDir(dir).filePath("Settings.ini");
        const QByteArray before = FileBytes(file);
        {
            auto form = std::make_unique<TForm1>(nullptr, SettingsPaths{dir, program.path()});
            form->CreateSplash();
            ShowAndWait(*form);
            EXPECT_EQ(form->TabSheet1->Edit1->text(), c.applies ? "33" : "20");
            EXPECT_EQ(Notice(*form), Unsaved);
            EXPECT_TRUE(NoticeTip(*form).contains(QDir::toNativeSeparators(file)))
                << NoticeTip(*form).toStdString();
            TypeInto(form->TabSheet1->Edit1, QStringLiteral("44"));
            form->TabSheet2->CheckBox2->click();
            form->resize(900, 600);
            form->close();
            EXPECT_EQ(Notice(*form), Unsaved) << "the note stays";
        }
        EXPECT_EQ(FileBytes(file), before);
        QFile::setPermissions(file, QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    }
}

TEST_F(SettingsInputTest, ReadOnlyFolderKeepsNoNewFileAndSaysSo)
{
    if (!PermissionsBind())
        GTEST_SKIP()
            << "folder permissions do not bind root; the other cases cover a folder that takes no file";
    ASSERT_TRUE(QFile::setPermissions(work.path(), QFileDevice::ReadOwner | QFileDevice::ExeOwner));
    {
        auto form = MakeForm();
        EXPECT_EQ(Notice(*form), Unsaved);
        TypeInto(form->TabSheet1->Edit1, QStringLiteral("44"));
        form->close();
    }
    EXPECT_FALSE(WorkingSettingsExist());
    QFile::setPermissions(work.path(),
                          QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
}

// A write that fails only later, after a start with a writable file, is noted when it happens.
TEST_F(SettingsInputTest, AWriteThatFailsLaterIsNotedThen)
{
    auto form = MakeForm();
    ShowAndWait(*form);
    EXPECT_EQ(Notice(*form), QString());
    {
        FolderMadeFile gone(work.path());
        ASSERT_TRUE(gone.Ok());
        TypeInto(form->TabSheet1->Edit1, QStringLiteral("44"));
        EXPECT_EQ(Notice(*form), Unsaved);
    }
    form.reset();
    // The program folder's file takes the protocol alone.
    auto again = MakeForm();
    ShowAndWait(*again);
    EXPECT_EQ(Notice(*again), QString());
    {
        FolderMadeFile gone(program.path());
        ASSERT_TRUE(gone.Ok());
        again->RadioGroup_protocol_obm->Button(1)->click();
        EXPECT_EQ(again->Bus().Protocol(), TProtocol::Modbus)
            << "the choice applies even though it is not kept";
        EXPECT_EQ(Notice(*again), Unsaved);
        EXPECT_TRUE(NoticeTip(*again).contains(QDir::toNativeSeparators(Paths().ProgramFile())));
    }
}

} // namespace
