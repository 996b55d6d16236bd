#include "convert/Unit_Utils.h"
#include <QLocale>
#include <cmath>
#include <gtest/gtest.h>
#include <limits>
#include <vector>

namespace {
const QLocale commaLocale(QLocale::Russian, QLocale::Russia);
const QLocale dotLocale(QLocale::English, QLocale::UnitedStates);

class LocaleGuard {
  public:
    explicit LocaleGuard(const QLocale& locale) { QLocale::setDefault(locale); }
    ~LocaleGuard() { QLocale::setDefault(QLocale::c()); }
};

struct ParseCase {
    const char* text;
    bool ok;
    double value;
};

void CheckParse(const QLocale& locale, const std::vector<ParseCase>& cases)
{
    const LocaleGuard guard(locale);
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        bool ok = !c.ok;
        const double tried = TryStrToFloatDotComma(QString::fromUtf8(c.text), ok);
        EXPECT_EQ(ok, c.ok);
        if (c.ok) {
            EXPECT_DOUBLE_EQ(tried, c.value);
            EXPECT_DOUBLE_EQ(StrToFloatDotComma(QString::fromUtf8(c.text)), c.value);
        } else {
            EXPECT_EQ(tried, 0.0);
            EXPECT_THROW(StrToFloatDotComma(QString::fromUtf8(c.text)), EConvertError);
        }
    }
}
} // namespace

TEST(StrToFloatDotComma, CommaLocale)
{
    CheckParse(commaLocale, {
                                {"1,5", true, 1.5},       {"1.5", true, 1.5},  {"-2.25", true, -2.25},
                                {"5,", true, 5},          {"5.", true, 5},     {",5", true, 0.5},
                                {"  1.5 ", true, 1.5},    {"1e3", true, 1000}, {"0", true, 0},
                                {"1.5.7", false, 0},      {"1,5,7", false, 0}, {"1.234,5", false, 0},
                                {"1\u00a0000", false, 0}, {"abc", false, 0},   {"", false, 0},
                                {"   ", false, 0},        {"1,5x", false, 0},  {"inf", false, 0},
                                {"nan", false, 0},        {"1e999", false, 0},
                            });
}

TEST(StrToFloatDotComma, DotLocale)
{
    CheckParse(dotLocale, {
                              {"1.5", true, 1.5},
                              {"1,5", true, 1.5},
                              {"12,345", true, 12.345},
                              {"5,", true, 5},
                              {"-0,125", true, -0.125},
                              {"1,234.5", false, 0},
                              {"1.5.7", false, 0},
                              {"abc", false, 0},
                              {"1 5", false, 0},
                          });
}

TEST(FloatToStrByRange, DecimalsFollowTheRange)
{
    struct Case {
        double range, value;
        const char* comma;
        const char* dot;
    };
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const std::vector<Case> cases = {
        {0, 1.23456, "1,2346", "1.2346"},      {10, 1.23456, "1,2346", "1.2346"},
        {10.0001, 1.23456, "1,235", "1.235"},  {100, 125, "125,000", "125.000"},
        {250, 125, "125,00", "125.00"},        {1000, 1234.5, "1234,50", "1234.50"},
        {1000.5, 1234.56, "1234,6", "1234.6"}, {2000, 1234567.25, "1234567,3", "1234567.3"},
        {nan, 2, "2,0000", "2.0000"},          {-5, -0.5, "-0,5000", "-0.5000"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.range);
        {
            const LocaleGuard guard(commaLocale);
            EXPECT_EQ(FloatToStrByRange(c.range, c.value), QString::fromUtf8(c.comma));
        }
        {
            const LocaleGuard guard(dotLocale);
            EXPECT_EQ(FloatToStrByRange(c.range, c.value), QString::fromUtf8(c.dot));
        }
    }
}

TEST(HexToByte, ReadsTwoDigitsOrFails)
{
    struct Case {
        QByteArray text;
        int value; // -1: not a hexadecimal byte
    };
    const std::vector<Case> cases = {
        {"0A", 10}, {"ff", 255}, {"FF", 255}, {"fF", 255}, {"1A", 26}, {"00", 0},  {"1AZ", 26},
        {"7", -1},  {"", -1},    {"G1", -1},  {"1G", -1},  {" 1", -1}, {"-1", -1}, {"0x", -1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text.toStdString());
        if (c.value < 0) {
            EXPECT_THROW(HexToByte(c.text), EConvertError);
            EXPECT_EQ(MyHexValue(c.text), 0);
        } else {
            EXPECT_EQ(HexToByte(c.text), c.value);
            EXPECT_EQ(MyHexValue(c.text), c.value);
        }
    }
}

TEST(GetFileVersionText, IsFourPartVersion)
{
    const QStringList parts = GetFileVersionText().split('.');
    ASSERT_EQ(parts.size(), 4);
    for (const QString& part : parts) {
        bool ok = false;
        part.toInt(&ok);
        EXPECT_TRUE(ok) << part.toStdString();
    }
}
