#pragma once
// What of the receive buffer to keep when a search probe's pause is over.
#include <QByteArray>
#include <cstdint>

// The buffer after the pause that follows the probe of address in protocol mode (0 standard,
// 1 Modbus RTU): empty, except for the beginning of that probe's answer while it is still
// arriving, which its next chunk completes. Bytes that cannot begin the answer are dropped.
QByteArray KeepAnswerStart(const QByteArray& buffer, int address, std::uint8_t mode);
