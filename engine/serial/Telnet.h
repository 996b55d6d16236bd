#pragma once
// The Telnet layer of a serial port behind a network gateway with the COM port control option:
// the line's bytes with IAC doubled, option negotiation, and the option's subnegotiations that
// set the line speed, character format and purges and carry the gateway's answers. Pure data in
// and out: no socket, no thread; the port that owns the connection feeds it and sends what it
// gives back.
#include <QByteArray>
#include <QByteArrayView>
#include <array>
#include <cstdint>
#include <optional>
#include <vector>

namespace telnet {
inline constexpr std::uint8_t Se = 240;
inline constexpr std::uint8_t Nop = 241;
inline constexpr std::uint8_t Sb = 250;
inline constexpr std::uint8_t Will = 251;
inline constexpr std::uint8_t Wont = 252;
inline constexpr std::uint8_t Do = 253;
inline constexpr std::uint8_t Dont = 254;
inline constexpr std::uint8_t Iac = 255;

inline constexpr std::uint8_t OptionBinary = 0;
inline constexpr std::uint8_t OptionSuppressGoAhead = 3;
inline constexpr std::uint8_t OptionComPort = 44;

// The COM port control commands as the client sends them; the gateway answers each with the
// same code plus ServerOffset.
enum class TComPortCommand : std::uint8_t {
    Signature = 0,
    SetBaudRate = 1,
    SetDataSize = 2,
    SetParity = 3,
    SetStopSize = 4,
    SetControl = 5,
    NotifyLineState = 6,
    NotifyModemState = 7,
    FlowControlSuspend = 8,
    FlowControlResume = 9,
    SetLineStateMask = 10,
    SetModemStateMask = 11,
    PurgeData = 12,
};
inline constexpr std::uint8_t ServerOffset = 100;

enum class TParity : std::uint8_t { None = 1, Odd = 2, Even = 3, Mark = 4, Space = 5 };
enum class TStopBits : std::uint8_t { One = 1, Two = 2, OneAndHalf = 3 };
enum class TPurge : std::uint8_t { Receive = 1, Transmit = 2, Both = 3 };

// A COM port subnegotiation from the gateway: its command (the client's code, offset removed)
// and the value bytes, IAC undoubled.
struct TComPortReply {
    TComPortCommand Command = TComPortCommand::Signature;
    QByteArray Value;
    // The four-byte value of a baud rate answer; none for any other.
    std::optional<std::uint32_t> BaudRate() const;
};

// The client's subnegotiations, each a whole IAC SB … IAC SE frame.
QByteArray SetBaudRate(std::uint32_t baud);
QByteArray SetDataSize(int bits);
QByteArray SetParity(TParity parity);
QByteArray SetStopSize(TStopBits stop);
QByteArray Purge(TPurge what);

// The line's bytes as they go on the connection: every IAC doubled.
QByteArray EscapeData(QByteArrayView data);

// What one feed of bytes from the connection held.
struct TFeedResult {
    QByteArray Data;                    // the line's bytes, IAC undoubled
    QByteArray Answer;                  // negotiation replies to send back at once
    std::vector<TComPortReply> Replies; // COM port answers and notifications
    int Discarded = 0;                  // subnegotiations dropped: too long, or not ours
};

// The client side: asks for binary both ways, suppress-go-ahead and the COM port option, and
// refuses every other option once. Options are negotiated without loops: a request that would
// not change an option's state is not answered (RFC 1143's rule).
class TTelnetClient {
  public:
    static constexpr int MaxSubnegotiation = 64;

    // The requests that open the session.
    QByteArray Start();
    TFeedResult Feed(QByteArrayView bytes);
    // The gateway agreed to the COM port option; until then speeds cannot be set.
    bool ComPortAgreed() const { return local_[OptionComPort]; }

  private:
    enum class TState : std::uint8_t { Data, AfterIac, Option, Sub, SubAfterIac };
    void Negotiate(std::uint8_t verb, std::uint8_t option, QByteArray& answer);
    void EndSubnegotiation(TFeedResult& result);

    TState state_ = TState::Data;
    std::uint8_t verb_ = 0;
    QByteArray sub_;
    bool subTooLong_ = false;
    // Per option: on at our side (the peer said DO) and at the peer's (it said WILL); asked for
    // and not yet answered; refused once already.
    std::array<bool, 256> local_{};
    std::array<bool, 256> remote_{};
    std::array<bool, 256> askedLocal_{};
    std::array<bool, 256> askedRemote_{};
    std::array<bool, 256> refusedLocal_{};
    std::array<bool, 256> refusedRemote_{};
};
} // namespace telnet
