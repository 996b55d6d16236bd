#pragma once
#include "operations/TWorkerThread.h"

// Switches the selected sensor on (operation 1); the decoder shows the result in status panel 0.
class Tthread1 : public TWorkerThread {
  public:
    using TWorkerThread::TWorkerThread;

  protected:
    void Execute() override;
};
