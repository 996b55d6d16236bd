// The veltrano-sim process: sensors and faults from the command line, a link to talk through,
// a clean end on SIGTERM.
#include "SimTestPort.h"

#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>

#include <gtest/gtest.h>

namespace {

const QString kTool = QStringLiteral(VELTRANO_SIM_EXE);

bool waitForLink(const QString& link, int timeoutMs)
{
    for (int waited = 0; waited < timeoutMs; waited += 10) {
        if (QFileInfo::exists(link))
            return true;
        QThread::msleep(10);
    }
    return false;
}

TEST(SimTool, AnswersThroughItsLinkAndCleansUpOnSigterm)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString link = dir.filePath(QStringLiteral("ttySIM0"));
    QProcess tool;
    tool.start(kTool, {"--link", link, "--log", "--sensor", "addr=0x2A,speed=38400,mode=fixed,value=12345",
                       "--sensor", "addr=7,speed=9600,type=8,mode=fixed,value=3", "--fault", "42:lowercase"});
    ASSERT_TRUE(tool.waitForStarted(3000));
    ASSERT_TRUE(waitForLink(link, 3000));

    struct Case {
        int speed;
        QByteArray request;
        QByteArray reply;
    };
    const Case cases[] = {
        {38400, "#2ALR\r", "!2aLR12345\r"},
        {9600, "#07LR\r", "!07LRN0003\r"},
        {9600, "#2ALR\r", ""},
    };
    SimTestPort port(link);
    ASSERT_TRUE(port.isOpen());
    for (const Case& c : cases) {
        ASSERT_TRUE(port.setSpeed(c.speed));
        ASSERT_TRUE(port.write(c.request));
        const QByteArray got = c.reply.isEmpty() ? port.readFor(50) : port.readUntil(c.reply.size(), 1000);
        EXPECT_EQ(got, c.reply) << c.request.constData();
    }

    tool.terminate();
    ASSERT_TRUE(tool.waitForFinished(3000));
    EXPECT_EQ(tool.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(tool.exitCode(), 0);
    EXPECT_FALSE(QFileInfo::exists(link));
    const QString log = QString::fromLocal8Bit(tool.readAllStandardOutput());
    EXPECT_TRUE(log.contains(QLatin1String("23 32 41 4C 52 0D  |#2ALR.|"))) << log.toStdString();
    EXPECT_TRUE(log.contains(QLatin1String("|!2aLR12345.|"))) << log.toStdString();
}

TEST(SimTool, ExplainsItselfAndRefusesBadArguments)
{
    struct Case {
        QStringList args;
        int exitCode;
        const char* mentions;
    };
    const Case cases[] = {
        {{"--help"}, 0, "--link PATH"},
        {{"--help"}, 0, "stuck=REG"},
        {{"--help"}, 0, "silentafter=N"},
        {{"--link", "/tmp/unused", "--sensor", "speed=1234"}, 2, "speed=1234"},
        {{"--sensor", "addr=1"}, 2, "--link is required"},
        {{"--link", "/tmp/unused", "--fault", "9:silent"}, 2, "no sensor at address 9"},
        {{"--link", "/tmp/unused", "--fault", "1:stuck=23"}, 2, "bad value in \"stuck=23\""},
        {{"--link", "/tmp/unused", "--fault", "1:silentafter=100001"},
         2,
         "bad value in \"silentafter=100001\""},
    };
    for (const Case& c : cases) {
        QProcess tool;
        tool.start(kTool, c.args);
        ASSERT_TRUE(tool.waitForFinished(3000));
        EXPECT_EQ(tool.exitCode(), c.exitCode) << c.args.join(' ').toStdString();
        const QString output =
            QString::fromLocal8Bit(tool.readAllStandardOutput() + tool.readAllStandardError());
        EXPECT_TRUE(output.contains(QLatin1String(c.mentions))) << output.toStdString();
    }
}

} // namespace
