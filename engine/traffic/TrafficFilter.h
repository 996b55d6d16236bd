#pragma once
// Which frames of the traffic log a view shows: by address, direction, trouble and text.
#include "traffic/Traffic.h"
#include <QString>
#include <cstdint>
#include <optional>
#include <vector>

struct TTrafficFilter {
    std::optional<int> Address;               // only frames to or from this address
    std::optional<TFrameDirection> Direction; // only sent, or only received frames
    // Only frames whose status is not Ok; a request still awaiting its answer counts until it
    // has one, as it may yet end in no reply.
    bool ErrorsOnly = false;
    QString Text; // case-blind, in the hex, printable text or meaning

    bool Empty() const { return !Address && !Direction && !ErrorsOnly && Text.isEmpty(); }
    bool Matches(const TTrafficFrame& frame) const;

    friend bool operator==(const TTrafficFilter&, const TTrafficFilter&) = default;
};

// The numbers (Seq) of the log's kept frames that the filter lets through, oldest first.
std::vector<std::uint64_t> FilteredFrames(const TTrafficLog& log, const TTrafficFilter& filter);
