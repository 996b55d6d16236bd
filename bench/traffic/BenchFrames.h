#pragma once
// A full log of frames like a working bus leaves them: a search's probes and answers, parameter
// reads and their replies at several addresses, some unanswered, a little noise, and a stream's
// groups in runs.
#include "traffic/Traffic.h"
#include <chrono>

namespace bench {

using Clock = std::chrono::steady_clock;

inline QByteArray Hex2(int value)
{
    return QByteArray::number(value, 16).toUpper().rightJustified(2, '0');
}

inline TTrafficFrame Frame(TFrameDirection direction, int address, const QByteArray& bytes,
                           Clock::time_point at)
{
    TTrafficFrame frame;
    frame.At = at;
    frame.Direction = direction;
    frame.Port = QStringLiteral("/dev/ttyUSB0");
    frame.Speed = 115200;
    frame.Address = address;
    frame.Bytes = bytes;
    return frame;
}

// Requests and replies of a session at addresses 01..1A, with stream runs between; several
// bytes a frame as on the line.
inline void Fill(TTrafficLog& log)
{
    Clock::time_point at = Clock::now();
    const auto tick = [&at](int us) { return at += std::chrono::microseconds(us); };
    int n = 0;
    while (log.NextSeq() <= log.Capacity()) {
        const int address = 1 + n % 26;
        switch (n++ % 10) {
        case 0: { // a search probe, answered by every third address
            TTrafficFrame probe =
                Frame(TFrameDirection::Sent, address, "#" + Hex2(address) + "R01\r", tick(500));
            probe.HasKind = true;
            probe.Kind = TRequestKind::Probe;
            log.Add(probe);
            if (address % 3 == 0) {
                TTrafficFrame answer =
                    Frame(TFrameDirection::Received, address, "!" + Hex2(address) + "R01=0A\r", tick(2500));
                answer.HasKind = true;
                answer.Kind = TRequestKind::Probe;
                answer.ResponseUs = 2500;
                log.Add(answer);
            }
            break;
        }
        case 1:
        case 2:
        case 3:
        case 5:
        case 6:
        case 7:
        case 8: { // a register read and its reply; every seventh goes unanswered
            TTrafficFrame request =
                Frame(TFrameDirection::Sent, address, "#" + Hex2(address) + "R08\r", tick(300));
            request.HasKind = true;
            request.Kind = TRequestKind::ReadRegister;
            request.Head = "R08";
            if (n % 7 == 0) {
                request.Status = TFrameStatus::NoReply;
                request.ResponseUs = 3'000'000;
                log.Add(request);
                break;
            }
            log.Add(request);
            TTrafficFrame reply =
                Frame(TFrameDirection::Received, address, "!" + Hex2(address) + "R08=00FF\r", tick(4000));
            reply.HasKind = true;
            reply.Kind = TRequestKind::ReadRegister;
            reply.Head = "R08";
            reply.ResponseUs = 4000;
            log.Add(reply);
            break;
        }
        case 4: { // noise
            TTrafficFrame noise = Frame(TFrameDirection::Received, -1, "\xFF\xFE\x7F", tick(100));
            noise.Status = TFrameStatus::Noise;
            log.Add(noise);
            break;
        }
        default: { // a run of a stream's groups from one sensor
            for (int g = 0; g < 40; ++g) {
                TTrafficFrame group =
                    Frame(TFrameDirection::Received, 0x1A,
                          "\x02" + QByteArray::number(20000 + g * 7).rightJustified(5, '0'), tick(65));
                group.HasKind = true;
                group.Kind = TRequestKind::StreamStart;
                group.Stream = true;
                group.Speed = 921600;
                log.Add(group);
            }
            break;
        }
        }
    }
}

} // namespace bench
