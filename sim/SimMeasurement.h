#pragma once
// What the sensor measures: the edges of an object moving slowly through the beam, as raw counts
// of 1/50000 of the measuring range.
#include "sim/SimRegisters.h"
#include "sim/SimTypes.h"

#include <cstdint>
#include <random>

struct SimResult {
    std::uint16_t raw = 0;
    bool edgeCount = false; // an "N" result: the number of edges seen, not a position
};

namespace SimRaw {
constexpr std::uint16_t FullScale = 50000;
constexpr std::uint16_t OutOfRange = 65535;
constexpr std::uint16_t NoResult = 65534;
constexpr std::uint16_t MaxEdgeCount = 9999; // four digits on the wire
} // namespace SimRaw

class SimMeasurement {
  public:
    explicit SimMeasurement(const SimSensorConfig& config);

    void setMode(SimMeasureMode mode, std::uint16_t value);
    void setRates(double outOfRange, double noResult);

    // Takes one result at `seconds` since power-up, as the parameters in `regs` ask for.
    SimResult take(const SimRegisters& regs, bool on, double seconds);

  private:
    std::uint16_t realisticPosition(const SimRegisters& regs, double seconds);
    int realisticEdgeCount();

    SimMeasureMode mode_;
    std::uint16_t value_;
    std::uint32_t counter_;
    double outOfRangeRate_;
    double noResultRate_;
    std::mt19937 random_;
};
