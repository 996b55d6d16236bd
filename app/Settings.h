#pragma once
#include <QString>

// The two Settings.ini files: the working-directory one serves every read and every write but
// the protocol key, which goes to the one in the program's folder. They are the same file when
// the program is started from its own folder.
struct SettingsPaths {
    QString WorkingDir;
    QString ProgramDir;

    QString WorkingFile() const;
    QString ProgramFile() const;
};

// The current directory and the folder of the executable.
SettingsPaths DefaultSettingsPaths();

// Sections and keys of Settings.ini.
namespace settings {
inline const QString MainForm = QStringLiteral("MainForm");
inline const QString Metki = QStringLiteral("Metki");

inline const QString Width = QStringLiteral("Width");
inline const QString Height = QStringLiteral("Height");
inline const QString Top = QStringLiteral("Top");
inline const QString Left = QStringLiteral("Left");
inline const QString Maximized = QStringLiteral("Maximized");
inline const QString ComPort = QStringLiteral("COM-port");
inline const QString DelayOfFind = QStringLiteral("delay_of_find");
inline const QString RangeOfFind = QStringLiteral("range_of_find");
inline const QString IntervalOfRecord = QStringLiteral("interval_of_record");
inline const QString Protocol = QStringLiteral("Протокол обмена");
inline const QString Blue = QStringLiteral("Blue");
inline const QString Green = QStringLiteral("Green");
inline const QString Checked = QStringLiteral("Checked");
} // namespace settings
