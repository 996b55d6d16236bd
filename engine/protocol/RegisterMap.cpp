#include "protocol/RegisterMap.h"
#include "protocol/DeviceUnit.h"
#include <algorithm>

namespace {
constexpr int ByteMax = 0xFF;

QByteArray Hex2(int value)
{
    return QByteArray::number(value & ByteMax, 16).toUpper().rightJustified(2, '0');
}

bool IsBlockRegister(int reg)
{
    return reg >= ModbusBlockFirst && reg < ModbusBlockFirst + ModbusBlockRegisters;
}

std::size_t Index(TParam param)
{
    return static_cast<std::size_t>(param);
}
} // namespace

const std::array<TRegisterEntry, ParamCount>& RegisterMap()
{
    using P = TParam;
    using D = TDevice;
    constexpr int Flags = ModbusFlagRegister;
    static const std::array<TRegisterEntry, ParamCount> map{{
        {P::Address, "01", nullptr, 0x0010, -1, false, &D::PAdress, nullptr, nullptr},
        {P::GaugeOnOff, "02", nullptr, Flags, 0, false, &D::GaugeOnOff, nullptr, nullptr},
        {P::AnalogExit, "03", nullptr, Flags, 1, false, &D::AnalogExit, nullptr, nullptr},
        {P::ThreadOnOff, "04", nullptr, Flags, 4, false, &D::ThreadOnOff, nullptr, nullptr},
        {P::Synhro, "05", nullptr, Flags, 2, false, &D::Synhro, nullptr, nullptr},
        {P::ByteFormat, "06", nullptr, 0x0011, -1, false, &D::ByteFormat, nullptr, nullptr},
        {P::Uart, StdUartRegister, nullptr, 0x0012, -1, false, &D::Uart, nullptr, nullptr},
        {P::Period, "08", "09", 0x0013, -1, false, nullptr, &D::PeriodLo, &D::PeriodHi},
        {P::Constant, "0A", "0B", 0x0014, -1, false, nullptr, &D::Nt_Lo, &D::Nt_Hi},
        {P::Time, "0C", "0D", 0x0015, -1, false, nullptr, &D::TimeLo, &D::TimeHi},
        {P::TypeData, "0E", nullptr, 0x0016, -1, false, &D::TypeData, nullptr, nullptr},
        {P::MiddlePoint, "0F", nullptr, 0x0017, -1, false, &D::MiddlePoint, nullptr, nullptr},
        {P::MedianPoint, "10", nullptr, 0x0018, -1, false, &D::MedianPoint, nullptr, nullptr},
        {P::LowLevelAnalogExit, "11", "12", 0x0019, -1, false, nullptr, &D::LowLevelAnalogExitLo,
         &D::LowLevelAnalogExitHi},
        {P::HighLevelAnalogExit, "13", "14", 0x001A, -1, false, nullptr, &D::HighLevelAnalogExitLo,
         &D::HighLevelAnalogExitHi},
        {P::DiscreetExit, "15", nullptr, 0x001B, -1, true, nullptr, &D::DiscreetExit, nullptr},
        {P::FirstDiffFirstDiscreetExit, "16", "17", 0x001C, -1, false, nullptr,
         &D::FirstDiffFirstDiscreetExitLo, &D::FirstDiffFirstDiscreetExitHi},
        {P::SecondDiffFirstDiscreetExit, "18", "19", 0x001D, -1, false, nullptr,
         &D::SecondDiffFirstDiscreetExitLo, &D::SecondDiffFirstDiscreetExitHi},
        {P::FirstDiffSecondDiscreetExit, "1A", "1B", 0x001E, -1, false, nullptr,
         &D::FirstDiffSecondDiscreetExitLo, &D::FirstDiffSecondDiscreetExitHi},
        {P::SecondDiffSecondDiscreetExit, "1C", "1D", 0x001F, -1, false, nullptr,
         &D::SecondDiffSecondDiscreetExitLo, &D::SecondDiffSecondDiscreetExitHi},
        {P::ResultComputation, "1E", nullptr, 0x0020, -1, true, nullptr, &D::param_R, nullptr},
        {P::ObjectType, "1F", nullptr, 0x0021, -1, true, nullptr, &D::param_OI, nullptr},
        {P::Correction, "20", "21", 0x0022, -1, false, nullptr, &D::CorrezLo, &D::CorrezHi},
        {P::CorrectionSign, "22", nullptr, Flags, 3, false, nullptr, &D::CorrezSign, nullptr},
    }};
    return map;
}

const TRegisterEntry& RegisterOf(TParam param)
{
    return RegisterMap()[Index(param)];
}

std::uint16_t RawOf(TParam param, const TDevice& record)
{
    const TRegisterEntry& entry = RegisterOf(param);
    if (entry.Word)
        return record.*entry.Word;
    if (entry.Hi)
        return static_cast<std::uint16_t>(record.*entry.Hi * 256 + record.*entry.Lo);
    return record.*entry.Lo;
}

TParamImage ImageOf(const TDevice& record)
{
    TParamImage image{};
    for (const TRegisterEntry& entry : RegisterMap())
        image[Index(entry.Param)] = RawOf(entry.Param, record);
    return image;
}

