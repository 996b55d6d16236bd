#pragma once
// What went over the line, kept for tests and printed by the command-line tool.
#include "sim/SimTypes.h"

#include <QString>
#include <deque>
#include <functional>
#include <vector>

class SimFrameLog {
  public:
    using Sink = std::function<void(const SimFrameRecord&)>;

    void add(SimFrameRecord record);
    std::vector<SimFrameRecord> records() const;
    void clear();
    // Called with each new record, on the bus thread, while the bus is locked: it must not call
    // back into the bus.
    void setSink(Sink sink) { sink_ = std::move(sink); }

    // Oldest records go first once this many are kept.
    static constexpr std::size_t Capacity = 20000;

  private:
    std::deque<SimFrameRecord> records_;
    Sink sink_;
};

// One line: time in seconds, direction, speed, the bytes in hex and as text with "." for bytes
// that do not print.
QString simFormatFrame(const SimFrameRecord& record);
