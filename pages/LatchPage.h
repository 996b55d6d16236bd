#pragma once
// The latch page "Защёлкивание результата": latching and reading back the chosen sensor's result
// or every sensor's, the table of what came back, and its export to a workbook or a text file.
// It owns its controls, its handlers and the table.
#include "bus/Operation.h"
#include "pages/LatchColumns.h"
#include <QWidget>
#include <cstdint>
#include <functional>
#include <vector>

class QPushButton;
class QTableWidget;
class QUrl;
class TDevice;
class TPageHost;
struct TReplyNote;
struct TSearchOrder;

// The line speeds at which latch-all broadcasts, given the sensors' speeds in ascending order:
// each distinct speed once when there are at least two sensors on more than one speed; none
// otherwise, which means one broadcast at the current line speed.
std::vector<int> LatchAllSpeeds(const std::vector<int>& ascendingSpeeds);

class TLatchPage : public QWidget {
    Q_OBJECT
  public:
    // order: the search list's sort, which latch-all leaves sorted by speed; programDir: where
    // the exported files go.
    TLatchPage(TPageHost& host, TSearchOrder& order, const QString& programDir, QWidget* parent = nullptr);

    // The table's and the export buttons' geometry in a window of width W and height H.
    void Layout(int W, int H);

    void Button9Click();
    void Button10Click();
    void Button11Click();
    void Button_LatchAllClick();
    void Button_ReadAllLanchClick();
    void Button_ClearTableClick();
    void BitBtn_ExcelClick();
    void BitBtn_TXTClick();
    // A new table row: counter, addressNumber in decimal (only the blanks when it is -1), time,
    // text in column and the other result columns emptied; the row becomes current.
    void AddLatchRow(int addressNumber, TLatchColumn column, const QString& text);

    // Opens an exported file in the desktop's default application; false when none took it.
    // Tests put their own here, so that no application starts.
    std::function<bool(const QUrl&)> OpenDocument;

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

  private:
    void OnFinished(TOperationCode code, const TOutcome& outcome);
    void OnReplied(TDevice* device, const TReplyNote& note);
    void StartOnSelected(TOperationCode code);

    TPageHost& host_;
    TSearchOrder& order_;
    QString programDir_;
};
