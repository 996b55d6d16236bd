#pragma once
// The sensor parameter set as the parameters page shows it: the 21 rows of the parameter grid
// and the option groups, each over its parameter of the register map, and the conversions between
// raw register values and the texts the page shows and edits. Pure code: no widgets.
#include "protocol/Protocol.h"
#include "protocol/RegisterMap.h"
#include <QByteArray>
#include <QString>
#include <QStringList>
#include <array>
#include <cstdint>
#include <vector>

class TDevice;

inline constexpr int ParamRowCount = 21;

namespace ParamRow {
inline constexpr int Address = 0;
inline constexpr int GaugeOnOff = 1;
inline constexpr int AnalogExit = 2;
inline constexpr int ThreadOnOff = 3;
inline constexpr int Synhro = 4;
inline constexpr int ByteFormat = 5;
inline constexpr int Uart = 6;
inline constexpr int Period = 7;
inline constexpr int Constant = 8;
inline constexpr int OutputPeriod = 9; // n x t, derived, never written
inline constexpr int Time = 10;
inline constexpr int LowLevelAnalogExit = 11;
inline constexpr int HighLevelAnalogExit = 12;
inline constexpr int FirstDiffFirstDiscreetExit = 13;
inline constexpr int SecondDiffFirstDiscreetExit = 14;
inline constexpr int FirstDiffSecondDiscreetExit = 15;
inline constexpr int SecondDiffSecondDiscreetExit = 16;
inline constexpr int TypeData = 17;
inline constexpr int MiddlePoint = 18;
inline constexpr int MedianPoint = 19;
inline constexpr int Correz = 20;
} // namespace ParamRow

// How a row's text relates to its raw value.
enum class TParamKind {
    Decimal,    // the number in decimal
    OnOff,      // OnOffTexts, by raw value
    Clocking,   // ClockingTexts, by raw value
    ByteFormat, // ByteFormatTexts, by raw value
    Uart,       // UartTexts, raw value 1..8
    Period,     // raw / 10 with one decimal
    Derived,    // n x t with one decimal; no register
    Filter,     // FilterTexts, by raw value
    Correction, // signed decimal: magnitude in the registers, sign apart
};

// One grid row over its parameter of the register map (the derived row has none).
struct TParamRow {
    QString Caption;
    TParamKind Kind;
    TParam Param;       // TParam::Count for the derived row
    int RawMin, RawMax; // the correction's range is that of its magnitude
};
const std::array<TParamRow, ParamRowCount>& ParamRows();

// Pick lists and radio group items, in the order of their raw values (speeds: raw value 1 first).
const QStringList& OnOffTexts();
const QStringList& ClockingTexts();
const QStringList& ByteFormatTexts();
const QStringList& UartTexts();
const std::array<int, 8>& UartBauds();
const QStringList& FilterTexts();
const QStringList& DiscreteOutputTexts();    // RadioGroup1 and RadioGroup2
const QStringList& ResultComputationTexts(); // RadioGroup6
const QStringList& ObjectTypeTexts();        // RadioGroup5
// The pick list of a row's in-cell editor; empty for rows edited as plain text.
const QStringList& PickList(int row);

// What the parameters page shows, and what it holds when it is written: the value column of
// the grid and the item indexes of the four radio groups (-1: no selection).
struct TParamTexts {
    std::array<QString, ParamRowCount> rows;
    int radio1 = -1, radio2 = -1, radio6 = -1, radio5 = -1;
};

// The correction as its signed value and as the record keeps it.
struct TCorrection {
    std::int32_t Correz = 0;
    std::uint8_t CorrezHi = 0, CorrezLo = 0, CorrezSign = 0;
};
TCorrection CorrectionOf(std::int32_t value);
// The signed value of the record's correction registers.
std::int32_t CorrectionOf(const TDevice& record);
void StoreCorrection(const TCorrection& correction, TDevice& record);

// Raw -> text. A raw value outside its table gives an empty row or no selection. Rows 7 and 9
// use the locale's decimal separator.
TParamTexts ParamTextsOf(const TDevice& record);
// The same for raw values alone.
TParamTexts ParamTextsOf(const TParamImage& image);

// A whole cell text that is a decimal integer: blanks around it, an optional sign, up to 18
// digits. False for anything else.
bool ParamInteger(const QString& text, std::int64_t& value);

// Text -> raw. Pick-list texts that match no item, and radio indexes without a selection, give
// their defaults. A number that is not one, or does not fit its register(s), throws
// EConvertError, so nothing is wrapped into a wrong value on the wire; only the measuring
// period in Modbus is 0 when its text is no number.

// The raw values a write sends, from the page. The protocols differ only where the page holds
// what validation refuses; in the standard protocol the correction comes from the record, where
// validation stored it.
TParamImage ImageFromPage(const TParamTexts& page, TProtocol protocol, const TDevice* record);
// Every register in ascending order, the line speed (07) last, so that the sensor changes its
// speed only after it has taken everything else.
std::vector<TRegisterWrite> StandardWrites(const TParamTexts& page, const TDevice& record);
// The flag register as two bytes, high byte first.
QByteArray ModbusFlagBytes(const TParamTexts& page);
// The parameter block 0x0010..0x0022: ModbusBlockSize bytes, each register high byte first.
QByteArray ModbusBlockBytes(const TParamTexts& page);
// The line speed in baud that the text of row 6 sets; 115200 for any other text.
int LineSpeedOf(const QString& uartText);
// The image with the address and line speed a sensor is to have; a speed not among UartBauds
// leaves the line speed register as it is.
TParamImage ImageAt(TParamImage image, int address, int speed);
