#include "settings/Settings.h"
#include <QCoreApplication>
#include <QDir>
#include <utility>

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

TSettings::TSettings(SettingsPaths paths, QObject* parent)
    : QObject(parent), paths_(std::move(paths)), working_(paths_.WorkingFile()),
      program_(paths_.ProgramFile())
{
    working_.Load();
}

bool TSettings::Writable() const
{
    return working_.Writable();
}

WindowGeometry TSettings::Geometry() const
{
    using namespace settings;
    return {working_.ReadInteger(MainForm, Width, DefaultStoredGeometry.Width),
            working_.ReadInteger(MainForm, Height, DefaultStoredGeometry.Height),
            working_.ReadInteger(MainForm, Top, DefaultStoredGeometry.Top),
            working_.ReadInteger(MainForm, Left, DefaultStoredGeometry.Left)};
}

bool TSettings::Maximized() const
{
    return working_.ReadBool(settings::MainForm, settings::Maximized, false);
}

QString TSettings::Port() const
{
    return working_.ReadString(settings::MainForm, settings::ComPort, QString());
}

QString TSettings::SearchDelay() const
{
    return working_.ReadString(settings::MainForm, settings::DelayOfFind, QStringLiteral("20"));
}

QString TSettings::SearchBound() const
{
    return working_.ReadString(settings::MainForm, settings::RangeOfFind, QStringLiteral("3"));
}

QString TSettings::RecordInterval() const
{
    return working_.ReadString(settings::MainForm, settings::IntervalOfRecord, QStringLiteral("100"));
}

int TSettings::Protocol() const
{
    return working_.ReadInteger(settings::MainForm, settings::Protocol, 0) & 0xFF;
}

bool TSettings::MarkersShown() const
{
    return working_.ReadBool(settings::Metki, settings::Checked, false);
}

QString TSettings::BlueLevel() const
{
    return working_.ReadString(settings::Metki, settings::Blue, QString());
}

QString TSettings::GreenLevel() const
{
    return working_.ReadString(settings::Metki, settings::Green, QString());
}

void TSettings::SetGeometry(const WindowGeometry& geometry)
{
    using namespace settings;
    Write(working_, MainForm, settings::Maximized, QStringLiteral("0"));
    Write(working_, MainForm, Width, QString::number(geometry.Width));
    Write(working_, MainForm, Height, QString::number(geometry.Height));
    Write(working_, MainForm, Top, QString::number(geometry.Top));
    Write(working_, MainForm, Left, QString::number(geometry.Left));
}

void TSettings::SetMaximized(bool maximized)
{
    Write(working_, settings::MainForm, settings::Maximized,
          maximized ? QStringLiteral("1") : QStringLiteral("0"));
}

void TSettings::SetPort(const QString& port)
{
    Write(working_, settings::MainForm, settings::ComPort, port);
}

void TSettings::SetSearchDelay(const QString& text)
{
    Write(working_, settings::MainForm, settings::DelayOfFind, text);
}

void TSettings::SetSearchBound(const QString& text)
{
    Write(working_, settings::MainForm, settings::RangeOfFind, text);
}

void TSettings::SetRecordInterval(const QString& text)
{
    Write(working_, settings::MainForm, settings::IntervalOfRecord, text);
}

void TSettings::SetProtocol(int index)
{
    Write(program_, settings::MainForm, settings::Protocol, QString::number(index));
}

void TSettings::SetMarkersShown(bool shown)
{
    Write(working_, settings::Metki, settings::Checked, shown ? QStringLiteral("1") : QStringLiteral("0"));
}

bool TSettings::StreamTimeAxis() const
{
    return working_.ReadBool(settings::StreamChart, settings::TimeAxis, false);
}

bool TSettings::StreamHistogram() const
{
    return working_.ReadBool(settings::StreamChart, settings::Histogram, false);
}

void TSettings::SetStreamTimeAxis(bool on)
{
    Write(working_, settings::StreamChart, settings::TimeAxis, on ? QStringLiteral("1") : QStringLiteral("0"));
}

void TSettings::SetStreamHistogram(bool on)
{
    Write(working_, settings::StreamChart, settings::Histogram, on ? QStringLiteral("1") : QStringLiteral("0"));
}

void TSettings::SetBlueLevel(const QString& text)
{
    Write(working_, settings::Metki, settings::Blue, text);
}

void TSettings::SetGreenLevel(const QString& text)
{
    Write(working_, settings::Metki, settings::Green, text);
}

void TSettings::Write(IniFile& file, const QString& section, const QString& key, const QString& value)
{
    if (file.WriteString(section, key, value) || !reported_.insert(file.Path()).second)
        return;
    emit NotSaved(file.Path());
}

bool TSettings::VerifyWrites() const
{
    return working_.ReadBool(settings::ParamSets, settings::VerifyWrite, true);
}

QString TSettings::ParamSetFolder() const
{
    return working_.ReadString(settings::ParamSets, settings::Folder, QString());
}

void TSettings::SetVerifyWrites(bool verify)
{
    Write(working_, settings::ParamSets, settings::VerifyWrite,
          verify ? QStringLiteral("1") : QStringLiteral("0"));
}

void TSettings::SetParamSetFolder(const QString& folder)
{
    Write(working_, settings::ParamSets, settings::Folder, folder);
}

int TSettings::HistoryLimit() const
{
    bool ok = false;
    const int limit = working_.ReadString(settings::ParamSets, settings::HistoryLimit, QString()).toInt(&ok);
    return ok && limit >= 1 ? limit : DefaultHistoryLimit;
}

void TSettings::SetHistoryLimit(int limit)
{
    Write(working_, settings::ParamSets, settings::HistoryLimit, QString::number(limit));
}

WindowGeometry TSettings::TrafficMonitorGeometry() const
{
    using namespace settings;
    return {working_.ReadInteger(TrafficMonitor, Width, 960),
            working_.ReadInteger(TrafficMonitor, Height, 540),
            working_.ReadInteger(TrafficMonitor, Top, CentredPosition),
            working_.ReadInteger(TrafficMonitor, Left, CentredPosition)};
}

void TSettings::SetTrafficMonitorGeometry(const WindowGeometry& geometry)
{
    using namespace settings;
    Write(working_, TrafficMonitor, Width, QString::number(geometry.Width));
    Write(working_, TrafficMonitor, Height, QString::number(geometry.Height));
    Write(working_, TrafficMonitor, Top, QString::number(geometry.Top));
    Write(working_, TrafficMonitor, Left, QString::number(geometry.Left));
}
