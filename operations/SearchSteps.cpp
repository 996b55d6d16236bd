#include "app/Unit1.h"
#include "protocol/LinkState.h"

// After each probe pass: the bus search chains its next pass here. It must release the launcher
// itself; until the search is built no probe pass runs, and this only releases it.
void TForm1::NextSpeedStep()
{
    OperationRunning = false;
}

// After the identification: the bus search lists what it found here.
void TForm1::EndOfSearchStep([[maybe_unused]] bool OutOfSignal) {}
