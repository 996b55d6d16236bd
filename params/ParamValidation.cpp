#include "params/ParamValidation.h"
#include "convert/Unit_Utils.h"

namespace {

enum class TRule {
    Range,      // an integer within the row's raw range
    OddRange,   // the same, and odd
    Pick,       // exactly one of the row's pick-list texts
    Period,     // a decimal number within the raw range in tenths
    EdgeOrder,  // the row's edge is not above the next row's
    Correction, // an integer whose magnitude lies within the raw range
};

struct TGridCheck {
    int Row; // checked and focused
    TRule Rule;
    QString Message;
};

// In the order the user gets to see them. The edge checks accept equal edges.
const std::array<TGridCheck, 22>& GridChecks()
{
    using R = TRule;
    static const std::array<TGridCheck, 22> checks{{
        {0, R::Range, QStringLiteral("Сетевой адрес должен находиться в диапазоне от 1 до 255!")},
        {1, R::Pick, QStringLiteral("Неверно указан параметр \"Состояние датчика при подаче питания\"!")},
        {2, R::Pick, QStringLiteral("Неверно указан параметр \"Аналоговый выход\"!")},
        {3, R::Pick, QStringLiteral("Неверно указан параметр \"Выдача в потоке при вкл. питания\"!")},
        {4, R::Pick, QStringLiteral("Неверно указан параметр \"Тактирование\"!")},
        {5, R::Pick, QStringLiteral("Неверно указан параметр \"Формат байта\"!")},
        {6, R::Pick, QStringLiteral("Не указан параметр \"Скорость UART\"!")},
        {7, R::Period,
         QStringLiteral("Период измерения датчика должен находиться в диапазоне от 0,1 до 6553,5!")},
        {8, R::Range,
         QStringLiteral(
             "Константа, задающая период выдачи данных, должна находиться в диапазоне от 1 до 65535!")},
        {10, R::Range,
         QStringLiteral("Допустимое время отсутствия сигнала должно находиться в диапазоне от 0 до 65535!")},
        {11, R::Range,
         QStringLiteral("Нижняя граница аналогового выхода должна находиться в диапазоне от 0 до 50000!")},
        {12, R::Range,
         QStringLiteral("Верхняя граница аналогового выхода должна находиться в диапазоне от 0 до 50000!")},
        {13, R::Range,
         QStringLiteral(
             "Первый перепад первого дискретного выхода должен находиться в диапазоне от 0 до 50000!")},
        {14, R::Range,
         QStringLiteral(
             "Второй перепад первого дискретного выхода должен находиться в диапазоне от 0 до 50000!")},
        {13, R::EdgeOrder,
         QStringLiteral("У 1-го дискретного выхода первый перепад должен быть меньше второго перепада!")},
        {15, R::Range,
         QStringLiteral(
             "Первый перепад второго дискретного выхода должен находиться в диапазоне от 0 до 50000!")},
        {16, R::Range,
         QStringLiteral(
             "Второй перепад второго дискретного выхода должен находиться в диапазоне от 0 до 50000!")},
        {15, R::EdgeOrder,
         QStringLiteral("У 2-го дискретного выхода первый перепад должен быть меньше второго перепада!")},
        {17, R::Pick, QStringLiteral("Неверно указан параметр \"Тип предварительной фильтрации\"!")},
        {18, R::Range,
         QStringLiteral("Количество точек усреднения должно находиться в диапазоне от 1 до 255!")},
        {19, R::OddRange,
         QStringLiteral("Количество точек медианного фильтра должно находиться в диапазоне от 1 до 49 и "
                        "должно быть нечётным!")},
        {20, R::Correction, QStringLiteral("Неверно задано значение \"Коррекции выводимого результата\"!")},
    }};
    return checks;
}

bool IntegerWithin(const QString& text, std::int64_t min, std::int64_t max)
{
    std::int64_t value = 0;
    return ParamInteger(text, value) && value >= min && value <= max;
}

std::int64_t IntegerOf(const QString& text)
{
    std::int64_t value = 0;
    ParamInteger(text, value);
    return value;
}

bool Passes(const TGridCheck& check, const TParamTexts& page)
{
    const TParamRow& row = ParamRows()[check.Row];
    const QString& text = page.rows[check.Row];
    switch (check.Rule) {
    case TRule::Range:
        return IntegerWithin(text, row.RawMin, row.RawMax);
    case TRule::OddRange:
        return IntegerWithin(text, row.RawMin, row.RawMax) && IntegerOf(text) % 2 != 0;
    case TRule::Pick:
        return PickList(check.Row).contains(text);
    case TRule::Period: {
        bool ok = false;
        const double ms = TryStrToFloatDotComma(text, ok);
        return ok && ms >= row.RawMin / 10.0 && ms <= row.RawMax / 10.0;
    }
    case TRule::EdgeOrder:
        return IntegerOf(text) <= IntegerOf(page.rows[check.Row + 1]);
    case TRule::Correction:
        return IntegerWithin(text, -row.RawMax, row.RawMax);
    }
    return false;
}

struct TRadioCheck {
    TParamFocus Focus;
    int TParamTexts::*Index;
    const QStringList& (*Items)();
    QString Message;
};

const std::array<TRadioCheck, 4>& RadioChecks()
{
    using F = TParamFocus;
    static const std::array<TRadioCheck, 4> checks{{
        {F::RadioGroup1, &TParamTexts::radio1, &DiscreteOutputTexts,
         QStringLiteral("Не указаны настройки для первого дискретного выхода!")},
        {F::RadioGroup2, &TParamTexts::radio2, &DiscreteOutputTexts,
         QStringLiteral("Не указаны настройки для второго дискретного выхода!")},
        {F::RadioGroup6, &TParamTexts::radio6, &ResultComputationTexts,
         QStringLiteral("Не указан \"способ вычисления результата\"!")},
        {F::RadioGroup5, &TParamTexts::radio5, &ObjectTypeTexts,
         QStringLiteral("Не указан \"тип объекта\"!")},
    }};
    return checks;
}

} // namespace

TParamCheck Correct_Enter_Param(const TParamTexts& page)
{
    TParamCheck result;
    int number = 0;
    for (const TGridCheck& check : GridChecks()) {
        ++number;
        if (!Passes(check, page)) {
            result.Check = number;
            result.Message = check.Message;
            result.Focus = TParamFocus::Grid;
            result.Row = check.Row;
            result.Column = 1;
            return result;
        }
    }
    result.Correction = CorrectionOf(static_cast<std::int32_t>(IntegerOf(page.rows[ParamRow::Correz])));

    ++number; // storing the correction
    for (const TRadioCheck& check : RadioChecks()) {
        ++number;
        const int index = page.*check.Index;
        if (index < 0 || index >= check.Items().size()) {
            result.Check = number;
            result.Message = check.Message;
            result.Focus = check.Focus;
            return result;
        }
    }
    result.Passed = true;
    return result;
}
