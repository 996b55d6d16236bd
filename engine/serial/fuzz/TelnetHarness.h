#pragma once
// The checks of the Telnet fuzz target as a plain function, so that a unit test can replay the
// checked-in inputs through exactly the same checks.
#include <cstddef>
#include <cstdint>
#include <string>

namespace TelnetHarness {
// Input: one byte that picks where the bytes after it are cut into pieces, then the bytes a
// gateway sends. The bytes go to one client whole and to another in pieces; both must agree on
// the line's bytes, the answers, the COM port replies and the drops. Every answer is whole
// three-byte commands, no reply holds more than the limit, and the line's bytes escaped and fed
// back come out the same. Empty when all holds, else what failed.
std::string Run(const std::uint8_t* data, std::size_t size);
} // namespace TelnetHarness
