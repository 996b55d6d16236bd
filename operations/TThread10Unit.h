#pragma once
#include "operations/TWorkerThread.h"

class TForm1;

// Asks the selected sensor to stop its stream (operation 8) and arms Timer2, which confirms the
// stop by the samples no longer coming.
class TThread10 : public TWorkerThread {
  public:
    TThread10(TOperationThreads& threads, TForm1& form) : TWorkerThread(threads), form_(form) {}

  protected:
    void Execute() override;

  private:
    TForm1& form_;
};
