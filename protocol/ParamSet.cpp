#include "protocol/ParamSet.h"
#include "app/Unit_Utils.h"
#include "protocol/DeviceUnit.h"
#include "protocol/ReplyFields.h"
#include <QLocale>
#include <algorithm>
#include <cstdlib>

namespace {

constexpr int ByteMax = 0xFF;
constexpr int WordMax = 0xFFFF;
constexpr int UartDefault = 5; // 115200 baud, for a speed text that is none of the list

QByteArray Hex2(int value)
{
    return QByteArray::number(value, 16).toUpper().rightJustified(2, '0');
}

bool IsBlockRegister(int reg)
{
    return reg >= ModbusBlockFirst && reg < ModbusBlockFirst + ModbusBlockRegisters;
}

int RawOf(const TParamRow& row, const TDevice& record)
{
    if (row.Word)
        return record.*row.Word;
    return record.*row.Hi * 256 + record.*row.Lo;
}

int PeriodRaw(const TDevice& record)
{
    return RawOf(ParamRows()[ParamRow::Period], record);
}

int ConstantRaw(const TDevice& record)
{
    return RawOf(ParamRows()[ParamRow::Constant], record);
}

// A count of tenths with one decimal, fixed, no grouping. The output period n x t reaches
// 429483622,5: it is shown with every digit as well, rather than rounded to eight significant
// digits or in exponent form, because its exact value is known and a technician reads it.
QString Tenths(std::uint64_t tenths)
{
    QLocale locale;
    locale.setNumberOptions(QLocale::OmitGroupSeparator);
    return locale.toString(static_cast<double>(tenths) / 10, 'f', 1);
}

QString TextOf(const TParamRow& row, const TDevice& record)
{
    const int raw = row.Kind == TParamKind::Derived ? 0 : RawOf(row, record);
    switch (row.Kind) {
    case TParamKind::Decimal:
        return QString::number(raw);
    case TParamKind::OnOff:
        return OnOffTexts().value(raw);
    case TParamKind::Clocking:
        return ClockingTexts().value(raw);
    case TParamKind::ByteFormat:
        return ByteFormatTexts().value(raw);
    case TParamKind::Uart:
        return UartTexts().value(raw - 1);
    case TParamKind::Period:
        return Tenths(static_cast<std::uint64_t>(raw));
    case TParamKind::Derived:
        return Tenths(static_cast<std::uint64_t>(ConstantRaw(record)) *
                      static_cast<std::uint64_t>(PeriodRaw(record)));
    case TParamKind::Filter:
        return FilterTexts().value(raw);
    case TParamKind::Correction:
        return QString::number(CorrectionOf(record));
    }
    return {};
}

int ListIndex(const QStringList& list, const QString& text, int fallback)
{
    const auto index = list.indexOf(text);
    return index < 0 ? fallback : static_cast<int>(index);
}

int FittingInteger(const QString& text, int max)
{
    std::int64_t value = 0;
    if (!ParamInteger(text, value) || value < 0 || value > max)
        throw EConvertError("'" + text.toStdString() + "' does not fit 0.." + std::to_string(max));
    return static_cast<int>(value);
}

// Tenths of a millisecond, the product rounded to double before truncation so that 0,3 gives 3.
// The write operation of the standard protocol lets a text that is no number raise; that of
// Modbus writes 0 for it.
int PeriodFromText(const QString& text, bool zeroWhenNoNumber)
{
    bool ok = true;
    const double ms = zeroWhenNoNumber ? TryStrToFloatDotComma(text, ok) : StrToFloatDotComma(text);
    const double product = ms * 10;
    if (!(product > -1 && product < WordMax + 1))
        throw EConvertError("'" + text.toStdString() + "' is no measuring period");
    return static_cast<int>(product);
}

std::int64_t CorrectionFromText(const QString& text)
{
    std::int64_t value = 0;
    if (!ParamInteger(text, value) || value < -WordMax || value > WordMax)
        throw EConvertError("'" + text.toStdString() + "' is no correction");
    return value;
}

enum class TProtocol { Standard, Modbus };

// The raw value of a written row. The correction row gives its magnitude.
int RawFromText(const TParamRow& row, const QString& text, TProtocol protocol)
{
    switch (row.Kind) {
    case TParamKind::Decimal:
        return FittingInteger(text, row.StdHigh ? WordMax : ByteMax);
    case TParamKind::OnOff:
        return ListIndex(OnOffTexts(), text, 0);
    case TParamKind::Clocking:
        return ListIndex(ClockingTexts(), text, 0);
    case TParamKind::ByteFormat:
        return ListIndex(ByteFormatTexts(), text, 0);
    case TParamKind::Uart:
        return ListIndex(UartTexts(), text, UartDefault - 1) + 1;
    case TParamKind::Period:
        return PeriodFromText(text, protocol == TProtocol::Modbus);
    case TParamKind::Filter:
        return ListIndex(FilterTexts(), text, 0);
    case TParamKind::Correction:
        return static_cast<int>(std::abs(CorrectionFromText(text)));
    case TParamKind::Derived:
        break;
    }
    return 0;
}

int OutputIndex(int index)
{
    return index >= 0 && index <= 2 ? index : 0;
}

bool IsObjectType(int index)
{
    return index >= 0 && index < ObjectTypeTexts().size();
}

} // namespace

