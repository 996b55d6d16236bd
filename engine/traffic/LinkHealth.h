#pragma once
// How well each sensor's link works, counted from the frames of the traffic log: what was asked of
// it, what it answered and how fast, and what went wrong. Kept by address on the bus's thread;
// emptied as a search empties the sensor list.
#include <QString>
#include <cstdint>
#include <map>

struct TLinkHealth {
    std::uint64_t Requests = 0;   // requests that awaited an answer from this address (probes not)
    std::uint64_t Replies = 0;    // answers to them, exception replies included
    std::uint64_t Timeouts = 0;   // requests given up without an answer
    std::uint64_t Errors = 0;     // CRC errors and frames from it that could not be read or matched
    std::uint64_t Exceptions = 0; // Modbus exception replies
    std::uint64_t Late = 0;       // answers that came after their request was given up
    // Response times of the answers, microseconds; -1 before the first.
    std::int64_t LastUs = -1;
    std::int64_t MinUs = -1;
    std::int64_t MaxUs = -1;
    std::int64_t TotalUs = 0;
    std::int64_t MeanUs() const { return Replies > 0 ? TotalUs / static_cast<std::int64_t>(Replies) : -1; }

    // One more answer (exception replies too) and how long it took.
    void AddResponse(std::int64_t us);
};

class TLinkHealthTable {
  public:
    TLinkHealth& At(int address) { return table_[address]; }
    // nullptr while nothing was counted for the address.
    const TLinkHealth* Of(int address) const;
    const std::map<int, TLinkHealth>& All() const { return table_; }
    void Reset() { table_.clear(); }

  private:
    std::map<int, TLinkHealth> table_;
};

// Several lines, for a tooltip or a report: "Запросов: 12, ответов: 11, …".
QString LinkHealthText(const TLinkHealth& health);
