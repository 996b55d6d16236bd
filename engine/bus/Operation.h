#pragma once
// The operations a bus runs, one at a time, each under its watchdog, and what they report.
#include "protocol/Protocol.h"
#include "protocol/RegisterMap.h"
#include <QByteArray>
#include <QMetaType>
#include <QString>
#include <cstdint>
#include <optional>
#include <vector>

// The operation codes, with the worker that runs each in the operation table.
enum class TOperationCode : std::uint8_t {
    SwitchOn = 1,        // Tthread1
    SwitchOff = 2,       // TThread2
    ReadParameters = 3,  // TTrdDevice
    WriteParameters = 4, // TThread3
    Defaults = 5,        // TThread9
    SaveToFlash = 6,     // TThread11
    StartStream = 7,     // TThread5
    StopStream = 8,      // TThread10
    Latch = 9,           // TThread6
    ReadLatch = 10,      // TThread7
    ReadLastResult = 11, // TThread8
    Search = 12,         // TThread4 for each probe pass, then TThread12 for the identification
    ReadAllLatches = 14, // TThread13
    Configure = 15,      // TThread14
    LatchAll = 16,       // a broadcast latch at each line speed in use
    ReadSeveral = 17,    // every parameter of several sensors, each at its own speed
    Clone = 18,          // one parameter set written to several sensors, each read back
};

// The worker name of an operation, as the operation table gives it; the worker thread is named so.
const char* WorkerName(TOperationCode code);

enum class TOutcomeKind : std::uint8_t {
    Done,
    Timeout,  // the watchdog ran out before the sensor answered
    PortLost, // the port hung up: its adapter is gone
    Refused,  // the sensor answered with a Modbus exception
    Stopped,  // the bus is closing
    NotFound, // a search found no sensor
    Failed,   // a request could not even be built (a record whose address is no address)
    Differs,  // a verified write: what the sensor holds afterwards is not what was written
};

struct TOutcome {
    TOutcomeKind Kind = TOutcomeKind::Done;
    std::uint8_t ExceptionCode = 0; // Refused
    // A parameter write: the sensor has taken its new network address, so the record keeps it.
    bool AddressWritten = false;
    QString Port; // PortLost: the port's path
    // A verified write: true once the read-back was compared; the parameters that differ.
    bool Verified = false;
    std::vector<TParam> Differing;
    // A parameter write: how many of its requests the sensor acknowledged (Stopped: before the
    // stop asked for after the register at hand).
    int Written = 0;
};

inline TOutcome OutcomeOf(TOutcomeKind kind, std::uint8_t exceptionCode = 0)
{
    TOutcome outcome;
    outcome.Kind = kind;
    outcome.ExceptionCode = exceptionCode;
    return outcome;
}

// A step an operation reports while it runs.
enum class TProgress : std::uint8_t {
    Reading,        // the parameter read begins (read, and defaults after their pause)
    StoppingStream, // the stream's stop is going out
};

// What a parameter write sends, encoded from the parameters page.
struct TWritePlan {
    int NewAddress = 0;
    int NewSpeed = 0; // baud; the sensor answers the write of its line speed at the new speed
    std::vector<TRegisterWrite> Standard; // every register, the line speed last
    QByteArray Flags;                     // Modbus: the flag register, two bytes
    QByteArray Block;                     // Modbus: the parameter block
    // When set, every register is read back after the write and compared with this image.
    std::optional<TParamImage> Verify;
};

// The write of a whole image to a sensor that is to answer at newAddress and newSpeed, read
// back when verify is set.
TWritePlan WritePlanOfImage(const TParamImage& image, int newAddress, int newSpeed, TProtocol protocol,
                            bool verify);

struct TSearchParams {
    QString Port;    // device path
    int DelayMs = 0; // pause after each probe; below 10 counts as 10
    int Range = 0;   // highest address probed
    int First = 1;   // lowest address probed
    // The line speeds probed, in this order; empty: all eight.
    std::vector<int> Speeds;
};

// The eight line speeds a search probes, slowest first.
const std::vector<int>& SearchSpeeds();

Q_DECLARE_METATYPE(TOperationCode)
Q_DECLARE_METATYPE(TOutcome)
Q_DECLARE_METATYPE(TProgress)
