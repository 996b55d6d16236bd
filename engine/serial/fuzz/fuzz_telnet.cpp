// libFuzzer entry of the Telnet layer of gateway ports; the checks are in TelnetHarness.h.
#include "serial/fuzz/TelnetHarness.h"
#include <cstdio>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string failure = TelnetHarness::Run(data, size);
    if (!failure.empty()) {
        std::fprintf(stderr, "telnet check failed: %s\n", failure.c_str());
        std::abort();
    }
    return 0;
}
