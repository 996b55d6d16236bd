#pragma once
// How the receive path judged a frame it cut, and how a request's answer went.
#include <cstdint>

enum class TFrameStatus : std::uint8_t {
    Ok,        // a request that got its answer or awaits none; a reply, search answer or stream group
    Pending,   // a request whose answer is still awaited
    NoReply,   // a request given up without an answer; its ResponseUs says how long it was waited for
    Exception, // a Modbus exception reply, and the request it refused
    CrcError,  // Modbus bytes the length of a frame whose CRC does not check
    Unmatched, // a whole frame that answers no awaited request: another address, another layout
    Late,      // the answer to a request already given up
    Malformed, // the awaited sensor answered, but what it sent cannot be read; a bad stream group
    Noise,     // bytes that make no frame at all
};
