#pragma once
// One page on its own, without the main window: a small host gives it the bus, the settings, an
// address box and the status bar, over the real driver and a simulated bus on a pseudo-terminal.
#include "bus/SensorBus.h"
#include "pages/PageHost.h"
#include "pages/SearchSort.h"
#include "settings/Settings.h"
#include "sim/SimBus.h"
#include "support/ModalBoxCloser.h"
#include <QLocale>
#include <QStringList>
#include <QTemporaryDir>
#include <QTest>
#include <QWidget>
#include <array>
#include <gtest/gtest.h>
#include <memory>
#include <utility>

// The window's side of the pages, as far as a page sees it. The address box is a list of texts
// with a chosen index, filled and emptied on the bus's reports as the window fills its own.
class TTestHost : public TPageHost {
  public:
    TTestHost(SettingsPaths paths, QString portPath);
    ~TTestHost() override;
    TTestHost(const TTestHost&) = delete;
    TTestHost& operator=(const TTestHost&) = delete;

    TSensorBus& Bus() override { return bus_; }
    TSettings& Settings() override { return settings_; }
    int SensorCount() const override { return static_cast<int>(addresses_.size()); }
    int SelectedIndex() const override { return selected_; }
    QString SelectedText() const override;
    TDevice* SelectedDevice() const override;
    void RenameSelected(const QString& text) override;
    void RenameEntry(const QString& from, const QString& to) override;
    void SetStatusText(int panel, const QString& text) override;
    QString StatusText(int panel) const override;
    void ShowReceiveError(const QString& text) override { SetStatusText(2, text); }
    QString PortPath() override { return portPath_; }

    // A new entry at its place in text order.
    void AddAddressItem(const QString& text);
    // The user picks the entry at index: the line takes its sensor's speed.
    void Choose(int index);
    const QStringList& Addresses() const { return addresses_; }

  private:
    TSensorBus bus_;
    TSettings settings_;
    QString portPath_;
    QStringList addresses_;
    int selected_ = -1;
    std::array<QString, 4> status_;
};

class PageOnBusTest : public ::testing::Test {
  protected:
    static constexpr int Address = 0x1A;
    static constexpr int LineSpeed = 115200;
    static constexpr double Range = 250.0;
    // Every result is 125 mm of the 250 mm range.
    static constexpr int Value = 25000;
    static constexpr int WindowWidth = 927;
    static constexpr int WindowHeight = 539;

    void SetUp() override;
    void TearDown() override;

    // A sensor on the simulated bus whose every result is Value; returns its index there.
    int AddSensor(int address, int speed);
    // The record of the sensor at Address as a finished search and identification leave it:
    // entry "26" chosen in the address box, the port open at LineSpeed.
    TDevice* ChooseFoundSensor();
    // The page alone, shown at the size the window gives its pages.
    template <class Page, class... Args> Page& MakePage(Args&&... args)
    {
        auto page = std::make_unique<Page>(*host, std::forward<Args>(args)...);
        Page& made = *page;
        page_ = std::move(page);
        made.resize(WindowWidth - 6, WindowHeight - 100);
        made.Layout(WindowWidth, WindowHeight);
        made.show();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(&made));
        return made;
    }

    // Waits, serving events, until pred holds; false after ms.
    template <class Pred> static bool WaitFor(Pred pred, int ms = 3000) { return QTest::qWaitFor(pred, ms); }
    // Waits until the bus takes operations again.
    bool WaitIdle(int ms = 3000) const;

    QTemporaryDir work;
    QTemporaryDir program;
    SimBus sim;
    std::unique_ptr<TTestHost> host;
    TSearchOrder order;

  private:
    QLocale savedLocale_;
    std::unique_ptr<ModalBoxCloser> closer_;
    std::unique_ptr<QWidget> page_;
};
