#pragma once
#include "operations/TWorkerThread.h"
#include <chrono>

class TForm1;

// Reads every parameter of the selected sensor into the parameters page (operation 3).
class TTrdDevice : public TWorkerThread {
  public:
    TTrdDevice(TOperationThreads& threads, TForm1& form) : TWorkerThread(threads), form_(form) {}

  protected:
    void Execute() override;
    // The requests of a read in the current protocol, up to the handled reply of the last
    // register; false when the worker was stopped on the way.
    bool ReadParameters();
    // Main-thread call: the page shows the selected record. When the address box names no record
    // the controls are given back instead, since no timeout will follow.
    void FillSelected();
    // Main-thread call: status panel 1 shows "Чтение...".
    void ShowReading();
    TForm1& form_;
};

// The read could not start, or its worker could not go on: the controls it disabled are
// enabled, the grid is marked as not holding the selected sensor's parameters, the status text
// and the Modbus expectations are cleared.
void UndoParamReadStart(TForm1& form);

// Sleeps for span, in short steps so that a stop (the window closing) is not held up; false when
// the worker was stopped meanwhile.
bool PauseWorker(const TWorkerThread& worker, std::chrono::milliseconds span);
