#pragma once
// The sensors' side of the wire: bytes leave one after another, each taking 10 bit times at the
// speed it is sent at, so a reply trickles out and the program may read it in several pieces.
#include <QByteArray>
#include <cstdint>
#include <deque>
#include <optional>
#include <vector>

class SimLine {
  public:
    struct Chunk {
        int speed = 0;
        QByteArray bytes;
    };

    // Queues `bytes` to start no earlier than `notBeforeUs` and after everything queued before,
    // pausing `gapUs` after the first `splitAt` bytes when splitAt > 0. Returns the start time.
    std::int64_t send(const QByteArray& bytes, int speed, std::int64_t notBeforeUs, int splitAt = 0,
                      std::int64_t gapUs = 0);
    // When the last queued byte is complete; the line is idle from then on.
    std::int64_t freeAtUs() const { return freeAtUs_; }
    std::optional<std::int64_t> nextDueUs() const;
    // The bytes complete by `nowUs`, in order, one chunk per run of equal speed.
    std::vector<Chunk> takeDue(std::int64_t nowUs);
    void clear();

  private:
    struct Byte {
        std::int64_t readyUs;
        int speed;
        char value;
    };
    std::deque<Byte> queue_;
    std::int64_t freeAtUs_ = 0;
};
