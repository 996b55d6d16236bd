#pragma once
#include <QLocale>
#include <QString>
#include <gtest/gtest.h>
#include <ostream>
#include <string>

// Failures show texts, not UTF-16 code units.
inline void PrintTo(const QString& text, std::ostream* os)
{
    *os << '"' << text.toStdString() << '"';
}

// A suite that runs once in a Russian locale (decimal ",") and once in an English one (".").
class LocaleTest : public ::testing::TestWithParam<QLocale::Language> {
  protected:
    void SetUp() override
    {
        QLocale::setDefault(GetParam() == QLocale::Russian
                                ? QLocale(QLocale::Russian, QLocale::Russia)
                                : QLocale(QLocale::English, QLocale::UnitedStates));
    }
    void TearDown() override { QLocale::setDefault(QLocale::c()); }
};

// A number written with "," in the current locale's decimal separator.
inline QString LocalNumber(const char* commaNumber)
{
    return QString::fromUtf8(commaNumber).replace(u',', QLocale().decimalPoint());
}

inline std::string LocaleName(const ::testing::TestParamInfo<QLocale::Language>& info)
{
    return info.param == QLocale::Russian ? "Comma" : "Dot";
}

#define INSTANTIATE_LOCALE_SUITE(Suite)                                                                      \
    INSTANTIATE_TEST_SUITE_P(Locales, Suite, ::testing::Values(QLocale::Russian, QLocale::English),          \
                             LocaleName)
