#pragma once
#include "app/IniFile.h"
#include "app/Settings.h"
#include "bus/Operation.h"
#include "pages/LatchColumns.h"
#include "protocol/ReceivePath.h"
#include <QByteArray>
#include <QCursor>
#include <QMainWindow>
#include <QPoint>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

class QCheckBox;
class SimDemoBus;
class QComboBox;
class QCPGraph;
class QCustomPlot;
class QGroupBox;
class QLabel;
class QLineEdit;
class QMouseEvent;
class QPushButton;
class QScrollBar;
class QTabWidget;
class QTableWidget;
class QTimer;
class QTreeWidget;
class QUrl;
class TCaptionProgressBar;
class TCommPortDriver;
class TDevice;
class TSensorBus;
struct TParamTexts;
struct TSampleBatch;
class TRadioGroup;
class TStatusPanels;
class TStreamChart;
class TStreamRecorder;
class Tsplash;

// The port box entry behind which the built-in simulated bus runs.
inline const QString DemoPortName = QStringLiteral("DEMO");

// The line speeds at which latch-all broadcasts, given the sensors' speeds in ascending order:
// each distinct speed once when there are at least two sensors on more than one speed; none
// otherwise, which means one broadcast at the current line speed.
std::vector<int> LatchAllSpeeds(const std::vector<int>& ascendingSpeeds);

// What to tell a user who may not open path: the device and the group that may, e.g.
// "Нет доступа к /dev/ttyUSB0: добавьте пользователя в группу dialout".
QString DeniedPortHint(const QString& path);

// The main window over one bus object. It owns every control and its timers; its handlers live
// beside the page they belong to (pages/*.cpp) or in app/ for the shell. The bus runs the
// operations; the window starts them and shows what they report. Main thread only.
class TForm1 : public QMainWindow {
    Q_OBJECT
  public:
    // Builds the window and runs the creation steps: port scan, the bus, settings.
    explicit TForm1(QWidget* parent = nullptr, SettingsPaths paths = DefaultSettingsPaths());
    ~TForm1() override;

    // Creates the cover of the stream page; the program does it right after the window.
    void CreateSplash();

    // ---- shell (app/Unit1.cpp) ----
    void FormResize();
    void FormConstrainedResize();
    void FormClose();
    void PageControl1Change();
    void ResetFormElements();
    void ActivateModbus();
    void ComboBox1Change();
    void UpdateComboBoxOfAdres(const QByteArray& s);
    // Adds an entry to the address box at its place in text order.
    void AddAddressItem(const QString& text);
    void LabeledEdit_RecordThrdChange();
    void ComboBox2Change();
    void FindCom();
    bool SetComPortSpeed(int Speed);
    // Port box text to the device path to open; "DEMO" starts the built-in simulated bus.
    QString ChoiceCOM(const QString& ComName); // throws EConvertError
    TDevice* ChangeDevice(const QString& adr) const; // throws EConvertError
    TDevice* ChangeDeviceInt(int adr) const;
    // The record of the address box entry; nullptr when its text is no number or names none.
    TDevice* SelectedDevice() const;
    std::uint8_t MyHex(const QByteArray& s) const;
    void SetStatusText(int panel, const QString& text);
    QString StatusText(int panel) const;
    // Cursor number 1 is "PLUS", 2 is "MINUS"; any other number is the arrow.
    QCursor RegisteredCursor(int number) const;
    // Brings the window to the front on a second start of the program.
    void BringToFront();

    // ---- protocol selector and cover (app/ProtocolSelection.cpp) ----
    void RadioGroup_protocol_obmClick();
    void ShowSplash();
    void HideSplash();
    void TabSheet2Resize();

    // ---- search page (pages/SearchPage.cpp) ----
    void Edit1Change();
    void Edit2Change();
    void Button3Click();
    void Button2Click();
    void Button12Click();
    void Button5Click();
    // One row per sensor record, in the order of Devices; the list is not cleared first.
    void AddIDInfo();
    void ListView1ColumnClick(int Column);
    // Rebuilds SortOrder for SortColumn; needs at least one record.
    void Sort();
    // True when S1 ranks above S2: the longer string, else the higher byte at the first difference.
    static bool CompareString(const QByteArray& S1, const QByteArray& S2);
    // The sort state of the result list, kept for the whole run; the latch page sorts by speed too.
    std::int32_t SortColumn = -1;
    bool SortAscending = false;
    std::vector<std::int32_t> SortOrder;
    // Ends a search that lists nothing (none found, or it could not go on): the search controls
    // are usable again, the other three pages stay as the search left them.
    void EndSearchWithoutList(const QString& status);

