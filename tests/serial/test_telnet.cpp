// The Telnet layer of a gateway port: the line's bytes through IAC doubling, the negotiation a
// gateway opens with, the COM port answers, and what a hostile peer may send.
#include "serial/Telnet.h"
#include "serial/fuzz/TelnetHarness.h"
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <iterator>
#include <random>

using namespace telnet;

namespace {

QByteArray Bytes(std::initializer_list<int> values)
{
    QByteArray out;
    for (const int v : values)
        out.append(static_cast<char>(v));
    return out;
}

// Feeds the bytes in pieces of every size from 1 to 7 and checks each split gives the same result.
TFeedResult FeedSplit(const QByteArray& bytes, int piece)
{
    TTelnetClient client;
    client.Start();
    TFeedResult all;
    for (qsizetype at = 0; at < bytes.size(); at += piece) {
        const TFeedResult part = client.Feed(bytes.mid(at, piece));
        all.Data += part.Data;
        all.Answer += part.Answer;
        all.Discarded += part.Discarded;
        all.Replies.insert(all.Replies.end(), part.Replies.begin(), part.Replies.end());
    }
    return all;
}

TEST(TelnetDataTest, EveryByteValueCrossesWhateverTheSplit)
{
    QByteArray line;
    for (int i = 0; i < 256; ++i)
        line.append(static_cast<char>(i));
    line += Bytes({255, 255, 0, 13, 10, 255});
    const QByteArray wire = EscapeData(line);
    EXPECT_EQ(wire.size(), line.size() + line.count('\xFF'));
    for (int piece = 1; piece <= 7; ++piece) {
        const TFeedResult got = FeedSplit(wire, piece);
        EXPECT_EQ(got.Data, line) << piece;
        EXPECT_TRUE(got.Answer.isEmpty());
    }
}

TEST(TelnetNegotiationTest, AGatewaysOpeningIsAnsweredWithoutLoops)
{
    const struct {
        const char* what;
        QByteArray from;
        QByteArray answer;
        bool comPort;
    } cases[] = {
        {"agrees to all we asked", Bytes({Iac, Do, OptionComPort, Iac, Do, OptionBinary, Iac, Will, OptionBinary}),
         {}, true},
        // As ser2net 4.3 opens an RFC 2217 accepter, before any request of ours.
        {"a gateway's opening, echo offered",
         Bytes({Iac, Will, 3, Iac, Do, 3, Iac, Will, 1, Iac, Dont, 1, Iac, Do, 0, Iac, Will, 0, Iac, Do, 44}),
         Bytes({Iac, Dont, 1}), true},
        {"refuses the COM port option", Bytes({Iac, Dont, OptionComPort}), {}, false},
        {"asks for echo and a terminal type: refused once each",
         Bytes({Iac, Will, 1, Iac, Do, 24, Iac, Will, 1, Iac, Do, 24}), Bytes({Iac, Dont, 1, Iac, Wont, 24}), false},
        {"agrees to binary twice: the second changes nothing", Bytes({Iac, Do, OptionBinary, Iac, Do, OptionBinary}), {},
         false},
        {"turns binary off after agreeing: acknowledged",
         Bytes({Iac, Do, OptionBinary, Iac, Dont, OptionBinary}), Bytes({Iac, Wont, OptionBinary}), false},
        {"turns off what was never on: silence", Bytes({Iac, Wont, 5, Iac, Dont, 6}), {}, false},
        {"NOP, go-ahead and a stray SE carry nothing", Bytes({Iac, Nop, Iac, 249, Iac, Se, 'x'}), {}, false},
    };
    for (const auto& c : cases) {
        TTelnetClient client;
        const QByteArray start = client.Start();
        EXPECT_EQ(start, Bytes({Iac, Will, 0, Iac, Will, 3, Iac, Will, 44, Iac, Do, 0, Iac, Do, 3}));
        const TFeedResult got = client.Feed(c.from);
        EXPECT_EQ(got.Answer, c.answer) << c.what;
        EXPECT_EQ(client.ComPortAgreed(), c.comPort) << c.what;
    }
    // A peer that answers our own requests only: nothing to say back.
    TTelnetClient client;
    client.Start();
    EXPECT_TRUE(client.Feed(Bytes({Iac, Will, 0, Iac, Will, 3, Iac, Do, 0, Iac, Do, 3, Iac, Do, 44})).Answer.isEmpty());
    TTelnetClient unasked;
    EXPECT_EQ(unasked.Feed(Bytes({Iac, Do, OptionBinary})).Answer, Bytes({Iac, Will, OptionBinary}));
}

TEST(TelnetComPortTest, CommandsAndTheGatewaysAnswers)
{
    EXPECT_EQ(SetBaudRate(115200), Bytes({Iac, Sb, 44, 1, 0x00, 0x01, 0xC2, 0x00, Iac, Se}));
    // A value byte of 255 is doubled inside the subnegotiation too.
    EXPECT_EQ(SetBaudRate(0x0000FFFF), Bytes({Iac, Sb, 44, 1, 0, 0, Iac, Iac, Iac, Iac, Iac, Se}));
    EXPECT_EQ(SetDataSize(8), Bytes({Iac, Sb, 44, 2, 8, Iac, Se}));
    EXPECT_EQ(SetParity(TParity::Even), Bytes({Iac, Sb, 44, 3, 3, Iac, Se}));
    EXPECT_EQ(SetStopSize(TStopBits::One), Bytes({Iac, Sb, 44, 4, 1, Iac, Se}));
    EXPECT_EQ(Purge(TPurge::Both), Bytes({Iac, Sb, 44, 12, 3, Iac, Se}));

    const QByteArray answers = Bytes({'a', Iac, Sb, 44, 101, 0x00, 0x0E, 0x10, 0x00, Iac, Se, 'b', Iac, Sb, 44, 101, 0,
                                      0, Iac, Iac, Iac, Iac, Iac, Se, Iac, Sb, 44, 112, 3, Iac, Se});
    for (int piece = 1; piece <= 7; ++piece) {
        const TFeedResult got = FeedSplit(answers, piece);
        EXPECT_EQ(got.Data, "ab");
        ASSERT_EQ(got.Replies.size(), 3u) << piece;
        EXPECT_EQ(got.Replies[0].BaudRate(), 921600u);
        EXPECT_EQ(got.Replies[1].BaudRate(), 0xFFFFu);
        EXPECT_EQ(got.Replies[2].Command, TComPortCommand::PurgeData);
        EXPECT_EQ(got.Replies[2].Value, Bytes({3}));
        EXPECT_FALSE(got.Replies[2].BaudRate());
    }
}

TEST(TelnetHostileTest, BadSubnegotiationsAreDroppedAndTheLineGoesOn)
{
    const struct {
        const char* what;
        QByteArray from;
        QByteArray data;
        int discarded;
    } cases[] = {
        {"another option's subnegotiation", Bytes({Iac, Sb, 24, 0, 'x', Iac, Se, 'k'}), "k", 1},
        {"a client's code from the gateway", Bytes({Iac, Sb, 44, 1, 0, 0, 0, 1, Iac, Se, 'k'}), "k", 1},
        {"empty", Bytes({Iac, Sb, Iac, Se, 'k'}), "k", 1},
        {"a command inside breaks it off", Bytes({Iac, Sb, 44, 101, 1, Iac, Will, 1, 'k'}), "k", 1},
        {"data doubled IAC inside it broken off", Bytes({Iac, Sb, 44, 101, Iac, Iac, Iac, 'z', 'k'}), "k", 1},
    };
    for (const auto& c : cases) {
        TTelnetClient client;
        const TFeedResult got = client.Feed(c.from);
        EXPECT_EQ(got.Data, c.data) << c.what;
        EXPECT_EQ(got.Discarded, c.discarded) << c.what;
        EXPECT_TRUE(got.Replies.empty()) << c.what;
    }

    // A subnegotiation that never ends holds no more than its limit, and the line comes back at SE.
    TTelnetClient client;
    QByteArray endless = Bytes({Iac, Sb, 44, 101});
    endless += QByteArray(1 << 20, 'x');
    TFeedResult got = client.Feed(endless);
    EXPECT_TRUE(got.Data.isEmpty());
    got = client.Feed(Bytes({Iac, Se, 'k'}));
    EXPECT_EQ(got.Data, "k");
    EXPECT_EQ(got.Discarded, 1);

    // Random bytes: every answer is one three-byte command, given for one three-byte command of the
    // peer's at most, so a flood is never amplified.
    std::mt19937 random(11);
    std::uniform_int_distribution<int> byte(0, 255);
    TTelnetClient noisy;
    noisy.Start();
    QByteArray flood;
    for (int i = 0; i < 200000; ++i)
        flood.append(static_cast<char>(i % 3 == 0 ? Iac : byte(random)));
    const TFeedResult out = noisy.Feed(flood);
    EXPECT_EQ(out.Answer.size() % 3, 0);
    EXPECT_LE(out.Answer.size() / 3, flood.count(static_cast<char>(Iac)));
    EXPECT_LE(out.Data.size(), flood.size());
}

TEST(TelnetCorpusTest, EveryCheckedInInputPassesTheFuzzChecks)
{
    int files = 0;
    for (const auto& entry : std::filesystem::directory_iterator(VELTRANO_TELNET_CORPUS)) {
        std::ifstream in(entry.path(), std::ios::binary);
        const std::vector<std::uint8_t> input{std::istreambuf_iterator<char>(in), {}};
        EXPECT_EQ(TelnetHarness::Run(input.data(), input.size()), "") << entry.path();
        ++files;
    }
    EXPECT_GE(files, 10);
}

} // namespace
