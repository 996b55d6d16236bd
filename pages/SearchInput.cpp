#include "pages/SearchInput.h"
#include <algorithm>
#include <optional>

namespace {
// Watchdog time per address and ms of delay: a pass gets a hundred times what its pauses take.
constexpr std::int32_t WatchdogFactor = 100;

std::optional<int> WholeNumber(const QString& text)
{
    bool ok = false;
    const int value = text.trimmed().toInt(&ok, 10);
    return ok ? std::optional<int>(value) : std::nullopt;
}

TSearchInput Refuse(TSearchInput::Field field, const QString& message)
{
    TSearchInput input;
    input.refused = field;
    input.message = message;
    return input;
}
} // namespace

QString SearchInputCaption()
{
    return QStringLiteral("Параметры поиска");
}

TSearchInput CheckSearchInput(const QString& delayText, const QString& rangeText)
{
    using Field = TSearchInput::Field;
    const std::optional<int> delay = WholeNumber(delayText);
    if (!delay)
        return Refuse(Field::Delay,
                      QStringLiteral("Задержка при поиске должна быть целым числом миллисекунд."));
    if (*delay <= 0)
        return Refuse(Field::Delay, QStringLiteral("Задержка при поиске должна быть больше нуля."));
    if (*delay > MaxProbeDelay)
        return Refuse(Field::Delay,
                      QStringLiteral("Задержка при поиске не может быть больше %1 мс.").arg(MaxProbeDelay));
    const std::optional<int> range = WholeNumber(rangeText);
    if (!range || *range < MinSearchRange || *range > MaxSearchRange)
        return Refuse(Field::Range,
                      QStringLiteral("Верхняя граница поиска должна быть целым числом от %1 до %2.")
                          .arg(MinSearchRange)
                          .arg(MaxSearchRange));
    TSearchInput input;
    input.delay = std::max(*delay, MinProbeDelay);
    input.range = *range;
    input.watchdog = input.range * input.delay * WatchdogFactor;
    return input;
}

QString SearchProgressCaption(int address, int speed)
{
    // The speed label starts with a Latin "C"; the blank before it keeps one-digit addresses aligned.
    const QString label = address < 10 ? QStringLiteral(" Cкорость: ") : QStringLiteral("Cкорость: ");
    return QStringLiteral("         Адрес: ") + QString::number(address) + label + QString::number(speed);
}
