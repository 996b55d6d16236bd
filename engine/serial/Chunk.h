#pragma once
#include <QByteArray>
#include <chrono>

// Bytes as the polling thread read them off the line, with the line speed they arrived at and
// the moment the read ended: a reply read before a speed switch belongs to the old speed,
// whenever it is handled.
struct TChunk {
    QByteArray Bytes;
    int Speed = 0; // baud
    std::chrono::steady_clock::time_point ReadAt;
    // When its first bytes were read: none of them can answer a request sent later.
    std::chrono::steady_clock::time_point FirstAt = ReadAt;
};
