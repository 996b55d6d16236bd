#pragma once
#include "operations/TWorkerThread.h"

// Configures the selected sensor (operation 15); the decoder shows the result in status panel 0.
class TThread14 : public TWorkerThread {
  public:
    using TWorkerThread::TWorkerThread;

  protected:
    void Execute() override;
};
