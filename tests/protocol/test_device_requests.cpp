#include "LinkFixture.h"
#include "convert/Unit_Utils.h"
#include "protocol/DeviceUnit.h"
#include <QElapsedTimer>
#include <gtest/gtest.h>
#include <vector>

namespace {
using Request = bool (TDevice::*)();

struct RequestCase {
    const char* name;
    Request request;
    QByteArray frame;
};

// Requests that have no Modbus form go out in the standard form in either protocol.
std::vector<RequestCase> StandardOnlyCases()
{
    return {
        {"ReadPAdress", &TDevice::ReadPAdress, "#0AR01\r"},
        {"ReadGaugeOnOff", &TDevice::ReadGaugeOnOff, "#0AR02\r"},
        {"ReadAnalogExit", &TDevice::ReadAnalogExit, "#0AR03\r"},
        {"ReadThreadOnOff", &TDevice::ReadThreadOnOff, "#0AR04\r"},
        {"ReadSynhro", &TDevice::ReadSynhro, "#0AR05\r"},
        {"ReadByteFormat", &TDevice::ReadByteFormat, "#0AR06\r"},
        {"ReadUart", &TDevice::ReadUart, "#0AR07\r"},
        {"ReadPeriodLo", &TDevice::ReadPeriodLo, "#0AR08\r"},
        {"ReadPeriodHi", &TDevice::ReadPeriodHi, "#0AR09\r"},
        {"ReadConstantLo", &TDevice::ReadConstantLo, "#0AR0A\r"},
        {"ReadConstantHi", &TDevice::ReadConstantHi, "#0AR0B\r"},
        {"ReadTimeLo", &TDevice::ReadTimeLo, "#0AR0C\r"},
        {"ReadTimeHi", &TDevice::ReadTimeHi, "#0AR0D\r"},
        {"ReadTypeData", &TDevice::ReadTypeData, "#0AR0E\r"},
        {"ReadMiddlePoint", &TDevice::ReadMiddlePoint, "#0AR0F\r"},
        {"ReadMedianPoint", &TDevice::ReadMedianPoint, "#0AR10\r"},
        {"ReadLowLevelAnalogExitLo", &TDevice::ReadLowLevelAnalogExitLo, "#0AR11\r"},
        {"ReadLowLevelAnalogExitHi", &TDevice::ReadLowLevelAnalogExitHi, "#0AR12\r"},
        {"ReadHighLevelAnalogExitLo", &TDevice::ReadHighLevelAnalogExitLo, "#0AR13\r"},
        {"ReadHighLevelAnalogExitHi", &TDevice::ReadHighLevelAnalogExitHi, "#0AR14\r"},
        {"ReadDiscreetExit", &TDevice::ReadDiscreetExit, "#0AR15\r"},
        {"ReadFirstDiffFirstDiscreetExitLo", &TDevice::ReadFirstDiffFirstDiscreetExitLo, "#0AR16\r"},
        {"ReadFirstDiffFirstDiscreetExitHi", &TDevice::ReadFirstDiffFirstDiscreetExitHi, "#0AR17\r"},
        {"ReadSecondDiffFirstDiscreetExitLo", &TDevice::ReadSecondDiffFirstDiscreetExitLo, "#0AR18\r"},
        {"ReadSecondDiffFirstDiscreetExitHi", &TDevice::ReadSecondDiffFirstDiscreetExitHi, "#0AR19\r"},
        {"ReadFirstDiffSecondDiscreetExitLo", &TDevice::ReadFirstDiffSecondDiscreetExitLo, "#0AR1A\r"},
        {"ReadFirstDiffSecondDiscreetExitHi", &TDevice::ReadFirstDiffSecondDiscreetExitHi, "#0AR1B\r"},
        {"ReadSecondDiffSecondDiscreetExitLo", &TDevice::ReadSecondDiffSecondDiscreetExitLo, "#0AR1C\r"},
        {"ReadSecondDiffSecondDiscreetExitHi", &TDevice::ReadSecondDiffSecondDiscreetExitHi, "#0AR1D\r"},
        {"ReadR", &TDevice::ReadR, "#0AR1E\r"},
        {"ReadOI", &TDevice::ReadOI, "#0AR1F\r"},
        {"ReadCorrezLo", &TDevice::ReadCorrezLo, "#0AR20\r"},
        {"ReadCorrezHi", &TDevice::ReadCorrezHi, "#0AR21\r"},
        {"ReadCorrezSign", &TDevice::ReadCorrezSign, "#0AR22\r"},
        {"StartThreadResult", &TDevice::StartThreadResult, "#0AST\r"},
    };
}

std::vector<RequestCase> StandardCases()
{
    auto cases = StandardOnlyCases();
    cases.insert(cases.end(), {
                                  {"Setup", &TDevice::Setup, "#0ASU\r"},
                                  {"SwitchOn", &TDevice::SwitchOn, "#0AON\r"},
                                  {"SwitchOff", &TDevice::SwitchOff, "#0AOF\r"},
                                  {"SaveToFlash", &TDevice::SaveToFlash, "#0AFL\r"},
                                  {"SetParmDefault", &TDevice::SetParmDefault, "#0ADF\r"},
                                  {"SwitchResult", &TDevice::SwitchResult, "#0AFX\r"},
                                  {"ReadSwitchResult", &TDevice::ReadSwitchResult, "#0AFR\r"},
                                  {"ReadLastResult", &TDevice::ReadLastResult, "#0ALR\r"},
                                  {"ReadIdent", &TDevice::ReadIdent, "#0AID\r"},
                              });
    return cases;
}

std::vector<RequestCase> ModbusCases()
{
    auto cases = StandardOnlyCases();
    cases.insert(cases.end(),
                 {
                     {"Setup", &TDevice::Setup, Hex("0A 06 00 BC 53 55 B5 9A")},
                     {"SwitchOn", &TDevice::SwitchOn, Hex("0A 06 00 BC 4F 4E FD 51")},
                     {"SwitchOff", &TDevice::SwitchOff, Hex("0A 06 00 BC 4F 46 FC 97")},
                     {"SaveToFlash", &TDevice::SaveToFlash, Hex("0A 06 00 BC 46 4C 7A C0")},
                     {"SetParmDefault", &TDevice::SetParmDefault, Hex("0A 06 00 BC 44 46 FB A7")},
                     {"SwitchResult", &TDevice::SwitchResult, Hex("0A 06 00 BC 46 58 7A CF")},
                     {"ReadSwitchResult", &TDevice::ReadSwitchResult, Hex("0A 03 01 00 00 01 84 8D")},
                     {"ReadLastResult", &TDevice::ReadLastResult, Hex("0A 03 01 01 00 01 D5 4D")},
                     {"ReadIdent", &TDevice::ReadIdent, Hex("0A 03 00 BD 00 10 D5 59")},
                     {"Read_Flag_modbus", &TDevice::Read_Flag_modbus, Hex("0A 03 00 00 00 01 85 71")},
                     {"ReadAllParam_modbus", &TDevice::ReadAllParam_modbus, Hex("0A 03 00 10 00 13 04 B9")},
                 });
    return cases;
}

class Requests : public LinkFixture {
  protected:
    // Each request, sent with the token free, goes out as exactly its frame and takes the token;
    // with the token taken it sends nothing, returns false and still leaves its frame in DCommand.
    void CheckRequests(const std::vector<RequestCase>& cases)
    {
        for (const auto& c : cases) {
            SCOPED_TRACE(c.name);
            TDevice device("0A");
            ReplyReceived = true;
            ForgetWrites();
            EXPECT_TRUE((device.*c.request)());
            EXPECT_EQ(Writes(), QList<QByteArray>{c.frame});
            EXPECT_EQ(device.DCommand.load(), c.frame);
            EXPECT_FALSE(ReplyReceived.load());
            EXPECT_FALSE(device.ReadEnd());

            TDevice refused("0A");
            ForgetWrites();
            EXPECT_FALSE((refused.*c.request)());
            EXPECT_TRUE(Writes().isEmpty());
            EXPECT_EQ(refused.DCommand.load(), c.frame);
            EXPECT_FALSE(ReplyReceived.load());
        }
    }
};
} // namespace

