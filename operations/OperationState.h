#pragma once
// State the completion handler reads besides the link state: what a timed-out operation leaves
// behind for it to undo. Written by workers and the pages, hence atomics.
#include <atomic>

// A parameter write has been launched and has not yet reported success.
extern std::atomic<bool> WritePending;
// The running parameter write has had the new network address answered.
extern std::atomic<bool> AddressWritten;
// The result stream is on: its start request has been sent and it has not been stopped.
extern std::atomic<bool> StreamRunning;