    // ---- parameters page (pages/ParamsPage.cpp) ----
    void Button1Click();
    void Button4Click();
    void Button8Click();
    void Button15Click();
    // Shows the record's parameters on the page and marks the grid as holding that sensor's.
    void FillForm(const TDevice& record);
    // Checks the page before a write; on the first failing check its control gets the focus and
    // its message is shown. Stores the correction in the selected record once the grid passes.
    bool Correct_Enter_Param();
    // The page as a write encodes it: the value column and the radio group indexes.
    TParamTexts ParamPageTexts() const;
    // The page control and the address box usable again, as a read, a write or a save to flash
    // that ended leaves them.
    void EnableAfterWrite();
    // A read that did not fill the grid: the controls back, the grid marked as not loaded.
    void UndoParamReadStart();
    // A write that failed: the hint shown, and the address box back at the old address unless
    // the sensor took the new one.
    void RollBackParameterWrite(bool addressWritten);

    // ---- latch page (pages/LatchPage.cpp) ----
    void Button9Click();
    void Button10Click();
    void Button11Click();
    void Button_LatchAllClick();
    void Button_ReadAllLanchClick();
    void Button_ClearTableClick();
    void BitBtn_ExcelClick();
    void BitBtn_TXTClick();
    // Opens an exported file in the desktop's default application; false when none took it.
    // Tests put their own here, so that no application starts.
    std::function<bool(const QUrl&)> OpenDocument;

    // ---- operations (app/Launcher.cpp, pages/SearchPage.cpp) ----
    // Starts operation LThread on the sensor chosen in the address box unless the bus is busy or
    // has no such sensor; true when it started. A refused launch shows nothing.
    bool LaunchThread(TOperationCode LThread);
    // What every operation's end does to the window; main thread.
    void LaunchTreadOnTerminate(TOperationCode code, const TOutcome& outcome);
    // The steps of the bus search after the probe passes and after the identification.
    void NextSpeedStep(int found);
    void EndOfSearchStep(const TOutcome& outcome);

    // ---- what the bus reports (app/LinkWiring.cpp) ----
    // A new latch-table row by the row template: counter, addressNumber in decimal (only the
    // blanks when it is -1), time, text in column and the other result columns emptied; the row
    // becomes current.
    void AddLatchRow(int addressNumber, TLatchColumn column, const QString& text);
    // Timer3, which clears status panel 2 when it fires.
    void StartErrorClear();
    void EnableAfterDefaults();
    void Timer3Timer();
    void UpdateAfterStopThread();

    // ---- stream page (pages/StreamPage.cpp, pages/StreamChartMouse.cpp) ----
    void Button6Click();
    void Button7Click();
    void Timer2Timer();
    void CheckBox_RecordThrdClick();
    void CheckBox2Click();
    void Edit4Change();
    void Edit5Change();
    void Chart1MouseDown(QMouseEvent* event);
    void Chart1MouseMove(QMouseEvent* event);
    void Chart1MouseUp(QMouseEvent* event);
    void CursorPlusMinus(Qt::MouseButton Button, int X, int Y, bool DownMove);
    void MouseCross(const QString& NChart, Qt::KeyboardModifiers Shift, Qt::MouseButtons Buttons, int X, int Y);
    void DrawCross1(int X, int Y, double Value);
    void Chart1Zoom();
    void Chart1UndoZoom();
    void Chart1Scroll();
    void ScrollBar1Scroll();
    void OperScroll();
    // Series1 emptied with its gap heights, as a new stream begins.
    void ClearStreamChart();
    TStreamChart& StreamChart() { return *streamChart_; }
    bool UndoZoomPending = false;
    std::int32_t VisibleSpan = 0;
    bool ZoomDragging = false;
    bool PressOutsideChart = false;
    std::int32_t DragStartX = 0;
    std::int32_t DragStartY = 0;

    const SettingsPaths& Paths() const { return paths_; }
    TSensorBus& Bus() { return *bus_; }
    const TSensorBus& Bus() const { return *bus_; }
    bool FormCreating = true;

    // Top row.
    QLabel* Label24;
    QComboBox* ComboBox2;
    QLabel* Label3;
    QComboBox* ComboBox1;
    TRadioGroup* RadioGroup_protocol_obm;
    QTabWidget* PageControl1;
    QWidget* TabSheet1;
    QWidget* TabSheet5;
    QWidget* TabSheet2;
    QWidget* TabSheet3;
    TStatusPanels* StatusBar1;
    TCaptionProgressBar* QProgressBar1;
    QTimer* Timer2;
    QTimer* Timer3;
    // The bus's port driver; the bus owns it.
    TCommPortDriver* CommPortDriver1;
    Tsplash* splash = nullptr;

