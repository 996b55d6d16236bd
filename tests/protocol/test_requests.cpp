#include "Bytes.h"
#include "convert/Unit_Utils.h"
#include "protocol/DeviceUnit.h"
#include "protocol/Requests.h"
#include <functional>
#include <gtest/gtest.h>
#include <stdexcept>
#include <vector>

namespace {
constexpr TProtocol Std = TProtocol::Standard;
constexpr TProtocol Mb = TProtocol::Modbus;

// What goes out and what the reply to it must look like.
struct RequestCase {
    const char* name;
    std::function<TRequestPtr(TDevice&)> build;
    QByteArray frame;
    QByteArray head;
    int replyAddress;
    int function = 0;
    int reg = 0;
    int value = 0;
    bool expectsReply = true;
};

QByteArray BlockData()
{
    return Hex("0102030405060708090A0B0C0D0E0F101112131415161718191A1B1C1D1E1F20212223242526");
}

std::vector<RequestCase> Cases()
{
    using namespace Requests;
    const TRegisterWrite address{"01", "2C"};
    return {
        {"SU", [](TDevice& d) { return Command(d, Std, "SU"); }, "#0ASU\r", "SU", 10},
        {"ON", [](TDevice& d) { return Command(d, Std, "ON"); }, "#0AON\r", "ON", 10},
        {"OF", [](TDevice& d) { return Command(d, Std, "OF"); }, "#0AOF\r", "OF", 10},
        {"FL", [](TDevice& d) { return Command(d, Std, "FL"); }, "#0AFL\r", "FL", 10},
        {"DF", [](TDevice& d) { return Command(d, Std, "DF"); }, "#0ADF\r", "DF", 10},
        {"FX", [](TDevice& d) { return Command(d, Std, "FX"); }, "#0AFX\r", "FX", 10},
        {"register 0A", [](TDevice& d) { return ReadRegister(d, "0A"); }, "#0AR0A\r", "R0A", 10},
        {"register 22", [](TDevice& d) { return ReadRegister(d, "22"); }, "#0AR22\r", "R22", 10},
        {"latched", [](TDevice& d) { return ReadLatched(d, Std); }, "#0AFR\r", "FR", 10},
        {"last", [](TDevice& d) { return ReadLast(d, Std); }, "#0ALR\r", "LR", 10},
        {"ident", [](TDevice& d) { return ReadIdent(d, Std); }, "#0AID\r", "ID", 10},
        {"stream start has no echo", [](TDevice& d) { return StreamStart(d); }, "#0AST\r", "ST", 10, 0, 0, 0,
         false},
        {"stream stop after its preamble, in one write", [](TDevice& d) { return StreamStop(d); },
         "tkwrnoza#0ASB\r", "SB", 10},
        {"new address answers under itself",
         [=](TDevice& d) { return WriteRegister(d, 0x0A, 0x2C, address); }, "#0AW012C\r", "W01", 0x2C},
        {"write to another address",
         [](TDevice& d) {
             return WriteRegister(d, 0x2B, 0x2B, {"07", "03"});
         },
         "#2BW0703\r", "W07", 0x2B},
        {"standard latch broadcast", [](TDevice&) { return LatchBroadcast(Std); }, "#00FX\r", "", -1, 0, 0, 0,
         false},
        {"standard probe", [](TDevice&) { return Probe(10, Std); }, "#0AR01\r", "", 10, 0, 0, 0, false},

        {"Modbus SU", [](TDevice& d) { return Command(d, Mb, "SU"); }, Hex("0A 06 00 BC 53 55 B5 9A"), "", 10,
         6, 0xBC, 0x5355},
        {"Modbus ON", [](TDevice& d) { return Command(d, Mb, "ON"); }, Hex("0A 06 00 BC 4F 4E FD 51"), "", 10,
         6, 0xBC, 0x4F4E},
        {"Modbus OF", [](TDevice& d) { return Command(d, Mb, "OF"); }, Hex("0A 06 00 BC 4F 46 FC 97"), "", 10,
         6, 0xBC, 0x4F46},
        {"Modbus FL", [](TDevice& d) { return Command(d, Mb, "FL"); }, Hex("0A 06 00 BC 46 4C 7A C0"), "", 10,
         6, 0xBC, 0x464C},
        {"Modbus DF", [](TDevice& d) { return Command(d, Mb, "DF"); }, Hex("0A 06 00 BC 44 46 FB A7"), "", 10,
         6, 0xBC, 0x4446},
        {"Modbus FX", [](TDevice& d) { return Command(d, Mb, "FX"); }, Hex("0A 06 00 BC 46 58 7A CF"), "", 10,
         6, 0xBC, 0x4658},
        {"Modbus latched", [](TDevice& d) { return ReadLatched(d, Mb); }, Hex("0A 03 01 00 00 01 84 8D"), "",
         10, 3, 0x100, 1},
        {"Modbus last", [](TDevice& d) { return ReadLast(d, Mb); }, Hex("0A 03 01 01 00 01 D5 4D"), "", 10, 3,
         0x101, 1},
        {"Modbus ident", [](TDevice& d) { return ReadIdent(d, Mb); }, Hex("0A 03 00 BD 00 10 D5 59"), "", 10,
         3, 0xBD, 16},
        {"Modbus flags", [](TDevice& d) { return ReadFlags(d); }, Hex("0A 03 00 00 00 01 85 71"), "", 10, 3,
         0, 1},
        {"Modbus block", [](TDevice& d) { return ReadBlock(d); }, Hex("0A 03 00 10 00 13 04 B9"), "", 10, 3,
         0x10, 19},
        {"Modbus flag write", [](TDevice& d) { return WriteFlags(d, 0x2B, Hex("00 15")); },
         Hex("2B 06 00 00 00 15 4F CF"), "", 0x2B, 6, 0, 0x15},
        {"Modbus block write", [](TDevice& d) { return WriteBlock(d, 0x1A, BlockData()); },
         Hex("1A 10 00 10 00 13 26") + BlockData() + Hex("AB 9C"), "", 0x1A, 16, 0x10, 19},
        {"Modbus latch broadcast", [](TDevice&) { return LatchBroadcast(Mb); },
         Hex("00 06 00 BC 46 58 7A 65"), "", -1, 0, 0, 0, false},
        {"Modbus probe", [](TDevice&) { return Probe(1, Mb); }, Hex("01 03 00 10 00 01 85 CF"), "", 1, 0, 0,
         0, false},
    };
}
} // namespace