TEST_F(Requests, StandardFramesAndToken)
{
    ProtocolMode = 0;
    CheckRequests(StandardCases());
}

TEST_F(Requests, ModbusFramesAndToken)
{
    ProtocolMode = 1;
    CheckRequests(ModbusCases());
}

TEST_F(Requests, ModbusSwitchOnForTheRoadExample)
{
    ProtocolMode = 1;
    TDevice device("1A");
    EXPECT_TRUE(device.SwitchOn());
    EXPECT_EQ(Writes(), QList<QByteArray>{Hex("1A 06 00 BC 4F 4E FF C1")});
}

TEST_F(Requests, ExpectationFlagsAreSetBeforeTheTokenIsTested)
{
    struct Case {
        const char* name;
        Request request;
        bool last, switched, ident, all, flags;
    };
    const std::vector<Case> cases = {
        {"ReadLastResult", &TDevice::ReadLastResult, true, false, false, false, false},
        {"ReadSwitchResult", &TDevice::ReadSwitchResult, false, true, false, false, false},
        {"ReadIdent", &TDevice::ReadIdent, false, false, true, false, false},
        {"Read_Flag_modbus", &TDevice::Read_Flag_modbus, false, false, false, false, true},
        {"ReadAllParam_modbus", &TDevice::ReadAllParam_modbus, false, false, false, true, false},
        {"SwitchOn", &TDevice::SwitchOn, false, false, false, false, false},
    };
    ProtocolMode = 1;
    for (const bool tokenFree : {true, false}) {
        for (const auto& c : cases) {
            SCOPED_TRACE(std::string(c.name) + (tokenFree ? " sent" : " refused"));
            for (auto* flag :
                 {&ExpectLastResult, &ExpectSwitchResult, &ExpectIdent, &ExpectAllParams, &ExpectFlags})
                *flag = false;
            ReplyReceived = tokenFree;
            TDevice device("1A");
            EXPECT_EQ((device.*c.request)(), tokenFree);
            EXPECT_EQ(ExpectLastResult.load(), c.last);
            EXPECT_EQ(ExpectSwitchResult.load(), c.switched);
            EXPECT_EQ(ExpectIdent.load(), c.ident);
            EXPECT_EQ(ExpectAllParams.load(), c.all);
            EXPECT_EQ(ExpectFlags.load(), c.flags);
        }
    }

    // Each of the flag read and the block read withdraws the other's expectation, but only once
    // the token is free: while it is taken, the reply to the other is still on its way.
    TDevice device("1A");
    ReplyReceived = false;
    ExpectAllParams = true;
    EXPECT_FALSE(device.Read_Flag_modbus());
    EXPECT_TRUE(ExpectAllParams.load());
    EXPECT_TRUE(ExpectFlags.load());
    ReplyReceived = true;
    EXPECT_TRUE(device.Read_Flag_modbus());
    EXPECT_FALSE(ExpectAllParams.load());

    ExpectFlags = true;
    EXPECT_FALSE(device.ReadAllParam_modbus());
    EXPECT_TRUE(ExpectFlags.load());
    EXPECT_TRUE(ExpectAllParams.load());
    EXPECT_EQ(device.mb_version_for_RW_all_N.load(), 0x13);
    ReplyReceived = true;
    EXPECT_TRUE(device.ReadAllParam_modbus());
    EXPECT_FALSE(ExpectFlags.load());

    // The standard forms expect nothing.
    ProtocolMode = 0;
    ReplyReceived = true;
    device.ReadLastResult();
    device.ReadSwitchResult();
    device.ReadIdent();
    EXPECT_FALSE(ExpectLastResult.load());
    EXPECT_FALSE(ExpectSwitchResult.load());
    EXPECT_FALSE(ExpectIdent.load());
}

