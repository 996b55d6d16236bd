#include "pages/ResultText.h"
#include "pages/ReplyTexts.h"
#include <QLocale>

namespace {
QLocale NumberLocale()
{
    QLocale locale;
    locale.setNumberOptions(QLocale::OmitGroupSeparator);
    return locale;
}
} // namespace

int ResultDecimals(double range)
{
    if (range >= 1000)
        return 0;
    if (range >= 500)
        return 1;
    if (range >= 100)
        return 2;
    if (range >= 10)
        return 3;
    return 4;
}

QString GeneralNumberText(double value)
{
    return NumberLocale().toString(value, 'g', 15);
}

QString FixedNumberText(double value, int decimals)
{
    return NumberLocale().toString(value, 'f', decimals);
}

QString LatchResultText(TLatchColumn column, const TResultField& field, double range)
{
    if (field.Raw == RawOutOfRange)
        return QString::fromUtf8(column == LastResultColumn ? ReplyText::OutOfRangeLastCell
                                                            : ReplyText::OutOfRangeLatchedCell);
    if (field.Raw == RawNoResult)
        return QString::fromUtf8(ReplyText::NoResultCell);
    const double value = ResultValue(field, range);
    const QString number =
        field.NForm ? GeneralNumberText(value) : FixedNumberText(value, ResultDecimals(range));
    return QString::fromUtf8(ReplyText::ValueCellIndent) + number;
}
