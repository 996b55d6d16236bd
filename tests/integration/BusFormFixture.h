#pragma once
// The real main window, offscreen, over settings in two fresh temporary folders, connected by
// the real driver to a simulated bus on a pseudo-terminal. The bus holds sensor 0x1A at 115200
// baud whose every result is 25000 with a range of 250 mm; the window holds its record as a
// finished bus search and identification leave it: address box entry "26" selected, line at
// 115200, pages enabled.
#include "app/Unit1.h"
#include "sim/SimBus.h"
#include <QElapsedTimer>
#include <QLocale>
#include <QString>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>
#include <memory>
#include <vector>

// Closes every modal message box that opens while it lives, by clicking its OK button, and
// remembers what each one showed.
class ModalCloser {
  public:
    explicit ModalCloser(const TForm1* form = nullptr);
    struct Seen {
        QString text;
        QString caption;
        qint64 atMs;    // since the closer was made
        QString panel0; // status panel 0 of the window while the box was open
    };
    const std::vector<Seen>& seen() const { return seen_; }

  private:
    void Poll();
    QTimer timer_;
    QElapsedTimer clock_;
    const TForm1* form_;
    std::vector<Seen> seen_;
};

class BusFormTest : public ::testing::Test {
  protected:
    static constexpr int LineSpeed = 115200;

    void SetUp() override;
    void TearDown() override;

    // Waits, serving events, until pred holds; false after ms.
    template <class Pred> static bool WaitFor(Pred pred, int ms = 3000) { return QTest::qWaitFor(pred, ms); }
    // Waits until the bus takes operations again.
    bool WaitIdle(int ms = 3000) const;
    // What the window's bus has received and not yet used.
    QByteArray Unused() const;
    // The frames the bus has taken from the program.
    std::vector<QByteArray> Heard() const { return bus.receivedFrames(); }
    // Switches the window to Modbus RTU as the user does.
    void SelectModbus();
    // The latch-table cell of data row dataRow (1 = first data row).
    QString LatchCell(int dataRow, int column) const;

    QTemporaryDir work;
    QTemporaryDir program;
    SimBus bus;
    int sensor = -1;
    std::unique_ptr<TForm1> form;
    TDevice* record = nullptr;

  private:
    QLocale savedLocale_;
};