TEST_F(Requests, BlockReadEmptiesTheReceiveBufferOnlyWhenItCanSend)
{
    ProtocolMode = 1;
    TDevice device("1A");
    ReceiveBuffer = Hex("1A 03 02"); // the first chunk of the flag reply
    ReplyReceived = false;
    EXPECT_FALSE(device.ReadAllParam_modbus());
    EXPECT_EQ(ReceiveBuffer, Hex("1A 03 02"));
    ReplyReceived = true;
    EXPECT_TRUE(device.ReadAllParam_modbus());
    EXPECT_TRUE(ReceiveBuffer.isEmpty());
}

TEST_F(Requests, DriverResultIsIgnoredBehindTheToken)
{
    driverResult_ = false;
    TDevice device("1A");
    EXPECT_TRUE(device.SwitchOn());
    EXPECT_EQ(Writes().size(), 1);
    EXPECT_FALSE(ReplyReceived.load());
}

TEST_F(Requests, NothingRegisteredSendsNothingAndKeepsTheToken)
{
    SetLinkSender(nullptr);
    TDevice device("1A");
    EXPECT_FALSE(device.SwitchOn());
    EXPECT_EQ(device.DCommand.load(), "#1AON\r");
    EXPECT_TRUE(ReplyReceived.load());
    EXPECT_FALSE(device.ReadAllSwitchResult());
    EXPECT_FALSE(LinkSend("x"));
}

