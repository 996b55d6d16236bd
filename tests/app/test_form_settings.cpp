#include "FormFixture.h"
#include "bus/SensorBus.h"
#include "settings/Geometry.h"
#include "settings/Settings.h"
#include "widgets/RadioGroup.h"
#include <QCheckBox>
#include <QComboBox>
#include <QFile>
#include <QLineEdit>
#include <QTabWidget>
#include <QTest>
#include <qcustomplot.h>
#include <sys/inotify.h>
#include <unistd.h>

namespace {

// Counts the times a file in a folder is written whole: replaced by a rename, or closed after
// writing, as the kernel reports them.
class FileWrites {
  public:
    FileWrites(const QString& folder, const QString& name)
        : fd_(inotify_init1(IN_NONBLOCK)), name_(name.toLocal8Bit())
    {
        inotify_add_watch(fd_, QFile::encodeName(folder).constData(), IN_MOVED_TO | IN_CLOSE_WRITE);
    }
    ~FileWrites() { close(fd_); }
    FileWrites(const FileWrites&) = delete;
    FileWrites& operator=(const FileWrites&) = delete;

    // The writes since the last call.
    int Take()
    {
        int writes = 0;
        alignas(inotify_event) char buffer[4096];
        for (ssize_t n; (n = read(fd_, buffer, sizeof buffer)) > 0;) {
            for (const char* at = buffer; at < buffer + n;) {
                const auto* event = reinterpret_cast<const inotify_event*>(at);
                if (event->len > 0 && name_ == event->name)
                    ++writes;
                at += sizeof(inotify_event) + event->len;
            }
        }
        return writes;
    }

