#include "LocaleTest.h"
#include "params/ParamValidation.h"
#include <functional>
#include <vector>

namespace {

QString U(const char* utf8)
{
    return QString::fromUtf8(utf8);
}

// A page that passes every check, its edges apart so that either edge can move to its bound.
TParamTexts ValidPage()
{
    TParamTexts page;
    page.rows = {U("1"),          U("Вкл"),
                 U("Выкл"),       U("Выкл"),
                 U("по таймеру"), U("паритета нет, 1 стоп-бит"),
                 U("115200 бод"), LocalNumber("100,0"),
                 U("10"),         U("не проверяется"),
                 U("1000"),       U("0"),
                 U("50000"),      U("0"),
                 U("50000"),      U("0"),
                 U("50000"),      U("скользящее усреднение"),
                 U("1"),          U("3"),
                 U("-300")};
    page.radio1 = page.radio2 = page.radio6 = page.radio5 = 0;
    return page;
}

// The check that guards each grid row's own value.
int CheckOfRow(int row)
{
    static const std::vector<int> checks{1,  2,  3,  4,  5,  6,  7,  8,  9,  -1, 10,
                                         11, 12, 13, 14, 16, 17, 19, 20, 21, 22};
    return checks.at(static_cast<std::size_t>(row));
}

class ParamValidationTest : public LocaleTest {};
INSTANTIATE_LOCALE_SUITE(ParamValidationTest);

TEST_P(ParamValidationTest, ValidPagePassesAndGivesTheCorrection)
{
    const TParamCheck result = Correct_Enter_Param(ValidPage());
    EXPECT_TRUE(result.Passed);
    EXPECT_EQ(result.Check, 0);
    EXPECT_EQ(result.Message, QString());
    EXPECT_EQ(result.Focus, TParamFocus::None);
    ASSERT_TRUE(result.Correction.has_value());
    EXPECT_EQ(result.Correction->Correz, -300);
}

TEST_P(ParamValidationTest, EachCheckFailsWithItsMessageAndFocus)
{
    using F = TParamFocus;
    struct Case {
        int check;
        std::function<void(TParamTexts&)> spoil;
        TParamFocus focus;
        int row;
        const char* message;
    };
    const std::vector<Case> cases = {
        {1, [](TParamTexts& p) { p.rows[0] = U(""); }, F::Grid, 0,
         "Сетевой адрес должен находиться в диапазоне от 1 до 255!"},
        {2, [](TParamTexts& p) { p.rows[1] = U("вкл"); }, F::Grid, 1,
         "Неверно указан параметр \"Состояние датчика при подаче питания\"!"},
        {3, [](TParamTexts& p) { p.rows[2] = U("Вкл "); }, F::Grid, 2,
         "Неверно указан параметр \"Аналоговый выход\"!"},
        {4, [](TParamTexts& p) { p.rows[3] = U(""); }, F::Grid, 3,
         "Неверно указан параметр \"Выдача в потоке при вкл. питания\"!"},
        {5, [](TParamTexts& p) { p.rows[4] = U("по Таймеру"); }, F::Grid, 4,
         "Неверно указан параметр \"Тактирование\"!"},
        {6, [](TParamTexts& p) { p.rows[5] = U("паритета нет,1 стоп-бит"); }, F::Grid, 5,
         "Неверно указан параметр \"Формат байта\"!"},
        {7, [](TParamTexts& p) { p.rows[6] = U("115200"); }, F::Grid, 6,
         "Не указан параметр \"Скорость UART\"!"},
        {8, [](TParamTexts& p) { p.rows[7] = LocalNumber("0,05"); }, F::Grid, 7,
         "Период измерения датчика должен находиться в диапазоне от 0,1 до 6553,5!"},
        {9, [](TParamTexts& p) { p.rows[8] = U("0"); }, F::Grid, 8,
         "Константа, задающая период выдачи данных, должна находиться в диапазоне от 1 до 65535!"},
        {10, [](TParamTexts& p) { p.rows[10] = U("65536"); }, F::Grid, 10,
         "Допустимое время отсутствия сигнала должно находиться в диапазоне от 0 до 65535!"},
        {11, [](TParamTexts& p) { p.rows[11] = U("50001"); }, F::Grid, 11,
         "Нижняя граница аналогового выхода должна находиться в диапазоне от 0 до 50000!"},
        {12, [](TParamTexts& p) { p.rows[12] = U("-1"); }, F::Grid, 12,
         "Верхняя граница аналогового выхода должна находиться в диапазоне от 0 до 50000!"},
        {13, [](TParamTexts& p) { p.rows[13] = U("abc"); }, F::Grid, 13,
         "Первый перепад первого дискретного выхода должен находиться в диапазоне от 0 до 50000!"},
        {14, [](TParamTexts& p) { p.rows[14] = U("1e3"); }, F::Grid, 14,
         "Второй перепад первого дискретного выхода должен находиться в диапазоне от 0 до 50000!"},
        {15,
         [](TParamTexts& p) {
             p.rows[13] = U("301");
             p.rows[14] = U("300");
         },
         F::Grid, 13, "У 1-го дискретного выхода первый перепад должен быть меньше второго перепада!"},
        {16, [](TParamTexts& p) { p.rows[15] = U(" "); }, F::Grid, 15,
         "Первый перепад второго дискретного выхода должен находиться в диапазоне от 0 до 50000!"},
        {17, [](TParamTexts& p) { p.rows[16] = U("99999999999999999999"); }, F::Grid, 16,
         "Второй перепад второго дискретного выхода должен находиться в диапазоне от 0 до 50000!"},
        {18,
         [](TParamTexts& p) {
             p.rows[15] = U("5000");
             p.rows[16] = U("4999");
         },
         F::Grid, 15, "У 2-го дискретного выхода первый перепад должен быть меньше второго перепада!"},
        {19, [](TParamTexts& p) { p.rows[17] = U("медианный"); }, F::Grid, 17,
         "Неверно указан параметр \"Тип предварительной фильтрации\"!"},
        {20, [](TParamTexts& p) { p.rows[18] = U("256"); }, F::Grid, 18,
         "Количество точек усреднения должно находиться в диапазоне от 1 до 255!"},
        {21, [](TParamTexts& p) { p.rows[19] = U("2"); }, F::Grid, 19,
         "Количество точек медианного фильтра должно находиться в диапазоне от 1 до 49 и должно быть "
         "нечётным!"},
        {22, [](TParamTexts& p) { p.rows[20] = U("65536"); }, F::Grid, 20,
         "Неверно задано значение \"Коррекции выводимого результата\"!"},
        {24, [](TParamTexts& p) { p.radio1 = -1; }, F::RadioGroup1, -1,
         "Не указаны настройки для первого дискретного выхода!"},
        {25, [](TParamTexts& p) { p.radio2 = -1; }, F::RadioGroup2, -1,
         "Не указаны настройки для второго дискретного выхода!"},
        {26, [](TParamTexts& p) { p.radio6 = -1; }, F::RadioGroup6, -1,
         "Не указан \"способ вычисления результата\"!"},
        {27, [](TParamTexts& p) { p.radio5 = -1; }, F::RadioGroup5, -1, "Не указан \"тип объекта\"!"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.check);
        TParamTexts page = ValidPage();
        c.spoil(page);
        const TParamCheck result = Correct_Enter_Param(page);
        EXPECT_FALSE(result.Passed);
        EXPECT_EQ(result.Check, c.check);
        EXPECT_EQ(result.Message, U(c.message));
        EXPECT_EQ(result.Focus, c.focus);
        EXPECT_EQ(result.Row, c.row);
        EXPECT_EQ(result.Column, c.focus == F::Grid ? 1 : -1);
        // The correction is taken once every grid row has passed, whatever follows.
        EXPECT_EQ(result.Correction.has_value(), c.check > 22);
    }
}

TEST_P(ParamValidationTest, BoundsOfEveryRow)
{
    struct Case {
        int row;
        const char* text; // "," in a number stands for this run's separator where local is set
        bool local;
        bool passes;
    };
    const std::vector<Case> cases = {
        {0, "1", false, true},
        {0, "255", false, true},
        {0, "0", false, false},
        {0, "256", false, false},
        {0, "", false, false},
        {0, " ", false, false},
        {0, "abc", false, false},
        {0, "-1", false, false},
        {0, "1.0", false, false},
        {0, "1,0", false, false},
        {0, " 12 ", false, true},
        {0, "+12", false, true},
        {0, "99999999999999999999", false, false},
        {0, "4294967297", false, false},
        {1, "Вкл", false, true},
        {1, "Выкл", false, true},
        {1, "вкл", false, false},
        {1, "ВКЛ", false, false},
        {1, " Вкл", false, false},
        {1, "1", false, false},
        {4, "по внешнему синхросигналу", false, true},
        {4, "по таймеру ", false, false},
        {5, "контроль нечетности, 2 стоп-бита", false, true},
        {5, "контроль четности, 2 стоп-бита", false, true},
        {6, "9600 бод", false, true},
        {6, "921600 бод", false, true},
        {6, "9600", false, false},
        {6, "", false, false},
        {7, "0,1", true, true},
        {7, "0,1", false, true},
        {7, "0.1", false, true},
        {7, "6553,5", true, true},
        {7, "6553.5", false, true},
        {7, "6553,6", true, false},
        {7, "0,05", true, false},
        {7, "0,09", true, false},
        {7, "0", false, false},
        {7, "-0,1", true, false},
        {7, "", false, false},
        {7, "abc", false, false},
        {7, "1,5.7", false, false},
        {7, "1e9", false, false},
        {7, "inf", false, false},
        {7, "1e3", false, true},
        {7, " 2,5 ", true, true},
        {8, "1", false, true},
        {8, "65535", false, true},
        {8, "0", false, false},
        {8, "65536", false, false},
        {10, "0", false, true},
        {10, "65535", false, true},
        {10, "-1", false, false},
        {10, "65536", false, false},
        {11, "0", false, true},
        {11, "50000", false, true},
        {11, "50001", false, false},
        {12, "-1", false, false},
        {12, "50000", false, true},
        {13, "50000", false, true},
        {13, "50001", false, false},
        {14, "0", false, true},
        {14, "-0", false, true},
        {14, "-1", false, false},
        {15, "50000", false, true},
        {15, "1,5", false, false},
        {16, "0", false, true},
        {16, "50001", false, false},
        {17, "медианная фильтрация", false, true},
        {17, "Медианная фильтрация", false, false},
        {18, "1", false, true},
        {18, "255", false, true},
        {18, "0", false, false},
        {18, "256", false, false},
        {19, "1", false, true},
        {19, "49", false, true},
        {19, "47", false, true},
        {19, "2", false, false},
        {19, "48", false, false},
        {19, "51", false, false},
        {19, "0", false, false},
        {19, "-1", false, false},
        {19, "-3", false, false},
        {20, "-65535", false, true},
        {20, "65535", false, true},
        {20, "0", false, true},
        {20, "65536", false, false},
        {20, "-65536", false, false},
        {20, "", false, false},
        {20, "abc", false, false},
        {20, "1,5", false, false},
        {20, "- 5", false, false},
        {9, "", false, true},
        {9, "что угодно", false, true},
    };
    for (const auto& c : cases) {
        TParamTexts page = ValidPage();
        page.rows[c.row] = c.local ? LocalNumber(c.text) : U(c.text);
        SCOPED_TRACE("row " + std::to_string(c.row) + " \"" + page.rows[c.row].toStdString() + "\"");
        const TParamCheck result = Correct_Enter_Param(page);
        EXPECT_EQ(result.Passed, c.passes);
        if (!c.passes) {
            EXPECT_EQ(result.Check, CheckOfRow(c.row));
            EXPECT_EQ(result.Row, c.row);
        }
    }
}

TEST_P(ParamValidationTest, EdgesMayBeEqualButNotReversed)
{
    struct Case {
        int first;
        const char* firstText;
        const char* secondText;
        int check; // 0: passes
    };
    const std::vector<Case> cases = {
        {13, "300", "300", 0}, {13, "301", "300", 15}, {13, "0", "0", 0},         {13, "50000", "0", 15},
        {15, "300", "300", 0}, {15, "301", "300", 18}, {15, "49999", "50000", 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::to_string(c.first) + ": " + c.firstText + " " + c.secondText);
        TParamTexts page = ValidPage();
        page.rows[c.first] = U(c.firstText);
        page.rows[c.first + 1] = U(c.secondText);
        const TParamCheck result = Correct_Enter_Param(page);
        EXPECT_EQ(result.Check, c.check);
        if (c.check) {
            EXPECT_EQ(result.Row, c.first);
        }
    }
}

TEST_P(ParamValidationTest, RadioGroupsNeedAnItemOfTheirOwn)
{
    struct Case {
        int radio1, radio2, radio6, radio5;
        int check;
    };
    const std::vector<Case> cases = {
        {2, 2, 1, 8, 0},  {3, 0, 0, 0, 24},     {0, 3, 0, 0, 25},    {0, 0, 2, 0, 26},
        {0, 0, 0, 9, 27}, {-1, -1, -1, -1, 24}, {0, -5, -1, -1, 25},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.check);
        TParamTexts page = ValidPage();
        page.radio1 = c.radio1;
        page.radio2 = c.radio2;
        page.radio6 = c.radio6;
        page.radio5 = c.radio5;
        EXPECT_EQ(Correct_Enter_Param(page).Check, c.check);
    }
}

