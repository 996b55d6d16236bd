// veltrano-cli as a script sees it: the real program against veltrano-sim processes, its output
// parsed back and held against the simulated sensors, and its exit codes.
#include "CliFixture.h"

#include <QDateTime>
#include <QFile>
#include <QJsonArray>
#include <QProcess>
#include <QRegularExpression>

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

namespace {

// A simulated sensor as --sensor gives it, to hold the output against.
struct SimSensor {
    int address;
    int speed;
    const char* model;
    int serial;
    const char* extra = "";
};

QStringList SimArgs(std::initializer_list<SimSensor> sensors, const QStringList& faults = {})
{
    QStringList args;
    for (const SimSensor& s : sensors)
        args << "--sensor"
             << QStringLiteral("addr=%1,speed=%2,model=%3,serial=%4%5")
                    .arg(s.address)
                    .arg(s.speed)
                    .arg(QLatin1String(s.model))
                    .arg(s.serial)
                    .arg(QLatin1String(s.extra));
    for (const QString& fault : faults)
        args << "--fault" << fault;
    return args;
}

// The options naming one sensor.
QStringList Target(const QString& link, int address, int speed = 115200, const char* protocol = "standard")
{
    return {"--port",     link,    "--address", QString::number(address), "--speed", QString::number(speed),
            "--protocol", protocol};
}

QStringList At(const QString& command, const QString& link, int address, int speed = 115200,
               const char* protocol = "standard")
{
    return QStringList{command} + Target(link, address, speed, protocol);
}

void ExpectSensor(const QJsonObject& json, const SimSensor& s, const QString& port, const char* protocol)
{
    EXPECT_EQ(json["port"].toString(), port);
    EXPECT_EQ(json["address"].toInt(), s.address);
    EXPECT_EQ(json["address_hex"].toString(),
              QStringLiteral("%1").arg(s.address, 2, 16, QChar('0')).toUpper());
    EXPECT_EQ(json["speed"].toInt(), s.speed);
    EXPECT_EQ(json["protocol"].toString(), QLatin1String(protocol));
    EXPECT_EQ(json["model"].toString(), QLatin1String(s.model));
    EXPECT_EQ(json["serial"].toInt(), s.serial);
    EXPECT_EQ(json["range_mm"].toDouble(), 250.0);
    EXPECT_EQ(json["distance_mm"].toDouble(), 500.0);
}

QJsonObject ByAddress(const QJsonArray& sensors, int address)
{
    for (const QJsonValue& sensor : sensors)
        if (sensor["address"].toInt() == address)
            return sensor.toObject();
    ADD_FAILURE() << "no sensor " << address << " in the output";
    return {};
}

QStringList DataLines(const QString& out)
{
    return out.split('\n', Qt::SkipEmptyParts);
}

class Cli : public CliFixture {};

// Every outcome a script acts on: the exit code, and the one line on stderr that explains it.
TEST_F(Cli, ExitCodesAndTheirErrorLines)
{
    const QString link = StartSim(SimArgs({{1, 115200, "VLT-250", 1},
                                           {2, 115200, "VLT-250", 2},
                                           {3, 115200, "VLT-250", 3},
                                           {4, 115200, "VLT-250", 4},
                                           {5, 921600, "VLT-250", 5}},
                                          {"2:silent", "3:silentafter=3", "4:exception=2"}));
    ASSERT_FALSE(link.isEmpty());
    const QString notSet = Path("notes.json"), emptyObject = Path("empty.json"),
                  missing = Path("missing.json");
    for (const auto& [path, content] : {std::pair{notSet, "hello"}, std::pair{emptyObject, "{}"}}) {
        QFile f(path);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly) && f.write(content) > 0);
    }
    const QString nothing = Path("nothing");
    const QStringList first = Target(link, 1);
    const struct {
        QStringList args;
        int code;
        const char* mentions; // on stdout for success, on stderr otherwise
        const char* lang = "C";
    } cases[] = {
        {{"help"}, 0, "Usage: veltrano-cli COMMAND"},
        {{"--help"}, 0, "Usage: veltrano-cli COMMAND"},
        {{"help", "stream"}, 0, "Usage: veltrano-cli stream"},
        {{"write", "--help"}, 0, "Usage: veltrano-cli write FILE"},
        {{"--version"}, 0, "veltrano-cli "},
        {{"frobnicate"}, 2, "unknown command \"frobnicate\""},
        {{"frobnicate"}, 2, "неизвестная команда «frobnicate»", "ru_RU.UTF-8"},
        {{"help", "frobnicate"}, 2, "unknown command \"frobnicate\""},
        {{"read", "--port", link, "--address", "300"}, 2, "bad value \"300\" for --address"},
        {{"read", "--port", link, "--address", "1", "--speed", "1234"}, 2, "bad value \"1234\" for --speed"},
        {{"search", "--port", link, "--delay", "0"}, 2, "bad value \"0\" for --delay"},
        {{"stream", "--port", link, "--address", "1", "--protocol", "modbus"}, 2, "standard protocol only"},
        {{"search", "--port", link, "--address", "1"}, 2, "--address does not apply to search"},
        {{"read", "--address", "1"}, 2, "read needs --port"},
        {At("result", nothing, 1), 3, "nothing: no such port"},
        {At("result", nothing, 1), 3, "nothing: порт не существует", "ru_RU.UTF-8"},
        {{"search", "--port", nothing}, 3, "nothing: no such port"},
        {At("result", link, 2), 4, "sensor 02: no reply at 115200 baud"},
        {At("result", link, 9), 4, "sensor 09: no reply at 115200 baud"},
        {At("read", link, 3) + QStringList{"--timeout", "300"}, 4, "sensor 03: no reply within 300 ms"},
        {At("read", link, 5, 9600), 4, "sensor 05: no reply at 9600 baud"},
        {{"read", "--port", link, "--address", "5", "--json"}, 0, "\"speed\": 921600"}, // the quick search
        {At("read", link, 4, 115200, "modbus"), 5, "refused with Modbus exception 02 (illegal data address)"},
        {At("on", link, 4, 115200, "modbus"), 5, "Modbus exception 02"},
        {QStringList{"write", missing} + first, 7, "missing.json: no such file"},
        {QStringList{"compare", missing} + first, 7, "missing.json: no such file"},
        {QStringList{"write", notSet} + first, 7, "notes.json"},
        {QStringList{"compare", emptyObject} + first, 7, "empty.json"},
        {QStringList{"read", "--output", notSet + "/set.json"} + first, 7, "set.json"},
    };
    for (const auto& c : cases) {
        const CliResult r = Run(c.args, {{"LANG", c.lang}});
        SCOPED_TRACE(c.args.join(' ').toStdString() + " with LANG=" + c.lang + "\n" + r.Describe());
        EXPECT_EQ(r.exitCode, c.code);
        if (c.code == 0) {
            EXPECT_TRUE(r.out.contains(QString::fromUtf8(c.mentions)));
            EXPECT_TRUE(r.err.isEmpty());
        } else {
            EXPECT_TRUE(r.out.isEmpty());
            EXPECT_TRUE(r.err.startsWith("veltrano-cli: ") && r.err.contains(QString::fromUtf8(c.mentions)));
            EXPECT_EQ(r.err.count('\n'), 1);
        }
    }
    EXPECT_TRUE(
        QRegularExpression("^veltrano-cli \\d+\\.\\d+\\S*\n$").match(Run({"--version"}).out).hasMatch());
}

