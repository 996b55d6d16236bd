#pragma once
// What went over one bus's line, frame by frame: each request as it left, each reply, stream group,
// stray frame and run of noise as it was cut from what came back, with what it means, how it was
// judged and how long its answer took. Kept in a ring of fixed size on the bus's thread: the newest
// frames stay, the oldest are only counted.
#include "protocol/FrameStatus.h"
#include "protocol/Protocol.h"
#include "protocol/Requests.h"
#include <QByteArray>
#include <QDateTime>
#include <QString>
#include <chrono>
#include <cstdint>
#include <vector>

enum class TFrameDirection : std::uint8_t {
    Sent,     // a request the program sent
    Received, // bytes that came off the line
};

struct TTrafficFrame {
    std::uint64_t Seq = 0; // the log numbers its frames from 1, in the order they were seen
    std::chrono::steady_clock::time_point At; // sent, or its first bytes read
    TFrameDirection Direction = TFrameDirection::Received;
    TProtocol Protocol = TProtocol::Standard;
    QString Port;     // the port's path
    int Speed = 0;    // line speed, baud
    int Address = -1; // the sensor sent to or answering; 0 broadcast; -1 none (noise)
    QByteArray Bytes;
    // What the request was, or what the request this answers was; Stream for stream groups.
    bool HasKind = false;
    TRequestKind Kind = TRequestKind::Command;
    bool Stream = false;
    // Standard: the request's command after the address ("R08", "W01", "ON"); Modbus: the
    // request's first register and its count or the value it writes.
    QByteArray Head;
    std::uint16_t Register = 0;
    std::uint16_t Value = 0;
    TFrameStatus Status = TFrameStatus::Ok;
    std::uint8_t ExceptionCode = 0;
    // A reply: from its request's leaving to its last byte read; a request given up: how long it
    // was waited for; -1 when neither.
    std::int64_t ResponseUs = -1;
};

class TTrafficLog {
  public:
    static constexpr std::size_t DefaultCapacity = 100000;

    explicit TTrafficLog(std::size_t capacity = DefaultCapacity);

    // Numbers the frame and keeps it, the oldest giving way once the ring is full; its number.
    std::uint64_t Add(TTrafficFrame frame);
    // A kept frame by number; nullptr once it has given way.
    TTrafficFrame* Find(std::uint64_t seq);
    const TTrafficFrame* Find(std::uint64_t seq) const;

    // The kept frames, oldest first: At(0) .. At(Size() - 1).
    std::size_t Size() const { return size_; }
    const TTrafficFrame& At(std::size_t index) const;
    std::size_t Capacity() const { return ring_.size(); }
    // The number the next frame gets; FirstSeq() the oldest kept (NextSeq() when none).
    std::uint64_t NextSeq() const { return nextSeq_; }
    std::uint64_t FirstSeq() const { return nextSeq_ - size_; }
    // Frames that gave way to newer ones or went with Clear, since the log began.
    std::uint64_t Dropped() const { return dropped_; }
    // Bumped by Clear, so that a view knows its rows are gone.
    std::uint64_t Generation() const { return generation_; }
    void Clear();

    // The wall-clock time of a steady-clock moment, as the log's clocks stood when it began.
    QDateTime WallTime(std::chrono::steady_clock::time_point at) const;

  private:
    std::vector<TTrafficFrame> ring_;
    std::size_t head_ = 0; // index of the oldest kept frame
    std::size_t size_ = 0;
    std::uint64_t nextSeq_ = 1;
    std::uint64_t dropped_ = 0;
    std::uint64_t generation_ = 0;
    std::chrono::steady_clock::time_point steadyStart_;
    QDateTime wallStart_;
};

// The columns of a frame as the monitor shows them and its text and CSV files hold them.
namespace TrafficColumn {
inline constexpr int Time = 0;
inline constexpr int Direction = 1;
inline constexpr int Port = 2;
inline constexpr int Speed = 3;
inline constexpr int Address = 4;
inline constexpr int Bytes = 5;
inline constexpr int Text = 6;
inline constexpr int Meaning = 7;
inline constexpr int Status = 8;
inline constexpr int Response = 9;
inline constexpr int Count = 10;
} // namespace TrafficColumn

namespace TrafficText {
// A column's heading and a frame's cell in it; empty for a column that is none.
QString Heading(int column);
QString Cell(const TTrafficLog& log, const TTrafficFrame& frame, int column);
// "14:03:27.512"
QString Time(const TTrafficLog& log, const TTrafficFrame& frame);
// "→" sent, "←" received
QString Direction(const TTrafficFrame& frame);
// "23 31 41 52 30 38 0D"
QString Hex(const QByteArray& bytes);
// The bytes with "." for those that do not print: "#1AR08."
QString Printable(const QByteArray& bytes);
// "чтение R08", "ответ R08 = 0A", "исключение 02: адрес регистра недоступен", "поисковый запрос"
QString Meaning(const TTrafficFrame& frame);
// "ок", "ошибка CRC", "не соответствует запросу", "опоздал", "нет ответа (3000 мс)", …
QString Status(const TTrafficFrame& frame);
// A reply's response time: "12,4 мс"; empty when it has none.
QString ResponseTime(const TTrafficFrame& frame);
// "1A", "00" for the broadcast, "—" for none.
QString Address(const TTrafficFrame& frame);
} // namespace TrafficText
