#pragma once
// The window "Журнал обмена": every frame the bus's line carried, filtered as the user asks, the
// link health of each sensor, the port's adapter, and the files a technician sends with a support
// request. A window of its own beside the main one, which owns it; it reads the bus on its thread.
#include "settings/Geometry.h"
#include "traffic/TrafficFilter.h"
#include <QRect>
#include <QWidget>
#include <functional>

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QTableView;
class QTableWidget;
class QTimer;
class TSensorBus;
class TSettings;
class TTrafficModel;

// The port as the main window names it: the port box's text and the device it opens.
struct TMonitorPort {
    QString Name;
    QString Path;
    bool Demo = false; // the built-in simulated bus
};

// One line on the port's adapter, for the monitor and the port box's tooltip: its path, driver and,
// for a USB adapter, ids and what the device says of itself.
QString PortDescription(const TMonitorPort& port);

// Where the monitor opens: the stored size fitted to the screen's free area, wholly on it; centred
// when no place is stored (CentredPosition). Pure, so that odd stored values are testable.
WindowGeometry PlaceMonitor(const WindowGeometry& stored, const QRect& available);

class TTrafficMonitor : public QWidget {
    Q_OBJECT
  public:
    // portOf: the port the window has chosen, asked when the monitor shows it.
    TTrafficMonitor(TSensorBus& bus, TSettings& settings, std::function<TMonitorPort()> portOf,
                    QWidget* parent);

    // Shows the monitor where it was last, or brings it to the front.
    void Open();
    // Into Settings.ini, as it closes and as the program closes.
    void SaveGeometry();

    TTrafficModel& Model() { return *model_; }
    // The filter the controls describe.
    TTrafficFilter FilterOfControls() const;

    QLineEdit* EditAddress;
    QComboBox* ComboDirection;
    QCheckBox* CheckErrorsOnly;
    QLineEdit* EditText;
    QPushButton* ButtonPause;
    QPushButton* ButtonClear;
    QPushButton* ButtonCopy;
    QPushButton* ButtonSave;
    QCheckBox* CheckSaveFiltered;
    QPushButton* ButtonReport;
    QTableView* TableTraffic;
    QTableWidget* TableHealth;
    QLabel* LabelPort;
    QLabel* LabelCounts;

  protected:
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    void ApplyFilter();
    void CopySelected();
    void SaveClick();
    void ReportClick();
    // The frames as text or CSV, all or the rows shown; a failure is told in a message box.
    bool SaveFrames(const QString& path, bool csv);
    void Refresh();
    void RefreshHealth();
    void RefreshPort();

    TSensorBus& bus_;
    TSettings& settings_;
    std::function<TMonitorPort()> portOf_;
    TTrafficModel* model_;
    QTimer* filterDelay_;
    QString portShown_;
    bool placed_ = false;
    bool followNewest_ = true;
};