    // "Найти датчик".
    QPushButton* Button5;
    QPushButton* Button3;
    QPushButton* Button2;
    QPushButton* Button12;
    QGroupBox* GroupBox1;
    QLabel* Label12;
    QLineEdit* Edit1;
    QLabel* Label26;
    QLabel* Label14;
    QLineEdit* Edit2;
    QTreeWidget* ListView1;

    // "Параметры датчика".
    QPushButton* Button1;
    QPushButton* Button15;
    QPushButton* Button4;
    QPushButton* Button8;
    QGroupBox* GroupBox2;
    TRadioGroup* RadioGroup1;
    TRadioGroup* RadioGroup2;
    TRadioGroup* RadioGroup6;
    TRadioGroup* RadioGroup5;
    QTableWidget* KGrid1;
    QLabel* Label_Hint;
    // Whether the grid holds valid parameters of the address box entry at each index.
    std::vector<bool> ParamsLoaded;
    int ParamsShownIndex = -1;

    // "Поток результатов".
    QPushButton* Button6;
    QPushButton* Button7;
    QLabel* Label4;
    QLabel* Label5;
    QLabel* LabeledEdit_RecordThrdLabel;
    QLineEdit* LabeledEdit_RecordThrd;
    QCheckBox* CheckBox_RecordThrd;
    QCheckBox* CheckBox2;
    QLineEdit* Edit4;
    QLineEdit* Edit5;
    QCustomPlot* Chart1;
    QCPGraph* Series1;
    QCPGraph* Series2;
    QCPGraph* Series3;
    QScrollBar* ScrollBar1;

    // "Защёлкивание результата".
    QPushButton* Button9;
    QPushButton* Button10;
    QPushButton* Button11;
    QPushButton* Button_LatchAll;
    QPushButton* Button_ReadAllLanch;
    QTableWidget* StringGrid1;
    QPushButton* Button_ClearTable;
    QPushButton* BitBtn_Excel;
    QPushButton* BitBtn_TXT;
    std::int32_t CountRowTable = 0;

  protected:
    void resizeEvent(QResizeEvent* event) override;
    void moveEvent(QMoveEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    void FormCreate();
    void CreateTopRow();
    void CreateSearchPage();
    void CreateParamsPage();
    void CreateStreamPage();
    void CreateLatchPage();
    void FillParamCaptions();
    void ApplySettings(IniFile& ini);
    void LayoutSearchPage(int W, int H);
    void LayoutStreamPage(int W, int H);
    void LayoutLatchPage(int W, int H);
    void PlaceSplash();
    void SetMarker(QCPGraph* series, QLineEdit* edit, const QString& key);
    // The left axis labels and increment for its current range.
    void LeftAxisLabelRule();
    // Panning with the right button once the stream has stopped.
    void PanChart(const QPoint& to);
    // Launches the stop again as soon as the bus takes it, without blocking.
    void RetryStreamStop();
    // Key filter of the marker edits: a typed "." becomes ",".
    bool CorreciaVvoda(QObject* edit, QEvent* event);
    void ReportDeniedPorts(const QStringList& denied);
    // Writes one key of the working-directory file; a failure is shown by NoteUnsavedSettings.
    void WriteSetting(const QString& section, const QString& key, const QString& value);
    // Tells the user, once and without a modal box, that settings in file are not being kept.
    void NoteUnsavedSettings(const QString& file);
    // Connects what the bus reports to the window, and the window's timers.
    void WireLink();
    void OnSensorReplied(TDevice* device, const TReplyNote& note);
    void OnStreamSamples(TDevice* device, const TSampleBatch& batch);
    void OnReceiveError(TReceiveError error);
    void OnProgress(TOperationCode code, TProgress step);
    void OnSearchProgress(int address, int speed, int range);

    SettingsPaths paths_;
    QCursor cursorPlus_;
    QCursor cursorMinus_;
    bool deniedPortsReported_ = false;
    bool unsavedSettingsNoted_ = false;
    std::unique_ptr<SimDemoBus> demoBus_;
    TSensorBus* bus_ = nullptr;
    TStreamChart* streamChart_ = nullptr;
    TStreamRecorder* streamRecorder_ = nullptr;
    QTimer* streamStopRetry_ = nullptr;
    bool chartPanning_ = false;
    bool recordRefused_ = false;
    std::optional<QPoint> panFrom_;
    bool scrollSync_ = false;
    // The address box text before the running parameter write.
    QByteArray writeOldAddress_;
};
