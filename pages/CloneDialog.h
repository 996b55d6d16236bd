#pragma once
// Cloning the parameters page's set onto sensors the search found: the user checks them, the
// bus writes the set to each in turn (each keeping its address and speed) and reads it back, and
// the report table says how each went. The report can be saved as text.
#include "bus/Operation.h"
#include <QDialog>
#include <functional>
#include <vector>

class QCheckBox;
class QComboBox;
class QLabel;
class QSpinBox;
class QListWidget;
class QProgressBar;
class QPushButton;
class QTableWidget;
class TDevice;
class TPageHost;

class TCloneDialog : public QDialog {
    Q_OBJECT
  public:
    // set: the page's parameters as registers; the address and line speed of each sensor replace
    // those of the set.
    // keep: called for each sensor that took the set, with the set as it now holds it.
    TCloneDialog(TPageHost& host, const TParamImage& set,
                 std::function<void(TDevice&, const TParamImage&)> keep, QWidget* parent = nullptr);

    void StartClick();
    void StopClick();
    void SaveReportClick();
    // The report as the saved file holds it: a header line, then one line per sensor.
    QStringList ReportLines() const;

    QListWidget* CloneSensors;
    // New addresses in a row from the first one, and one line speed for all; each sensor keeps
    // its own otherwise.
    QCheckBox* CheckBox_CloneAddresses;
    QSpinBox* SpinBox_CloneFirstAddress;
    QComboBox* ComboBox_CloneSpeed;
    QProgressBar* CloneProgress;
    QTableWidget* CloneReport;
    QPushButton* Button_CloneStart;
    QPushButton* Button_CloneStop;
    QPushButton* Button_CloneSave;
    QPushButton* Button_CloneClose;

  protected:
    void reject() override;

  private:
    void OnTargetFinished(int index, TDevice* device, const TOutcome& outcome);
    void OnFinished(TOperationCode code, const TOutcome& outcome);
    void SetRow(int row, const QString& result, const QString& differing);

    TPageHost& host_;
    TParamImage set_;
    std::function<void(TDevice&, const TParamImage&)> keep_;
    std::vector<TDevice*> targets_;
    std::vector<int> oldAddresses_;
    int finished_ = 0;
    bool running_ = false;
};
