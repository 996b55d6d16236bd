#pragma once
// Fields of standard-protocol replies, read from their fixed positions. Positions count from the
// reply's leading "!" or "%" as 1. A field that the reply does not reach, or that is no number,
// throws EConvertError; nothing is read outside the reply.
#include <QByteArray>
#include <cstdint>
#include <optional>

// The result field of a latched-result (FR) or last-result (LR) reply: positions 6-10 hold the
// raw value, or "N" and a count in positions 7-10.
struct TResultField {
    std::uint16_t Raw = 0; // the low 16 bits of the number sent
    bool NForm = false;    // a count, used unscaled and shown without unit
};

inline constexpr std::uint16_t RawOutOfRange = 65535;
inline constexpr std::uint16_t RawNoResult = 65534;

TResultField ParseResultField(const QByteArray& reply);
// The result: the count itself for the N form, otherwise raw x range / 50000 mm.
double ResultValue(const TResultField& field, double range);

// Identification ("%") reply: model name at 4-23, serial number at 27-36, measuring range at
// 39-47 and emitter-receiver distance at 50-58, both in mm with "," or "." as separator.
QByteArray IdentModel(const QByteArray& reply);
std::int32_t IdentSerialNumber(const QByteArray& reply);
double IdentRange(const QByteArray& reply);
double IdentDistance(const QByteArray& reply);

// A decimal integer: leading blanks, a sign where allowSign, then 1 to 18 digits and nothing
// else. None for anything else.
std::optional<std::int64_t> DecimalNumber(const QByteArray& text, bool allowSign);
