#pragma once
#include "bus/Operation.h"
#include "pages/LatchPage.h"
#include "pages/PageHost.h"
#include "pages/ParamsPage.h"
#include "pages/SearchPage.h"
#include "pages/SearchSort.h"
#include "pages/StreamPage.h"
#include "pages/TrafficMonitor.h"
#include "settings/Settings.h"
#include <QByteArray>
#include <QMainWindow>
#include <cstdint>
#include <memory>

class QComboBox;
class QLabel;
class QPushButton;
class QTabWidget;
class QTimer;
class SimDemoBus;
class TCaptionProgressBar;
class TCommPortDriver;
class TDevice;
class TRadioGroup;
class TSensorBus;
class TStatusPanels;
class Tsplash;
struct TReplyNote;

// The port box entry behind which the built-in simulated bus runs.
inline const QString DemoPortName = QStringLiteral("DEMO");

// The main window: the top row (port, address box, protocol), the four pages, the status bar with
// the search's progress and the cover of the stream page, over one bus object. The pages own
// their controls and handlers; the window connects them to the bus and keeps the rules that span
// pages: which pages, boxes and choices an operation holds while it runs. Main thread only.
class TForm1 : public QMainWindow, public TPageHost {
    Q_OBJECT
  public:
    // Builds the window and runs the creation steps: port scan, the bus, the pages, settings.
    explicit TForm1(QWidget* parent = nullptr, SettingsPaths paths = DefaultSettingsPaths());
    ~TForm1() override;

    // Creates the cover of the stream page; the program does it right after the window.
    void CreateSplash();

    void FormResize();
    void FormConstrainedResize();
    void FormClose();
    void PageControl1Change();
    // Every page, box and choice usable again and status panels 0-2 empty, as a timeout leaves them.
    void ResetFormElements();
    void ActivateModbus();
    void ComboBox1Change();
    void ComboBox2Change();
    // The chosen address box entry takes text s and keeps its index.
    void UpdateComboBoxOfAdres(const QByteArray& s);
    // Adds an entry to the address box at its place in text order.
    void AddAddressItem(const QString& text);
    void FindCom();
    bool SetComPortSpeed(int Speed);
    // Port box text to the device path to open; "DEMO" starts the built-in simulated bus.
    QString ChoiceCOM(const QString& ComName);       // throws EConvertError
    TDevice* ChangeDevice(const QString& adr) const; // throws EConvertError
    TDevice* ChangeDeviceInt(int adr) const;
    std::uint8_t MyHex(const QByteArray& s) const;
    // Starts operation LThread on the sensor chosen in the address box unless the bus is busy or
    // has no such sensor; true when it started.
    bool LaunchThread(TOperationCode LThread);
    // Brings the window to the front on a second start of the program.
    void BringToFront();
    // Opens the traffic monitor, or brings it to the front; made at its first opening.
    void ShowTrafficMonitor();
    TTrafficMonitor* TrafficMonitor() const { return monitor_; }

    void RadioGroup_protocol_obmClick();
    void ShowSplash();
    void HideSplash();
    void TabSheet2Resize();

    // TPageHost
    TSensorBus& Bus() override { return *bus_; }
    const TSensorBus& Bus() const { return *bus_; }
    TSettings& Settings() override { return *settings_; }
    int SensorCount() const override;
    int SelectedIndex() const override;
    QString SelectedText() const override;
    TDevice* SelectedDevice() const override;
    void RenameSelected(const QString& text) override;
    void RenameEntry(const QString& from, const QString& to) override;
    void SetStatusText(int panel, const QString& text) override;
    QString StatusText(int panel) const override;
    void ShowReceiveError(const QString& text) override;
    QString PortPath() override;

    const SettingsPaths& Paths() const { return settings_->Paths(); }
    // The search list's sort, which the latch page's broadcasts follow.
    TSearchOrder& SearchOrder() { return searchOrder_; }
    bool FormCreating = true;

    QLabel* Label24;
    QComboBox* ComboBox2;
    QLabel* Label3;
    QComboBox* ComboBox1;
    TRadioGroup* RadioGroup_protocol_obm;
    QPushButton* ButtonTrafficMonitor;
    QTabWidget* PageControl1;
    TSearchPage* TabSheet1;
    TParamsPage* TabSheet5;
    TStreamPage* TabSheet2;
    TLatchPage* TabSheet3;
    TStatusPanels* StatusBar1;
    TCaptionProgressBar* QProgressBar1;
    // Clears status panel 2 when it fires.
    QTimer* Timer3;
    // The bus's port driver; the bus owns it.
    TCommPortDriver* CommPortDriver1;
    Tsplash* splash = nullptr;

  protected:
    void resizeEvent(QResizeEvent* event) override;
    void moveEvent(QMoveEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    void CreateTopRow();
    void CreatePages();
    void FormCreate();
    void ApplySettings();
    void PlaceSplash();
    void ReportDeniedPorts(const QStringList& denied);
    // Tells the user, once and without a modal box, that settings in file are not being kept.
    void NoteUnsavedSettings(const QString& file);

    // What the bus reports that spans pages.
    void OnStarted(TOperationCode code);
    void OnFinished(TOperationCode code, const TOutcome& outcome);
    void OnReplied(TDevice* device, const TReplyNote& note);
    void OnSearchProgress(int address, int speed, int range);
    void OnSearchPassesDone(int found);
    void OnDevicesCleared();
    void EndSearch(const TOutcome& outcome);
    // The page control, the address box and the protocol choice usable again, as a parameter
    // operation or a reset to defaults leaves them.
    void EnableAfterWrite();
    void EnableAfterStream();
    void Timer3Timer();
    // The port the box names, and the port the bus has open (the box's while none is).
    TMonitorPort ChosenPort() const;
    TMonitorPort PortInUse() const;

    std::unique_ptr<TSettings> settings_;
    TSearchOrder searchOrder_;
    std::unique_ptr<SimDemoBus> demoBus_;
    TSensorBus* bus_ = nullptr;
    TTrafficMonitor* monitor_ = nullptr;
    bool deniedPortsReported_ = false;
    bool unsavedSettingsNoted_ = false;
};