TEST(Requests, FramesAndTheRepliesTheyExpect)
{
    for (const auto& c : Cases()) {
        SCOPED_TRACE(c.name);
        TDevice device("0A");
        const TRequestPtr r = c.build(device);
        EXPECT_EQ(r->Frame, c.frame);
        EXPECT_EQ(r->Head, c.head);
        EXPECT_EQ(r->ReplyAddress, c.replyAddress);
        EXPECT_EQ(r->Function, c.function);
        EXPECT_EQ(r->Register, c.reg);
        EXPECT_EQ(r->Value, c.value);
        EXPECT_EQ(r->ExpectsReply(), c.expectsReply);
        EXPECT_EQ(r->Protocol, c.frame.startsWith('#') || c.frame.startsWith('t') ? Std : Mb);
        EXPECT_EQ(r->Device, c.replyAddress < 0 || r->Kind == TRequestKind::Probe ? nullptr : &device);
        EXPECT_EQ(r->State.load(), TRequestState::Pending);
    }
}

TEST(Requests, ModbusReadsCarryTheByteCountOfTheirReply)
{
    TDevice device("1A");
    EXPECT_EQ(Requests::ReadIdent(device, Mb)->ModbusByteCount(), 32);
    EXPECT_EQ(Requests::ReadBlock(device)->ModbusByteCount(), 38);
    EXPECT_EQ(Requests::ReadLast(device, Mb)->ModbusByteCount(), 2);
    EXPECT_EQ(Requests::WriteRegister(device, 0x1A, 0x1A, {"01", "05"})->RegisterCode, "01");
    EXPECT_THROW(Requests::WriteFlags(device, 0x1A, Hex("15")), std::invalid_argument);
}

TEST(Requests, ModbusRefusesDamagedAddressTexts)
{
    const std::vector<std::function<TRequestPtr(TDevice&)>> builders = {
        [](TDevice& d) { return Requests::Command(d, Mb, "ON"); },
        [](TDevice& d) { return Requests::ReadLatched(d, Mb); },
        [](TDevice& d) { return Requests::ReadLast(d, Mb); },
        [](TDevice& d) { return Requests::ReadIdent(d, Mb); },
        [](TDevice& d) { return Requests::ReadFlags(d); },
        [](TDevice& d) { return Requests::ReadBlock(d); },
    };
    for (const char* text : {"100", "1", "", "G1", "1 "}) {
        SCOPED_TRACE(text);
        TDevice device(text);
        for (const auto& build : builders)
            EXPECT_THROW(build(device), EConvertError);
        // The standard form sends the text as it is; no reply can then name the record.
        EXPECT_EQ(Requests::Command(device, Std, "ON")->ReplyAddress, -1);
    }
}

TEST(Requests, FinishLeavesPendingOnlyOnce)
{
    const struct {
        TRequestState first;
        TRequestState second;
    } cases[] = {
        {TRequestState::Answered, TRequestState::GivenUp},
        {TRequestState::GivenUp, TRequestState::Answered},
        {TRequestState::Refused, TRequestState::Answered},
    };
    for (const auto& c : cases) {
        TRequest request;
        EXPECT_TRUE(request.Finish(c.first));
        EXPECT_FALSE(request.Finish(c.second));
        EXPECT_EQ(request.State.load(), c.first);
    }
}
