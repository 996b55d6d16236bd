#pragma once
#include "operations/TWorkerThread.h"

class TForm1;

// Stores the selected sensor's parameters in its flash memory (operation 6). Its finishing step
// is the only success signal: no decoder shows anything for the echo.
class TThread11 : public TWorkerThread {
  public:
    TThread11(TOperationThreads& threads, TForm1& form) : TWorkerThread(threads), form_(form) {}

  protected:
    void Execute() override;

  private:
    TForm1& form_;
};

// The save to flash could not start: the page control, the address box and the protocol
// selector that its button disabled are enabled again and its status text is cleared.
void UndoSaveToFlashStart(TForm1& form);