TEST_P(ParamValidationTest, CorrectionIsGivenEvenWhenARadioGroupFails)
{
    struct Case {
        const char* text;
        int radio5;
        bool passes;
        std::int32_t correz;
        std::uint8_t hi, lo, sign;
    };
    const std::vector<Case> cases = {
        {"-300", 0, true, -300, 1, 0x2C, 1},
        {"-300", -1, false, -300, 1, 0x2C, 1},
        {"300", 0, true, 300, 1, 0x2C, 0},
        {"0", 0, true, 0, 0, 0, 0},
        {"-0", 0, true, 0, 0, 0, 0},
        {"65535", -1, false, 65535, 0xFF, 0xFF, 0},
        {" -65535 ", 0, true, -65535, 0xFF, 0xFF, 1},
        {"+256", 0, true, 256, 1, 0, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        TParamTexts page = ValidPage();
        page.rows[20] = U(c.text);
        page.radio5 = c.radio5;
        const TParamCheck result = Correct_Enter_Param(page);
        EXPECT_EQ(result.Passed, c.passes);
        ASSERT_TRUE(result.Correction.has_value());
        EXPECT_EQ(result.Correction->Correz, c.correz);
        EXPECT_EQ(result.Correction->CorrezHi, c.hi);
        EXPECT_EQ(result.Correction->CorrezLo, c.lo);
        EXPECT_EQ(result.Correction->CorrezSign, c.sign);
    }
}

TEST_P(ParamValidationTest, FirstFailingCheckWins)
{
    // Before any read: every cell empty, nothing selected.
    const TParamCheck empty = Correct_Enter_Param(TParamTexts{});
    EXPECT_EQ(empty.Check, 1);
    EXPECT_EQ(empty.Row, 0);
    EXPECT_EQ(empty.Message, U("Сетевой адрес должен находиться в диапазоне от 1 до 255!"));

    TParamTexts page = ValidPage();
    page.rows[5] = U("?");
    page.rows[20] = U("?");
    page.radio5 = -1;
    EXPECT_EQ(Correct_Enter_Param(page).Check, 6);
    page.rows[5] = ValidPage().rows[5];
    EXPECT_EQ(Correct_Enter_Param(page).Check, 22);
    page.rows[20] = U("1");
    EXPECT_EQ(Correct_Enter_Param(page).Check, 27);
}

} // namespace
