#include "sim/SimMeasurement.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace {

constexpr int kResultMidpoint = 0; // R = (A+B)/2; 1 is R = |A-B|
constexpr int kFirstEdgeOnly = 6;
constexpr int kLastEdgeOnly = 7;

double wave(double seconds, double periodSeconds, double phase = 0.0)
{
    return std::sin(2.0 * std::numbers::pi * seconds / periodSeconds + phase);
}

std::uint16_t clampRaw(double raw)
{
    return static_cast<std::uint16_t>(std::clamp(std::lround(raw), 0L, long{SimRaw::FullScale}));
}

} // namespace

SimMeasurement::SimMeasurement(const SimSensorConfig& config)
    : mode_(config.mode), value_(config.value), counter_(config.value),
      outOfRangeRate_(config.outOfRangeRate), noResultRate_(config.noResultRate),
      random_(static_cast<std::uint32_t>(config.serial) * 2654435761u +
              static_cast<std::uint32_t>(config.address))
{
}

void SimMeasurement::setMode(SimMeasureMode mode, std::uint16_t value)
{
    mode_ = mode;
    value_ = value;
    counter_ = value;
}

void SimMeasurement::setRates(double outOfRange, double noResult)
{
    outOfRangeRate_ = outOfRange;
    noResultRate_ = noResult;
}

SimResult SimMeasurement::take(const SimRegisters& regs, bool on, double seconds)
{
    const bool edgeCount = regs.get(SimReg::ObjectType) == SimReg::ObjectTypeEdgeCount;
    const std::uint32_t wrap = edgeCount ? SimRaw::MaxEdgeCount + 1u : SimRaw::FullScale;
    switch (mode_) {
    case SimMeasureMode::Counter: {
        const auto raw = static_cast<std::uint16_t>(counter_ % wrap);
        ++counter_;
        return {raw, edgeCount};
    }
    case SimMeasureMode::Fixed:
        return {edgeCount ? static_cast<std::uint16_t>(value_ % wrap) : value_, edgeCount};
    case SimMeasureMode::Realistic:
        break;
    }
    if (!on)
        return {SimRaw::NoResult, false};
    std::uniform_real_distribution<double> chance(0.0, 1.0);
    const double roll = chance(random_);
    if (roll < outOfRangeRate_)
        return {SimRaw::OutOfRange, false};
    if (roll < outOfRangeRate_ + noResultRate_)
        return {SimRaw::NoResult, false};
    if (edgeCount)
        return {static_cast<std::uint16_t>(realisticEdgeCount()), true};
    return {realisticPosition(regs, seconds), false};
}

std::uint16_t SimMeasurement::realisticPosition(const SimRegisters& regs, double seconds)
{
    // An object about a sixth of the range wide drifts slowly around the middle of the beam; the
    // noise shrinks with the number of averaged points as on the real optics.
    const double centre = 25000.0 + 6000.0 * wave(seconds, 23.0) + 1500.0 * wave(seconds, 3.7, 1.0);
    const double width = 8000.0 + 500.0 * wave(seconds, 31.0);
    const double points = std::max<double>(1.0, regs.get(SimReg::AveragePoints));
    const double sigma = regs.get(SimReg::FilterType) == 0 ? 15.0 / std::sqrt(points) : 6.0;
    std::normal_distribution<double> noise(0.0, sigma);
    const double first = centre - width / 2.0 + noise(random_);
    const double last = centre + width / 2.0 + noise(random_);

    double result = 0.0;
    switch (regs.get(SimReg::ObjectType)) {
    case kFirstEdgeOnly:
        result = first;
        break;
    case kLastEdgeOnly:
        result = last;
        break;
    default:
        result =
            regs.get(SimReg::ResultMode) == kResultMidpoint ? (first + last) / 2.0 : std::abs(last - first);
        break;
    }
    const int correction = regs.pair(SimReg::CorrectionLo);
    result += regs.get(SimReg::CorrectionSign) != 0 ? -correction : correction;
    return clampRaw(result);
}

int SimMeasurement::realisticEdgeCount()
{
    // Two edges of the object, now and then a speck of dust adds one.
    std::uniform_int_distribution<int> speck(0, 49);
    return speck(random_) == 0 ? 3 : 2;
}