// A refusal while the sensor is looked for names the sensor, as its other errors do.
TEST_F(Cli, ARefusalNamesTheSensor)
{
    const QString link = StartSim(SimArgs({{4, 115200, "VLT-250", 4}}, {"4:exception=2"}));
    ASSERT_FALSE(link.isEmpty());
    const CliResult r = Run(At("read", link, 4, 115200, "modbus"));
    EXPECT_EQ(r.exitCode, 5) << r.Describe();
    EXPECT_TRUE(r.err.contains(link + ", sensor 04: refused with Modbus exception 02")) << r.Describe();
}

TEST_F(Cli, PortsListsTheSerialPortsAsJson)
{
    const CliResult r = Run({"ports", "--json"});
    ASSERT_EQ(r.exitCode, 0) << r.Describe();
    const QJsonValue ports = r.Json()["ports"];
    ASSERT_TRUE(ports.isArray()) << r.Describe();
    for (const QJsonValue& port : ports.toArray()) {
        EXPECT_TRUE(port["path"].toString().startsWith("/dev/")) << r.Describe();
        EXPECT_TRUE(port["access"] == "ok" || port["access"] == "denied") << r.Describe();
        EXPECT_TRUE(port["usb"].isNull() || port["usb"]["vendor_id"].isString()) << r.Describe();
    }
}

