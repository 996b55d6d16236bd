#include "traffic/TrafficFilter.h"

bool TTrafficFilter::Matches(const TTrafficFrame& frame) const
{
    if (Address && frame.Address != *Address)
        return false;
    if (Direction && frame.Direction != *Direction)
        return false;
    if (ErrorsOnly && frame.Status == TFrameStatus::Ok)
        return false;
    if (Text.isEmpty())
        return true;
    // Cheapest text first: the meaning takes the most to build and is asked for last.
    return TrafficText::Hex(frame.Bytes).contains(Text, Qt::CaseInsensitive) ||
           TrafficText::Printable(frame.Bytes).contains(Text, Qt::CaseInsensitive) ||
           TrafficText::Meaning(frame).contains(Text, Qt::CaseInsensitive);
}

std::vector<std::uint64_t> FilteredFrames(const TTrafficLog& log, const TTrafficFilter& filter)
{
    std::vector<std::uint64_t> seqs;
    if (filter.Empty())
        seqs.reserve(log.Size());
    for (std::size_t i = 0; i < log.Size(); ++i) {
        const TTrafficFrame& frame = log.At(i);
        if (filter.Matches(frame))
            seqs.push_back(frame.Seq);
    }
    return seqs;
}
