#pragma once
#include "operations/TWorkerThread.h"

// Switches the selected sensor off (operation 2); the decoder shows the result in status panel 0.
class TThread2 : public TWorkerThread {
  public:
    using TWorkerThread::TWorkerThread;

  protected:
    void Execute() override;
};
