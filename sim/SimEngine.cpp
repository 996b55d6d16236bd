#include "sim/SimEngine.h"
#include "sim/SimCrc.h"

#include "sim/SimTiming.h"

#include <algorithm>

namespace {

std::optional<int> hexByte(char high, char low)
{
    const auto digit = [](char c) -> int {
        if (c >= '0' && c <= '9')
            return c - '0';
        if (c >= 'A' && c <= 'F')
            return c - 'A' + 10;
        if (c >= 'a' && c <= 'f')
            return c - 'a' + 10;
        return -1;
    };
    const int h = digit(high);
    const int l = digit(low);
    if (h < 0 || l < 0)
        return std::nullopt;
    return h * 16 + l;
}

void earliest(std::optional<std::int64_t>& best, std::int64_t candidate)
{
    if (!best || candidate < *best)
        best = candidate;
}

// A stream falling this far behind (a stalled thread) resumes from now instead of catching up.
constexpr std::int64_t kStreamCatchUpUs = 200'000;

} // namespace

void SimEngine::logFrame(SimFrameRecord::Direction direction, int speed, const QByteArray& bytes,
                         std::int64_t timeUs)
{
    SimFrameRecord record;
    record.timeUs = timeUs;
    record.direction = direction;
    record.speed = speed;
    record.bytes = bytes;
    log_.add(std::move(record));
}

void SimEngine::onBytes(const QByteArray& bytes, int lineSpeed, std::int64_t nowUs)
{
    for (const SimInFrame& frame : cutter_.feed(bytes, lineSpeed, nowUs))
        handle(frame);
}

void SimEngine::handle(const SimInFrame& frame)
{
    switch (frame.kind) {
    case SimInFrame::Kind::Noise:
        logFrame(SimFrameRecord::Direction::Discarded, frame.speed, frame.bytes, frame.endUs);
        return;
    case SimInFrame::Kind::Ascii:
        logFrame(SimFrameRecord::Direction::Received, frame.speed, frame.bytes, frame.endUs);
        handleAscii(frame);
        return;
    case SimInFrame::Kind::Modbus:
        logFrame(SimFrameRecord::Direction::Received, frame.speed, frame.bytes, frame.endUs);
        handleModbus(frame);
        return;
    }
}

void SimEngine::handleAscii(const SimInFrame& frame)
{
    // A "#" restarts the firmware's parser, so whatever came before the last one (the stop
    // preamble, line noise) is not part of the request.
    const qsizetype hash = frame.bytes.lastIndexOf('#');
    if (hash < 0)
        return;
    const QByteArray text = frame.bytes.mid(hash + 1, frame.bytes.size() - hash - 2);
    if (text.size() < 4)
        return;
    const std::optional<int> address = hexByte(text[0], text[1]);
    if (!address)
        return;
    const QByteArray command = text.mid(2);
    const bool broadcast = *address == 0;
    for (SimSensor& sensor : sensors_) {
        if (!sensor.hears(frame.speed) || (!broadcast && sensor.address() != *address))
            continue;
        if (!sensor.takeFrame())
            continue;
        if (std::optional<SimReply> reply = sensor.onAsciiRequest(command, broadcast, frame.endUs))
            queueReply(sensor, std::move(*reply), frame.endUs);
    }
}

void SimEngine::handleModbus(const SimInFrame& frame)
{
    const QByteArray body = frame.bytes.left(frame.bytes.size() - 2);
    const int address = static_cast<std::uint8_t>(body[0]);
    const bool broadcast = address == 0;
    for (SimSensor& sensor : sensors_) {
        if (!sensor.hears(frame.speed) || (!broadcast && sensor.address() != address))
            continue;
        if (!sensor.takeFrame())
            continue;
        if (std::optional<SimReply> reply = sensor.onModbusRequest(body, broadcast, frame.endUs))
            queueReply(sensor, std::move(*reply), frame.endUs);
    }
}

