#pragma once
#include "operations/LiveWorkers.h"
#include "operations/TWorkerThread.h"

class TDevice;
class TForm1;

// The identification of the bus search (operation 13): every record found, in list order, is
// asked for its identification at its own line speed; the reply decoders store it in the record.
// The count is read once, at the start: the list no longer grows once the probes are over.
class TThread12 : public TWorkerThread {
  public:
    TThread12(TOperationThreads& threads, TForm1& form);

    // Whether an identification worker made so far has not finished its body yet.
    static bool Running();

  protected:
    void Execute() override;

  private:
    TForm1& form_;
    TLiveMark live_;
};
