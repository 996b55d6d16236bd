#include "protocol/ReplyFields.h"
#include "convert/Unit_Utils.h"
#include <QString>
#include <limits>
#include <string>

namespace {
// Characters first .. first + count - 1 (positions from 1); the reply must reach the last of them.
QByteArray Field(const QByteArray& reply, int first, int count)
{
    if (reply.size() < first - 1 + count)
        throw EConvertError("reply of " + std::to_string(reply.size()) + " characters ends before position " +
                            std::to_string(first - 1 + count));
    return reply.mid(first - 1, count);
}

std::int64_t DecimalField(const QByteArray& field, bool allowSign)
{
    const auto value = DecimalNumber(field, allowSign);
    if (!value)
        throw EConvertError("'" + field.toStdString() + "' is not a valid integer value");
    return *value;
}
} // namespace

std::optional<std::int64_t> DecimalNumber(const QByteArray& text, bool allowSign)
{
    qsizetype i = 0;
    while (i < text.size() && text[i] == ' ')
        ++i;
    bool negative = false;
    if (allowSign && i < text.size() && (text[i] == '-' || text[i] == '+'))
        negative = text[i++] == '-';
    const qsizetype firstDigit = i;
    std::int64_t value = 0;
    for (; i < text.size(); ++i) {
        const char c = text[i];
        if (c < '0' || c > '9' || i - firstDigit >= 18)
            return std::nullopt;
        value = value * 10 + (c - '0');
    }
    if (i == firstDigit)
        return std::nullopt;
    return negative ? -value : value;
}

TResultField ParseResultField(const QByteArray& reply)
{
    TResultField field;
    field.NForm = Field(reply, 6, 1) == "N";
    const std::int64_t number =
        field.NForm ? DecimalField(Field(reply, 7, 4), false) : DecimalField(Field(reply, 6, 5), false);
    field.Raw = static_cast<std::uint16_t>(number & 0xFFFF);
    return field;
}

double ResultValue(const TResultField& field, double range)
{
    return field.NForm ? field.Raw : field.Raw * range / 50000.0;
}

QByteArray IdentModel(const QByteArray& reply)
{
    return Field(reply, 4, 20);
}

std::int32_t IdentSerialNumber(const QByteArray& reply)
{
    const QByteArray field = Field(reply, 27, 10);
    const std::int64_t number = DecimalField(field, true);
    if (number < std::numeric_limits<std::int32_t>::min() ||
        number > std::numeric_limits<std::int32_t>::max())
        throw EConvertError("'" + field.toStdString() + "' is not a valid integer value");
    return static_cast<std::int32_t>(number);
}

double IdentRange(const QByteArray& reply)
{
    return StrToFloatDotComma(QString::fromLatin1(Field(reply, 39, 9)));
}

double IdentDistance(const QByteArray& reply)
{
    return StrToFloatDotComma(QString::fromLatin1(Field(reply, 50, 9)));
}
