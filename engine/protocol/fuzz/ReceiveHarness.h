#pragma once
// The receive-path checks of the fuzz targets, as plain functions, so that a unit test can replay
// the checked-in inputs through exactly the same checks.
#include <cstddef>
#include <cstdint>
#include <string>

// Input: one byte of settings, one byte naming the awaited request, then chunks, each a length
// byte followed by that many bytes (the last chunk takes what is left); a length byte 0 repeats
// the previous chunk 40 times, enough to run any buffer past its cap. Only the first four such
// bytes repeat, later ones are skipped: a run of them would only make the input slow.
// Settings:
//   bit 0     unused: the protocol is the caller's (one fuzz target per protocol); the seed
//             files keep it set for Modbus so that they say which protocol they were made for
//   bit 1     a bus search runs
//   bit 2     the first sensor (1A) streams
//   bits 3-4  unused: they once picked the address box text, which the receive path no longer
//             reads
//   bit 5     a parameter write is awaited whose sensor answers from 0x1C, an address no record
//             has: standard, the write of the new address 1C to sensor 1A; Modbus, the flag write
//             when bit 5 of the request byte is set, otherwise the block write, both to 0x1C
// Awaited request, from sensor 1A: the lowest set bit names it, none when no bit is set.
//   bit 0  the last result         bit 3  Modbus: the parameter block; standard: register 0A
//   bit 1  the latched result      bit 4  Modbus: the flag register; standard: the switch-on echo
//   bit 2  the identification      bit 5  Modbus: the flag write; standard: the stream stop
// Bits 6-7 are unused. Once the awaited request is answered or refused, the same request goes
// out again before the next chunk, as an operation polling its sensor would send it.
namespace ReceiveHarness {

enum TProtocol : int { Standard = 0, Modbus = 1 };

// Installs the log filter and handler for inputs of protocol. Call before the first input and
// whenever the protocol changes. One thread only.
void Prepare(TProtocol protocol);

// Runs one input through a new receive path in the prepared protocol. Empty when every check
// held, otherwise the first check that failed: a buffer past its bound, a sensor list past its
// cap, an exception out of the receive path, a report that breaks the path's promises (a request
// completed that was not awaited or still pending, a sample out of range, a record from no
// answer) or a record field that is no finite number.
std::string Run(const std::uint8_t* data, std::size_t size);

} // namespace ReceiveHarness
