#pragma once
// Texts the window shows for what the bus reports, exactly as the user sees them.

namespace ReplyText {
// Status panel 0 after the echoes of the switching commands.
inline constexpr char SensorConfigured[] = "  Датчик настроен";
inline constexpr char SensorOn[] = "  Датчик включён";
inline constexpr char SensorOff[] = "  Датчик выключен";
// Status panel 1.
inline constexpr char DefaultsSet[] = "Параметры по умолчанию установлены";
inline constexpr char ResultLatched[] = "Результат защёлкнут";
inline constexpr char LatchedResultRead[] = "Результат прочитан из защёлки";
inline constexpr char LastResultRead[] = "Последний результат прочитан";
// Latch-table cells.
inline constexpr char LatchedCell[] = "               Защёлкнут";
inline constexpr char OutOfRangeLatchedCell[] = "         Вне диапазона";
inline constexpr char OutOfRangeLastCell[] = "       Вне диапазона";
inline constexpr char NoResultCell[] = "        Нет результата";
inline constexpr char ValueCellIndent[] = "               ";
// Status panel 2: a reply that could not be decoded, and a Modbus frame that never completed.
inline constexpr char DecodingError[] = "Ошибка принятия данных";
inline constexpr char FrameError[] = "Ошибка приёма данных";
} // namespace ReplyText
