// Thread.txt, Report.txt and Report.xlsx where they cannot be written, root included: the user
// gets a message, and what was recorded or latched stays where a retry can still save it.
#include "BusFormFixture.h"
#include "InputFixture.h"
#include "bus/SensorBus.h"
#include "pages/LatchExport.h"
#include "pages/StreamChart.h"
#include "protocol/DeviceList.h"
#include "protocol/DeviceUnit.h"
#include "serial/TCommPortDriver.h"
#include "sim/SimRegisters.h"
#include <QCheckBox>
#include <QComboBox>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLineEdit>
#include <QProcess>
#include <QProcessEnvironment>
#include <QPushButton>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QUrl>

namespace {

QString U(const char* utf8)
{
    return QString::fromUtf8(utf8);
}

// The sensor streams a result every millisecond and every one is recorded.
class RecordFileTest : public BusFormTest {
  protected:
    void SetUp() override
    {
        BusFormTest::SetUp();
        if (HasFatalFailure())
            return;
        bus.setRegister(sensor, SimReg::ConstantLo, 1);
        bus.setMeasurement(sensor, SimMeasureMode::Counter, 1000);
        form->PageControl1->setCurrentWidget(form->TabSheet2);
        form->TabSheet2->LabeledEdit_RecordThrd->setText(QStringLiteral("1"));
        form->TabSheet2->Button6->click();
        ASSERT_TRUE(WaitFor([&] { return form->StatusText(1) == U("Поток запущен"); }));
        ASSERT_TRUE(WaitIdle());
    }

    QString File() const { return QDir(program.path()).filePath(QStringLiteral("Thread.txt")); }
    QString Spool() const { return File() + QStringLiteral(".part"); }
    QString Native(const QString& path) const { return QDir::toNativeSeparators(path); }

