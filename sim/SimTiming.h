#pragma once
// Character timing of the serial line: 1 start bit, 8 data bits, 1 stop bit.
#include <algorithm>
#include <cstdint>

inline std::int64_t simByteTimeUs(int speed)
{
    return speed > 0 ? (10'000'000 + speed - 1) / speed : 0;
}

// The silence that ends a Modbus RTU frame: 3.5 characters, at least 1.75 ms.
inline std::int64_t simSilenceUs(int speed)
{
    return std::max<std::int64_t>(1750, speed > 0 ? 35'000'000 / speed : 0);
}
