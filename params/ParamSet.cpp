#include "params/ParamSet.h"
#include "convert/Unit_Utils.h"
#include "protocol/DeviceUnit.h"
#include "protocol/ReplyFields.h"
#include <QLocale>
#include <algorithm>
#include <cstdlib>

namespace {

constexpr int ByteMax = 0xFF;
constexpr int WordMax = 0xFFFF;
constexpr int UartDefault = 5; // 115200 baud, for a speed text that is none of the list

int RawOf(const TParamRow& row, const TDevice& record)
{
    return RawOf(row.Param, record);
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
        return Tenths(static_cast<std::uint64_t>(RawOf(TParam::Constant, record)) *
                      static_cast<std::uint64_t>(RawOf(TParam::Period, record)));
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

// The raw value of a written row. The correction row gives its magnitude.
int RawFromText(const TParamRow& row, const QString& text, TProtocol protocol)
{
    switch (row.Kind) {
    case TParamKind::Decimal:
        return FittingInteger(text, RegisterOf(row.Param).StdHigh ? WordMax : ByteMax);
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
    using P = TParam;
    static const std::array<TParamRow, ParamRowCount> rows{{
        {QStringLiteral("Сетевой адрес"), K::Decimal, P::Address, 1, 255},
        {QStringLiteral("Состояние датчика при подаче питания"), K::OnOff, P::GaugeOnOff, 0, 1},
        {QStringLiteral("Аналоговый выход"), K::OnOff, P::AnalogExit, 0, 1},
        {QStringLiteral("Выдача в потоке при вкл. питания"), K::OnOff, P::ThreadOnOff, 0, 1},
        {QStringLiteral("Тактирование"), K::Clocking, P::Synhro, 0, 1},
        {QStringLiteral("Формат байта"), K::ByteFormat, P::ByteFormat, 0, 5},
        {QStringLiteral("Скорость UART"), K::Uart, P::Uart, 1, 8},
        {QStringLiteral("Период измерения датчика, t [мс]"), K::Period, P::Period, 1, 65535},
        {QStringLiteral("Константа, задающая период выдачи данных, n"), K::Decimal, P::Constant, 1, 65535},
        {QStringLiteral("Период выдачи данных, T=n*t [мс]"), K::Derived, P::Count, 0, 0},
        {QStringLiteral("Допустимое время отсутствия результата [мс]"), K::Decimal, P::Time, 0, 65535},
        {QStringLiteral("Нижняя граница аналогового выхода"), K::Decimal, P::LowLevelAnalogExit, 0, 50000},
        {QStringLiteral("Верхняя граница аналогового выхода"), K::Decimal, P::HighLevelAnalogExit, 0, 50000},
        {QStringLiteral("Первый перепад первого дискретного выхода"), K::Decimal,
         P::FirstDiffFirstDiscreetExit, 0, 50000},
        {QStringLiteral("Второй перепад первого дискретного выхода"), K::Decimal,
         P::SecondDiffFirstDiscreetExit, 0, 50000},
        {QStringLiteral("Первый перепад второго дискретного выхода"), K::Decimal,
         P::FirstDiffSecondDiscreetExit, 0, 50000},
        {QStringLiteral("Второй перепад второго дискретного выхода"), K::Decimal,
         P::SecondDiffSecondDiscreetExit, 0, 50000},
        {QStringLiteral("Тип предварительной фильтрации"), K::Filter, P::TypeData, 0, 1},
        {QStringLiteral("Количество точек усреднения"), K::Decimal, P::MiddlePoint, 1, 255},
        {QStringLiteral("Количество точек медианного фильтра"), K::Decimal, P::MedianPoint, 1, 49},
        {QStringLiteral("Коррекция выводимого результата"), K::Correction, P::Correction, 0, 65535},
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

TParamTexts ParamTextsOf(const TParamImage& image)
{
    TDevice shown("00");
    StoreImage(image, shown);
    return ParamTextsOf(shown);
}

bool ParamInteger(const QString& text, std::int64_t& value)
{
    const auto number = DecimalNumber(text.trimmed().toLatin1(), true);
    if (!number)
        return false;
    value = *number;
    return true;
}

TParamImage ImageFromPage(const TParamTexts& page, TProtocol protocol, const TDevice* record)
{
    const bool modbus = protocol == TProtocol::Modbus;
    const auto set = [](TParamImage& image, TParam param, int raw) {
        image[static_cast<std::size_t>(param)] = static_cast<std::uint16_t>(raw);
    };
    TParamImage image{};
    for (int index = 0; index < ParamRowCount; ++index) {
        const TParamRow& row = ParamRows()[index];
        // The standard protocol writes the correction that validation stored in the record.
        if (row.Kind != TParamKind::Derived && (modbus || row.Kind != TParamKind::Correction))
            set(image, row.Param, RawFromText(row, page.rows[index], protocol));
    }
    set(image, TParam::DiscreetExit, 16 * OutputIndex(page.radio1) + OutputIndex(page.radio2));
    if (modbus) {
        set(image, TParam::ResultComputation, page.radio6 == 1 ? 1 : 0);
        set(image, TParam::ObjectType, IsObjectType(page.radio5) ? page.radio5 : 0);
        // Set for a negative correction, as reading takes the bit and as register 22 holds the sign.
        set(image, TParam::CorrectionSign, CorrectionFromText(page.rows[ParamRow::Correz]) < 0 ? 1 : 0);
    } else {
        set(image, TParam::ResultComputation, page.radio6 == 0 ? 0 : 1);
        set(image, TParam::ObjectType, IsObjectType(page.radio5) ? page.radio5 : 2);
        if (record) {
            set(image, TParam::Correction, record->CorrezHi * 256 + record->CorrezLo);
            set(image, TParam::CorrectionSign, record->CorrezSign == 1 ? 1 : 0);
        }
    }
    return image;
}

std::vector<TRegisterWrite> StandardWrites(const TParamTexts& page, const TDevice& record)
{
    return StandardRegisterWrites(ImageFromPage(page, TProtocol::Standard, &record));
}

QByteArray ModbusFlagBytes(const TParamTexts& page)
{
    return ModbusFlagWriteBytes(ImageFromPage(page, TProtocol::Modbus, nullptr));
}

QByteArray ModbusBlockBytes(const TParamTexts& page)
{
    return ModbusBlockWriteBytes(ImageFromPage(page, TProtocol::Modbus, nullptr));
}

int LineSpeedOf(const QString& uartText)
{
    return UartBauds()[static_cast<std::size_t>(ListIndex(UartTexts(), uartText, UartDefault - 1))];
}

TParamImage ImageAt(TParamImage image, int address, int speed)
{
    image[static_cast<std::size_t>(TParam::Address)] = static_cast<std::uint16_t>(address);
    const auto& bauds = UartBauds();
    const auto at = std::find(bauds.begin(), bauds.end(), speed);
    if (at != bauds.end())
        image[static_cast<std::size_t>(TParam::Uart)] = static_cast<std::uint16_t>(at - bauds.begin() + 1);
    return image;
}
