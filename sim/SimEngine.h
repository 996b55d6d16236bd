#pragma once
// The bus without threads or descriptors: sensors, the framing of what they hear, the replies they
// owe and the bytes on the wire. SimBus drives it from its thread under its lock.
#include "sim/SimFrameCutter.h"
#include "sim/SimFrameLog.h"
#include "sim/SimLine.h"
#include "sim/SimSensor.h"

#include <functional>
#include <optional>
#include <vector>

class SimEngine {
  public:
    using Writer = std::function<void(const QByteArray&)>;

    std::vector<SimSensor>& sensors() { return sensors_; }
    const std::vector<SimSensor>& sensors() const { return sensors_; }
    SimFrameLog& log() { return log_; }
    const SimFrameLog& log() const { return log_; }

    // Bytes the program wrote, read at `nowUs` while the line ran at `lineSpeed`.
    void onBytes(const QByteArray& bytes, int lineSpeed, std::int64_t nowUs);
    // Does whatever has fallen due by `nowUs`: silence, held replies, stream samples, and hands the
    // bytes complete by then to `write` if they were sent at the speed the line runs at.
    void service(std::int64_t nowUs, int lineSpeed, const Writer& write);
    // When service() next has something to do, or nothing if it waits only for bytes.
    std::optional<std::int64_t> nextEventUs() const;
    // The port went away: nothing in flight survives.
    void dropInFlight();

    // How long a reply waits for the program to follow a change of line speed.
    static constexpr std::int64_t SpeedFollowTimeoutUs = 2'000'000;
    // After the line has switched, the program may still be purging its queues.
    static constexpr std::int64_t SpeedSettleUs = 3'000;
    static constexpr std::int64_t HoldPollUs = 1'000;

  private:
    struct Pending {
        std::int64_t notBeforeUs;
        std::int64_t holdDeadlineUs;
        SimReply reply;
        int splitAt;
        std::int64_t gapUs;
    };

    void handle(const SimInFrame& frame);
    void handleAscii(const SimInFrame& frame);
    void handleModbus(const SimInFrame& frame);
    void queueReply(const SimSensor& sensor, SimReply reply, std::int64_t requestEndUs);
    void releaseReplies(std::int64_t nowUs, int lineSpeed);
    void runStreams(std::int64_t nowUs);
    void logFrame(SimFrameRecord::Direction direction, int speed, const QByteArray& bytes,
                  std::int64_t timeUs);

    std::vector<SimSensor> sensors_;
    SimFrameCutter cutter_;
    SimLine line_;
    std::vector<Pending> pending_;
    SimFrameLog log_;
};
