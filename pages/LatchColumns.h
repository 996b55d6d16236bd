#pragma once

// The latch-table columns a reply fills; the other two result columns of its row stay empty.
enum TLatchColumn : int {
    LatchConfirmColumn = 3, // latch confirmations
    LatchReadColumn = 4,    // values read back from the latch
    LastResultColumn = 5,   // last results
};
