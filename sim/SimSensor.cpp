#include "sim/SimSensor.h"

#include <algorithm>
#include <cmath>

namespace {

QByteArray fixedWidth(QByteArray text, int width)
{
    text.truncate(width);
    return text.leftJustified(width, ' ');
}

QByteArray zeroPadded(double millimetres)
{
    return QByteArray::number(millimetres, 'f', 3).rightJustified(9, '0', true);
}

void appendBigEndian32(QByteArray& out, std::int32_t value)
{
    const auto u = static_cast<std::uint32_t>(value);
    for (int shift = 24; shift >= 0; shift -= 8)
        out.append(static_cast<char>((u >> shift) & 0xFFu));
}

} // namespace

SimSensor::SimSensor(const SimSensorConfig& config, std::int64_t nowUs)
    : model_(fixedWidth(config.model, ModelLength)), range_(config.range), distance_(config.distance),
      serial_(config.serial), regs_(SimRegisters::factory(config.address, simCodeOfSpeed(config.speed))),
      flash_(regs_), measurement_(config),
      powerUpUs_(nowUs), latched_{SimRaw::NoResult, false}, last_{SimRaw::NoResult, false}
{
}

int SimSensor::address() const
{
    return regs_.get(SimReg::Address);
}

int SimSensor::speed() const
{
    return simSpeedOfCode(regs_.get(SimReg::Uart));
}

bool SimSensor::hears(int lineSpeed) const
{
    return !faults_.noAnswer && lineSpeed == speed();
}

bool SimSensor::takeFrame()
{
    if (faults_.framesBeforeSilence == 0) {
        faults_.noAnswer = true;
        return false;
    }
    if (faults_.framesBeforeSilence > 0)
        --faults_.framesBeforeSilence;
    return true;
}

QByteArray SimSensor::addressText() const
{
    return QByteArray::number(address(), 16).toUpper().rightJustified(2, '0');
}

QByteArray SimSensor::resultField(const SimResult& result) const
{
    if (result.edgeCount)
        return "N" + QByteArray::number(result.raw).rightJustified(4, '0');
    return QByteArray::number(result.raw).rightJustified(5, '0');
}

QByteArray SimSensor::asciiReply(const QByteArray& body) const
{
    return "!" + addressText() + body + "\r";
}

QByteArray SimSensor::identText() const
{
    // Fixed columns: model 4-23, serial 27-36, range 39-47, distance 50-58, counted from the "%".
    return "%" + addressText() + model_ + ",SN" + QByteArray::number(serial_).rightJustified(10, '0', true) +
           ",D" + zeroPadded(range_) + ",M" + zeroPadded(distance_) + "\r";
}

QByteArray SimSensor::identBlock() const
{
    QByteArray block = model_;
    appendBigEndian32(block, static_cast<std::int32_t>(std::lround(range_ * 1000.0)));
    appendBigEndian32(block, static_cast<std::int32_t>(std::lround(distance_ * 1000.0)));
    appendBigEndian32(block, serial_);
    return block;
}

SimResult SimSensor::measure(std::int64_t nowUs)
{
    return measurement_.take(regs_, on_, static_cast<double>(nowUs - powerUpUs_) / 1e6);
}

std::int64_t SimSensor::streamPeriodUs() const
{
    // T = n * t with t in tenths of a millisecond.
    const std::int64_t period = std::max<std::int64_t>(1, regs_.pair(SimReg::PeriodLo));
    const std::int64_t n = std::max<std::int64_t>(1, regs_.pair(SimReg::ConstantLo));
    return period * n * 100;
}

void SimSensor::startStream(std::int64_t nowUs)
{
    streaming_ = true;
    nextSampleUs_ = nowUs + TurnaroundUs;
}

QByteArray SimSensor::takeStreamGroup(std::int64_t nowUs)
{
    last_ = measure(nowUs);
    ++samplesSent_;
    nextSampleUs_ += streamPeriodUs();
    return "!" + resultField(last_) + "\r";
}

void SimSensor::skipStreamSample()
{
    nextSampleUs_ += streamPeriodUs();
}

bool SimSensor::runCommand(const QByteArray& command, std::int64_t nowUs)
{
    if (command == "ON")
        on_ = true;
    else if (command == "OF")
        on_ = false;
    else if (command == "FL")
        flash_ = regs_;
    else if (command == "DF")
        regs_.restoreDefaults();
    else if (command == "FX")
        latched_ = measure(nowUs);
    else if (command != "SU")
        return false;
    return true;
}

SimSensorStatus SimSensor::status() const
{
    SimSensorStatus s;
    s.address = address();
    s.speed = speed();
    s.on = on_;
    s.streaming = streaming_;
    s.latched = latched_.raw;
    s.last = last_.raw;
    s.samplesSent = samplesSent_;
    return s;
}

void SimSensor::setRegister(int code, std::uint8_t value)
{
    regs_.set(code, value);
}

void SimSensor::powerCycle(std::int64_t nowUs)
{
    regs_ = flash_;
    powerUpUs_ = nowUs;
    on_ = regs_.get(SimReg::PowerOnState) != 0;
    latched_ = {SimRaw::NoResult, false};
    last_ = {SimRaw::NoResult, false};
    streaming_ = false;
    if (regs_.get(SimReg::StreamAtPowerOn) != 0)
        startStream(nowUs);
}
