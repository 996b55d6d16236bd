#pragma once
// The receive-path checks of the fuzz targets, as plain functions, so that a unit test can replay
// the checked-in inputs through exactly the same checks.
#include <cstddef>
#include <cstdint>
#include <string>

// Input: one byte of settings, one byte of pending Modbus requests, then chunks, each a length
// byte followed by that many bytes (the last chunk takes what is left); a length byte 0 repeats
// the previous chunk 40 times, enough to run any buffer past its cap. Only the first four such
// bytes repeat, later ones are skipped: a run of them would only make the input slow.
// Settings:
//   bit 0     unused: the protocol is the caller's (one fuzz target per protocol); the seed
//             files keep it set for Modbus so that they say which protocol they were made for
//   bit 1     a bus search runs
//   bit 2     the selected sensor streams
//   bits 3-4  address box: "26", "5", empty, "abc"
//   bit 5     a parameter write is under way whose sensor answers from 0x1C, an address no
//             record has, while the record selected in the address box carries its new address
// Pending requests, one bit each from bit 0: ExpectLastResult, ExpectSwitchResult, ExpectIdent,
// ExpectAllParams, ExpectFlags, WriteFlagsOnly.
namespace ReceiveHarness {

enum TProtocol : int { Standard = 0, Modbus = 1 };

// Registers the recording view, the log filter and handler and the locale for inputs of protocol.
// Call before the first input and whenever the protocol changes. Main thread only.
void Prepare(TProtocol protocol);

// Runs one input through the receive path in the prepared protocol. Empty when every check held,
// otherwise the first check that failed: a buffer past its bound, a view call out of range, a
// sensor list past its cap, a Modbus decoder failure or an exception out of the receive event.
std::string Run(const std::uint8_t* data, std::size_t size);

} // namespace ReceiveHarness
