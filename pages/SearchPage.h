#pragma once
// The search page "Найти датчик": the bus search with its parameters and the list of the sensors
// it found, and the buttons that switch the chosen sensor. It owns its controls, its handlers and
// its two settings.
#include "bus/Operation.h"
#include "pages/SearchSort.h"
#include <QWidget>

class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QTreeWidget;
class TDevice;
class TPageHost;
struct TReplyNote;

class TSearchPage : public QWidget {
    Q_OBJECT
  public:
    // order: the sort of the result list, shared with whoever else follows it.
    TSearchPage(TPageHost& host, TSearchOrder& order, QWidget* parent = nullptr);

    // The parameters as the settings keep them.
    void ApplySettings();
    // The list's geometry in a window of width W and height H.
    void Layout(int W, int H);

    void Edit1Change();
    void Edit2Change();
    void Button3Click();
    void Button2Click();
    void Button12Click();
    void Button5Click();
    // One row per sensor record, in list order; the list is not cleared first.
    void AddIDInfo();
    void ListView1ColumnClick(int Column);
    // Rebuilds the sort order for the sort column; needs at least one record.
    void Sort();
    // True when S1 ranks above S2: the longer string, else the higher byte at the first difference.
    static bool CompareString(const QByteArray& S1, const QByteArray& S2);

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

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    void OnStarted(TOperationCode code);
    void OnFinished(TOperationCode code, const TOutcome& outcome);
    void OnReplied(TDevice* device, const TReplyNote& note);
    // The search ends listing nothing: the search button is usable again.
    void EndWithoutList(const QString& status);
    void SwitchButtonClick(TOperationCode code);

    TPageHost& host_;
    TSearchOrder& order_;
};
