#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>
#include <gtest/gtest.h>
#include <memory>

namespace {

// The real program in a scratch working directory, with its own runtime folder so that
// instances of other tests or of a user session never meet these.
class Instances : public ::testing::Test {
  protected:
    QTemporaryDir runtime;
    QTemporaryDir work;

    std::unique_ptr<QProcess> Start()
    {
        auto p = std::make_unique<QProcess>();
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        env.insert(QStringLiteral("XDG_RUNTIME_DIR"), runtime.path());
        env.insert(QStringLiteral("QT_LOGGING_RULES"), QStringLiteral("veltrano.app.info=true"));
        env.remove(QStringLiteral("VELTRANO_SCREENSHOTS"));
        p->setProcessEnvironment(env);
        p->setWorkingDirectory(work.path());
        p->setProcessChannelMode(QProcess::SeparateChannels);
        p->start(QStringLiteral(VELTRANO_EXE), {});
        EXPECT_TRUE(p->waitForStarted(5000));
        return p;
    }

    // Waits until the process has written the text to its error output.
    static bool WaitFor(QProcess& p, const QByteArray& text, QByteArray* seen, int ms = 10000)
    {
        QElapsedTimer clock;
        clock.start();
        while (clock.elapsed() < ms) {
            p.waitForReadyRead(100);
            *seen += p.readAllStandardError();
            if (seen->contains(text))
                return true;
            if (p.state() == QProcess::NotRunning)
                return false;
        }
        return false;
    }

    void SetUp() override
    {
        QFile::setPermissions(runtime.path(),
                              QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    }
};

TEST_F(Instances, SecondStartRaisesTheFirstAndEndsAtOnce)
{
    auto first = Start();
    QByteArray firstLog;
    ASSERT_TRUE(WaitFor(*first, "window exposed", &firstLog)) << firstLog.constData();

    QElapsedTimer clock;
    clock.start();
    auto second = Start();
    ASSERT_TRUE(second->waitForFinished(5000));
    EXPECT_LT(clock.elapsed(), 3000);
    EXPECT_EQ(second->exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(second->exitCode(), 0);
    EXPECT_FALSE(second->readAllStandardError().contains("window exposed"));
    EXPECT_TRUE(WaitFor(*first, "activation requested", &firstLog)) << firstLog.constData();

    // A termination request closes the window the normal way: it stores its geometry.
    first->terminate();
    ASSERT_TRUE(first->waitForFinished(5000));
    EXPECT_EQ(first->exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(first->exitCode(), 0);
    QFile settings(QDir(work.path()).filePath(QStringLiteral("Settings.ini")));
    ASSERT_TRUE(settings.open(QIODevice::ReadOnly));
    const QByteArray content = settings.readAll();
    EXPECT_TRUE(content.contains("Maximized=0")) << content.constData();
    EXPECT_TRUE(content.contains("Width=800")) << content.constData();
}

TEST_F(Instances, LockOfACrashedInstanceIsTakenOver)
{
    auto crashed = Start();
    QByteArray log;
    ASSERT_TRUE(WaitFor(*crashed, "window exposed", &log)) << log.constData();
    crashed->kill();
    ASSERT_TRUE(crashed->waitForFinished(5000));
    ASSERT_TRUE(QFile::exists(QDir(runtime.path()).filePath(QStringLiteral("Veltrano.lock"))));

    auto next = Start();
    QByteArray nextLog;
    EXPECT_TRUE(WaitFor(*next, "window exposed", &nextLog)) << nextLog.constData();
    auto third = Start();
    ASSERT_TRUE(third->waitForFinished(5000));
    EXPECT_EQ(third->exitCode(), 0);
    EXPECT_TRUE(WaitFor(*next, "activation requested", &nextLog)) << nextLog.constData();
    next->terminate();
    EXPECT_TRUE(next->waitForFinished(5000));
}

} // namespace
