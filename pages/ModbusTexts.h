#pragma once
// What the window shows for Modbus replies, exactly as the user sees it.
#include "pages/LatchColumns.h"
#include <QString>
#include <cstdint>
#include <optional>

// The message box of an exception reply.
struct TModbusExceptionMessage {
    QString text;
    QString caption;
};
// Codes 1 to 7 have a message; the others none.
std::optional<TModbusExceptionMessage> ModbusExceptionMessage(std::uint8_t code);

// The latch-table cell of a result read over Modbus (LatchReadColumn or LastResultColumn): the
// out-of-range and no-data codes as words, any other raw value in mm with the decimals that
// FloatToStrByRange gives for the sensor's measuring range.
QString ModbusResultText(TLatchColumn column, std::uint16_t raw, double range);