void SimEngine::queueReply(const SimSensor& sensor, SimReply reply, std::int64_t requestEndUs)
{
    const SimFaults faults = sensor.faults();
    QByteArray& bytes = reply.bytes;
    if (!reply.modbus && faults.lowerCaseAddress && bytes.size() >= 3) {
        bytes.replace(1, 2, bytes.mid(1, 2).toLower());
    }
    if (faults.answerAs > 0 && reply.modbus && bytes.size() >= 3) {
        bytes[0] = static_cast<char>(faults.answerAs);
        bytes = simWithCrc(bytes.left(bytes.size() - 2));
    } else if (faults.answerAs > 0 && bytes.size() >= 3) {
        bytes.replace(1, 2, QByteArray::number(faults.answerAs, 16).rightJustified(2, '0').toUpper());
    }
    if (reply.modbus && faults.badCrc && bytes.size() >= 2)
        bytes[bytes.size() - 1] = static_cast<char>(bytes[bytes.size() - 1] ^ 0x5A);
    bytes.prepend(faults.garbage);
    Pending pending;
    pending.notBeforeUs = requestEndUs + SimSensor::TurnaroundUs + std::int64_t{faults.replyDelayMs} * 1000;
    pending.holdDeadlineUs = requestEndUs + SpeedFollowTimeoutUs;
    pending.reply = std::move(reply);
    pending.splitAt = faults.splitAt;
    pending.gapUs = std::int64_t{faults.splitGapMs} * 1000;
    pending_.push_back(std::move(pending));
}

void SimEngine::releaseReplies(std::int64_t nowUs, int lineSpeed)
{
    for (auto it = pending_.begin(); it != pending_.end();) {
        Pending& p = *it;
        if (p.notBeforeUs > nowUs) {
            ++it;
            continue;
        }
        if (p.reply.holdUntilSpeed != 0) {
            if (lineSpeed == p.reply.holdUntilSpeed) {
                p.reply.holdUntilSpeed = 0;
                p.notBeforeUs = nowUs + SpeedSettleUs;
                ++it;
            } else if (nowUs > p.holdDeadlineUs) {
                it = pending_.erase(it); // the program never followed: the answer is lost
            } else {
                p.notBeforeUs = nowUs + HoldPollUs;
                ++it;
            }
            continue;
        }
        const std::int64_t start =
            line_.send(p.reply.bytes, p.reply.speed, p.notBeforeUs, p.splitAt, p.gapUs);
        logFrame(SimFrameRecord::Direction::Sent, p.reply.speed, p.reply.bytes, start);
        it = pending_.erase(it);
    }
}

void SimEngine::runStreams(std::int64_t nowUs)
{
    for (SimSensor& sensor : sensors_) {
        if (!sensor.streaming())
            continue;
        const std::int64_t groupTime = 7 * simByteTimeUs(sensor.speed());
        while (sensor.streaming() && sensor.nextSampleUs() <= nowUs) {
            const std::int64_t due = sensor.nextSampleUs();
            // The transmitter holds one group while the previous one goes out; a sample that finds it
            // full is not sent.
            if (nowUs - due > kStreamCatchUpUs) {
                sensor.resumeStreamAt(nowUs);
                continue;
            }
            if (line_.freeAtUs() > due + groupTime) {
                sensor.skipStreamSample();
                continue;
            }
            const QByteArray group = sensor.takeStreamGroup(due);
            const std::int64_t start = line_.send(group, sensor.speed(), due);
            logFrame(SimFrameRecord::Direction::Sent, sensor.speed(), group, start);
        }
    }
}

void SimEngine::service(std::int64_t nowUs, int lineSpeed, const Writer& write)
{
    for (const SimInFrame& frame : cutter_.onSilence(nowUs))
        handle(frame);
    releaseReplies(nowUs, lineSpeed);
    runStreams(nowUs);
    for (const SimLine::Chunk& chunk : line_.takeDue(nowUs)) {
        // Bytes sent at another speed than the program listens at arrive as nothing it can use.
        if (chunk.speed == lineSpeed)
            write(chunk.bytes);
    }
}

std::optional<std::int64_t> SimEngine::nextEventUs() const
{
    std::optional<std::int64_t> next = cutter_.silenceDeadline();
    for (const Pending& p : pending_)
        earliest(next, p.notBeforeUs);
    for (const SimSensor& sensor : sensors_) {
        if (sensor.streaming())
            earliest(next, sensor.nextSampleUs());
    }
    if (const std::optional<std::int64_t> due = line_.nextDueUs())
        earliest(next, *due);
    return next;
}

void SimEngine::dropInFlight()
{
    cutter_.clear();
    line_.clear();
    pending_.clear();
}
