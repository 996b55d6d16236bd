#pragma once
#include "operations/TWorkerThread.h"

class TForm1;

// Reads the latched result of every sensor found, in list order, each at its own line speed
// (operation 14); every reply adds a table row. The line then returns to the speed of the
// sensor chosen in the address box.
class TThread13 : public TWorkerThread {
  public:
    TThread13(TOperationThreads& threads, TForm1& form) : TWorkerThread(threads), form_(form) {}

  protected:
    void Execute() override;

  private:
    TForm1& form_;
};