void StoreImage(const TParamImage& image, TDevice& record)
{
    for (const TRegisterEntry& entry : RegisterMap()) {
        const std::uint16_t raw = image[Index(entry.Param)];
        if (entry.Word) {
            record.*entry.Word = raw;
        } else if (entry.Hi) {
            record.*entry.Hi = static_cast<std::uint8_t>(raw >> 8);
            record.*entry.Lo = static_cast<std::uint8_t>(raw & 0xFF);
        } else {
            record.*entry.Lo = static_cast<std::uint8_t>(raw);
        }
    }
}

std::vector<TParam> ImageDifferences(const TParamImage& a, const TParamImage& b)
{
    std::vector<TParam> differ;
    for (int param = 0; param < ParamCount; ++param)
        if (a[static_cast<std::size_t>(param)] != b[static_cast<std::size_t>(param)])
            differ.push_back(static_cast<TParam>(param));
    return differ;
}

const std::array<QByteArray, StandardRegisterCount>& StandardReadCodes()
{
    static const std::array<QByteArray, StandardRegisterCount> codes = [] {
        std::vector<QByteArray> all;
        for (const TRegisterEntry& entry : RegisterMap()) {
            all.emplace_back(entry.StdLow);
            if (entry.StdHigh)
                all.emplace_back(entry.StdHigh);
        }
        std::sort(all.begin(), all.end());
        std::array<QByteArray, StandardRegisterCount> sorted;
        std::copy_n(all.begin(), sorted.size(), sorted.begin());
        return sorted;
    }();
    return codes;
}

bool StoreStandardRegister(TDevice& record, const QByteArray& code, std::uint8_t value)
{
    for (const TRegisterEntry& entry : RegisterMap()) {
        if (code == entry.StdLow) {
            if (entry.Word)
                record.*entry.Word = value;
            else
                record.*entry.Lo = value;
            return true;
        }
        if (entry.StdHigh && code == entry.StdHigh) {
            record.*entry.Hi = value;
            return true;
        }
    }
    return false;
}

std::vector<TRegisterWrite> StandardRegisterWrites(const TParamImage& image)
{
    std::vector<TRegisterWrite> writes;
    for (const TRegisterEntry& entry : RegisterMap()) {
        const int raw = image[Index(entry.Param)];
        writes.push_back({entry.StdLow, Hex2(raw)});
        if (entry.StdHigh)
            writes.push_back({entry.StdHigh, Hex2(raw >> 8)});
    }
    std::sort(writes.begin(), writes.end(),
              [](const TRegisterWrite& a, const TRegisterWrite& b) { return a.Register < b.Register; });
    std::stable_partition(writes.begin(), writes.end(),
                          [](const TRegisterWrite& w) { return w.Register != StdUartRegister; });
    return writes;
}

void StoreModbusFlags(TDevice& record, std::uint8_t flags)
{
    for (const TRegisterEntry& entry : RegisterMap()) {
        if (entry.ModbusBit < 0)
            continue;
        const auto bit = static_cast<std::uint8_t>(flags >> entry.ModbusBit & 1);
        if (entry.Word)
            record.*entry.Word = bit;
        else
            record.*entry.Lo = bit;
    }
}

void StoreModbusBlock(TDevice& record, std::span<const std::uint8_t> data)
{
    if (data.size() < static_cast<std::size_t>(ModbusBlockSize))
        return;
    for (const TRegisterEntry& entry : RegisterMap()) {
        if (!IsBlockRegister(entry.ModbusRegister))
            continue;
        const auto k = static_cast<std::size_t>(2 * (entry.ModbusRegister - ModbusBlockFirst));
        const std::uint8_t hi = data[k];
        const std::uint8_t lo = data[k + 1];
        if (entry.Word) {
            record.*entry.Word = static_cast<std::uint16_t>(hi << 8 | lo);
        } else {
            record.*entry.Lo = lo;
            if (entry.Hi && !entry.ModbusLowByteOnly)
                record.*entry.Hi = hi;
        }
    }
}

QByteArray ModbusFlagWriteBytes(const TParamImage& image)
{
    int flags = 0;
    for (const TRegisterEntry& entry : RegisterMap())
        if (entry.ModbusBit >= 0 && image[Index(entry.Param)] == 1)
            flags |= 1 << entry.ModbusBit;
    QByteArray bytes(2, '\0');
    bytes[1] = static_cast<char>(flags);
    return bytes;
}

QByteArray ModbusBlockWriteBytes(const TParamImage& image)
{
    std::array<int, ModbusBlockRegisters> words{};
    for (const TRegisterEntry& entry : RegisterMap())
        if (IsBlockRegister(entry.ModbusRegister))
            words[static_cast<std::size_t>(entry.ModbusRegister - ModbusBlockFirst)] =
                image[Index(entry.Param)];
    QByteArray bytes;
    bytes.reserve(ModbusBlockSize);
    for (const int word : words) {
        bytes.append(static_cast<char>(word >> 8));
        bytes.append(static_cast<char>(word & ByteMax));
    }
    return bytes;
}
