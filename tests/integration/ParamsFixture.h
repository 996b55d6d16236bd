#pragma once
// The parameters page over the simulated bus: reading, writing and the defaults as the user
// starts them, with the grid and radio groups at hand by row.
#include "BusFormFixture.h"
#include "params/ParamSet.h"

class ParamsBusTest : public BusFormTest {
  protected:
    QString Cell(int row) const;
    void SetCell(int row, const QString& text);
    TParamTexts Page() const;
    // Presses "Читать параметры" and waits until the page is filled and the launcher is free.
    bool Read();
    // Presses "Записать параметры" and waits for "Параметры записаны" and a free launcher.
    bool Write();
    // A second sensor on the bus and its record in the address box, selected, with the port at
    // its speed, as a search would have left it.
    TDevice* AddSelectedSensor(int address, int speed);
    // Waits until the launcher is free, also through the 6 s of a defaults watchdog.
    bool WaitIdleLong() const { return WaitIdle(8000); }
};

// The grid rows of a page, for comparing pages in one assertion.
std::vector<QString> RowsOf(const TParamTexts& page);