const std::array<TParamRow, ParamRowCount>& ParamRows()
{
    using K = TParamKind;
    using D = TDevice;
    static const std::array<TParamRow, ParamRowCount> rows{{
        {QStringLiteral("Сетевой адрес"), K::Decimal, "01", nullptr, 0x0010, -1, 1, 255, &D::PAdress, nullptr,
         nullptr},
        {QStringLiteral("Состояние датчика при подаче питания"), K::OnOff, "02", nullptr, ModbusFlagRegister,
         0, 0, 1, &D::GaugeOnOff, nullptr, nullptr},
        {QStringLiteral("Аналоговый выход"), K::OnOff, "03", nullptr, ModbusFlagRegister, 1, 0, 1,
         &D::AnalogExit, nullptr, nullptr},
        {QStringLiteral("Выдача в потоке при вкл. питания"), K::OnOff, "04", nullptr, ModbusFlagRegister, 4,
         0, 1, &D::ThreadOnOff, nullptr, nullptr},
        {QStringLiteral("Тактирование"), K::Clocking, "05", nullptr, ModbusFlagRegister, 2, 0, 1, &D::Synhro,
         nullptr, nullptr},
        {QStringLiteral("Формат байта"), K::ByteFormat, "06", nullptr, 0x0011, -1, 0, 5, &D::ByteFormat,
         nullptr, nullptr},
        {QStringLiteral("Скорость UART"), K::Uart, "07", nullptr, 0x0012, -1, 1, 8, &D::Uart, nullptr,
         nullptr},
        {QStringLiteral("Период измерения датчика, t [мс]"), K::Period, "08", "09", 0x0013, -1, 1, 65535,
         nullptr, &D::PeriodLo, &D::PeriodHi},
        {QStringLiteral("Константа, задающая период выдачи данных, n"), K::Decimal, "0A", "0B", 0x0014, -1, 1,
         65535, nullptr, &D::Nt_Lo, &D::Nt_Hi},
        {QStringLiteral("Период выдачи данных, T=n*t [мс]"), K::Derived, nullptr, nullptr, -1, -1, 0, 0,
         nullptr, nullptr, nullptr},
        {QStringLiteral("Допустимое время отсутствия результата [мс]"), K::Decimal, "0C", "0D", 0x0015, -1, 0,
         65535, nullptr, &D::TimeLo, &D::TimeHi},
        {QStringLiteral("Нижняя граница аналогового выхода"), K::Decimal, "11", "12", 0x0019, -1, 0, 50000,
         nullptr, &D::LowLevelAnalogExitLo, &D::LowLevelAnalogExitHi},
        {QStringLiteral("Верхняя граница аналогового выхода"), K::Decimal, "13", "14", 0x001A, -1, 0, 50000,
         nullptr, &D::HighLevelAnalogExitLo, &D::HighLevelAnalogExitHi},
        {QStringLiteral("Первый перепад первого дискретного выхода"), K::Decimal, "16", "17", 0x001C, -1, 0,
         50000, nullptr, &D::FirstDiffFirstDiscreetExitLo, &D::FirstDiffFirstDiscreetExitHi},
        {QStringLiteral("Второй перепад первого дискретного выхода"), K::Decimal, "18", "19", 0x001D, -1, 0,
         50000, nullptr, &D::SecondDiffFirstDiscreetExitLo, &D::SecondDiffFirstDiscreetExitHi},
        {QStringLiteral("Первый перепад второго дискретного выхода"), K::Decimal, "1A", "1B", 0x001E, -1, 0,
         50000, nullptr, &D::FirstDiffSecondDiscreetExitLo, &D::FirstDiffSecondDiscreetExitHi},
        {QStringLiteral("Второй перепад второго дискретного выхода"), K::Decimal, "1C", "1D", 0x001F, -1, 0,
         50000, nullptr, &D::SecondDiffSecondDiscreetExitLo, &D::SecondDiffSecondDiscreetExitHi},
        {QStringLiteral("Тип предварительной фильтрации"), K::Filter, "0E", nullptr, 0x0016, -1, 0, 1,
         &D::TypeData, nullptr, nullptr},
        {QStringLiteral("Количество точек усреднения"), K::Decimal, "0F", nullptr, 0x0017, -1, 1, 255,
         &D::MiddlePoint, nullptr, nullptr},
        {QStringLiteral("Количество точек медианного фильтра"), K::Decimal, "10", nullptr, 0x0018, -1, 1, 49,
         &D::MedianPoint, nullptr, nullptr},
        {QStringLiteral("Коррекция выводимого результата"), K::Correction, "20", "21", 0x0022, -1, 0, 65535,
         nullptr, &D::CorrezLo, &D::CorrezHi},
    }};
    return rows;
}