  private:
    int fd_;
    QByteArray name_;
};

void ExpectDefaults(TForm1& form, const char* what)
{
    SCOPED_TRACE(what);
    const WindowGeometry g = RestoreGeometry(DefaultStoredGeometry, PrimaryScreenSize());
    EXPECT_EQ(form.width(), 800);
    EXPECT_EQ(form.height(), 560);
    EXPECT_EQ(form.x(), g.Left);
    EXPECT_EQ(form.y(), g.Top);
    EXPECT_FALSE(form.windowState() & Qt::WindowMaximized);
    EXPECT_EQ(form.TabSheet1->Edit1->text(), "20");
    EXPECT_EQ(form.TabSheet1->Edit2->text(), "3");
    EXPECT_EQ(form.TabSheet2->LabeledEdit_RecordThrd->text(), "100");
    EXPECT_FALSE(form.TabSheet2->CheckBox2->isChecked());
    EXPECT_TRUE(form.TabSheet2->Edit4->isHidden());
    EXPECT_TRUE(form.TabSheet2->Edit5->isHidden());
    EXPECT_EQ(form.TabSheet2->Series2->dataCount(), 0);
    EXPECT_EQ(form.TabSheet2->Series3->dataCount(), 0);
    EXPECT_EQ(form.RadioGroup_protocol_obm->ItemIndex(), 0);
    EXPECT_EQ(form.Bus().Protocol(), TProtocol::Standard);
    EXPECT_EQ(form.ComboBox2->currentIndex(), form.ComboBox2->count() > 0 ? 0 : -1);
}

TEST_F(FormTest, FirstStartUsesDefaultsAndWritesNothing)
{
    auto form = MakeForm();
    ExpectDefaults(*form, "first start");
    EXPECT_TRUE(form->TabSheet1->isEnabled());
    EXPECT_FALSE(form->TabSheet5->isEnabled());
    EXPECT_FALSE(form->TabSheet2->isEnabled());
    EXPECT_FALSE(form->TabSheet3->isEnabled());
    EXPECT_EQ(form->Bus().WatchdogTime(), 3000);
    EXPECT_FALSE(form->Bus().Busy());
    EXPECT_EQ(form->Bus().Devices().Count(), 0);
    EXPECT_FALSE(WorkingSettingsExist());
    EXPECT_TRUE(ProgramSettings().isEmpty());
}

TEST_F(FormTest, StoredSettingsAreAppliedWithoutRewritingTheFile)
{
    const QByteArray stored = "[MainForm]\n"
                              "Width=810\nHeight=570\nTop=-1\nLeft=-797\nMaximized=0\n"
                              "COM-port=/dev/not-listed\n"
                              "delay_of_find=abc\nrange_of_find=17\ninterval_of_record=25\n"
                              "Протокол обмена=0\n"
                              "[Metki]\nBlue=12,5\nGreen=7.25\nChecked=1\n";
    WriteWorkingSettings(stored);
    auto form = MakeForm();
    const WindowGeometry g = RestoreGeometry({810, 570, -1, -797}, PrimaryScreenSize());
    EXPECT_EQ(form->size(), QSize(g.Width, g.Height));
    EXPECT_EQ(form->pos(), QPoint(g.Left, g.Top));
    EXPECT_EQ(form->TabSheet1->Edit1->text(), "abc");
    EXPECT_EQ(form->TabSheet1->Edit2->text(), "17");
    EXPECT_EQ(form->TabSheet2->LabeledEdit_RecordThrd->text(), "25");
    EXPECT_TRUE(form->TabSheet2->CheckBox2->isChecked());
    EXPECT_FALSE(form->TabSheet2->Edit4->isHidden());
    EXPECT_EQ(form->TabSheet2->Edit4->text(), "12,5");
    EXPECT_EQ(form->TabSheet2->Edit5->text(), "7.25");
    ASSERT_EQ(form->TabSheet2->Series2->dataCount(), 2);
    EXPECT_DOUBLE_EQ(form->TabSheet2->Series2->data()->at(0)->value, 12.5);
    EXPECT_DOUBLE_EQ(form->TabSheet2->Series2->data()->at(1)->value, 12.5);
    ASSERT_EQ(form->TabSheet2->Series3->dataCount(), 2);
    EXPECT_DOUBLE_EQ(form->TabSheet2->Series3->data()->at(1)->value, 7.25);
    EXPECT_EQ(form->ComboBox2->currentIndex(), form->ComboBox2->count() > 0 ? 0 : -1);
    EXPECT_EQ(WorkingSettings(), stored);
}

TEST_F(FormTest, StoredPortIsSelectedWhenTheScanListedIt)
{
    auto probe = MakeForm();
    if (probe->ComboBox2->count() == 0)
        GTEST_SKIP() << "the scan lists no port here";
    const int last = probe->ComboBox2->count() - 1;
    const QString port = probe->ComboBox2->itemText(last);
    probe.reset();
    WriteWorkingSettings("[mainform]\ncom-port=" + port.toUtf8() + "\n");
    EXPECT_EQ(MakeForm()->ComboBox2->currentIndex(), last);
}

TEST_F(FormTest, UnusableSettingsFilesGiveDefaultsAndStayAsTheyWere)
{
    QByteArray binary;
    for (int i = 0; i < 4096; ++i)
        binary.append(static_cast<char>((i * 7919) & 0xFF));
    QByteArray huge = "[MainForm]\nWidth=810\ndelay_of_find=5\n";
    huge.append(QByteArray(6 * 1024 * 1024, ';'));
    const std::pair<const char*, QByteArray> files[] = {
        {"empty", QByteArray()},
        {"binary", binary},
        {"truncated", "[MainForm]\nWidth=81"},
        {"huge", huge},
        {"nonsense values", "[MainForm]\nWidth=wide\nHeight=99999999999\nTop=\nMaximized=x\n"
                            "Протокол обмена=2\n[Metki]\nBlue=abc\nChecked=no\n"},
    };
    for (const auto& [what, content] : files) {
        WriteWorkingSettings(content);
        {
            auto form = MakeForm();
            if (QByteArray(what) == "truncated") {
                // A truncated value is still a number; everything after it keeps its default.
                EXPECT_EQ(form->width(), 800);
                EXPECT_EQ(form->TabSheet1->Edit1->text(), "20");
            } else {
                ExpectDefaults(*form, what);
            }
        }
        EXPECT_EQ(WorkingSettings(), content) << what;
        EXPECT_TRUE(ProgramSettings().isEmpty()) << what;
    }
}

TEST_F(FormTest, EachSettingControlWritesItsKeyAtOnce)
{
    auto form = MakeForm();
    ShowAndWait(*form);
    QTest::keyClicks(form->ComboBox2->lineEdit(), QStringLiteral("X"));
    form->TabSheet2->setEnabled(true); // as after a search
    form->PageControl1->setCurrentWidget(form->TabSheet2);
    form->TabSheet1->Edit1->setText(QStringLiteral("abc"));
    form->TabSheet1->Edit2->setText(QStringLiteral("200"));
    form->TabSheet2->LabeledEdit_RecordThrd->setText(QStringLiteral("7"));
    QTest::mouseClick(form->TabSheet2->CheckBox2, Qt::LeftButton, {},
                      QPoint(8, form->TabSheet2->CheckBox2->height() / 2));
    ASSERT_TRUE(form->TabSheet2->CheckBox2->isChecked());
    QTest::keyClicks(form->TabSheet2->Edit4, QStringLiteral("12.5"));
    QTest::keyClicks(form->TabSheet2->Edit5, QStringLiteral("x"));

    const QByteArray file = WorkingSettings();
    EXPECT_EQ(ReadKey(file, settings::MainForm, settings::DelayOfFind), "abc");
    EXPECT_EQ(ReadKey(file, settings::MainForm, settings::RangeOfFind), "200");
    EXPECT_EQ(ReadKey(file, settings::MainForm, settings::IntervalOfRecord), "7");
    EXPECT_EQ(ReadKey(file, settings::MainForm, settings::ComPort), form->ComboBox2->currentText());
    EXPECT_TRUE(form->ComboBox2->currentText().endsWith(QLatin1Char('X')));
    EXPECT_EQ(ReadKey(file, settings::Metki, settings::Checked), "1");
    EXPECT_EQ(form->TabSheet2->Edit4->text(), "12,5");
    EXPECT_EQ(ReadKey(file, settings::Metki, settings::Blue), "12,5");
    ASSERT_EQ(form->TabSheet2->Series2->dataCount(), 2);
    EXPECT_DOUBLE_EQ(form->TabSheet2->Series2->data()->at(0)->value, 12.5);
    EXPECT_EQ(ReadKey(file, settings::Metki, settings::Green), "<missing>");
    EXPECT_EQ(form->TabSheet2->Series3->dataCount(), 0);
    EXPECT_TRUE(ProgramSettings().isEmpty());

    QTest::mouseClick(form->TabSheet2->CheckBox2, Qt::LeftButton, {},
                      QPoint(8, form->TabSheet2->CheckBox2->height() / 2));
    EXPECT_EQ(ReadKey(WorkingSettings(), settings::Metki, settings::Checked), "0");
    EXPECT_EQ(form->TabSheet2->Series2->dataCount(), 0);
    EXPECT_TRUE(form->TabSheet2->Edit4->isHidden());
}

// Typing into a setting's box writes the file once per keystroke that changes the value, and not
// at all for one that leaves it as it was.
TEST_F(FormTest, AKeystrokeWritesTheFileAtMostOnce)
{
    auto form = MakeForm();
    ShowAndWait(*form);
    form->TabSheet2->setEnabled(true);
    form->PageControl1->setCurrentWidget(form->TabSheet2);
    form->TabSheet2->CheckBox2->click();
    FileWrites writes(work.path(), QStringLiteral("Settings.ini"));
    struct Case {
        QLineEdit* edit;
        QString keys;
    };
    for (const Case& c : {Case{form->TabSheet1->Edit1, QStringLiteral("57")},
                          Case{form->TabSheet2->LabeledEdit_RecordThrd, QStringLiteral("9")},
                          Case{form->TabSheet2->Edit4, QStringLiteral("1.5")}}) {
        for (const QChar key : c.keys) {
            QTest::keyClick(c.edit, key.toLatin1());
            EXPECT_EQ(writes.Take(), 1) << c.edit->objectName().toStdString() << " key " << key.toLatin1();
        }
    }
    EXPECT_EQ(form->TabSheet2->Edit4->text(), QStringLiteral("1,5"));
    form->TabSheet1->Edit1->setText(form->TabSheet1->Edit1->text());
    form->TabSheet2->CheckBox2->setChecked(true);
    EXPECT_EQ(writes.Take(), 0);
}

TEST_F(FormTest, ReadOnlySettingsFileIsLeftAlone)
{
    const QByteArray stored = "[MainForm]\nWidth=800\nHeight=580\n";
    WriteWorkingSettings(stored);
    ASSERT_TRUE(QFile::setPermissions(Paths().WorkingFile(), QFileDevice::ReadOwner));
    {
        auto form = MakeForm();
        EXPECT_EQ(form->height(), 580);
        form->TabSheet1->Edit1->setText(QStringLiteral("55"));
        form->close();
    }
    EXPECT_EQ(WorkingSettings(), stored);
}

TEST_F(FormTest, CloseStoresTheNormalGeometryAndTheNextStartRestoresIt)
{
    WriteWorkingSettings("[MainForm]\nWidth=800\nHeight=580\nTop=10\nLeft=0\n");
    QPoint pos;
    {
        auto form = MakeForm();
        ShowAndWait(*form);
        form->resize(800, 570);
        QTRY_COMPARE(form->height(), 570);
        pos = form->pos();
        form->close();
    }
    const QByteArray file = WorkingSettings();
    EXPECT_EQ(ReadKey(file, settings::MainForm, settings::Maximized), "0");
    EXPECT_EQ(ReadKey(file, settings::MainForm, settings::Width), "800");
    EXPECT_EQ(ReadKey(file, settings::MainForm, settings::Height), "570");
    EXPECT_EQ(ReadKey(file, settings::MainForm, settings::Top), QString::number(pos.y()));
    EXPECT_EQ(ReadKey(file, settings::MainForm, settings::Left), QString::number(pos.x()));
    auto again = MakeForm();
    EXPECT_EQ(again->size(), QSize(800, 570));
    EXPECT_EQ(again->pos(), pos);
}

TEST_F(FormTest, MaximizedCloseStoresOnlyMaximized)
{
    const QByteArray geometry = "[MainForm]\nWidth=800\nHeight=580\nTop=10\nLeft=0\nMaximized=0\n";
    WriteWorkingSettings(geometry);
    {
        auto form = MakeForm();
        ShowAndWait(*form);
        form->showMaximized();
        QTRY_VERIFY(form->windowState() & Qt::WindowMaximized);
        form->close();
    }
    EXPECT_EQ(WorkingSettings(), "[MainForm]\nWidth=800\nHeight=580\nTop=10\nLeft=0\nMaximized=1\n");

    auto again = MakeForm();
    EXPECT_TRUE(again->windowState() & Qt::WindowMaximized);
    ShowAndWait(*again);
    again->showNormal();
    QTRY_COMPARE(again->size(), QSize(800, 580));
    EXPECT_EQ(again->pos(), QPoint(0, 10));
}

TEST_F(FormTest, StoredProtocolIsAppliedThroughTheSelector)
{
    struct Case {
        QByteArray stored;
        int mode;
        QByteArray programFile;
    };
    const Case cases[] = {
        {"1", 1, "[MainForm]\nПротокол обмена=1\n"},
        {"257", 1, "[MainForm]\nПротокол обмена=1\n"},
        {"0", 0, ""},
        {"2", 0, ""},
        {"modbus", 0, ""},
    };
    for (const Case& c : cases) {
        QFile::remove(Paths().ProgramFile());
        const QByteArray stored = "[MainForm]\nПротокол обмена=" + c.stored + "\n";
        WriteWorkingSettings(stored);
        auto form = MakeForm();
        EXPECT_EQ(static_cast<int>(form->Bus().Protocol()), c.mode) << c.stored.constData();
        EXPECT_EQ(form->RadioGroup_protocol_obm->ItemIndex(), c.mode) << c.stored.constData();
        EXPECT_FALSE(form->TabSheet2->isEnabled()) << c.stored.constData();
        EXPECT_EQ(ProgramSettings(), c.programFile) << c.stored.constData();
        EXPECT_EQ(WorkingSettings(), stored) << c.stored.constData();
    }
}

} // namespace
