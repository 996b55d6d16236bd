#include "pages/ModbusTexts.h"
#include "convert/Unit_Utils.h"
#include "pages/ReplyTexts.h"
#include "protocol/ReplyFields.h"
#include <iterator>

namespace {
struct TExceptionText {
    const char* text;
    const char* caption;
};

// By code, from 1. The caption of code 2 ends in a full stop, unlike the others.
constexpr TExceptionText ExceptionTexts[] = {
    {"Ошибка (0x01): недопустимая команда.", "Принят код ошибки по протоколу Modbus"},
    {"Ошибка (0x02): адрес регистра недоступен.", "Принят код ошибки по протоколу Modbus."},
    {"Ошибка (0x03): недопустимое значение данных.", "Принят код ошибки по протоколу Modbus"},
    {"Ошибка (0x04): ошибка записи во Flash.", "Принят код ошибки по протоколу Modbus"},
    {"Ошибка (0x05): недопустимое количество регистров.", "Принят код ошибки по протоколу Modbus"},
    {"Ошибка (0x06): запись в регистры для чтения.", "Принят код ошибки по протоколу Modbus"},
    {"Ошибка (0x07): запись в зарезервированные регистры.", "Принят код ошибки по протоколу Modbus"},
};

// The out-of-range cells are those of the standard protocol; only the no-data cells differ.
constexpr char NoDataLatchedCell[] = "            Нет данных";
constexpr char NoDataLastCell[] = "          Нет данных";
} // namespace

std::optional<TModbusExceptionMessage> ModbusExceptionMessage(std::uint8_t code)
{
    if (code < 1 || code > std::size(ExceptionTexts))
        return std::nullopt;
    const TExceptionText& t = ExceptionTexts[code - 1];
    return TModbusExceptionMessage{QString::fromUtf8(t.text), QString::fromUtf8(t.caption)};
}

QString ModbusResultText(TLatchColumn column, std::uint16_t raw, double range)
{
    const bool latched = column == LatchReadColumn;
    if (raw == RawOutOfRange)
        return QString::fromUtf8(latched ? ReplyText::OutOfRangeLatchedCell : ReplyText::OutOfRangeLastCell);
    if (raw == RawNoResult)
        return QString::fromUtf8(latched ? NoDataLatchedCell : NoDataLastCell);
    return QString::fromUtf8(ReplyText::ValueCellIndent) +
           FloatToStrByRange(range, ResultValue({raw, false}, range));
}
