// The diagnostic report as a support engineer gets it: a ZIP that the standard unzip opens, holding
// the traffic log, link health and the settings file; and a report that cannot be written, which
// leaves nothing behind and no earlier report damaged.
#include "report/DiagnosticReport.h"
#include "traffic/TrafficExport.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <csignal>
#include <gtest/gtest.h>
#include <sys/fsuid.h>
#include <sys/resource.h>
#include <unistd.h>

inline void PrintTo(const QString& text, std::ostream* os)
{
    *os << '"' << text.toStdString() << '"';
}

namespace {

QByteArray ReadAll(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

bool WriteAll(const QString& path, const QByteArray& bytes)
{
    QFile f(path);
    return f.open(QIODevice::WriteOnly | QIODevice::Truncate) && f.write(bytes) == bytes.size();
}

// unzip with the arguments; its standard output, or a failure naming what it said.
QByteArray Unzip(const QStringList& args)
{
    QProcess p;
    p.start(QStringLiteral("unzip"), args);
    if (!p.waitForFinished(20000) || p.exitStatus() != QProcess::NormalExit || p.exitCode() != 0) {
        ADD_FAILURE() << "unzip " << args.join(' ').toStdString() << ": "
                      << p.readAllStandardError().toStdString();
        return {};
    }
    return p.readAllStandardOutput();
}

QStringList Lines(const QByteArray& bytes, const char* end = "\n")
{
    return QString::fromUtf8(bytes).split(QString::fromLatin1(end), Qt::SkipEmptyParts);
}

// Folder permissions do not bind root; with its filesystem uid set to nobody's they do, for this
// thread, until the guard goes.
class TAsNobody {
  public:
    TAsNobody()
    {
        if (::geteuid() == 0) {
            ::setfsuid(65534);
            active_ = ::setfsuid(65534) == 65534;
        }
    }
    ~TAsNobody()
    {
        if (active_)
            ::setfsuid(0);
    }
    TAsNobody(const TAsNobody&) = delete;
    TAsNobody& operator=(const TAsNobody&) = delete;
    bool Binds() const { return active_ || ::geteuid() != 0; }

  private:
    bool active_ = false;
};

TTrafficFrame Frame(TFrameDirection direction, TFrameStatus status, int address, const QByteArray& bytes)
{
    TTrafficFrame f;
    f.At = std::chrono::steady_clock::now();
    f.Direction = direction;
    f.Port = QStringLiteral("/dev/ttyUSB0");
    f.Speed = 9600;
    f.Address = address;
    f.Bytes = bytes;
    f.Status = status;
    return f;
}

class DiagnosticReportTest : public ::testing::Test {
  protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        // Room for five: the first of six frames gives way.
        TTrafficFrame request = Frame(TFrameDirection::Sent, TFrameStatus::Ok, 0x1A, "#1AR08\r");
        request.HasKind = true;
        request.Kind = TRequestKind::ReadRegister;
        request.Head = "R08";
        log.Add(request);
        log.Add(request);
        TTrafficFrame reply = Frame(TFrameDirection::Received, TFrameStatus::Ok, 0x1A, "!1AR0800A\r");
        reply.HasKind = true;
        reply.Kind = TRequestKind::ReadRegister;
        reply.ResponseUs = 12400;
        log.Add(reply);
        TTrafficFrame given = Frame(TFrameDirection::Sent, TFrameStatus::NoReply, 0x05, "#05R01\r");
        given.ResponseUs = 3000000;
        log.Add(given);
        TTrafficFrame crc = Frame(TFrameDirection::Received, TFrameStatus::CrcError, 0x05,
                                  QByteArray::fromHex("0503020001ffff"));
        crc.Protocol = TProtocol::Modbus;
        log.Add(crc);
        log.Add(Frame(TFrameDirection::Received, TFrameStatus::Noise, -1, "a,\"b"));

        health.At(0x1A).Requests = 2;
        health.At(0x1A).AddResponse(12400);
        health.At(0x05).Requests = 1;
        health.At(0x05).Timeouts = 1;

        settingsPath = dir.filePath(QStringLiteral("Settings.ini"));
        ASSERT_TRUE(WriteAll(settingsPath, settings));
        sources.Log = &log;
        sources.Health = &health;
        sources.SettingsPath = settingsPath;
        sources.Version = QStringLiteral("9.8.7");
        sources.Protocol = QStringLiteral("Modbus RTU");
    }

    QByteArray Member(const QString& archive, const char* name)
    {
        return Unzip({QStringLiteral("-p"), archive, QString::fromLatin1(name)});
    }

    QTemporaryDir dir;
    TTrafficLog log{5};
    TLinkHealthTable health;
    const QByteArray settings = "[MainForm]\r\nCOM-port=/dev/ttyUSB0\r\nПротокол обмена=1\r\n";
    QString settingsPath;
    TDiagnosticSources sources;
};

TEST_F(DiagnosticReportTest, UnzipFindsEveryFileWithWhatItShouldHold)
{
    const QString path = dir.filePath(QStringLiteral("report.zip"));
    QString error;
    ASSERT_TRUE(WriteDiagnosticReport(path, sources, &error)) << error.toStdString();

    EXPECT_EQ(Lines(Unzip({QStringLiteral("-Z1"), path})),
              QStringList({"traffic.txt", "traffic.csv", "link-health.txt", "Settings.ini", "version.txt",
                           "port.txt", "system.txt"}));
    EXPECT_EQ(Member(path, "Settings.ini"), settings);

    const QByteArray csv = Member(path, "traffic.csv");
    ASSERT_TRUE(csv.startsWith("\xEF\xBB\xBF"));
    const QStringList rows = Lines(csv.mid(3), "\r\n");
    ASSERT_EQ(rows.size(), 6) << "a heading and the five frames kept";
    EXPECT_TRUE(rows[0].startsWith(QStringLiteral("Время,"))) << rows[0].toStdString();
    EXPECT_TRUE(rows[2].contains(QStringLiteral(",←,/dev/ttyUSB0,9600,1A,21 31 41 52 30 38 30 30 41 0D,"
                                                "!1AR0800A.,ответ R08 = 00A,ок,\"12,4 мс\"")))
        << rows[2].toStdString();
    EXPECT_TRUE(rows[3].contains(QStringLiteral(",05,"))) << rows[3].toStdString();
    EXPECT_TRUE(rows[4].contains(QStringLiteral("ошибка CRC"))) << rows[4].toStdString();
    EXPECT_TRUE(rows[5].contains(QStringLiteral(",—,61 2C 22 62,\"a,\"\"b\",шум,шум")))
        << rows[5].toStdString();

    // The text table lines its columns up: every frame's hex starts under the heading's.
    const QStringList text = Lines(Member(path, "traffic.txt"));
    ASSERT_EQ(text.size(), 6);
    const qsizetype hexColumn = text[0].indexOf(QStringLiteral("Байты"));
    ASSERT_GT(hexColumn, 0);
    EXPECT_EQ(text[1].indexOf(QStringLiteral("23 31 41")), hexColumn) << text[1].toStdString();
    EXPECT_EQ(text[5].indexOf(QStringLiteral("61 2C")), hexColumn) << text[5].toStdString();

    const QString healthText = QString::fromUtf8(Member(path, "link-health.txt"));
    const qsizetype at05 = healthText.indexOf(QStringLiteral("Адрес 05\n  "));
    const qsizetype at1A = healthText.indexOf(QStringLiteral("Адрес 1A\n  "));
    EXPECT_TRUE(at05 >= 0 && at1A > at05) << healthText.toStdString();
    for (const QString& line : LinkHealthText(*health.Of(0x1A)).split('\n'))
        EXPECT_TRUE(healthText.contains(QStringLiteral("  ") + line)) << line.toStdString();
    EXPECT_TRUE(healthText.contains(QStringLiteral("Кадров в журнале обмена: 5\n")));
    EXPECT_TRUE(healthText.contains(QStringLiteral("Вытеснено новыми или стёрто: 1\n")));

    const QString version = QString::fromUtf8(Member(path, "version.txt"));
    EXPECT_TRUE(version.contains(QStringLiteral("Версия программы: 9.8.7\n")));
    EXPECT_TRUE(version.contains(QStringLiteral("Протокол: Modbus RTU\n")));
    EXPECT_TRUE(version.contains(QStringLiteral("Qt при работе: ") + QString::fromLatin1(qVersion())));
    EXPECT_EQ(Member(path, "port.txt"), QStringLiteral("Порт: не выбран\n").toUtf8());
    EXPECT_TRUE(Member(path, "system.txt").contains("/proc/version"));
}

TEST_F(DiagnosticReportTest, WithoutSettingsOrCountsTheReportSaysSo)
{
    ASSERT_TRUE(QFile::remove(settingsPath));
    health.Reset();
    const QString path = dir.filePath(QStringLiteral("report.zip"));
    QString error;
    ASSERT_TRUE(WriteDiagnosticReport(path, sources, &error)) << error.toStdString();

    EXPECT_FALSE(Lines(Unzip({QStringLiteral("-Z1"), path})).contains(QStringLiteral("Settings.ini")));
    const QString version = QString::fromUtf8(Member(path, "version.txt"));
    EXPECT_TRUE(
        version.contains(QStringLiteral("Файл настроек: %1: не прочитан (файла нет)").arg(settingsPath)))
        << version.toStdString();
    EXPECT_TRUE(Member(path, "link-health.txt").startsWith(QStringLiteral("Счётчики связи пусты").toUtf8()));
}

TEST_F(DiagnosticReportTest, AReportThatCannotBeWrittenLeavesNothingAndDamagesNothing)
{
    const QString readOnly = dir.filePath(QStringLiteral("ro"));
    ASSERT_TRUE(QDir().mkpath(readOnly));
    const QString earlier = readOnly + QStringLiteral("/report.zip");
    ASSERT_TRUE(WriteAll(earlier, "an earlier report"));
    // nobody must pass through the temporary folder to meet the read-only one.
    ASSERT_TRUE(::chmod(QFile::encodeName(dir.path()).constData(), 0755) == 0);
    ASSERT_TRUE(::chmod(QFile::encodeName(readOnly).constData(), 0555) == 0);

    struct Case {
        const char* what;
        QString path;
    };
    const Case cases[] = {
        {"a folder that does not exist", dir.filePath(QStringLiteral("missing/report.zip"))},
        {"a read-only folder, a new file", readOnly + QStringLiteral("/new.zip")},
        {"a read-only folder, over an earlier report", earlier},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        QString error;
        bool written = true;
        {
            const TAsNobody nobody;
            if (!nobody.Binds())
                GTEST_SKIP() << "folder permissions do not bind here";
            written = WriteDiagnosticReport(c.path, sources, &error);
        }
        EXPECT_FALSE(written);
        EXPECT_TRUE(error.startsWith(QStringLiteral("Не удалось записать файл «%1»: ").arg(c.path)))
            << error.toStdString();
        EXPECT_GT(error.size(), QStringLiteral("Не удалось записать файл «%1»: ").arg(c.path).size() + 3);
    }
    ::chmod(QFile::encodeName(readOnly).constData(), 0755);
    EXPECT_FALSE(QFileInfo::exists(dir.filePath(QStringLiteral("missing"))));
    EXPECT_EQ(QDir(readOnly).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden),
              QStringList{"report.zip"});
    EXPECT_EQ(ReadAll(earlier), "an earlier report");
}