TEST_F(Cli, SearchFindsTheSimulatedSensorsInBothProtocols)
{
    const SimSensor a{1, 115200, "VLT-250", 4242}, b{0x1A, 9600, "VLT-100", 210341};
    const QString link = StartSim(SimArgs({a, b}));
    ASSERT_FALSE(link.isEmpty());
    for (const char* protocol : {"standard", "modbus"}) {
        SCOPED_TRACE(protocol);
        const QStringList search{"search",  "--port", link,       "--protocol", protocol,
                                 "--bound", "26",     "--speeds", "9600,115200"};
        const CliResult r = Run(search + QStringList{"--json"});
        ASSERT_EQ(r.exitCode, 0) << r.Describe();
        const QJsonObject json = r.Json();
        EXPECT_EQ(json["port"].toString(), link);
        EXPECT_EQ(json["protocol"].toString(), QLatin1String(protocol));
        ASSERT_EQ(json["sensors"].toArray().size(), 2) << r.Describe();
        ExpectSensor(ByAddress(json["sensors"].toArray(), 1), a, link, protocol);
        ExpectSensor(ByAddress(json["sensors"].toArray(), 26), b, link, protocol);

        const CliResult none = Run({"search", "--port", link, "--protocol", protocol, "--speeds", "19200"});
        EXPECT_EQ(none.exitCode, 4) << none.Describe();
        if (QLatin1String(protocol) != "standard")
            continue; // the table does not depend on the protocol
        const CliResult table = Run(search);
        EXPECT_EQ(table.exitCode, 0) << table.Describe();
        EXPECT_TRUE(
            QRegularExpression("1A \\(26\\)\\s+9600\\s+VLT-100\\s+210341").match(table.out).hasMatch())
            << table.Describe();
    }
}

TEST_F(Cli, SensorCommandsInBothProtocols)
{
    const SimSensor s{0x1A, 115200, "VLT-250", 210341, ",mode=fixed,value=12345"};
    const QString link = StartSim(SimArgs({s}));
    ASSERT_FALSE(link.isEmpty());
    const struct {
        const char* command;
        const char* address; // each way of writing it
        const char* text;    // what the table output says
    } cases[] = {
        {"on", "26", "switched on"},
        {"off", "0x1A", "switched off"},
        {"configure", "1Ah", "configuration command done"},
        {"flash", "1A", "parameters saved to flash"},
        {"defaults", "26", "factory parameters restored"},
        {"result", "26", "61.725 mm"},
        {"latch", "0x1a", "61.725 mm"},
        {"read", "26", "Uart"},
    };
    for (const char* protocol : {"standard", "modbus"}) {
        for (const auto& c : cases) {
            const QStringList args{c.command, "--port", link,         "--address", c.address,
                                   "--speed", "115200", "--protocol", protocol};
            const CliResult r = Run(args + QStringList{"--json"});
            SCOPED_TRACE(args.join(' ').toStdString() + "\n" + r.Describe());
            ASSERT_EQ(r.exitCode, 0);
            const QJsonObject json = r.Json();
            const QString command = QLatin1String(c.command);
            if (command == "read") {
                const QJsonObject sensor = json["sensor"].toObject();
                EXPECT_EQ(sensor["model"].toString(), QLatin1String(s.model));
                EXPECT_EQ(sensor["serial"].toInt(), s.serial);
                EXPECT_EQ(sensor["address"].toInt(), s.address);
                EXPECT_EQ(sensor["speed"].toInt(), s.speed);
                EXPECT_EQ(sensor["protocol"].toString(), QLatin1String(protocol));
                EXPECT_EQ(json["registers"]["Address"].toInt(), s.address);
                EXPECT_EQ(json["registers"]["Uart"].toInt(), 5); // the code of 115200 baud
            } else {
                ExpectSensor(json["sensor"].toObject(), s, link, protocol);
                if (command == "result" || command == "latch") {
                    EXPECT_EQ(json["raw"].toInt(), 12345);
                    EXPECT_DOUBLE_EQ(json["value"].toDouble(), 61.725);
                    EXPECT_EQ(json["kind"].toString(), "result");
                } else {
                    EXPECT_EQ(json["command"].toString(), command);
                    EXPECT_EQ(json["done"], true);
                }
            }
            if (QLatin1String(protocol) != "standard")
                continue; // the tables do not depend on the protocol
            const CliResult table = Run(args);
            EXPECT_EQ(table.exitCode, 0) << table.Describe();
            EXPECT_TRUE(table.out.contains(QStringLiteral("%1, sensor 1A").arg(link))) << table.Describe();
            EXPECT_TRUE(table.out.contains(QLatin1String(c.text))) << table.Describe();
        }
    }
}

