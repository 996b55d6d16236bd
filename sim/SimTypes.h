#pragma once
// Value types of the simulated bus's public interface.
#include <QByteArray>
#include <cstdint>

// How a sensor produces its results.
enum class SimMeasureMode {
    Realistic, // a slowly moving edge with noise and occasional out-of-range / no-result values
    Counter,   // every result taken is the next value of a counter, so a lost or doubled sample shows
    Fixed,     // every result is the same value
};

struct SimSensorConfig {
    int address = 1;          // 1..255
    int speed = 9600;         // one of the eight line speeds, 9600..921600
    QByteArray model = "VLT"; // padded with blanks or cut to 20 characters
    double range = 250.0;     // measuring range, mm
    double distance = 500.0;  // emitter-receiver distance, mm
    std::int32_t serial = 1;
    SimMeasureMode mode = SimMeasureMode::Realistic;
    std::uint16_t value = 0;       // Counter: the first value; Fixed: the value
    double outOfRangeRate = 0.004; // Realistic: share of results reported as 65535
    double noResultRate = 0.004;   // Realistic: share of results reported as 65534
};

// Misbehaviour switched on per sensor at run time; a default-constructed value means none.
struct SimFaults {
    bool noAnswer = false;         // the sensor hears nothing: no reply and no action
    int replyDelayMs = 0;          // every reply leaves this much later
    bool badCrc = false;           // Modbus replies carry a wrong CRC
    QByteArray garbage;            // sent directly before every reply
    bool lowerCaseAddress = false; // standard replies carry the address in lower case ("1a")
    int splitAt = 0;               // >0: every reply pauses after this many bytes ...
    int splitGapMs = 0;            // ... for this long
    bool ignoreStop = false;       // a running stream neither stops nor echoes the stop request
    int modbusException = 0;       // >0: every Modbus request to the sensor draws this exception code
    bool noIdentAnswer = false;    // the identification request (either protocol) goes unanswered
    int framesBeforeSilence = -1;  // >=0: the sensor takes this many more frames meant for it, then
                                   // hears nothing more, as if it had lost power mid-exchange
    int stuckRegister = 0;         // 0x01..0x22: a write to this register (in either protocol) is
                                   // acknowledged, but the register keeps its value, as a worn flash cell
    int answerAs = 0;              // 1..255: replies carry this address instead of the sensor's own, as
                                   // from a sensor misconfigured or answering for another
    bool operator==(const SimFaults&) const = default;
};

// What a sensor reports about itself, for tests and tools.
struct SimSensorStatus {
    int address = 0;
    int speed = 0;
    bool on = false;
    bool streaming = false;
    std::uint16_t latched = 0;
    std::uint16_t last = 0;
    std::uint64_t samplesSent = 0; // stream groups put on the line since the bus started
};

// One frame seen on the line: received from the program or sent by a sensor.
struct SimFrameRecord {
    enum class Direction { Received, Sent, Discarded };
    std::int64_t timeUs = 0; // since the bus started
    Direction direction = Direction::Received;
    int speed = 0; // line speed the bytes travelled at
    QByteArray bytes;
};
