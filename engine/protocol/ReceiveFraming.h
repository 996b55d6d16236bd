#pragma once
// Cutting replies out of received bytes: plain functions on bytes, no state.
#include "protocol/Protocol.h"
#include <QByteArray>
#include <cstddef>
#include <cstdint>
#include <optional>

// A standard line never needs more than this: one full driver read (4096 bytes) of stream samples
// on top of a few kilobytes not yet cut. Beyond it the oldest bytes go, so that a line that never
// ends cannot grow without bound.
inline constexpr int MaxStandardReceiveBytes = 8192;

// The number of two hexadecimal digits in either case ("1A", "1a" -> 26); -1 for anything else,
// including texts that are not exactly two characters long.
int HexAddressNumber(const QByteArray& text);

// The current line of the standard protocol: the whole buffer. The buffer keeps what follows its
// first CR (nothing when it holds none).
QByteArray TakeStandardLine(QByteArray& buffer);

// Drops the characters before the first "!" or "%". False, with the line emptied, when it holds
// neither.
bool DropToReplyStart(QByteArray& line);

// The address text to create a record for, from a line received during a bus search: the first
// reply whose characters 4-6 are "R01", looked for at the start of the line and after each CR,
// names the sensor by the two characters after the first "!" of what is left of the line. None
// when that text is not two hexadecimal digits, is "00", or no such reply is found.
std::optional<QByteArray> SearchReplyAddress(QByteArray line);

// A Modbus RTU frame is complete when it has at least 3 bytes and its last two are the CRC-16 of
// the others, low byte first.
bool IsCompleteModbusFrame(const std::uint8_t* data, std::size_t size);

// The buffer when the pause after the search probe of address is over: empty, except for the
// beginning of that probe's answer while it is still arriving, which its next chunk completes.
// Bytes that cannot begin the answer are dropped.
QByteArray KeepAnswerStart(const QByteArray& buffer, int address, TProtocol protocol);