TEST_F(Cli, DefaultsRestoresTheFactoryParameters)
{
    const QString link = StartSim(SimArgs(
        {{1, 115200, "VLT-250", 1, ",period=300,n=600,type=3"}, {2, 115200, "VLT-250", 2, ",period=300"}}));
    ASSERT_FALSE(link.isEmpty());
    const std::pair<int, const char*> sensors[] = {{1, "standard"}, {2, "modbus"}};
    for (const auto& [address, protocol] : sensors) {
        SCOPED_TRACE(protocol);
        const QStringList read = At("read", link, address, 115200, protocol) + QStringList{"--json"};
        EXPECT_EQ(Run(read).Json()["registers"]["Period"].toInt(), 300);
        const CliResult r = Run(At("defaults", link, address, 115200, protocol));
        ASSERT_EQ(r.exitCode, 0) << r.Describe();
        const QJsonObject registers = Run(read).Json()["registers"].toObject();
        EXPECT_EQ(registers["Period"].toInt(), 10);
        EXPECT_EQ(registers["Constant"].toInt(), 100);
        EXPECT_EQ(registers["ObjectType"].toInt(), 0);
        EXPECT_EQ(registers["Address"].toInt(), address);
    }
}

TEST_F(Cli, LatchAllReadsEverySensorAtEverySpeed)
{
    const QString link = StartSim(SimArgs({{1, 9600, "VLT-250", 1, ",mode=fixed,value=2000"},
                                           {2, 115200, "VLT-250", 2, ",mode=fixed,value=4000"}}));
    ASSERT_FALSE(link.isEmpty());
    for (const char* protocol : {"standard", "modbus"}) {
        const CliResult r = Run({"latch", "--all", "--port", link, "--protocol", protocol, "--bound", "2",
                                 "--speeds", "9600,115200", "--json"});
        SCOPED_TRACE(r.Describe());
        ASSERT_EQ(r.exitCode, 0);
        const QJsonArray results = r.Json()["results"].toArray();
        ASSERT_EQ(results.size(), 2);
        for (const QJsonValue& result : results) {
            const int address = result["sensor"]["address"].toInt();
            EXPECT_EQ(result["sensor"]["speed"].toInt(), address == 1 ? 9600 : 115200);
            EXPECT_EQ(result["raw"].toInt(), address == 1 ? 2000 : 4000);
            EXPECT_EQ(result["kind"].toString(), "result");
        }
    }
}

