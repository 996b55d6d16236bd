#include "sim/SimFrameCutter.h"

#include "sim/SimCrc.h"
#include "sim/SimTiming.h"

#include <algorithm>

namespace {

constexpr int kReadHolding = 0x03;
constexpr int kWriteSingle = 0x06;
constexpr int kWriteMultiple = 0x10;

bool printable(char c)
{
    return c >= 0x20 && c <= 0x7E;
}

bool startsText(char c)
{
    return c == '#' || (c >= 'a' && c <= 'z');
}

bool allPrintable(const QByteArray& bytes, qsizetype from, qsizetype to)
{
    return std::all_of(bytes.begin() + from, bytes.begin() + to, printable);
}

// Length of the Modbus frame at the front of `bytes` when it is complete and its CRC matches.
std::optional<qsizetype> completeModbus(const QByteArray& bytes)
{
    if (bytes.size() < 2)
        return std::nullopt;
    qsizetype length = 0;
    switch (static_cast<std::uint8_t>(bytes[1])) {
    case kReadHolding:
    case kWriteSingle:
        length = 8;
        break;
    case kWriteMultiple:
        if (bytes.size() < 7)
            return std::nullopt;
        length = 9 + static_cast<std::uint8_t>(bytes[6]);
        break;
    default:
        return std::nullopt;
    }
    if (bytes.size() < length || !simCrcMatches(bytes.left(length)))
        return std::nullopt;
    return length;
}

} // namespace

std::vector<SimInFrame> SimFrameCutter::feed(const QByteArray& bytes, int speed, std::int64_t nowUs)
{
    std::vector<SimInFrame> out;
    if (!pending_.isEmpty() && speed != speed_)
        take(out, SimInFrame::Kind::Noise, pending_.size());
    speed_ = speed;
    const std::int64_t byteTime = simByteTimeUs(speed);
    lastEndUs_ = std::max(lastEndUs_, nowUs);
    for (const char c : bytes) {
        lastEndUs_ += byteTime;
        pending_.append(c);
        byteEnds_.append(lastEndUs_);
    }
    silenceHandled_ = false;
    extract(out, false);
    if (pending_.size() > MaxPending)
        take(out, SimInFrame::Kind::Noise, pending_.size() - MaxPending);
    return out;
}

std::optional<std::int64_t> SimFrameCutter::silenceDeadline() const
{
    if (pending_.isEmpty() || silenceHandled_)
        return std::nullopt;
    return lastEndUs_ + simSilenceUs(speed_);
}

std::vector<SimInFrame> SimFrameCutter::onSilence(std::int64_t nowUs)
{
    std::vector<SimInFrame> out;
    const std::optional<std::int64_t> deadline = silenceDeadline();
    if (!deadline || nowUs < *deadline)
        return out;
    silenceHandled_ = true;
    extract(out, true);
    return out;
}

void SimFrameCutter::clear()
{
    pending_.clear();
    byteEnds_.clear();
    silenceHandled_ = true;
}

void SimFrameCutter::take(std::vector<SimInFrame>& out, SimInFrame::Kind kind, qsizetype count)
{
    SimInFrame frame;
    frame.kind = kind;
    frame.bytes = pending_.left(count);
    frame.speed = speed_;
    frame.endUs = byteEnds_[count - 1];
    pending_.remove(0, count);
    byteEnds_.remove(0, count);
    out.push_back(std::move(frame));
}

void SimFrameCutter::extract(std::vector<SimInFrame>& out, bool silent)
{
    while (!pending_.isEmpty()) {
        if (const std::optional<qsizetype> length = completeModbus(pending_)) {
            take(out, SimInFrame::Kind::Modbus, *length);
            continue;
        }
        if (startsText(pending_[0])) {
            const qsizetype cr = pending_.indexOf('\r');
            const qsizetype end = cr >= 0 ? cr : pending_.size();
            if (allPrintable(pending_, 0, end)) {
                if (cr >= 0) {
                    take(out, SimInFrame::Kind::Ascii, cr + 1);
                    continue;
                }
                if (pending_.size() > MaxAsciiLine)
                    take(out, SimInFrame::Kind::Noise, pending_.size());
                return; // a standard frame still being typed
            }
        }
        if (!silent)
            return;
        // Silence ends whatever is left: one Modbus frame, or noise that may hide a standard frame.
        if (pending_.size() >= 4 && simCrcMatches(pending_)) {
            take(out, SimInFrame::Kind::Modbus, pending_.size());
            continue;
        }
        if (!salvageAscii(out))
            take(out, SimInFrame::Kind::Noise, pending_.size());
    }
}

bool SimFrameCutter::salvageAscii(std::vector<SimInFrame>& out)
{
    const qsizetype hash = pending_.indexOf('#');
    if (hash <= 0)
        return false;
    take(out, SimInFrame::Kind::Noise, hash);
    return true;
}
