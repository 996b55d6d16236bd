#pragma once
#include "operations/TWorkerThread.h"

// Reads the selected sensor's latched result (operation 10); the reply adds a table row.
class TThread7 : public TWorkerThread {
  public:
    using TWorkerThread::TWorkerThread;

  protected:
    void Execute() override;
};
