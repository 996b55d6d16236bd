// libFuzzer entry of one receive-path target; VELTRANO_FUZZ_PROTOCOL (0 standard, 1 Modbus RTU)
// fixes the protocol. The input layout and the checks are in ReceiveHarness.h.
#include "protocol/fuzz/ReceiveHarness.h"
#include <cstdio>
#include <cstdlib>

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    ReceiveHarness::Prepare(static_cast<ReceiveHarness::TProtocol>(VELTRANO_FUZZ_PROTOCOL));
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string failure = ReceiveHarness::Run(data, size);
    if (!failure.empty()) {
        std::fprintf(stderr, "receive check failed: %s\n", failure.c_str());
        std::abort();
    }
    return 0;
}
