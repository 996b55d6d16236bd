#include "app/Settings.h"
#include <QCoreApplication>
#include <QDir>

QString SettingsPaths::WorkingFile() const
{
    return QDir(WorkingDir).filePath(QStringLiteral("Settings.ini"));
}

QString SettingsPaths::ProgramFile() const
{
    return QDir(ProgramDir).filePath(QStringLiteral("Settings.ini"));
}

SettingsPaths DefaultSettingsPaths()
{
    return {QDir::currentPath(), QCoreApplication::applicationDirPath()};
}