TEST_F(Cli, WriteAndCompareSetFilesInBothProtocols)
{
    const SimSensor source{1, 115200, "VLT-250", 11, ",period=300,n=600,type=3"};
    for (const char* protocol : {"standard", "modbus"}) {
        SCOPED_TRACE(protocol);
        const QString link = StartSim(SimArgs(
            {source, {2, 115200, "VLT-250", 22}, {3, 115200, "VLT-250", 33}, {4, 115200, "VLT-100", 44}},
            {"3:stuck=08"}));
        ASSERT_FALSE(link.isEmpty());
        const QString file = Path(QStringLiteral("%1.json").arg(QLatin1String(protocol)));
        const CliResult read = Run(At("read", link, 1, 115200, protocol) + QStringList{"--output", file});
        ASSERT_EQ(read.exitCode, 0) << read.Describe();
        ASSERT_TRUE(QFile::exists(file));

        const auto compare = [&](int address) {
            return Run(QStringList{"compare", file} + Target(link, address, 115200, protocol) +
                       QStringList{"--json"});
        };
        const auto write = [&](int address) {
            return Run(QStringList{"write", file} + Target(link, address, 115200, protocol) +
                       QStringList{"--json"});
        };
        EXPECT_EQ(compare(1).exitCode, 0);
        EXPECT_TRUE(compare(1).Json()["differing"].toArray().isEmpty());

        const CliResult differs = compare(2);
        ASSERT_EQ(differs.exitCode, 6) << differs.Describe();
        EXPECT_EQ(differs.Json()["file"].toString(), file);
        const QJsonArray expected{QJsonObject{{"parameter", "Period"}, {"expected", 300}, {"actual", 10}},
                                  QJsonObject{{"parameter", "Constant"}, {"expected", 600}, {"actual", 100}},
                                  QJsonObject{{"parameter", "ObjectType"}, {"expected", 3}, {"actual", 0}}};
        EXPECT_EQ(differs.Json()["differing"].toArray(), expected) << differs.Describe();

        // Register 08 (the low byte of the period) keeps its value: 0x010A read back for 0x012C.
        const CliResult stuck = write(3);
        ASSERT_EQ(stuck.exitCode, 6) << stuck.Describe();
        EXPECT_EQ(stuck.Json()["differing"].toArray(),
                  QJsonArray{QJsonObject({{"parameter", "Period"}, {"expected", 300}, {"actual", 266}})})
            << stuck.Describe();
        EXPECT_TRUE(stuck.err.contains("differs from what was written: Period\n")) << stuck.Describe();

        const int total = QLatin1String(protocol) == "modbus" ? 2 : 34;
        const CliResult written = write(2);
        ASSERT_EQ(written.exitCode, 0) << written.Describe();
        const QJsonObject json = written.Json();
        EXPECT_EQ(json["verified"], true);
        EXPECT_EQ(json["written"].toInt(), total);
        EXPECT_EQ(json["total"].toInt(), total);
        EXPECT_TRUE(json["differing"].toArray().isEmpty());
        EXPECT_EQ(json["sensor"]["address"].toInt(), 2);
        EXPECT_EQ(compare(2).exitCode, 0);

        const CliResult otherModel = write(4);
        EXPECT_EQ(otherModel.exitCode, 7) << otherModel.Describe();
        EXPECT_TRUE(otherModel.err.contains("VLT-100")) << otherModel.Describe();

        // A sensor moved onto the place of another is refused before anything is sent; onto a
        // free one it answers there afterwards. The move keeps the line speed: a write that
        // switches it races the simulator's reading of the last frame on a loaded machine.
        const auto move = [&](int address, int speed) {
            return Run(QStringList{"write", file, "--set-address", QString::number(address), "--set-speed",
                                   QString::number(speed)} +
                       Target(link, 2, 115200, protocol));
        };
        const CliResult clash = move(1, 115200);
        EXPECT_EQ(clash.exitCode, 2) << clash.Describe();
        EXPECT_TRUE(clash.err.contains("another sensor answers at address 01 at 115200 baud"))
            << clash.Describe();
        EXPECT_EQ(Run(At("result", link, 2, 115200, protocol)).exitCode, 0) << "sensor 2 stays where it was";
        const CliResult moved = move(9, 115200);
        EXPECT_EQ(moved.exitCode, 0) << moved.Describe();
        EXPECT_EQ(Run(At("result", link, 9, 115200, protocol)).exitCode, 0);
        EXPECT_EQ(Run(At("result", link, 2, 115200, protocol) + QStringList{"--timeout", "300"}).exitCode, 4);
    }
}

