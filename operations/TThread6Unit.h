#pragma once
#include "operations/TWorkerThread.h"

// Latches the selected sensor's current result (operation 9); the reply adds a table row.
class TThread6 : public TWorkerThread {
  public:
    using TWorkerThread::TWorkerThread;

  protected:
    void Execute() override;
};
