#pragma once
// The traffic log as files: a text table to read, and CSV for a spreadsheet.
#include "traffic/Traffic.h"
#include <QByteArray>
#include <cstdint>
#include <vector>

// seqs: the frames to write, oldest first; frames no longer kept are left out. UTF-8.
// Text: one frame a line, the monitor's columns separated by two spaces and padded to line up (a
// cell too long for that, such as a long frame's hex, only pushes its own line along), a heading
// line first.
QByteArray TrafficAsText(const TTrafficLog& log, const std::vector<std::uint64_t>& seqs);
// CSV: a heading row, then one row a frame, CRLF line ends; fields quoted as RFC 4180 asks, ";"
// never used; a byte order mark first.
QByteArray TrafficAsCsv(const TTrafficLog& log, const std::vector<std::uint64_t>& seqs);
// Every kept frame, oldest first.
std::vector<std::uint64_t> AllFrames(const TTrafficLog& log);
