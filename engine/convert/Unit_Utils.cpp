#include "convert/Unit_Utils.h"
#include "Version.h"
#include <QLocale>
#include <cmath>

namespace {
// Group separators are refused: in a "." locale "1,5" must not read as 15. Surrounding
// blanks are accepted, as QLocale does. Infinities and NaN are no numbers for any caller.
bool ParseLocaleNumber(const QString& s, double& value)
{
    QLocale locale;
    locale.setNumberOptions(QLocale::RejectGroupSeparator);
    bool ok = false;
    value = locale.toDouble(s, &ok);
    return ok && std::isfinite(value);
}

QString SwapFirstSeparator(QString s)
{
    for (QChar& c : s) {
        if (c == u',') {
            c = u'.';
            break;
        }
        if (c == u'.') {
            c = u',';
            break;
        }
    }
    return s;
}

} // namespace

int HexDigit(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    return -1;
}

double StrToFloatDotComma(const QString& s)
{
    bool ok = false;
    const double value = TryStrToFloatDotComma(s, ok);
    if (!ok)
        throw EConvertError("'" + s.toStdString() + "' is not a valid floating point value");
    return value;
}

double TryStrToFloatDotComma(const QString& s, bool& ok)
{
    double value = 0;
    ok = ParseLocaleNumber(s, value) || ParseLocaleNumber(SwapFirstSeparator(s), value);
    return ok ? value : 0;
}

QString GetFileVersionText()
{
    return QStringLiteral(VELTRANO_VERSION);
}

QString FloatToStrByRange(double Range, double Value)
{
    int decimals = 4;
    if (Range > 1000)
        decimals = 1;
    else if (Range > 100)
        decimals = 2;
    else if (Range > 10)
        decimals = 3;
    QLocale locale;
    locale.setNumberOptions(QLocale::OmitGroupSeparator);
    return locale.toString(Value, 'f', decimals);
}

std::uint8_t HexToByte(const QByteArray& s)
{
    const int hi = s.size() >= 2 ? HexDigit(s[0]) : -1;
    const int lo = s.size() >= 2 ? HexDigit(s[1]) : -1;
    if (hi < 0 || lo < 0)
        throw EConvertError("'" + s.toStdString() + "' is not a valid hexadecimal byte");
    return static_cast<std::uint8_t>(hi * 16 + lo);
}

std::uint8_t MyHexValue(const QByteArray& s)
{
    try {
        return HexToByte(s.toLower());
    } catch (const EConvertError&) {
        return 0;
    }
}
