#include "serial/fuzz/TelnetHarness.h"
#include "serial/Telnet.h"

namespace TelnetHarness {
namespace {
using namespace telnet;

bool SameReplies(const std::vector<TComPortReply>& a, const std::vector<TComPortReply>& b)
{
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (a[i].Command != b[i].Command || a[i].Value != b[i].Value)
            return false;
    return true;
}
} // namespace

std::string Run(const std::uint8_t* data, std::size_t size)
{
    if (size < 1)
        return {};
    const std::size_t piece = 1 + data[0] % 16;
    const QByteArray bytes(reinterpret_cast<const char*>(data + 1), static_cast<qsizetype>(size - 1));

    TTelnetClient whole;
    whole.Start();
    const TFeedResult once = whole.Feed(bytes);

    TTelnetClient cut;
    cut.Start();
    TFeedResult pieces;
    for (qsizetype at = 0; at < bytes.size(); at += static_cast<qsizetype>(piece)) {
        const TFeedResult part = cut.Feed(bytes.mid(at, static_cast<qsizetype>(piece)));
        pieces.Data += part.Data;
        pieces.Answer += part.Answer;
        pieces.Discarded += part.Discarded;
        pieces.Replies.insert(pieces.Replies.end(), part.Replies.begin(), part.Replies.end());
    }
    if (once.Data != pieces.Data)
        return "the line's bytes depend on how the input was cut";
    if (once.Answer != pieces.Answer)
        return "the answers depend on how the input was cut";
    if (!SameReplies(once.Replies, pieces.Replies) || once.Discarded != pieces.Discarded)
        return "the COM port replies depend on how the input was cut";
    if (whole.ComPortAgreed() != cut.ComPortAgreed())
        return "the COM port option's state depends on how the input was cut";
    if (once.Answer.size() % 3 != 0)
        return "an answer that is not whole three-byte commands";
    if (once.Data.size() > bytes.size())
        return "more line bytes than were received";
    for (const TComPortReply& reply : once.Replies)
        if (reply.Value.size() > TTelnetClient::MaxSubnegotiation)
            return "a reply beyond the subnegotiation limit";

    TTelnetClient echo;
    if (echo.Feed(EscapeData(once.Data)).Data != once.Data)
        return "the line's bytes escaped and read back differ";
    return {};
}
} // namespace TelnetHarness
