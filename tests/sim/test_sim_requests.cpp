// Every request form of both protocols, sent as plain bytes through the pseudo-terminal.
#include "SimBusFixture.h"

#include <functional>

namespace {

struct Exchange {
    QByteArray request;
    QByteArray reply; // empty: the sensor must stay silent
};

void runTable(const std::vector<Exchange>& table,
              const std::function<QByteArray(const QByteArray&, const QByteArray&)>& exchange)
{
    for (const Exchange& e : table)
        EXPECT_EQ(exchange(e.request, e.reply).toHex(' '), e.reply.toHex(' '))
            << e.request.toHex(' ').constData() << " " << e.request.constData();
}

TEST_F(SimBusTest, StandardRequestsDrawTheirReplies)
{
    const std::vector<Exchange> table = {
        {"#1AON\r", "!1AON\r"},
        {"#1AOF\r", "!1AOF\r"},
        {"#1AON\r", "!1AON\r"},
        {"#1ASU\r", "!1ASU\r"},
        {"#1AFL\r", "!1AFL\r"},
        {"#1AFR\r", "!1AFR65534\r"}, // nothing latched yet
        {"#1AFX\r", "!1AFX\r"},
        {"#1AFR\r", "!1AFR25000\r"},
        {"#1ALR\r", "!1ALR25000\r"},
        {"#05LR\r", "!05LR00100\r"},
        {"#05FX\r", "!05FX\r"},
        {"#05FR\r", "!05FR00101\r"},
        {"#1AR01\r", "!1AR011A\r"},
        {"#1AR07\r", "!1AR0705\r"},
        {"#1AR0A\r", "!1AR0A64\r"},
        {"#1AW0F20\r", "!1AW0F20\r"},
        {"#1AR0F\r", "!1AR0F20\r"},
        {"#1aR0f\r", "!1AR0F20\r"}, // the firmware reads hex digits of either case
        {"#1AW2201\r", "!1AW2201\r"},
        {"#1ADF\r", "!1ADF\r"},
        {"#1AR0F\r", "!1AR0F08\r"},
        {"#1AR22\r", "!1AR2200\r"},
        {"#1AR01\r", "!1AR011A\r"}, // defaults keep the address ...
        {"#1AR07\r", "!1AR0705\r"}, // ... and the speed
        {"#1ASB\r", "!1ASB\r"},
        {"#1AXX\r", ""},
        {"#1AR23\r", ""},
        {"#1AR00\r", ""},
        {"#1AW0700\r", ""}, // no such speed
        {"#1AW0100\r", ""}, // address 0 is everyone's
        {"#1AW0202\r", ""}, // on or off only
        {"#1BON\r", ""},    // nobody there
        {"1AON\r", ""},
        {"#1AON", ""},
        {"#1AR01\r", "!1AR011A\r"}, // a new "#" starts over after the unfinished frame
    };
    runTable(table, [this](const QByteArray& r, const QByteArray& e) { return exchange(r, e); });
    EXPECT_TRUE(bus.status(sensorA).on);
}

TEST_F(SimBusTest, EveryRegisterReadsBackItsStoredValue)
{
    const SimRegisters regs = bus.registers(sensorA);
    for (int code = SimReg::First; code <= SimReg::Last; ++code) {
        const QByteArray hexCode = QByteArray::number(code, 16).toUpper().rightJustified(2, '0');
        const QByteArray value = QByteArray::number(regs.get(code), 16).toUpper().rightJustified(2, '0');
        const QByteArray expected = "!1AR" + hexCode + value + "\r";
        EXPECT_EQ(exchange("#1AR" + hexCode + "\r", expected), expected);
    }
    bus.setRegister(sensorA, 0x1F, 0x08);
    EXPECT_EQ(exchange("#1AR1F\r", "!1AR1F08\r"), "!1AR1F08\r");
}

TEST_F(SimBusTest, IdentificationFieldsSitInTheirColumns)
{
    const QByteArray expected = "%1AVLT-250             ,SN0000123456,D00250.000,M00400.000\r";
    const QByteArray reply = exchange("#1AID\r", expected);
    ASSERT_EQ(reply, expected);
    // Columns counted from the "%" as 1: model 4-23, serial 27-36, range 39-47, distance 50-58.
    EXPECT_EQ(reply.mid(3, 20), "VLT-250             ");
    EXPECT_EQ(reply.mid(26, 10).toInt(), 123456);
    EXPECT_EQ(reply.mid(38, 9).toDouble(), 250.0);
    EXPECT_EQ(reply.mid(49, 9).toDouble(), 400.0);
    EXPECT_EQ(reply.size(), 59);
}

TEST_F(SimBusTest, ModbusRequestsDrawTheirRepliesAndExceptions)
{
    const QByteArray block = hexBytes("001A 0000 0005 000A 0064 03E8 0000 0008 0005 0000 C350 0000 2710 4E20 "
                                      "7530 9C40 0000 0000 0000");
    const QByteArray ident =
        QByteArray("VLT-250").leftJustified(20, ' ') + hexBytes("0003D090 00061A80 0001E240");
    const std::vector<Exchange> table = {
        {mb("1A 03 00 00 00 01"), mb("1A 03 02 00 01")},
        {mb("1A 03 00 10 00 13"), simWithCrc(hexBytes("1A 03 26") + block)},
        {mb("1A 03 00 BD 00 10"), simWithCrc(hexBytes("1A 03 20") + ident)},
        {mb("1A 03 01 00 00 01"), mb("1A 03 02 FF FE")},
        {mb("1A 06 00 BC 46 58"), mb("1A 06 00 BC 46 58")},
        {mb("1A 03 01 00 00 01"), mb("1A 03 02 61 A8")},
        {mb("1A 03 01 01 00 01"), mb("1A 03 02 61 A8")},
        {mb("1A 06 00 BC 4F 46"), mb("1A 06 00 BC 4F 46")},
        {mb("1A 03 00 BC 00 01"), mb("1A 03 02 4F 46")},
        {mb("1A 06 00 BC 4F 4E"), mb("1A 06 00 BC 4F 4E")},
        {mb("1A 06 00 BC 53 55"), mb("1A 06 00 BC 53 55")},
        {mb("1A 06 00 BC 46 4C"), mb("1A 06 00 BC 46 4C")},
        {mb("1A 06 00 00 00 15"), mb("1A 06 00 00 00 15")},
        {mb("1A 03 00 00 00 01"), mb("1A 03 02 00 15")},
        {mb("1A 06 00 17 00 20"), mb("1A 06 00 17 00 20")},
        {mb("1A 10 00 13 00 02 04 00 05 00 03"), mb("1A 10 00 13 00 02")},
        {mb("1A 03 00 13 00 02"), mb("1A 03 04 00 05 00 03")},
        {mb("1A 06 00 BC 44 46"), mb("1A 06 00 BC 44 46")},
        {mb("1A 03 00 17 00 02"), mb("1A 03 04 00 08 00 05")},
        {mb("1A 04 00 00 00 01"), mb("1A 84 01")},
        {mb("1A 03 00 01 00 01"), mb("1A 83 02")},
        {mb("1A 03 02 00 00 01"), mb("1A 83 02")},
        {mb("1A 03 00 00 00 00"), mb("1A 83 05")},
        {mb("1A 03 00 BD 00 7E"), mb("1A 83 05")},
        {mb("1A 06 00 00 00 20"), mb("1A 86 03")},
        {mb("1A 06 00 BD 00 00"), mb("1A 86 06")},
        {mb("1A 06 01 00 00 00"), mb("1A 86 06")},
        {mb("1A 06 00 05 00 01"), mb("1A 86 07")},
        {mb("1A 06 00 BC 53 54"), mb("1A 86 01")}, // no stream over Modbus
        {mb("1A 06 00 18 00 04"), mb("1A 86 03")}, // an even median
        {mb("1A 10 00 10 00 02 03 00 1A 00"), mb("1A 90 03")},
        {mb("1A 10 00 10 00 00 00"), mb("1A 90 05")},
        {mb("1A 10 00 22 00 02 04 00 00 00 00"), mb("1A 90 07")},
        {mb("1A 10 00 17 00 02 04 00 09 00 04"), mb("1A 90 03")},
        {mb("1A 03 00 17 00 02"), mb("1A 03 04 00 08 00 05")}, // the refused block changed nothing
        {mb("1B 03 00 00 00 01"), ""},
    };
    runTable(table, [this](const QByteArray& r, const QByteArray& e) { return exchange(r, e); });

    QByteArray badCrc = mb("1A 03 00 00 00 01");
    badCrc[6] = static_cast<char>(badCrc[6] ^ 0x01);
    EXPECT_TRUE(exchange(badCrc, {}, 300, 60).isEmpty()) << "a frame with a bad CRC draws no reply";
    EXPECT_EQ(exchange(mb("1A 03 00 00 00 01"), mb("1A 03 02 00 01")), mb("1A 03 02 00 01"))
        << "as the defaults left it";
}

TEST_F(SimBusTest, ASensorAnswersOnlyAtItsOwnSpeed)
{
    struct Case {
        int speed;
        QByteArray request;
        QByteArray reply;
    };
    const Case cases[] = {
        {9600, "#1AR07\r", ""},
        {19200, "#1AR07\r", "!1AR0702\r"}, // C only, though A has the same address
        {19200, "#05R01\r", ""},
        {115200, "#1AR07\r", "!1AR0705\r"},
        {9600, mb("1A 03 00 00 00 01"), ""},
        {19200, mb("1A 03 00 12 00 01"), mb("1A 03 02 00 02")},
        {115200, mb("1A 03 00 12 00 01"), mb("1A 03 02 00 05")},
    };
    for (const Case& c : cases) {
        ASSERT_TRUE(port->setSpeed(c.speed));
        EXPECT_EQ(exchange(c.request, c.reply).toHex(' '), c.reply.toHex(' '))
            << c.speed << " " << c.request.constData();
    }
    EXPECT_EQ(bus.lineSpeed(), 115200);
}

TEST_F(SimBusTest, BroadcastActsOnEverySensorAtTheLineSpeedWithoutReply)
{
    EXPECT_TRUE(exchange("#00FX\r", {}).isEmpty());
    EXPECT_EQ(bus.status(sensorA).latched, 25000);
    EXPECT_EQ(bus.status(sensorB).latched, 100);
    EXPECT_EQ(bus.status(sensorC).latched, 65534) << "C runs at another speed";

    EXPECT_TRUE(exchange(mb("00 06 00 BC 46 58"), {}).isEmpty());
    EXPECT_EQ(mb("00 06 00 BC 46 58").toHex(), "000600bc46587a65");
    EXPECT_EQ(bus.status(sensorB).latched, 101);

    EXPECT_TRUE(exchange("#00R01\r", {}).isEmpty());
    EXPECT_TRUE(exchange(mb("00 03 00 00 00 01"), {}).isEmpty());
    EXPECT_TRUE(exchange("#00OF\r", {}).isEmpty());
    EXPECT_FALSE(bus.status(sensorA).on);
    EXPECT_FALSE(bus.status(sensorB).on);
    EXPECT_TRUE(bus.status(sensorC).on);
}

TEST_F(SimBusTest, NewAddressAnswersUnderTheNewAddress)
{
    EXPECT_EQ(exchange("#1AW0130\r", "!30W0130\r"), "!30W0130\r");
    EXPECT_EQ(exchange("#30R01\r", "!30R0130\r"), "!30R0130\r");
    EXPECT_TRUE(exchange("#1AR01\r", {}).isEmpty());
    EXPECT_EQ(bus.status(sensorA).address, 0x30);
}

TEST_F(SimBusTest, NewSpeedAnswersOnceTheLineFollows)
{
    EXPECT_TRUE(exchange("#05W0708\r", {}, 300, 30).isEmpty()) << "no echo at the old speed";
    ASSERT_TRUE(port->setSpeed(921600));
    EXPECT_EQ(port->readUntil(9, 500), "!05W0708\r");
    EXPECT_EQ(exchange("#05R07\r", "!05R0708\r"), "!05R0708\r");
    EXPECT_EQ(bus.status(sensorB).speed, 921600);
}

TEST_F(SimBusTest, ModbusBlockWriteAnswersFromTheOldAddressAndSpeed)
{
    QByteArray block = exchange(mb("05 03 00 10 00 13"), QByteArray(43, '\0')).mid(3, 38);
    ASSERT_EQ(block.size(), 38);
    block[1] = 0x33; // address 0x33
    block[5] = 0x06; // 230400 baud
    const QByteArray request = simWithCrc(hexBytes("05 10 00 10 00 13 26") + block);
    ASSERT_EQ(request.size(), 47);
    EXPECT_EQ(exchange(request, mb("05 10 00 10 00 13")), mb("05 10 00 10 00 13"));
    EXPECT_TRUE(exchange(mb("05 03 00 00 00 01"), {}).isEmpty());
    ASSERT_TRUE(port->setSpeed(230400));
    EXPECT_EQ(exchange(mb("33 03 00 10 00 01"), mb("33 03 02 00 33")), mb("33 03 02 00 33"));
}

} // namespace