TEST_F(Cli, ABusyPortExitsThree)
{
    const QString link = StartSim(SimArgs({{1, 115200, "VLT-250", 1}}));
    ASSERT_FALSE(link.isEmpty());
    {
        const int fd = ::open(QFile::encodeName(link).constData(), O_RDWR | O_NOCTTY);
        ASSERT_GE(fd, 0);
        ASSERT_EQ(::flock(fd, LOCK_EX | LOCK_NB), 0);
        const CliResult held = Run(At("result", link, 1));
        ::close(fd);
        EXPECT_EQ(held.exitCode, 3) << held.Describe();
        EXPECT_TRUE(held.err.contains("busy")) << held.Describe();
    }
    EXPECT_EQ(Run(At("result", link, 1)).exitCode, 0);

    CliResult second;
    const CliResult streaming = RunInterrupted(
        At("stream", link, 1), [](const QString& out) { return DataLines(out).size() >= 2; },
        [&] { second = Run(At("result", link, 1)); });
    ASSERT_TRUE(streaming.signalled) << streaming.Describe();
    EXPECT_EQ(streaming.exitCode, 0) << streaming.Describe();
    EXPECT_EQ(second.exitCode, 3) << second.Describe();
    EXPECT_TRUE(second.err.contains("busy")) << second.Describe();
}

TEST_F(Cli, StreamPrintsConsecutiveSamplesAsJsonLines)
{
    const QString link = StartSim(SimArgs({{1, 115200, "VLT-250", 1, ",mode=counter,value=1000"}}));
    ASSERT_FALSE(link.isEmpty());
    const CliResult r = Run(At("stream", link, 1) + QStringList{"--seconds", "1", "--json"});
    ASSERT_EQ(r.exitCode, 0) << r.Describe();
    const QStringList lines = DataLines(r.out);
    ASSERT_GE(lines.size(), 5) << r.Describe(); // a sample every 100 ms
    int previous = -1;
    for (const QString& line : lines) {
        const QJsonObject sample = QJsonDocument::fromJson(line.toUtf8()).object();
        EXPECT_TRUE(QDateTime::fromString(sample["received"].toString(), Qt::ISODateWithMs).isValid())
            << line.toStdString();
        EXPECT_EQ(sample["kind"].toString(), "result");
        const int raw = sample["raw"].toInt(-1);
        EXPECT_DOUBLE_EQ(sample["value"].toDouble(), raw * 250.0 / 50000.0) << line.toStdString();
        if (previous >= 0) {
            EXPECT_EQ(raw, previous + 1) << r.Describe();
        }
        previous = raw;
    }
}

TEST_F(Cli, CtrlCStopsTheStreamAndExitsZero)
{
    const QString link = StartSim(SimArgs({{1, 115200, "VLT-250", 1, ",mode=counter"}}));
    ASSERT_FALSE(link.isEmpty());
    const CliResult r =
        RunInterrupted(At("stream", link, 1), [](const QString& out) { return DataLines(out).size() >= 4; });
    ASSERT_TRUE(r.signalled) << r.Describe();
    ASSERT_TRUE(r.finished) << r.Describe();
    EXPECT_EQ(r.exitCode, 0) << r.Describe();
    const QStringList lines = DataLines(r.out);
    ASSERT_GE(lines.size(), 4);
    EXPECT_EQ(lines[0], "received,raw,value,kind");
    for (qsizetype i = 1; i < lines.size(); ++i) {
        EXPECT_EQ(lines[i].split(',').size(), 4) << lines[i].toStdString();
        if (i > 1) {
            EXPECT_LE(lines[i - 1].section(',', 0, 0), lines[i].section(',', 0, 0));
        }
    }
    EXPECT_LT(lines[1].section(',', 0, 0), lines.last().section(',', 0, 0));
    // A streaming sensor answers nothing else: a prompt result shows that the stream stopped.
    const CliResult after = Run(At("result", link, 1) + QStringList{"--timeout", "500"}, {}, 5000);
    EXPECT_EQ(after.exitCode, 0) << after.Describe();
    EXPECT_LT(after.elapsedMs, 3000);
}

