#pragma once
#include "protocol/LockedText.h"
#include <QByteArray>
#include <atomic>
#include <cstdint>

// One sensor found on the bus: its address, line speed, identification, the raw values of its
// parameter registers and its results. Requests to it are built from the record (Requests.h);
// replies are decoded into it by the receive path of the bus that owns it.
//
// Threads: the receive path, which writes the record, runs on the thread of its bus, where the
// bus's clients read it. An operation's worker reads only the fields below that are atomics or
// TLockedText, and changes only those:
//  - AdressStr: a parameter write renames the record while the receive path matches replies;
//  - ComPortSpeed: a parameter write switches it, the identification reads it;
//  - threadResultIsExec: set by the stream start, cleared by the receive path or the client.
class TDevice {
  public:
    explicit TDevice(const QByteArray& adr) : AdressStr(adr) {}
    TDevice(const TDevice&) = delete;
    TDevice& operator=(const TDevice&) = delete;

    // The address as a number, the Modbus address byte; -1 when AdressStr is not two
    // hexadecimal digits.
    int AddressNumber() const;

    std::uint16_t PAdress = 0;
    std::uint16_t GaugeOnOff = 0;
    std::uint16_t AnalogExit = 0;
    std::uint16_t ByteFormat = 0;
    std::uint16_t Uart = 0;
    std::uint16_t TypeData = 0;
    std::uint16_t MiddlePoint = 0;
    std::uint16_t MedianPoint = 0;
    std::uint16_t wdSwitchResult = 0;
    std::uint16_t wdLastResult = 0;
    std::uint16_t Synhro = 0;
    std::uint16_t ThreadOnOff = 0;
    std::uint8_t PeriodLo = 0, PeriodHi = 0;
    std::uint8_t TimeLo = 0, TimeHi = 0;
    std::uint8_t LowLevelAnalogExitLo = 0, LowLevelAnalogExitHi = 0;
    std::uint8_t HighLevelAnalogExitLo = 0, HighLevelAnalogExitHi = 0;
    std::uint8_t DiscreetExit = 0;
    std::uint8_t param_R = 0;
    std::uint8_t param_OI = 0;
    std::uint8_t FirstDiffFirstDiscreetExitLo = 0, FirstDiffFirstDiscreetExitHi = 0;
    std::uint8_t SecondDiffFirstDiscreetExitLo = 0, SecondDiffFirstDiscreetExitHi = 0;
    std::uint8_t FirstDiffSecondDiscreetExitLo = 0, FirstDiffSecondDiscreetExitHi = 0;
    std::uint8_t SecondDiffSecondDiscreetExitLo = 0, SecondDiffSecondDiscreetExitHi = 0;
    std::uint8_t Nt_Hi = 0, Nt_Lo = 0;
    std::uint8_t CorrezHi = 0, CorrezLo = 0, CorrezSign = 0;
    QByteArray Model;
    TLockedText AdressStr;
    double ID_M = 0;
    double ID_D = 0;
    std::int32_t SerialNumber = 0;
    std::atomic<std::int32_t> ComPortSpeed{0};
    std::int32_t Correz = 0;
    std::atomic<bool> threadResultIsExec{false};
    double LastResult = 0;
    double SwitchedResult = 0;
};
