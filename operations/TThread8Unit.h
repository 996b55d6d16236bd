#pragma once
#include "operations/TWorkerThread.h"

// Reads the selected sensor's last result (operation 11); the reply adds a table row.
class TThread8 : public TWorkerThread {
  public:
    using TWorkerThread::TWorkerThread;

  protected:
    void Execute() override;
};