// A reader that goes away, as `| head` does, ends the stream as Ctrl+C would.
TEST_F(Cli, AClosedOutputStopsTheStream)
{
    const QString link = StartSim(SimArgs({{1, 115200, "VLT-250", 1, ",mode=counter"}}));
    ASSERT_FALSE(link.isEmpty());
    QProcess shell;
    shell.start("bash", {"-c", "set -o pipefail; \"$0\" \"$@\" | head -n 3", QStringLiteral(VELTRANO_CLI_EXE),
                         "stream", "--port", link, "--address", "1", "--speed", "115200", "--delay", "60"});
    ASSERT_TRUE(shell.waitForFinished(15000));
    EXPECT_EQ(shell.exitCode(), 0) << shell.readAllStandardError().constData();
    EXPECT_EQ(shell.readAllStandardOutput().count('\n'), 3);
    const CliResult after = Run(At("result", link, 1) + QStringList{"--timeout", "500"}, {}, 5000);
    EXPECT_EQ(after.exitCode, 0) << after.Describe();
}

TEST_F(Cli, AStreamThatDoesNotStopExitsFour)
{
    const QString link = StartSim(SimArgs({{1, 115200, "VLT-250", 1}}, {"1:ignorestop"}));
    ASSERT_FALSE(link.isEmpty());
    const CliResult r = Run(At("stream", link, 1) + QStringList{"--seconds", "0.3", "--timeout", "300"});
    EXPECT_EQ(r.exitCode, 4) << r.Describe();
    EXPECT_TRUE(r.err.contains("does not stop its stream")) << r.Describe();
}

// Where a register's write comes in the standard protocol: in code order, the line speed (07)
// last, so that the sensor answers at its old speed until the end.
int WritePosition(int code)
{
    return code == 0x07 ? 33 : code < 0x07 ? code - 1 : code - 2;
}

TEST_F(Cli, CtrlCDuringAWriteLeavesExactlyTheRegistersWritten)
{
    const QString link = StartSim(SimArgs({{1, 115200, "VLT-250", 1, ",period=300,n=600,type=3"},
                                           {2, 115200, "VLT-250", 2},
                                           {3, 115200, "VLT-250", 3}},
                                          {"3:delay=150"}),
                                  true);
    ASSERT_FALSE(link.isEmpty());
    const QString file = Path("source.json");
    ASSERT_EQ(Run(At("read", link, 1) + QStringList{"--output", file}).exitCode, 0);
    // The delayed answers need a longer probe and watchdog than the defaults.
    const QStringList slow{"--delay", "300", "--timeout", "15000"};
    // Sensor 2 holds what sensor 3 holds but answers at once; only the address differs.
    QJsonObject before = Run(At("read", link, 2) + QStringList{"--json"}).Json()["registers"].toObject();
    before["Address"] = 3;
    QFile source(file);
    ASSERT_TRUE(source.open(QIODevice::ReadOnly));
    const QJsonObject wanted = QJsonDocument::fromJson(source.readAll())["registers"].toObject();
    ASSERT_FALSE(before.isEmpty());
    ASSERT_EQ(before["Period"].toInt(), 10);

    // Interrupted once the request for register 0A has reached the sensor.
    const CliResult r = RunInterrupted(QStringList{"write", file} + Target(link, 3) + slow,
                                       [&](const QString&) { return SimLog(link).contains("|#03W0A"); });
    ASSERT_TRUE(r.signalled) << r.Describe();
    EXPECT_EQ(r.exitCode, 130) << r.Describe();
    const QRegularExpressionMatch m =
        QRegularExpression("interrupted after (\\d+) of 34 register writes").match(r.err);
    ASSERT_TRUE(m.hasMatch()) << r.Describe();
    const int written = m.captured(1).toInt();
    EXPECT_GT(written, 0);
    EXPECT_LT(written, 34);

    const QJsonObject after =
        Run(At("read", link, 3) + slow + QStringList{"--json"}, {}, 30000).Json()["registers"].toObject();
    ASSERT_FALSE(after.isEmpty());
    // The three parameters the file changes, by their low and high register.
    const struct {
        const char* name;
        int low;
        int high; // 0: one byte
    } changed[] = {{"Period", 0x08, 0x09}, {"Constant", 0x0A, 0x0B}, {"ObjectType", 0x1F, 0}};
    for (const auto& c : changed) {
        const int from = before[c.name].toInt();
        const int to = wanted[c.name].toInt();
        ASSERT_NE(from & 0xFF, to & 0xFF) << c.name;
        const int low = (WritePosition(c.low) < written ? to : from) & 0xFF;
        const int high = c.high ? (WritePosition(c.high) < written ? to : from) & 0xFF00 : 0;
        EXPECT_EQ(after[c.name].toInt(), high | low) << c.name << " after " << written << " writes";
    }
    for (auto it = before.begin(); it != before.end(); ++it)
        if (it.key() != "Period" && it.key() != "Constant" && it.key() != "ObjectType") {
            EXPECT_EQ(after[it.key()], it.value()) << it.key().toStdString();
        }
}

