#pragma once
// The sensor's stored parameters: 34 one-byte registers R01..R22, and the two Modbus views of the
// same bytes (the flag register 0x0000 and the 19-register block 0x0010..0x0022).
#include <array>
#include <cstdint>
#include <optional>

namespace SimReg {
// Register codes used by the firmware itself.
constexpr int Address = 0x01;
constexpr int PowerOnState = 0x02;
constexpr int AnalogOutput = 0x03;
constexpr int StreamAtPowerOn = 0x04;
constexpr int ExternalSync = 0x05;
constexpr int ByteFormat = 0x06;
constexpr int Uart = 0x07;
constexpr int PeriodLo = 0x08;
constexpr int PeriodHi = 0x09;
constexpr int ConstantLo = 0x0A;
constexpr int ConstantHi = 0x0B;
constexpr int FilterType = 0x0E;
constexpr int AveragePoints = 0x0F;
constexpr int ResultMode = 0x1E;
constexpr int ObjectType = 0x1F;
constexpr int CorrectionLo = 0x20;
constexpr int CorrectionHi = 0x21;
constexpr int CorrectionSign = 0x22;
constexpr int First = 0x01;
constexpr int Last = 0x22;
constexpr int Count = 34;
constexpr int ObjectTypeEdgeCount = 8; // the object type whose result is a count of edges
} // namespace SimReg

// Modbus exception codes the firmware answers with.
namespace SimModbusError {
constexpr int IllegalFunction = 1;
constexpr int IllegalAddress = 2;
constexpr int IllegalValue = 3;
constexpr int FlashWrite = 4;
constexpr int IllegalCount = 5;
constexpr int ReadOnly = 6;
constexpr int Reserved = 7;
} // namespace SimModbusError

// Line speed of a speed code 1..8, or 0 for any other code.
int simSpeedOfCode(int code);
// Speed code of a line speed, or 0 when the speed is not one of the eight.
int simCodeOfSpeed(int speed);

class SimRegisters {
  public:
    // Factory values for a sensor at `address` running at the line speed of `speedCode`.
    static SimRegisters factory(int address, int speedCode);

    std::uint8_t get(int code) const; // code 0x01..0x22
    void set(int code, std::uint8_t value);
    std::uint16_t pair(int loCode) const; // loCode and loCode + 1 as low and high byte

    // Whether `value` may be stored in the one-byte register `code` on its own. Registers that are
    // half of a 16-bit pair accept any byte, because the halves are written one after the other.
    static bool acceptsByte(int code, std::uint8_t value);

    // Restores the factory parameters, keeping the network address and the line speed.
    void restoreDefaults();

    // Modbus flag register: bit 0 power-on state, 1 analog output, 2 external sync,
    // 3 correction negative, 4 stream at power-on.
    std::uint16_t flags() const;
    // Returns an exception code, or nothing when the value was stored.
    std::optional<int> setFlags(std::uint16_t value);

    // Parameter block register 0x0010 + index, index 0..18.
    static constexpr int BlockFirst = 0x0010;
    static constexpr int BlockCount = 19;
    std::uint16_t blockRegister(int index) const;
    // Exception code for a value the register cannot take, or nothing.
    static std::optional<int> checkBlockValue(int index, std::uint16_t value);
    void setBlockRegister(int index, std::uint16_t value); // value already checked

  private:
    std::array<std::uint8_t, SimReg::Count> bytes_{};
};
