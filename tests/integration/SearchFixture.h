#pragma once
// The real main window, offscreen, with the port box naming a simulated bus on a pseudo-terminal
// and nothing found yet: the state in which a user starts a bus search.
#include "BusFormFixture.h"
#include "app/Unit1.h"
#include "sim/SimBus.h"
#include <QLocale>
#include <QStringList>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <initializer_list>
#include <memory>

class SearchBusTest : public ::testing::Test {
  protected:
    void TearDown() override;

    // Starts the bus with these sensors and opens the window with the bus's port in the port box.
    void StartBus(std::initializer_list<SimSensorConfig> sensors);
    static SimSensorConfig Sensor(int address, int speed, const char* model = "VLT", std::int32_t serial = 1);
    // Types the two search parameters into their boxes.
    void SetSearchParameters(const QString& delay, const QString& range);
    void SelectModbus();
    // Clicks the search button and waits until the search has released the launcher.
    bool RunSearch(int ms);
    bool WaitIdle(int ms) const;
    QStringList AddressItems() const;
    QStringList ListColumn(int column) const;

    QTemporaryDir work;
    QTemporaryDir program;
    SimBus bus;
    std::unique_ptr<TForm1> form;

  private:
    QLocale savedLocale_;
};
