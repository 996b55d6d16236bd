#pragma once
// The sensor's parameter registers as one table: where each parameter lives in the standard
// protocol's registers 01..22, in the Modbus flag register and parameter block, and in the
// record. The full standard read, the decoding of register replies, the Modbus block layout, the
// writes of both protocols and the rows of the parameters page are all derived from it.
#include <QByteArray>
#include <array>
#include <cstdint>
#include <span>
#include <vector>

class TDevice;

enum class TParam : int {
    Address,
    GaugeOnOff,
    AnalogExit,
    ThreadOnOff,
    Synhro,
    ByteFormat,
    Uart,
    Period,
    Constant,
    Time,
    TypeData,
    MiddlePoint,
    MedianPoint,
    LowLevelAnalogExit,
    HighLevelAnalogExit,
    DiscreetExit,
    FirstDiffFirstDiscreetExit,
    SecondDiffFirstDiscreetExit,
    FirstDiffSecondDiscreetExit,
    SecondDiffSecondDiscreetExit,
    ResultComputation, // param_R
    ObjectType,        // param_OI
    Correction,        // the magnitude; the sign is CorrectionSign
    CorrectionSign,
    Count
};
inline constexpr int ParamCount = static_cast<int>(TParam::Count);

// One parameter. A value wider than a byte lives in a Lo/Hi field pair and, in the standard
// protocol, in two registers, low byte first; otherwise in one field and one register.
struct TRegisterEntry {
    TParam Param;
    const char* StdLow;     // the register code "01".."22" of the value or of its low byte
    const char* StdHigh;    // the register of the high byte; nullptr for one-register values
    int ModbusRegister;     // block register 0x0010..0x0022; ModbusFlagRegister for a flag bit
    int ModbusBit;          // the bit in the flag register; -1 for block registers
    bool ModbusLowByteOnly; // only the low byte of the block register is the parameter
    std::uint16_t TDevice::*Word;
    std::uint8_t TDevice::*Lo;
    std::uint8_t TDevice::*Hi;
};

inline constexpr int ModbusFlagRegister = 0x0000;
inline constexpr int ModbusBlockFirst = 0x0010;
inline constexpr int ModbusBlockRegisters = 19;
inline constexpr int ModbusBlockSize = 2 * ModbusBlockRegisters; // data bytes
inline constexpr int StandardRegisterCount = 34;
inline constexpr char StdUartRegister[] = "07";

const std::array<TRegisterEntry, ParamCount>& RegisterMap();
const TRegisterEntry& RegisterOf(TParam param);

// The raw value of every parameter, indexed by TParam; a two-register value whole.
using TParamImage = std::array<std::uint16_t, ParamCount>;
std::uint16_t RawOf(TParam param, const TDevice& record);
TParamImage ImageOf(const TDevice& record);
// The record's parameter fields set to the image; its other fields stay as they are.
void StoreImage(const TParamImage& image, TDevice& record);
// The parameters whose raw values differ, in TParam order.
std::vector<TParam> ImageDifferences(const TParamImage& a, const TParamImage& b);

// The register codes of a full standard read, 01 to 22 in ascending order.
const std::array<QByteArray, StandardRegisterCount>& StandardReadCodes();
// Stores the value of one standard register reply in the record; false for a code that is no
// register of the map.
bool StoreStandardRegister(TDevice& record, const QByteArray& code, std::uint8_t value);

// One standard-protocol register write: register code and value, two upper-case hex digits each.
struct TRegisterWrite {
    QByteArray Register;
    QByteArray Value;
};
// Every register in ascending order, the line speed (07) last, so that the sensor changes its
// speed only after it has taken everything else.
std::vector<TRegisterWrite> StandardRegisterWrites(const TParamImage& image);

// The low byte of the flag register into the record: one parameter per bit.
void StoreModbusFlags(TDevice& record, std::uint8_t flags);
// The parameter block, ModbusBlockSize data bytes as a read reply carries them, into the record.
void StoreModbusBlock(TDevice& record, std::span<const std::uint8_t> data);
// The flag register as two bytes, high byte first.
QByteArray ModbusFlagWriteBytes(const TParamImage& image);
// The parameter block 0x0010..0x0022: ModbusBlockSize bytes, each register high byte first.
QByteArray ModbusBlockWriteBytes(const TParamImage& image);
