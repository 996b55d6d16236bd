#pragma once
// One simulated sensor: its identity, stored parameters, results and stream, and how it answers
// the requests of both protocols. Not thread-safe: the bus guards every sensor with its own lock.
#include "sim/SimMeasurement.h"
#include "sim/SimRegisters.h"
#include "sim/SimTypes.h"

#include <QByteArray>
#include <cstdint>
#include <optional>

// A reply the sensor has decided to send.
struct SimReply {
    QByteArray bytes;
    int speed = 0;          // the line speed the sensor transmits at
    int holdUntilSpeed = 0; // non-zero: the sensor switched speed; it answers once the line follows
    bool modbus = false;
};

class SimSensor {
  public:
    SimSensor(const SimSensorConfig& config, std::int64_t nowUs);

    int address() const;
    int speed() const;
    // Whether the sensor receives frames while the line runs at `lineSpeed`.
    bool hears(int lineSpeed) const;

    // A standard request addressed to this sensor (or to all): `command` is the text between the
    // address and the CR. Broadcasts act but never answer.
    std::optional<SimReply> onAsciiRequest(const QByteArray& command, bool broadcast, std::int64_t nowUs);
    // A Modbus request without its CRC, addressed to this sensor (or to all).
    std::optional<SimReply> onModbusRequest(const QByteArray& body, bool broadcast, std::int64_t nowUs);

    bool streaming() const { return streaming_; }
    std::int64_t nextSampleUs() const { return nextSampleUs_; }
    // The group of the sample due at nextSampleUs(); the next one falls due one period later.
    QByteArray takeStreamGroup(std::int64_t nowUs);
    // The transmitter is still busy: this sample is not sent.
    void skipStreamSample();
    // After a stall the stream goes on from `nowUs` rather than making up for lost time.
    void resumeStreamAt(std::int64_t nowUs) { nextSampleUs_ = nowUs; }

    SimSensorStatus status() const;
    SimRegisters registers() const { return regs_; }
    void setRegister(int code, std::uint8_t value);
    SimFaults faults() const { return faults_; }
    void setFaults(const SimFaults& faults) { faults_ = faults; }
    // Counts a frame addressed to this sensor against framesBeforeSilence; false once the sensor
    // has fallen silent.
    bool takeFrame();
    void setMeasurement(SimMeasureMode mode, std::uint16_t value) { measurement_.setMode(mode, value); }
    void setRates(double outOfRange, double noResult) { measurement_.setRates(outOfRange, noResult); }
    // Power off and on: parameters come back from flash, the power-on registers take effect.
    void powerCycle(std::int64_t nowUs);

    static constexpr std::int64_t TurnaroundUs = 1000;
    static constexpr int ModelLength = 20;

  private:
    QByteArray addressText() const;
    QByteArray resultField(const SimResult& result) const;
    QByteArray asciiReply(const QByteArray& body) const;
    QByteArray identText() const;
    QByteArray identBlock() const;
    SimResult measure(std::int64_t nowUs);
    void startStream(std::int64_t nowUs);
    std::int64_t streamPeriodUs() const;
    bool runCommand(const QByteArray& command, std::int64_t nowUs);
    std::optional<SimReply> asciiWrite(const QByteArray& command, bool broadcast);
    std::optional<SimReply> asciiRead(const QByteArray& command, bool broadcast) const;

    std::optional<std::uint16_t> readRegister(int reg, std::int64_t nowUs);
    std::optional<SimReply> modbusRead(const QByteArray& body, std::int64_t nowUs);
    std::optional<SimReply> modbusWriteSingle(const QByteArray& body, bool broadcast, std::int64_t nowUs);
    std::optional<SimReply> modbusWriteMany(const QByteArray& body, bool broadcast, std::int64_t nowUs);
    std::optional<int> writeRegisters(int first, const QByteArray& data, std::int64_t nowUs);
    std::optional<int> storeRegisters(int first, const QByteArray& data, std::int64_t nowUs);
    SimReply modbusReply(int address, const QByteArray& payload) const;
    SimReply modbusException(int address, int function, int code) const;

    QByteArray model_;
    double range_;
    double distance_;
    std::int32_t serial_;
    SimRegisters regs_;
    SimRegisters flash_;
    SimMeasurement measurement_;
    SimFaults faults_;
    std::int64_t powerUpUs_;
    bool on_ = true;
    bool streaming_ = false;
    std::int64_t nextSampleUs_ = 0;
    SimResult latched_;
    SimResult last_;
    std::uint16_t commandWord_ = 0;
    std::uint64_t samplesSent_ = 0;
};