const QStringList& OnOffTexts()
{
    static const QStringList texts{QStringLiteral("Выкл"), QStringLiteral("Вкл")};
    return texts;
}

const QStringList& ClockingTexts()
{
    static const QStringList texts{QStringLiteral("по таймеру"), QStringLiteral("по внешнему синхросигналу")};
    return texts;
}

const QStringList& ByteFormatTexts()
{
    static const QStringList texts{
        QStringLiteral("паритета нет, 1 стоп-бит"),        QStringLiteral("контроль четности, 1 стоп-бит"),
        QStringLiteral("контроль нечетности, 1 стоп-бит"), QStringLiteral("паритета нет, 2 стоп-бита"),
        QStringLiteral("контроль четности, 2 стоп-бита"),  QStringLiteral("контроль нечетности, 2 стоп-бита"),
    };
    return texts;
}

const QStringList& UartTexts()
{
    static const QStringList texts{
        QStringLiteral("9600 бод"),   QStringLiteral("19200 бод"),  QStringLiteral("38400 бод"),
        QStringLiteral("57600 бод"),  QStringLiteral("115200 бод"), QStringLiteral("230400 бод"),
        QStringLiteral("460800 бод"), QStringLiteral("921600 бод"),
    };
    return texts;
}

const std::array<int, 8>& UartBauds()
{
    static constexpr std::array<int, 8> bauds{9600, 19200, 38400, 57600, 115200, 230400, 460800, 921600};
    return bauds;
}

const QStringList& FilterTexts()
{
    static const QStringList texts{QStringLiteral("скользящее усреднение"),
                                   QStringLiteral("медианная фильтрация")};
    return texts;
}

const QStringList& DiscreteOutputTexts()
{
    static const QStringList texts{QStringLiteral("Выключен"),
                                   QStringLiteral("Включён - начальное значение - 0"),
                                   QStringLiteral("Включён - начальное значение - 1")};
    return texts;
}

const QStringList& ResultComputationTexts()
{
    static const QStringList texts{QStringLiteral("R = (A+B)/2"), QStringLiteral("R = |A-B|")};
    return texts;
}

const QStringList& ObjectTypeTexts()
{
    static const QStringList texts{
        QStringLiteral("щель (первая по направлению сканирования)"),
        QStringLiteral("щель (последняя по направлению сканирования)"),
        QStringLiteral("штырь (первый по направлению сканирования)"),
        QStringLiteral("штырь (последний по направлению сканирования)"),
        QStringLiteral("не определять тип (по первым двум границам)"),
        QStringLiteral("не определять тип (по последним двум границам)"),
        QStringLiteral("полубесконечный объект (определяется координата первой границы)"),
        QStringLiteral("полубесконечный объект (определяется координата последней границы)"),
        QStringLiteral("выдавать количество обнаруженных границ"),
    };
    return texts;
}

const QStringList& PickList(int row)
{
    static const QStringList none;
    if (row < 0 || row >= ParamRowCount)
        return none;
    switch (ParamRows()[row].Kind) {
    case TParamKind::OnOff:
        return OnOffTexts();
    case TParamKind::Clocking:
        return ClockingTexts();
    case TParamKind::ByteFormat:
        return ByteFormatTexts();
    case TParamKind::Uart:
        return UartTexts();
    case TParamKind::Filter:
        return FilterTexts();
    default:
        return none;
    }
}

TCorrection CorrectionOf(std::int32_t value)
{
    const std::uint32_t magnitude =
        value < 0 ? 0u - static_cast<std::uint32_t>(value) : static_cast<std::uint32_t>(value);
    return {value, static_cast<std::uint8_t>((magnitude >> 8) & 0xFF),
            static_cast<std::uint8_t>(magnitude & 0xFF), static_cast<std::uint8_t>(value < 0 ? 1 : 0)};
}

std::int32_t CorrectionOf(const TDevice& record)
{
    const std::int32_t magnitude = record.CorrezHi * 256 + record.CorrezLo;
    return record.CorrezSign == 1 ? -magnitude : magnitude;
}

