#pragma once
#include <cstddef>
#include <cstdint>

// CRC-16/MODBUS: init 0xFFFF, reflected polynomial 0xA001; sent low byte first.
std::uint16_t Crc16(const std::uint8_t* data, std::size_t size);