TEST_F(Cli, InventoryListsEveryPortAndGoesOnPastAMissingOne)
{
    const std::vector<std::vector<SimSensor>> buses{{{1, 115200, "VLT-250", 101}, {2, 9600, "VLT-100", 102}},
                                                    {{3, 115200, "VLT-250", 201}},
                                                    {{1, 921600, "VLT-50", 301}}};
    QStringList links;
    for (const auto& bus : buses) {
        QStringList args;
        for (const SimSensor& s : bus)
            args += SimArgs({s});
        links << StartSim(args);
        ASSERT_FALSE(links.last().isEmpty());
    }
    const QStringList options{"--bound", "3", "--speeds", "9600,115200,921600", "--json"};
    for (const char* protocol : {"standard", "modbus"}) {
        SCOPED_TRACE(protocol);
        const CliResult r =
            Run(QStringList{"inventory"} + links + options + QStringList{"--protocol", protocol});
        ASSERT_EQ(r.exitCode, 0) << r.Describe();
        const QJsonObject json = r.Json();
        const QJsonArray ports = json["ports"].toArray();
        ASSERT_EQ(ports.size(), 3) << r.Describe();
        for (int i = 0; i < 3; ++i) {
            EXPECT_EQ(ports[i]["port"].toString(), links[i]);
            EXPECT_TRUE(ports[i]["error"].isNull());
            EXPECT_EQ(ports[i]["exit_code"].toInt(), 0);
            ASSERT_EQ(ports[i]["sensors"].toArray().size(), static_cast<qsizetype>(buses[i].size()));
            for (const SimSensor& s : buses[i])
                ExpectSensor(ByAddress(ports[i]["sensors"].toArray(), s.address), s, links[i], protocol);
        }
        QJsonArray all; // every port's sensors, in the ports' order
        for (const QJsonValue& port : ports)
            for (const QJsonValue& sensor : port["sensors"].toArray())
                all.append(sensor);
        EXPECT_EQ(json["sensors"].toArray(), all);
        EXPECT_EQ(all.size(), 4);
    }

    const QString missing = Path("missing");
    const CliResult r = Run({"inventory", links[0], missing, links[2], "--bound", "3", "--speeds",
                             "9600,115200,921600", "--json"});
    EXPECT_EQ(r.exitCode, 3) << r.Describe();
    const QJsonArray ports = r.Json()["ports"].toArray();
    ASSERT_EQ(ports.size(), 3) << r.Describe();
    EXPECT_EQ(ports[1]["port"].toString(), missing);
    EXPECT_EQ(ports[1]["exit_code"].toInt(), 3);
    EXPECT_TRUE(ports[1]["error"].toString().contains("no such port"));
    EXPECT_EQ(ports[0]["sensors"].toArray().size(), 2);
    EXPECT_EQ(ports[2]["sensors"].toArray().size(), 1);
    EXPECT_EQ(r.Json()["sensors"].toArray().size(), 3);
    EXPECT_TRUE(r.err.contains(missing + ": no such port")) << r.Describe();
}

} // namespace
