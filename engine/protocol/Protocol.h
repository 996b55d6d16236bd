#pragma once
#include <cstdint>

// The two link protocols; the values are those Settings.ini keeps.
enum class TProtocol : std::uint8_t { Standard = 0, Modbus = 1 };