void StoreCorrection(const TCorrection& correction, TDevice& record)
{
    record.Correz = correction.Correz;
    record.CorrezHi = correction.CorrezHi;
    record.CorrezLo = correction.CorrezLo;
    record.CorrezSign = correction.CorrezSign;
}

TParamTexts ParamTextsOf(const TDevice& record)
{
    TParamTexts page;
    for (int row = 0; row < ParamRowCount; ++row)
        page.rows[row] = TextOf(ParamRows()[row], record);

    const int first = record.DiscreetExit >> 4;
    const int second = record.DiscreetExit & 0x0F;
    if (first <= 2 && second <= 2) {
        page.radio1 = first;
        page.radio2 = second;
    }
    if (record.param_R < ResultComputationTexts().size())
        page.radio6 = record.param_R;
    if (IsObjectType(record.param_OI))
        page.radio5 = record.param_OI;
    return page;
}

bool ParamInteger(const QString& text, std::int64_t& value)
{
    const auto number = DecimalNumber(text.trimmed().toLatin1(), true);
    if (!number)
        return false;
    value = *number;
    return true;
}

std::vector<TRegisterWrite> StandardWrites(const TParamTexts& page, const TDevice& record)
{
    std::vector<TRegisterWrite> writes;
    for (int index = 0; index < ParamRowCount; ++index) {
        const TParamRow& row = ParamRows()[index];
        if (!row.StdLow || row.Kind == TParamKind::Correction)
            continue;
        const int raw = RawFromText(row, page.rows[index], TProtocol::Standard);
        writes.push_back({row.StdLow, Hex2(raw & ByteMax)});
        if (row.StdHigh)
            writes.push_back({row.StdHigh, Hex2(raw >> 8)});
    }
    writes.push_back(
        {StdDiscreetExitRegister, Hex2(16 * OutputIndex(page.radio1) + OutputIndex(page.radio2))});
    writes.push_back({StdParamRRegister, Hex2(page.radio6 == 0 ? 0 : 1)});
    writes.push_back({StdParamOIRegister, Hex2(IsObjectType(page.radio5) ? page.radio5 : 2)});
    const TParamRow& correz = ParamRows()[ParamRow::Correz];
    writes.push_back({correz.StdLow, Hex2(record.CorrezLo)});
    writes.push_back({correz.StdHigh, Hex2(record.CorrezHi)});
    writes.push_back({StdCorrezSignRegister, Hex2(record.CorrezSign == 1 ? 1 : 0)});

    std::sort(writes.begin(), writes.end(),
              [](const TRegisterWrite& a, const TRegisterWrite& b) { return a.Register < b.Register; });
    std::stable_partition(writes.begin(), writes.end(),
                          [](const TRegisterWrite& w) { return w.Register != StdUartRegister; });
    return writes;
}

QByteArray ModbusFlagBytes(const TParamTexts& page)
{
    int flags = 0;
    for (int index = 0; index < ParamRowCount; ++index) {
        const TParamRow& row = ParamRows()[index];
        if (row.ModbusBit >= 0 && RawFromText(row, page.rows[index], TProtocol::Modbus) == 1)
            flags |= 1 << row.ModbusBit;
    }
    // Set for a negative correction, as reading takes the bit and as register 22 holds the sign.
    if (CorrectionFromText(page.rows[ParamRow::Correz]) < 0)
        flags |= 1 << ModbusCorrezSignBit;
    QByteArray bytes(2, '\0');
    bytes[1] = static_cast<char>(flags);
    return bytes;
}

QByteArray ModbusBlockBytes(const TParamTexts& page)
{
    std::array<int, ModbusBlockRegisters> words{};
    for (int index = 0; index < ParamRowCount; ++index) {
        const TParamRow& row = ParamRows()[index];
        if (IsBlockRegister(row.ModbusRegister))
            words[row.ModbusRegister - ModbusBlockFirst] =
                RawFromText(row, page.rows[index], TProtocol::Modbus);
    }
    words[ModbusDiscreetExitRegister - ModbusBlockFirst] =
        16 * OutputIndex(page.radio1) + OutputIndex(page.radio2);
    words[ModbusParamRRegister - ModbusBlockFirst] = page.radio6 == 1 ? 1 : 0;
    words[ModbusParamOIRegister - ModbusBlockFirst] = IsObjectType(page.radio5) ? page.radio5 : 0;

    QByteArray bytes;
    bytes.reserve(ModbusBlockSize);
    for (const int word : words) {
        bytes.append(static_cast<char>(word >> 8));
        bytes.append(static_cast<char>(word & ByteMax));
    }
    return bytes;
}

int LineSpeedOf(const QString& uartText)
{
    return UartBauds()[static_cast<std::size_t>(ListIndex(UartTexts(), uartText, UartDefault - 1))];
}