TEST_F(DiagnosticReportTest, AWriteCutShortKeepsTheEarlierReport)
{
    const QString path = dir.filePath(QStringLiteral("report.zip"));
    ASSERT_TRUE(WriteAll(path, "an earlier report"));
    // Random bytes do not deflate: the archive outgrows the file size limit halfway.
    QByteArray noise(1 << 20, Qt::Uninitialized);
    QRandomGenerator(7).fillRange(reinterpret_cast<quint32*>(noise.data()), noise.size() / 4);

    rlimit saved{};
    ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &saved), 0);
    rlimit small = saved;
    small.rlim_cur = 64 * 1024;
    const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &small), 0);
    QString error;
    const bool written = WriteZipArchive(path, {TArchiveEntry{QStringLiteral("noise.bin"), noise}}, &error);
    ::setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, oldHandler);

    EXPECT_FALSE(written);
    EXPECT_TRUE(error.startsWith(QStringLiteral("Не удалось записать файл «%1»: ").arg(path)))
        << error.toStdString();
    EXPECT_FALSE(error.contains(QStringLiteral("cancel"), Qt::CaseInsensitive))
        << "the reason, not how it ended";
    EXPECT_EQ(ReadAll(path), "an earlier report");
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden),
              QStringList({"report.zip", "Settings.ini"}));
}

