// The command line as typed: what is taken, and the one line a refusal gives.
#include "cli/CliArgs.h"
#include <gtest/gtest.h>

namespace {

QStringList Words(const char* line)
{
    return QString::fromUtf8(line).split(QLatin1Char(' '), Qt::SkipEmptyParts);
}

TEST(CliArgs, AddressesAsTheUserWritesThem)
{
    const struct {
        const char* text;
        int expected; // -1: refused
    } cases[] = {
        {"26", 26}, {"1", 1},    {"255", 255}, {"0x1A", 26}, {"0X1a", 26}, {"1Ah", 26},  {"1ah", 26},
        {"1A", 26}, {"FF", 255}, {" 7 ", 7},   {"0", -1},    {"256", -1},  {"0x", -1},   {"0x100", -1},
        {"1G", -1}, {"-1", -1},  {"", -1},     {"12.0", -1}, {"1 2", -1},  {"0x00", -1}, {"1234", -1},
    };
    for (const auto& c : cases) {
        const std::optional<int> address = ParseAddress(QString::fromUtf8(c.text));
        EXPECT_EQ(address.value_or(-1), c.expected) << c.text;
    }
}

TEST(CliArgs, TakesEachCommandWithItsOptions)
{
    const TCliParse read = ParseCliArgs(Words("read --port /dev/ttyUSB0 --address=1A --speed 115200 --json "
                                              "--protocol modbus --timeout 500 --delay 5 --output set.json"));
    ASSERT_TRUE(read.Args) << read.Error.toStdString();
    EXPECT_EQ(read.Args->Command, TCliCommand::Read);
    EXPECT_EQ(read.Args->Port, QStringLiteral("/dev/ttyUSB0"));
    EXPECT_EQ(read.Args->Address, 26);
    EXPECT_EQ(read.Args->Speed, 115200);
    EXPECT_TRUE(read.Args->Json);
    EXPECT_EQ(read.Args->Protocol, TProtocol::Modbus);
    EXPECT_EQ(read.Args->TimeoutMs, 500);
    EXPECT_EQ(read.Args->DelayMs, 5);
    EXPECT_EQ(read.Args->Output, QStringLiteral("set.json"));

    // Options may come before the command.
    const TCliParse write = ParseCliArgs(
        Words("--port DEMO --address 3 write a.json --no-verify --set-address 0x10 --set-speed 9600"));
    ASSERT_TRUE(write.Args) << write.Error.toStdString();
    EXPECT_EQ(write.Args->File, QStringLiteral("a.json"));
    EXPECT_FALSE(write.Args->Verify);
    EXPECT_EQ(write.Args->SetAddress, 16);
    EXPECT_EQ(write.Args->SetSpeed, 9600);

    const TCliParse search = ParseCliArgs(Words("search --port COM3 --bound 26 --speeds 9600,921600"));
    ASSERT_TRUE(search.Args) << search.Error.toStdString();
    EXPECT_EQ(search.Args->Bound, 26);
    EXPECT_EQ(search.Args->Speeds, (std::vector<int>{9600, 921600}));

    const TCliParse inventory = ParseCliArgs(Words("inventory /dev/a /dev/b --json"));
    ASSERT_TRUE(inventory.Args) << inventory.Error.toStdString();
    EXPECT_EQ(inventory.Args->Ports, (QStringList{"/dev/a", "/dev/b"}));

    const TCliParse stream = ParseCliArgs(Words("stream --port DEMO --address 1 --seconds 2.5"));
    ASSERT_TRUE(stream.Args) << stream.Error.toStdString();
    EXPECT_DOUBLE_EQ(stream.Args->Seconds, 2.5);

    const TCliParse help = ParseCliArgs(Words("help latch"));
    ASSERT_TRUE(help.Args);
    EXPECT_EQ(help.Args->HelpTopic, TCliCommand::Latch);
    const TCliParse ownHelp = ParseCliArgs(Words("write --help"));
    ASSERT_TRUE(ownHelp.Args);
    EXPECT_TRUE(ownHelp.Args->Help);
    EXPECT_EQ(ParseCliArgs(Words("--version")).Args->Command, TCliCommand::Version);
}

TEST(CliArgs, RefusesWithOneLineNamingTheFault)
{
    const struct {
        const char* line;
        const char* mentions;
    } cases[] = {
        {"", "no command"},
        {"frobnicate", "unknown command \"frobnicate\""},
        {"read --port p --address 1 --colour", "unknown option --colour"},
        {"read --port p --address 1 -x", "unknown option -x"},
        {"read --port p", "read needs --address"},
        {"read --address 1", "read needs --port"},
        {"read --port p --address 300", "bad value \"300\" for --address"},
        {"read --port p --address 1 --speed 12345", "bad value \"12345\" for --speed"},
        {"read --port p --address 1 --delay 0", "bad value \"0\" for --delay"},
        {"read --port p --address 1 --timeout 99", "bad value \"99\" for --timeout"},
        {"read --port p --address 1 --protocol rtu", "bad value \"rtu\" for --protocol"},
        {"read --port p --address 1 --timeout", "option --timeout needs a value"},
        {"read --port p --address 1 --json=yes", "option --json takes no value"},
        {"search --port p --bound 0", "bad value \"0\" for --bound"},
        {"search --port p --speeds 9600,9600", "bad value \"9600,9600\" for --speeds"},
        {"search --port p --speeds 9600,", "bad value \"9600,\" for --speeds"},
        {"search --port p --address 1", "option --address does not apply to search"},
        {"ports --port p", "option --port does not apply to ports"},
        {"read --port p --address 1 --no-verify", "option --no-verify does not apply to read"},
        {"write --port p --address 1", "write takes one parameter-set file"},
        {"compare a b --port p --address 1", "compare takes one parameter-set file"},
        {"read extra --port p --address 1", "unexpected argument \"extra\" for read"},
        {"inventory", "inventory takes one or more ports"},
        {"inventory /dev/a /dev/a", "port /dev/a is named twice"},
        {"stream --port p --address 1 --seconds 0", "bad value \"0\" for --seconds"},
        {"stream --port p --address 1 --protocol modbus", "standard protocol only"},
        {"latch --port p --all --address 1", "latch --all reaches every sensor"},
        {"help nothing", "unknown command \"nothing\""},
        {"read --version", "--version takes no command"},
    };
    for (const auto& c : cases) {
        const TCliParse parse = ParseCliArgs(Words(c.line));
        EXPECT_FALSE(parse.Args) << c.line;
        EXPECT_TRUE(parse.Error.contains(QString::fromUtf8(c.mentions)))
            << c.line << " -> " << parse.Error.toStdString();
        EXPECT_FALSE(parse.Error.contains(QLatin1Char('\n'))) << c.line;
    }
}

} // namespace
