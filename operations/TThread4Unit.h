#pragma once
#include "operations/LiveWorkers.h"
#include "operations/TWorkerThread.h"
#include <QString>
#include <atomic>
#include <chrono>
#include <cstdint>

class TForm1;

// The address of the current search probe, read by the progress caption.
extern std::atomic<std::int32_t> ProbeAddress;

// The caption of the search progress bar before the probe of address at speed baud.
QString SearchProgressCaption(int address, int speed);

// One probe pass of the bus search (operation 12): switches the line to FSpeed, then probes
// every address from 1 to SearchRange, straight to the port and without the request token. The
// receive path turns each answer into a sensor record. A stop request ends the pass before its
// next address.
class TThread4 : public TWorkerThread {
  public:
    TThread4(TOperationThreads& threads, TForm1& form, std::int32_t Speed);

    const std::int32_t FSpeed;

    // Whether a probe worker made so far has not finished its body yet.
    static bool Running();

  protected:
    void Execute() override;

  private:
    static void KeepPreviousAnswerStart(int address);
    void WaitForLastAnswer(int address, std::chrono::milliseconds pause);

    TForm1& form_;
    TLiveMark live_;
};
