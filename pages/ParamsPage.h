#pragma once
// The parameters page "Параметры датчика": the grid of the sensor's parameters and its option
// groups, read from the sensor, checked, written back, reset to the factory values and kept in
// the sensor's flash. It owns its controls, its handlers and what it knows of which sensor's
// parameters the grid holds.
#include "bus/Operation.h"
#include "params/ParamSet.h"
#include <QByteArray>
#include <QWidget>
#include <memory>
#include <optional>
#include <vector>

class QAction;
class QCheckBox;
class QGroupBox;
class QLabel;
class QPushButton;
class QScrollArea;
class TParamHistory;
class QTableWidget;
class TDevice;
class TPageHost;
class TRadioGroup;
struct TReplyNote;

class TParamsPage : public QWidget {
    Q_OBJECT
  public:
    explicit TParamsPage(TPageHost& host, QWidget* parent = nullptr);
    ~TParamsPage() override;

    // The grid's geometry in a window of width W and height H.
    void Layout(int W, int H);
    // The address box has chosen the entry at index: the hint tells whether the grid holds its
    // sensor's parameters.
    void AddressChosen(int index);

    void Button1Click();
    void Button4Click();
    void Button8Click();
    void Button15Click();
    // The page's set to a parameter-set file, and a file's set onto the page (nothing is sent).
    void SaveSetClick();
    void LoadSetClick();
    // The page against the chosen sensor, a set file, or another sensor (the page then shows the
    // chosen one); differing rows and groups are marked with the other value.
    void CompareWithSensorClick();
    void CompareWithFileClick();
    void CompareWithOtherClick();
    // The page's set onto sensors picked from those found, each read back, with a report.
    void CloneClick();
    // The chosen sensor's set from before its last write onto the page (nothing is sent).
    void RestorePreviousClick();
    // How many sets the history keeps per sensor.
    void HistoryLimitClick();
    // Shows the record's parameters on the page and marks the grid as holding that sensor's.
    void FillForm(const TDevice& record);
    // Checks the page before a write; on the first failing check its control gets the focus and
    // its message is shown. Stores the correction in the chosen record once the grid passes.
    bool Correct_Enter_Param();
    // The page as a write encodes it: the value column and the radio group indexes.
    TParamTexts ParamPageTexts() const;

    QPushButton* Button1;
    QPushButton* Button15;
    // The parameter-set menu and whether a write is read back and compared.
    QPushButton* Button_ParamSet;
    QAction* Action_SaveSet;
    QAction* Action_LoadSet;
    QAction* Action_CompareSensor;
    QAction* Action_CompareFile;
    QAction* Action_CompareOther;
    QAction* Action_Clone;
    QAction* Action_RestorePrevious;
    QAction* Action_HistoryLimit;
    QCheckBox* CheckBox_VerifyWrite;
    QPushButton* Button4;
    QPushButton* Button8;
    // The column of option groups below the buttons.
    QScrollArea* Options;
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

  protected:
    void resizeEvent(QResizeEvent* event) override;

  private:
    // The option column as tall as the page leaves it.
    void PlaceOptions();
    void CreateParamSetControls();
    // The texts and groups of a set on the page, as they are, without marking whose they are.
    void ShowTexts(const TParamTexts& texts);
    // The rows and groups whose values differ from other, marked; each mark names the other value.
    void MarkDifferences(const TParamTexts& other, const std::vector<TParam>& differing,
                         const QString& otherName);
    void ClearMarks();
    // A verified write whose read-back differs: the rows marked and listed in a message.
    void ReportWriteDifferences(const TOutcome& outcome);
    // The page's set as registers; nullopt, with the check's message shown, when the page fails
    // its checks.
    std::optional<TParamImage> CheckedPageImage();
    // Marks where other differs from the page and says how many differ.
    void ShowComparison(const TParamImage& page, const TParamImage& other, const QString& otherName);
    // A comparison that reads sensors: what to compare once the read is done.
    enum class TComparing { None, Sensor, Other };
    TComparing comparing_ = TComparing::None;
    bool FinishComparison(TOperationCode code, const TOutcome& outcome);
    TParamImage comparedPage_{};
    TDevice* comparedOther_ = nullptr;
    // Every successful read and write of a sensor, kept as a set file.
    void KeepInHistory(const TParamTexts& texts, bool written);
    std::unique_ptr<TParamHistory> history_;
    TParamTexts writtenTexts_;
    // The file dialog in the remembered folder; empty when the user cancelled.
    QString ChooseSetFile(bool save, const QString& suggested);
    void FillParamCaptions();
    void OnFinished(TOperationCode code, const TOutcome& outcome);
    void OnReplied(TDevice* device, const TReplyNote& note);
    // A read that did not fill the grid: it is marked as not loaded.
    void UndoParamReadStart();
    // A write that failed: the hint shown, and the address box back at the old address unless
    // the sensor took the new one.
    void RollBackParameterWrite(bool addressWritten);

    TPageHost& host_;
    // The address box text before the running parameter write.
    QString writeOldAddress_;
    // What the running verified write sends, as the sensor should hold it afterwards.
    TParamImage writtenImage_{};
    // The marked rows and groups.
    std::vector<int> markedRows_;
    std::vector<QWidget*> markedGroups_;
};