TEST_F(Requests, BroadcastLatchBypassesTheToken)
{
    struct Case {
        std::uint8_t mode;
        bool token;
        bool driver;
        QByteArray frame;
    };
    const std::vector<Case> cases = {
        {0, true, true, "#00FX\r"},
        {0, false, true, "#00FX\r"},
        {0, false, false, "#00FX\r"},
        {1, true, true, Hex("00 06 00 BC 46 58 7A 65")},
        {1, false, true, Hex("00 06 00 BC 46 58 7A 65")},
        {1, true, false, Hex("00 06 00 BC 46 58 7A 65")},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << int(c.mode) << c.token << c.driver);
        ProtocolMode = c.mode;
        ReplyReceived = c.token;
        driverResult_ = c.driver;
        ForgetWrites();
        TDevice device("1A");
        EXPECT_EQ(device.ReadAllSwitchResult(), c.driver);
        EXPECT_EQ(Writes(), QList<QByteArray>{c.frame});
        EXPECT_EQ(device.DCommand.load(), c.frame);
        EXPECT_EQ(ReplyReceived.load(), c.token);
    }
}

TEST_F(Requests, StreamStopCarriesThePreambleInOneWrite)
{
    for (const std::uint8_t mode : {0, 1}) {
        ProtocolMode = mode;
        ReplyReceived = true;
        ForgetWrites();
        TDevice device("1A");
        EXPECT_TRUE(device.StopThreadResult());
        ASSERT_EQ(Writes().size(), 1);
        EXPECT_EQ(Writes().front(), "tkwrnoza#1ASB\r");
        EXPECT_EQ(Writes().front().size(), 14);
        EXPECT_EQ(device.DCommand.load(), "#1ASB\r");

        EXPECT_FALSE(device.StopThreadResult());
        EXPECT_EQ(Writes().size(), 1);
    }
}

TEST_F(Requests, StreamStartMarksTheRecordEvenWhenRefused)
{
    TDevice device("1A");
    device.ThreadResultCount = 7;
    ReplyReceived = false;
    EXPECT_FALSE(device.StartThreadResult());
    EXPECT_TRUE(device.threadResultIsExec.load());
    EXPECT_EQ(device.ThreadResultCount.load(), 0);
    EXPECT_TRUE(Writes().isEmpty());
}

TEST_F(Requests, IdentificationPausesAfterEveryAttempt)
{
    struct Case {
        int probeDelay;
        bool token;
        qint64 atLeastMs;
    };
    const std::vector<Case> cases = {{0, true, 10}, {0, false, 10}, {10, false, 10}, {40, false, 40}};
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.probeDelay << c.token);
        ProbeDelay = c.probeDelay;
        ReplyReceived = c.token;
        QElapsedTimer timer;
        timer.start();
        EXPECT_EQ(TDevice("1A").ReadIdent(), c.token);
        EXPECT_GE(timer.elapsed(), c.atLeastMs);
    }
}

TEST_F(Requests, ParameterWritesGoToWriteAddress)
{
    TDevice device("1A");
    WriteAddress = QByteArray("2B");

    ProtocolMode = 0;
    EXPECT_TRUE(device.WriteParam("07", "03"));
    EXPECT_EQ(Writes().back(), "#2BW0703\r");
    ReplyReceived = true;
    EXPECT_TRUE(device.WriteParamAddress("2C"));
    EXPECT_EQ(Writes().back(), "#1AW012C\r");

    ProtocolMode = 1;
    WriteFlagsOnly = true;
    for (const QByteArray& addr : {QByteArray(), QByteArray("01"), QByteArray("ZZ")}) {
        ReplyReceived = true;
        EXPECT_TRUE(device.WriteParam(addr, Hex("00 15")));
        EXPECT_EQ(Writes().back(), Hex("2B 06 00 00 00 15 4F CF"));
    }
    EXPECT_THROW(device.WriteParam({}, Hex("15")), std::invalid_argument);

    WriteFlagsOnly = false;
    WriteAddress = QByteArray("1A");
    QByteArray block;
    for (int i = 1; i <= 38; ++i)
        block.append(static_cast<char>(i));
    ReplyReceived = true;
    EXPECT_TRUE(device.WriteParam("ignored", block));
    ASSERT_EQ(Writes().back().size(), 47);
    EXPECT_EQ(Writes().back().left(7), Hex("1A 10 00 10 00 13 26"));
    EXPECT_EQ(Writes().back().right(2), Hex("AB 9C"));
    EXPECT_EQ(device.mb_version_for_RW_all_N.load(), 19);
    EXPECT_EQ(device.DCommand.load(), Writes().back());
}

TEST_F(Requests, ModbusRefusesDamagedAddressTexts)
{
    ProtocolMode = 1;
    for (const char* text : {"100", "1", "", "G1"}) {
        SCOPED_TRACE(text);
        TDevice device(text);
        EXPECT_THROW(device.SwitchOn(), EConvertError);
        EXPECT_TRUE(Writes().isEmpty());
        EXPECT_TRUE(ReplyReceived.load());
    }
}
