// The hint the window shows for a port the user may not open.
#include "app/PortHint.h"
#include <QFile>
#include <QTemporaryDir>
#include <grp.h>
#include <gtest/gtest.h>
#include <unistd.h>

namespace {

TEST(DeniedPortHint, NamesTheDeviceAndItsGroup)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("ttyUSB0"));
    QFile node(path);
    ASSERT_TRUE(node.open(QIODevice::WriteOnly));
    node.close();
    const QByteArray native = QFile::encodeName(path);

    EXPECT_EQ(
        DeniedPortHint(dir.filePath(QStringLiteral("absent"))),
        QStringLiteral("Нет доступа к %1: недостаточно прав").arg(dir.filePath(QStringLiteral("absent"))));
    if (::geteuid() != 0)
        GTEST_SKIP() << "changing a file's group to dialout and root needs root";
    const group* dialout = ::getgrnam("dialout");
    ASSERT_NE(dialout, nullptr);
    ASSERT_EQ(::chown(native.constData(), 0, dialout->gr_gid), 0);
    EXPECT_EQ(DeniedPortHint(path),
              QStringLiteral("Нет доступа к %1: добавьте пользователя в группу dialout").arg(path));
    ASSERT_EQ(::chown(native.constData(), 0, 0), 0);
    EXPECT_EQ(DeniedPortHint(path), QStringLiteral("Нет доступа к %1: недостаточно прав").arg(path));
}

} // namespace