TEST_F(DiagnosticReportTest, CsvQuotesOnlyTheFieldsThatNeedIt)
{
    struct Case {
        QString port;
        QString field;
    };
    const Case cases[] = {
        {"/dev/ttyUSB0", "/dev/ttyUSB0"},
        {"", ""},
        {"a,b", "\"a,b\""},
        {"say \"hi\"", "\"say \"\"hi\"\"\""},
        {"\"a\",b", "\"\"\"a\"\",b\""},
        {"line\r\nbreak", "\"line\r\nbreak\""},
        {"line\nbreak", "\"line\nbreak\""},
        {"порт;1", "порт;1"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.port.toStdString());
        TTrafficLog one(1);
        TTrafficFrame frame = Frame(TFrameDirection::Sent, TFrameStatus::Ok, 0x1A, "x");
        frame.Port = c.port;
        const std::uint64_t seq = one.Add(frame);
        const QString csv = QString::fromUtf8(TrafficAsCsv(one, {seq}));
        const QString row = csv.mid(csv.indexOf(QStringLiteral("\r\n")) + 2);
        EXPECT_EQ(row, TrafficText::Time(one, *one.Find(seq)) + QStringLiteral(",→,") + c.field +
                           QStringLiteral(",9600,1A,78,x,,ок,\r\n"));
    }
}

TEST_F(DiagnosticReportTest, FramesThatGaveWayAreLeftOut)
{
    ASSERT_EQ(log.FirstSeq(), 2u);
    EXPECT_EQ(AllFrames(log), (std::vector<std::uint64_t>{2, 3, 4, 5, 6}));
    const QStringList rows = Lines(TrafficAsCsv(log, {1, 3, 99}).mid(3), "\r\n");
    ASSERT_EQ(rows.size(), 2);
    EXPECT_TRUE(rows[1].contains(QStringLiteral("ответ R08"))) << rows[1].toStdString();
    EXPECT_EQ(Lines(TrafficAsText(log, {1})).size(), 1) << "the heading alone";
}

} // namespace
