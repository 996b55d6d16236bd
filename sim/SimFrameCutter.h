#pragma once
// Cuts the bytes the sensors receive into request frames, deciding the protocol per frame:
//  - a Modbus frame is complete as soon as the length its function code implies (8 bytes for
//    functions 3 and 6, 9 + byte count for 16) has arrived with a matching CRC; any other bytes
//    that start with a non-text byte end with 3.5 character times of silence (at least 1.75 ms, as
//    Modbus RTU asks above 19200 baud) and are then taken whole: a frame if the CRC matches,
//    noise otherwise;
//  - a standard frame is text that starts with "#" or with the letters of the stop preamble and
//    ends with CR; it may take its time, like a technician typing it;
//  - when the line speed changes, bytes still waiting are noise: they were sent at another speed.
// Times are modelled: a byte is complete 10 bit times after the previous one.
#include <QByteArray>
#include <QList>
#include <cstdint>
#include <optional>
#include <vector>

struct SimInFrame {
    enum class Kind { Ascii, Modbus, Noise };
    Kind kind = Kind::Noise;
    QByteArray bytes; // as received: a standard frame with its CR, a Modbus frame with its CRC
    int speed = 0;
    std::int64_t endUs = 0; // when its last byte was complete
};

class SimFrameCutter {
  public:
    std::vector<SimInFrame> feed(const QByteArray& bytes, int speed, std::int64_t nowUs);
    // When the line will count as silent, or nothing while no bytes wait for it.
    std::optional<std::int64_t> silenceDeadline() const;
    std::vector<SimInFrame> onSilence(std::int64_t nowUs);
    void clear();

    // Bytes kept at most; a request never comes close, so more is noise.
    static constexpr int MaxPending = 512;
    static constexpr int MaxAsciiLine = 64;

  private:
    void extract(std::vector<SimInFrame>& out, bool silent);
    void take(std::vector<SimInFrame>& out, SimInFrame::Kind kind, qsizetype count);
    bool salvageAscii(std::vector<SimInFrame>& out);

    QByteArray pending_;
    QList<std::int64_t> byteEnds_;
    int speed_ = 0;
    std::int64_t lastEndUs_ = 0;
    bool silenceHandled_ = true;
};