    // Records for at least samples more results.
    void RecordFor(int samples)
    {
        const auto from = form->TabSheet2->StreamChart().Count();
        ASSERT_TRUE(WaitFor([&] { return form->TabSheet2->StreamChart().Count() > from + samples; }, 10000));
    }
    // Clicks the recording box with a closer at hand; the boxes it showed.
    std::vector<ModalCloser::Seen> ClickRecord()
    {
        ModalCloser closer(form.get());
        form->TabSheet2->CheckBox_RecordThrd->click();
        QTest::qWait(30);
        return closer.seen();
    }
};

TEST_F(RecordFileTest, ThreadTxtThatCannotBeReplacedLeavesTheRecordingInTheSpoolForARetry)
{
    ASSERT_TRUE(QDir().mkpath(File())); // a folder in the file's place, for root as for anyone
    ASSERT_TRUE(ClickRecord().empty());
    EXPECT_EQ(form->StatusText(2), U("Запись потока в файл..."));
    RecordFor(100);
    auto seen = ClickRecord();
    ASSERT_EQ(seen.size(), 1u);
    EXPECT_EQ(seen[0].caption, U("Ошибка"));
    EXPECT_EQ(seen[0].text, U("Ошибка записи в файл %1. Записанный поток сохранён в файле %2; при следующем "
                              "включении записи он будет перенесён в %1.")
                                .arg(Native(File()), Native(Spool())));
    EXPECT_EQ(form->StatusText(2), U("Ошибка записи в файл Thread.txt"));
    const QByteArray kept = FileBytes(Spool());
    EXPECT_GT(kept.count('\n'), 100);

    // While the folder is still there the kept recording cannot move, and a new one would empty it.
    seen = ClickRecord();
    ASSERT_EQ(seen.size(), 1u);
    EXPECT_EQ(seen[0].text,
              U("Запись потока не начата: предыдущая запись хранится в файле %1 и не может быть "
                "перенесена в файл %2.")
                  .arg(Native(Spool()), Native(File())));
    EXPECT_FALSE(form->TabSheet2->CheckBox_RecordThrd->isChecked());
    RecordFor(50);
    EXPECT_EQ(FileBytes(Spool()), kept);

    // Once the user has cleared the way, the next recording first puts the kept one in place.
    ASSERT_TRUE(QDir(File()).removeRecursively());
    ASSERT_TRUE(ClickRecord().empty());
    EXPECT_TRUE(form->TabSheet2->CheckBox_RecordThrd->isChecked());
    EXPECT_EQ(FileBytes(File()), kept);
    RecordFor(50);
    ASSERT_TRUE(ClickRecord().empty());
    const QByteArray next = FileBytes(File());
    EXPECT_GT(next.count('\n'), 50);
    EXPECT_NE(next, kept);
    EXPECT_FALSE(QFile::exists(Spool()));
}

TEST_F(RecordFileTest, ClosingTheWindowKeepsARecordingThatCannotBeWritten)
{
    ASSERT_TRUE(QDir().mkpath(File()));
    ASSERT_TRUE(ClickRecord().empty());
    RecordFor(100);
    {
        ModalCloser closer(form.get());
        form->close();
        ASSERT_EQ(closer.seen().size(), 1u);
        EXPECT_TRUE(closer.seen()[0].text.startsWith(U("Ошибка записи в файл")))
            << closer.seen()[0].text.toStdString();
    }
    form.reset();
    EXPECT_GT(FileBytes(Spool()).count('\n'), 100);
}

TEST_F(RecordFileTest, ASpoolThatCannotBeMadeRefusesTheRecordingAtOnce)
{
    struct Case {
        const char* what;
        std::function<std::unique_ptr<FolderMadeFile>()> spoil;
    };
    const Case cases[] = {
        {"a folder in the spool's place",
         [&] {
             QDir().mkpath(Spool());
             return nullptr;
         }},
        {"the program folder is a regular file",
         [&] { return std::make_unique<FolderMadeFile>(program.path()); }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const auto spoiled = c.spoil();
        const auto seen = ClickRecord();
        ASSERT_EQ(seen.size(), 1u);
        EXPECT_EQ(seen[0].caption, U("Ошибка"));
        EXPECT_EQ(seen[0].text,
                  U("Запись потока не начата: невозможно записать файл %1.").arg(Native(Spool())));
        EXPECT_FALSE(form->TabSheet2->CheckBox_RecordThrd->isChecked());
        EXPECT_EQ(form->StatusText(2), U("Ошибка записи в файл Thread.txt"));
        RecordFor(50);
        EXPECT_TRUE(form->TabSheet2->StreamChart().Sampler().RecordLines().isEmpty())
            << "nothing is recorded that could not be kept";
        EXPECT_FALSE(QFileInfo(File()).isFile());
        QDir(Spool()).removeRecursively();
    }
    // With the way clear again, recording works.
    ASSERT_TRUE(ClickRecord().empty());
    RecordFor(20);
    ASSERT_TRUE(ClickRecord().empty());
    EXPECT_GT(FileBytes(File()).count('\n'), 20);
}

TEST_F(RecordFileTest, ADiskThatFillsDuringTheRecordingIsReportedWhenItEnds)
{
    if (!QFileInfo::exists(QStringLiteral("/dev/full")))
        GTEST_SKIP() << "no /dev/full here";
    ASSERT_TRUE(QFile::link(QStringLiteral("/dev/full"), Spool()));
    ASSERT_TRUE(ClickRecord().empty());
    RecordFor(100);
    const auto seen = ClickRecord();
    ASSERT_EQ(seen.size(), 1u);
    EXPECT_TRUE(seen[0].text.startsWith(U("Ошибка записи в файл %1.").arg(Native(File()))))
        << seen[0].text.toStdString();
    EXPECT_EQ(form->StatusText(2), U("Ошибка записи в файл Thread.txt"));
    EXPECT_FALSE(QFileInfo(File()).isFile());
    QFile::remove(Spool());
}

TEST_F(RecordFileTest, ReadOnlyProgramFolderRefusesTheRecording)
{
    if (!PermissionsBind())
        GTEST_SKIP()
            << "folder permissions do not bind root; a folder that is a regular file is tested instead";
    ASSERT_TRUE(QFile::setPermissions(program.path(), QFileDevice::ReadOwner | QFileDevice::ExeOwner));
    const auto seen = ClickRecord();
    QFile::setPermissions(program.path(),
                          QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    ASSERT_EQ(seen.size(), 1u);
    EXPECT_FALSE(form->TabSheet2->CheckBox_RecordThrd->isChecked());
}

class LatchFileTest : public BusFormTest {
  protected:
    void SetUp() override
    {
        BusFormTest::SetUp();
        if (HasFatalFailure())
            return;
        form->Bus().SetProbeDelay(100);
        form->TabSheet3->OpenDocument = [this](const QUrl& url) {
            opened.push_back(url);
            return true;
        };
        form->PageControl1->setCurrentWidget(form->TabSheet3);
        form->TabSheet3->Button9->click();
        ASSERT_TRUE(WaitFor([&] { return form->TabSheet3->CountRowTable == 1; }));
        ASSERT_TRUE(WaitIdle());
    }
    std::vector<QUrl> opened;
};

TEST_F(LatchFileTest, ExportsToAFolderThatTakesNoFileAreReportedAndTheTableWaitsForARetry)
{
    struct Case {
        QPushButton* TLatchPage::*button;
        QString file;
        QString message;
    };
    const Case cases[] = {
        {&TLatchPage::BitBtn_TXT, ReportFileName, U("Ошибка записи файла Report.txt")},
        {&TLatchPage::BitBtn_Excel, WorkbookFileName, U("Ошибка создания таблицы в Excel!")},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.file.toStdString());
        opened.clear();
        {
            FolderMadeFile gone(program.path());
            ASSERT_TRUE(gone.Ok());
            ModalCloser closer(form.get());
            (form->TabSheet3->*c.button)->click();
            ASSERT_EQ(closer.seen().size(), 1u);
            EXPECT_EQ(closer.seen()[0].caption, U("Ошибка"));
            EXPECT_EQ(closer.seen()[0].text, c.message);
            EXPECT_TRUE(opened.empty());
        }
        EXPECT_EQ(form->TabSheet3->CountRowTable, 1);
        EXPECT_EQ(LatchCell(1, 1).trimmed(), QStringLiteral("26"));
        ModalCloser closer(form.get());
        (form->TabSheet3->*c.button)->click();
        EXPECT_TRUE(closer.seen().empty());
        const QString path = QDir(program.path()).filePath(c.file);
        EXPECT_EQ(opened, std::vector<QUrl>{QUrl::fromLocalFile(path)});
        EXPECT_GT(QFileInfo(path).size(), 0);
        if (c.file == ReportFileName) {
            EXPECT_TRUE(FileBytes(path).contains(";26;")) << "the row latched before the failure";
        }
    }
}

TEST_F(LatchFileTest, ReadOnlyProgramFolderIsReported)
{
    if (!PermissionsBind())
        GTEST_SKIP()
            << "folder permissions do not bind root; a folder that is a regular file is tested instead";
    ASSERT_TRUE(QFile::setPermissions(program.path(), QFileDevice::ReadOwner | QFileDevice::ExeOwner));
    ModalCloser closer(form.get());
    form->TabSheet3->BitBtn_TXT->click();
    form->TabSheet3->BitBtn_Excel->click();
    QFile::setPermissions(program.path(),
                          QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    ASSERT_EQ(closer.seen().size(), 2u);
    EXPECT_TRUE(opened.empty());
}

} // namespace

namespace {

const char RoDirVariable[] = "VELTRANO_INPUT_RO_DIR";

// The program's folder and working directory on a read-only mount, inside a private mount
// namespace that only the child run of this suite sees: a place no user, root included, can write.
// The child runs ReadOnlyMountTest.Inside; the parent checks that nothing in the folder changed.
class ReadOnlyMountTest : public BusFormTest {
  protected:
    // Builds the window over folder, as the fixture's own window is built.
    void UseFolder(const QString& folder)
    {
        form.reset();
        form = std::make_unique<TForm1>(nullptr, SettingsPaths{folder, folder});
        form->CreateSplash();
        form->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(form.get()));
        // A new window starts with no sensor records; the search's record is made again.
        record = form->Bus().Devices().Append("1A", LineSpeed);
        ASSERT_NE(record, nullptr);
        record->ID_D = 250.0;
        form->TabSheet5->ParamsLoaded.assign(1, false);
        form->AddAddressItem(QStringLiteral("26"));
        form->ComboBox1->setCurrentIndex(0);
        form->TabSheet2->setEnabled(true);
        form->TabSheet3->setEnabled(true);
        form->TabSheet5->setEnabled(true);
        ASSERT_TRUE(form->SetComPortSpeed(LineSpeed));
        form->CommPortDriver1->setComPort(bus.slavePath());
        ASSERT_TRUE(form->CommPortDriver1->Connect());
    }
};

const QByteArray MountedSettings = "[MainForm]\ndelay_of_find=33\n";

TEST_F(ReadOnlyMountTest, Inside)
{
    const QString folder = qEnvironmentVariable(RoDirVariable);
    if (folder.isEmpty())
        GTEST_SKIP() << "runs only as the child of EverythingWrittenIsRefusedAndReported";
    ASSERT_FALSE(WriteBytes(QDir(folder).filePath("probe"), "x")) << "the folder is not read-only";
    UseFolder(folder);
    EXPECT_EQ(form->TabSheet1->Edit1->text(), QStringLiteral("33"));
    EXPECT_EQ(form->StatusText(3), U("Настройки не сохраняются"));
    TypeInto(form->TabSheet1->Edit1, QStringLiteral("44"));

    bus.setRegister(sensor, SimReg::ConstantLo, 1);
    form->PageControl1->setCurrentWidget(form->TabSheet2);
    form->TabSheet2->Button6->click();
    ASSERT_TRUE(WaitFor([&] { return form->StatusText(1) == U("Поток запущен"); }));
    ASSERT_TRUE(WaitIdle());
    {
        ModalCloser closer(form.get());
        form->TabSheet2->CheckBox_RecordThrd->click();
        ASSERT_EQ(closer.seen().size(), 1u);
        EXPECT_EQ(closer.seen()[0].text,
                  U("Запись потока не начата: невозможно записать файл %1.")
                      .arg(QDir::toNativeSeparators(QDir(folder).filePath("Thread.txt.part"))));
        EXPECT_FALSE(form->TabSheet2->CheckBox_RecordThrd->isChecked());
    }
    form->TabSheet2->Button7->click();
    ASSERT_TRUE(WaitFor([&] { return form->StatusText(1) == U("Поток остановлен"); }, 6000));
    ASSERT_TRUE(WaitIdle());

    form->Bus().SetProbeDelay(100);
    form->TabSheet3->OpenDocument = [](const QUrl&) { return true; };
    form->PageControl1->setCurrentWidget(form->TabSheet3);
    form->TabSheet3->Button9->click();
    ASSERT_TRUE(WaitFor([&] { return form->TabSheet3->CountRowTable == 1; }));
    ASSERT_TRUE(WaitIdle());
    {
        ModalCloser closer(form.get());
        form->TabSheet3->BitBtn_TXT->click();
        form->TabSheet3->BitBtn_Excel->click();
        ASSERT_EQ(closer.seen().size(), 2u);
        EXPECT_EQ(closer.seen()[0].text, U("Ошибка записи файла Report.txt"));
        EXPECT_EQ(closer.seen()[1].text, U("Ошибка создания таблицы в Excel!"));
    }
    EXPECT_EQ(form->TabSheet3->CountRowTable, 1) << "the latched row waits for a retry";
    SelectModbus();
    form->close();
}

TEST(ReadOnlyMount, EverythingWrittenIsRefusedAndReported)
{
    if (!qEnvironmentVariableIsEmpty(RoDirVariable))
        GTEST_SKIP() << "the child runs the inside only";
    QTemporaryDir folder;
    ASSERT_TRUE(WriteBytes(QDir(folder.path()).filePath("Settings.ini"), MountedSettings));
    const QString script = QStringLiteral("mount --bind -o ro \"$1\" \"$1\" || exit 77; shift; exec \"$@\"");
    QProcess probe;
    probe.start(QStringLiteral("unshare"), {"-m", "sh", "-c", script, "sh", folder.path(), "true"});
    if (!probe.waitForFinished(20000) || probe.exitStatus() != QProcess::NormalExit || probe.exitCode() != 0)
        GTEST_SKIP() << "no private read-only mount here (needs unshare and mount rights): "
                     << probe.readAllStandardError().toStdString();

    QProcess child;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(RoDirVariable, folder.path());
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    child.setProcessEnvironment(env);
    child.setProcessChannelMode(QProcess::MergedChannels);
    child.start(QStringLiteral("unshare"),
                {"-m", "sh", "-c", script, "sh", folder.path(), QCoreApplication::applicationFilePath(),
                 "--gtest_filter=ReadOnlyMountTest.Inside"});
    ASSERT_TRUE(child.waitForFinished(120000));
    const QString output = QString::fromUtf8(child.readAll());
    EXPECT_EQ(child.exitCode(), 0) << output.toStdString();
    EXPECT_TRUE(output.contains(QStringLiteral("[  PASSED  ] 1 test"))) << output.toStdString();
    EXPECT_EQ(FileBytes(QDir(folder.path()).filePath("Settings.ini")), MountedSettings);
    EXPECT_EQ(QDir(folder.path()).entryList(QDir::NoDotAndDotDot | QDir::AllEntries),
              QStringList{"Settings.ini"});
}

} // namespace
