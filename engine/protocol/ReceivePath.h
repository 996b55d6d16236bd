#pragma once
// The receive path of one bus: collects the chunks the driver read, cuts complete replies in the
// bus's protocol, matches each against the request that is awaiting its reply, decodes a match
// into the request's record and completes the request. A reply that matches nothing (a
// stranger's, a late one after a timeout, one spoiled by noise) is dropped and counted. While a
// bus search probes, answers to probes make sensor records with the speed they arrived at; while a
// sensor streams, its lines are cut into samples.
//
// Plain logic on one thread, the bus's; it reports through TReceiveSink and touches no widget.
#include "protocol/FrameStatus.h"
#include "protocol/Protocol.h"
#include "protocol/ReplyFields.h"
#include "protocol/Requests.h"
#include "serial/Chunk.h"
#include <QByteArray>
#include <cstdint>
#include <span>
#include <vector>

class TDevice;
class TDeviceList;

// What a decoded reply means beyond the record fields it filled.
enum class TReplyEvent : std::uint8_t {
    Configured,        // SU echo
    SwitchedOn,        // ON echo
    SwitchedOff,       // OF echo
    DefaultsSet,       // DF echo
    Latched,           // FX echo
    LatchedResultRead, // FR reply, Modbus register 0x0100
    LastResultRead,    // LR reply, Modbus register 0x0101
};

struct TReplyNote {
    TReplyEvent Event = TReplyEvent::Configured;
    TResultField Result; // the two result reads; a Modbus result never has the N form
};

// One group of a stream line: "!", five characters, CR.
struct TStreamSample {
    std::int32_t Value = 0; // the raw result, or the count of an N group
    bool Count = false;     // an N group: a count, used unscaled
    bool Valid = true;      // false: the group is malformed and carries no value
};

enum class TReceiveError : std::uint8_t {
    Decoding,      // a reply or stream group that could not be read
    FrameTimeout,  // Modbus bytes that never completed a frame
    FrameOverflow, // Modbus bytes beyond what one frame can hold
};

// A frame as the receive path cut it from the line, for whoever watches the traffic.
struct THeardFrame {
    QByteArray Bytes;
    TFrameStatus Status = TFrameStatus::Ok;
    int Address = -1; // the address it comes from; -1 when its bytes name none
    // The request it answers (Ok, Exception, Late, Malformed), the probe a search answer
    // answers, or nullptr.
    const TRequest* Request = nullptr;
    bool Stream = false; // a group of the stream
    // When its first bytes were read and when its last.
    std::chrono::steady_clock::time_point FirstAt;
    std::chrono::steady_clock::time_point ReadAt;
    int Speed = 0;
};

class TReceiveSink {
  public:
    virtual ~TReceiveSink() = default;
    virtual void Replied(TDevice& device, const TReplyNote& note) = 0;
    // The request has left Pending (its State says how): its waiter may go on.
    virtual void Completed(TRequest& request) = 0;
    virtual void Samples(TDevice& device, std::span<const TStreamSample> samples, const TChunk& chunk) = 0;
    virtual void Found(TDevice& device) = 0;
    virtual void Error(TReceiveError error) = 0;
    // The Modbus frame timeout: started by the first chunk that does not complete a frame (a
    // running one is not restarted), stopped when a frame completes or the bytes are dropped.
    virtual void FrameTimeout(bool run) = 0;
    // Every frame cut from the line, whatever became of it; noise too.
    virtual void Heard(const THeardFrame& frame) { (void)frame; }
};

class TReceivePath {
  public:
    TReceivePath(TDeviceList& devices, TReceiveSink& sink) : devices_(devices), sink_(sink) {}

    void SetProtocol(TProtocol protocol);
    TProtocol Protocol() const { return protocol_; }

    // A request has gone out; its reply is the one awaited from now on. Every byte received
    // before this call came before the request.
    void Sent(const TRequestPtr& request);
    void Receive(const TChunk& chunk);
    // The Modbus frame timeout has run out: the bytes that never made a frame are dropped.
    void FrameTimedOut();
    // Drops what has been received and not yet used, as an operation starts.
    void Clear();

    // While on, answers to search probes make sensor records.
    void SetSearching(bool on);
    bool Searching() const { return searching_; }
    // The sensor whose stream runs: every line not awaited as a reply goes to it.
    void SetStreaming(TDevice* device);
    TDevice* Streaming() const { return streaming_; }
    // True after the stream's stop echo, false after any line of the stream.
    bool StreamQuiet() const { return streamQuiet_; }
    void SetStreamQuiet(bool quiet) { streamQuiet_ = quiet; }

    const QByteArray& Buffer() const { return buffer_; }
    // Complete replies that matched no awaited request.
    std::uint64_t Unmatched() const { return unmatched_; }

  private:
    void ReceiveStandard(const TChunk& chunk);
    void ReceiveModbus(const TChunk& chunk);
    void StreamLine(const QByteArray& line, const TChunk& chunk);
    void StreamStopped();
    bool Awaits(TProtocol protocol) const;
    void Answer(TRequest& request, TRequestState state);
    void DecodeStandard(TRequest& request, const QByteArray& line);
    void DecodeModbus(TRequest& request, std::span<const std::uint8_t> frame);
    void CreateRecord(const QByteArray& adressText, int speed);
    void Drop(const char* why);
    // Reports a frame cut from the bytes of chunk (or, without one, from the buffer's bytes).
    void Report(const QByteArray& bytes, TFrameStatus status, int address, const TRequest* request,
                const TChunk& chunk, bool stream = false);
    // The bytes in the buffer are given up: reported as a frame with a bad CRC or as noise.
    void ReportLeftover();
    // The first CR-ended line of line, or all of it.
    static QByteArray FirstLine(const QByteArray& line);
    // The given-up request that frame answers late, if it does.
    bool AnswersLate(const QByteArray& line) const;

    TDeviceList& devices_;
    TReceiveSink& sink_;
    TProtocol protocol_ = TProtocol::Standard;
    QByteArray buffer_;
    TRequestPtr pending_;
    TRequestPtr lastProbe_;
    bool searching_ = false;
    TDevice* streaming_ = nullptr;
    bool streamQuiet_ = true;
    std::uint64_t unmatched_ = 0;
    std::vector<TStreamSample> samples_;
    // When the bytes waiting in the buffer began, and at which speed.
    TChunk bufferStart_;
};
