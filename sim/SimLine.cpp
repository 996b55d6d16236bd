#include "sim/SimLine.h"

#include "sim/SimTiming.h"

#include <algorithm>

std::int64_t SimLine::send(const QByteArray& bytes, int speed, std::int64_t notBeforeUs, int splitAt,
                           std::int64_t gapUs)
{
    const std::int64_t start = std::max(notBeforeUs, freeAtUs_);
    const std::int64_t byteTime = simByteTimeUs(speed);
    std::int64_t t = start;
    for (qsizetype i = 0; i < bytes.size(); ++i) {
        if (splitAt > 0 && i == splitAt)
            t += gapUs;
        t += byteTime;
        queue_.push_back({t, speed, bytes[i]});
    }
    freeAtUs_ = std::max(freeAtUs_, t);
    return start;
}

std::optional<std::int64_t> SimLine::nextDueUs() const
{
    if (queue_.empty())
        return std::nullopt;
    return queue_.front().readyUs;
}

std::vector<SimLine::Chunk> SimLine::takeDue(std::int64_t nowUs)
{
    std::vector<Chunk> chunks;
    while (!queue_.empty() && queue_.front().readyUs <= nowUs) {
        const Byte& b = queue_.front();
        if (chunks.empty() || chunks.back().speed != b.speed)
            chunks.push_back({b.speed, {}});
        chunks.back().bytes.append(b.value);
        queue_.pop_front();
    }
    return chunks;
}

void SimLine::clear()
{
    queue_.clear();
}
