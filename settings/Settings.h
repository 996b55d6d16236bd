#pragma once
#include "settings/Geometry.h"
#include "settings/IniFile.h"
#include <QObject>
#include <QString>
#include <set>

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

inline constexpr int DefaultHistoryLimit = 20;

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
// Parameter sets: whether a write is read back, and the folder of the last set file.
inline const QString ParamSets = QStringLiteral("ParamSets");
inline const QString VerifyWrite = QStringLiteral("VerifyWrite");
inline const QString Folder = QStringLiteral("Folder");
inline const QString HistoryLimit = QStringLiteral("HistoryLimit");
// The traffic monitor's window: Width, Height, Top and Left as the main window's.
inline const QString TrafficMonitor = QStringLiteral("TrafficMonitor");
// The stream chart's measuring tools: the time axis and the histogram, each on or off.
inline const QString StreamChart = QStringLiteral("StreamChart");
inline const QString TimeAxis = QStringLiteral("TimeAxis");
inline const QString Histogram = QStringLiteral("Histogram");
} // namespace settings

// The window's settings, read once from Settings.ini as the window starts and written one key at
// a time as each changes: the file keeps every other byte, and a change that leaves a value as it
// was writes nothing. Main thread only.
class TSettings : public QObject {
    Q_OBJECT
  public:
    explicit TSettings(SettingsPaths paths, QObject* parent = nullptr);

    const SettingsPaths& Paths() const { return paths_; }
    // The working folder's file can take writes; a file that cannot is reported at once.
    bool Writable() const;

    // As the file held them at start, or their defaults.
    WindowGeometry Geometry() const;
    bool Maximized() const;
    QString Port() const;
    QString SearchDelay() const;
    QString SearchBound() const;
    QString RecordInterval() const;
    // Only the low byte counts, as the file may hold anything.
    int Protocol() const;
    bool MarkersShown() const;
    QString BlueLevel() const;
    QString GreenLevel() const;

    void SetGeometry(const WindowGeometry& geometry);
    void SetMaximized(bool maximized);
    void SetPort(const QString& port);
    void SetSearchDelay(const QString& text);
    void SetSearchBound(const QString& text);
    void SetRecordInterval(const QString& text);
    // The protocol is kept in the program folder's file.
    void SetProtocol(int index);
    void SetMarkersShown(bool shown);
    void SetBlueLevel(const QString& text);
    void SetGreenLevel(const QString& text);

    // On unless the file says otherwise.
    bool VerifyWrites() const;
    QString ParamSetFolder() const;
    void SetVerifyWrites(bool verify);
    void SetParamSetFolder(const QString& folder);
    // Parameter sets kept per sensor; 20 unless the file says otherwise.
    int HistoryLimit() const;
    void SetHistoryLimit(int limit);

    // The traffic monitor's size and place; centred at 960 x 540 unless the file says otherwise.
    WindowGeometry TrafficMonitorGeometry() const;
    void SetTrafficMonitorGeometry(const WindowGeometry& geometry);

    // The stream chart's bottom axis in seconds, and its histogram: off unless the file says otherwise.
    bool StreamTimeAxis() const;
    bool StreamHistogram() const;
    void SetStreamTimeAxis(bool on);
    void SetStreamHistogram(bool on);

  signals:
    // A file the settings could not be written to; once for each file.
    void NotSaved(const QString& file);

  private:
    void Write(IniFile& file, const QString& section, const QString& key, const QString& value);

    SettingsPaths paths_;
    IniFile working_;
    IniFile program_;
    std::set<QString> reported_;
};
