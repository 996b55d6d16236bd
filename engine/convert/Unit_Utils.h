#pragma once
#include <QByteArray>
#include <QString>
#include <cstdint>
#include <stdexcept>

// The conversion error that StrToFloatDotComma, HexToByte and lookups raise to their callers.
class EConvertError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// Decimal text to number with the locale's separator, retrying with "," and "." swapped once.
double StrToFloatDotComma(const QString& s);          // throws EConvertError
double TryStrToFloatDotComma(const QString& s, bool& ok);
QString GetFileVersionText();                          // the compiled-in four-part version
QString FloatToStrByRange(double Range, double Value); // fixed, decimals chosen by the range
// The value of one hexadecimal digit (either case), or -1.
int HexDigit(char c);
std::uint8_t HexToByte(const QByteArray& s);           // throws EConvertError
std::uint8_t MyHexValue(const QByteArray& s);          // HexToByte of the lower-cased text; 0 on error
