#pragma once
#include "operations/TWorkerThread.h"

class TForm1;

// Starts the selected sensor's result stream (operation 7). The stream has no echo: once the
// request is out the page counts as running and the worker ends.
class TThread5 : public TWorkerThread {
  public:
    TThread5(TOperationThreads& threads, TForm1& form) : TWorkerThread(threads), form_(form) {}

  protected:
    void Execute() override;

  private:
    TForm1& form_;
};
