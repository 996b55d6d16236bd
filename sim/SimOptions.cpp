#include "sim/SimOptions.h"

#include "sim/SimRegisters.h"

#include <algorithm>

namespace {

std::optional<long long> parseInteger(const QString& text, long long min, long long max)
{
    bool ok = false;
    const long long value = text.startsWith(QLatin1String("0x"), Qt::CaseInsensitive)
                                ? text.mid(2).toLongLong(&ok, 16)
                                : text.toLongLong(&ok, 10);
    if (!ok || value < min || value > max)
        return std::nullopt;
    return value;
}

std::optional<double> parseNumber(const QString& text)
{
    bool ok = false;
    const double value = text.toDouble(&ok);
    return ok ? std::optional(value) : std::nullopt;
}

// Exactly two hex digits, the way a register code is written in a standard request ("07", "1E").
std::optional<int> parseRegisterCode(const QString& text)
{
    const auto hexDigit = [](QChar c) {
        return (c >= u'0' && c <= u'9') || (c >= u'a' && c <= u'f') || (c >= u'A' && c <= u'F');
    };
    if (text.size() != 2 || !std::all_of(text.begin(), text.end(), hexDigit))
        return std::nullopt;
    const int code = text.toInt(nullptr, 16);
    if (code < SimReg::First || code > SimReg::Last)
        return std::nullopt;
    return code;
}

bool fail(QString* error, const QString& message)
{
    if (error)
        *error = message;
    return false;
}

bool parseMode(const QString& text, SimMeasureMode& mode)
{
    if (text == QLatin1String("real"))
        mode = SimMeasureMode::Realistic;
    else if (text == QLatin1String("counter"))
        mode = SimMeasureMode::Counter;
    else if (text == QLatin1String("fixed"))
        mode = SimMeasureMode::Fixed;
    else
        return false;
    return true;
}

bool parseSensor(const QString& text, SimSensorOption& out, QString* error)
{
    for (const QString& item : text.split(QLatin1Char(','), Qt::SkipEmptyParts)) {
        const qsizetype eq = item.indexOf(QLatin1Char('='));
        const QString key = item.left(eq).trimmed();
        const QString value = eq < 0 ? QString() : item.mid(eq + 1);
        const auto bad = [&] {
            return fail(error, QStringLiteral("--sensor: bad value in \"%1\"").arg(item));
        };
        if (key == QLatin1String("addr")) {
            const auto v = parseInteger(value, 1, 255);
            if (!v)
                return bad();
            out.config.address = static_cast<int>(*v);
        } else if (key == QLatin1String("speed")) {
            const auto v = parseInteger(value, 1, 4'000'000);
            if (!v || simCodeOfSpeed(static_cast<int>(*v)) == 0)
                return bad();
            out.config.speed = static_cast<int>(*v);
        } else if (key == QLatin1String("model")) {
            if (value.isEmpty() || value.size() > 20)
                return bad();
            out.config.model = value.toLatin1();
        } else if (key == QLatin1String("range") || key == QLatin1String("distance")) {
            const auto v = parseNumber(value);
            if (!v || !(*v >= 0.0 && *v < 100000.0) || (key == QLatin1String("range") && *v <= 0.0))
                return bad();
            (key == QLatin1String("range") ? out.config.range : out.config.distance) = *v;
        } else if (key == QLatin1String("serial")) {
            const auto v = parseInteger(value, 0, 2147483647);
            if (!v)
                return bad();
            out.config.serial = static_cast<std::int32_t>(*v);
        } else if (key == QLatin1String("mode")) {
            if (!parseMode(value, out.config.mode))
                return bad();
        } else if (key == QLatin1String("value")) {
            const auto v = parseInteger(value, 0, 65535);
            if (!v)
                return bad();
            out.config.value = static_cast<std::uint16_t>(*v);
        } else if (key == QLatin1String("type")) {
            const auto v = parseInteger(value, 0, 8);
            if (!v)
                return bad();
            out.objectType = static_cast<int>(*v);
        } else if (key == QLatin1String("period") || key == QLatin1String("n")) {
            const auto v = parseInteger(value, 1, 65535);
            if (!v)
                return bad();
            (key == QLatin1String("period") ? out.period : out.constant) = static_cast<int>(*v);
        } else {
            return fail(error, QStringLiteral("--sensor: unknown key \"%1\"").arg(key));
        }
    }
    return true;
}

bool parseFaultKind(const QString& item, SimFaults& faults, QString* error)
{
    const qsizetype eq = item.indexOf(QLatin1Char('='));
    const QString kind = item.left(eq);
    const QString value = eq < 0 ? QString() : item.mid(eq + 1);
    const auto bad = [&] { return fail(error, QStringLiteral("--fault: bad value in \"%1\"").arg(item)); };
    if (kind == QLatin1String("silent")) {
        faults.noAnswer = true;
    } else if (kind == QLatin1String("badcrc")) {
        faults.badCrc = true;
    } else if (kind == QLatin1String("lowercase")) {
        faults.lowerCaseAddress = true;
    } else if (kind == QLatin1String("ignorestop")) {
        faults.ignoreStop = true;
    } else if (kind == QLatin1String("delay")) {
        const auto v = parseInteger(value, 1, 600'000);
        if (!v)
            return bad();
        faults.replyDelayMs = static_cast<int>(*v);
    } else if (kind == QLatin1String("garbage")) {
        const QByteArray bytes = QByteArray::fromHex(value.toLatin1());
        if (bytes.isEmpty() || bytes.size() * 2 != value.size())
            return bad();
        faults.garbage = bytes;
    } else if (kind == QLatin1String("split")) {
        const QStringList parts = value.split(QLatin1Char('/'));
        const auto at = parseInteger(parts.value(0), 1, 1000);
        const auto gap =
            parts.size() > 1 ? parseInteger(parts.value(1), 0, 600'000) : std::optional<long long>(50);
        if (!at || !gap || parts.size() > 2)
            return bad();
        faults.splitAt = static_cast<int>(*at);
        faults.splitGapMs = static_cast<int>(*gap);
    } else if (kind == QLatin1String("exception")) {
        const auto v = parseInteger(value, 1, 255);
        if (!v)
            return bad();
        faults.modbusException = static_cast<int>(*v);
    } else if (kind == QLatin1String("stuck")) {
        const auto code = parseRegisterCode(value);
        if (!code)
            return bad();
        faults.stuckRegister = *code;
    } else if (kind == QLatin1String("answeras")) {
        const auto v = parseInteger(value, 1, 255);
        if (!v)
            return bad();
        faults.answerAs = static_cast<int>(*v);
    } else if (kind == QLatin1String("silentafter")) {
        const auto v = parseInteger(value, 0, 100'000);
        if (!v)
            return bad();
        faults.framesBeforeSilence = static_cast<int>(*v);
    } else {
        return fail(error, QStringLiteral("--fault: unknown fault \"%1\"").arg(kind));
    }
    return true;
}

bool parseFault(const QString& text, SimFaultOption& out, QString* error)
{
    const qsizetype colon = text.indexOf(QLatin1Char(':'));
    if (colon <= 0)
        return fail(error,
                    QStringLiteral("--fault: \"%1\" does not start with an address and \":\"").arg(text));
    const QStringList target = text.left(colon).split(QLatin1Char('@'));
    const auto address = parseInteger(target.value(0), 1, 255);
    const auto speed =
        target.size() > 1 ? parseInteger(target.value(1), 1, 4'000'000) : std::optional<long long>(0);
    if (!address || !speed || target.size() > 2)
        return fail(error, QStringLiteral("--fault: bad sensor \"%1\"").arg(text.left(colon)));
    out.address = static_cast<int>(*address);
    out.speed = static_cast<int>(*speed);
    const QStringList kinds = text.mid(colon + 1).split(QLatin1Char(','), Qt::SkipEmptyParts);
    if (kinds.isEmpty())
        return fail(error, QStringLiteral("--fault: no fault named in \"%1\"").arg(text));
    for (const QString& kind : kinds) {
        if (!parseFaultKind(kind, out.faults, error))
            return false;
    }
    return true;
}

} // namespace

std::optional<SimOptions> simParseOptions(const QStringList& args, QString* error)
{
    SimOptions options;
    for (qsizetype i = 0; i < args.size(); ++i) {
        const QString& arg = args[i];
        const auto value = [&]() -> std::optional<QString> {
            if (i + 1 >= args.size())
                return std::nullopt;
            return args[++i];
        };
        if (arg == QLatin1String("--help") || arg == QLatin1String("-h")) {
            options.help = true;
        } else if (arg == QLatin1String("--log")) {
            options.log = true;
        } else if (arg == QLatin1String("--link") || arg == QLatin1String("--sensor") ||
                   arg == QLatin1String("--fault")) {
            const std::optional<QString> v = value();
            if (!v) {
                fail(error, QStringLiteral("%1 needs a value").arg(arg));
                return std::nullopt;
            }
            if (arg == QLatin1String("--link")) {
                options.linkPath = *v;
            } else if (arg == QLatin1String("--sensor")) {
                SimSensorOption sensor;
                if (!parseSensor(*v, sensor, error))
                    return std::nullopt;
                options.sensors.push_back(sensor);
            } else {
                SimFaultOption fault;
                if (!parseFault(*v, fault, error))
                    return std::nullopt;
                options.faults.push_back(fault);
            }
        } else {
            fail(error, QStringLiteral("unknown argument \"%1\"").arg(arg));
            return std::nullopt;
        }
    }
    if (!options.help && options.linkPath.isEmpty()) {
        fail(error, QStringLiteral("--link is required"));
        return std::nullopt;
    }
    return options;
}

QString simUsage()
{
    return QStringLiteral(
        "Usage: veltrano-sim --link PATH [--sensor KEYS]... [--fault FAULT]... [--log]\n"
        "\n"
        "Simulates a bus of measuring sensors on a pseudo-terminal and makes PATH a symbolic link to\n"
        "its slave side; point the program's port at PATH. Runs until SIGINT or SIGTERM, then\n"
        "removes the link.\n"
        "\n"
        "  --link PATH      where to put the link (required); an older link there is replaced,\n"
        "                   any other kind of file is left alone and the tool refuses to start\n"
        "  --sensor KEYS    adds a sensor; without any, four demonstration sensors are used\n"
        "                   (addresses 1, 2, 3 and 26 at 115200, 9600, 57600 and 921600 baud)\n"
        "  --fault FAULT    makes a sensor misbehave (may be repeated)\n"
        "  --log            prints every frame received (<-), sent (->) or discarded as noise (?"
        "?)\n"
        "                   with its time, line speed, bytes in hex and as text\n"
        "  --help           prints this text\n"
        "\n"
        "KEYS is a comma-separated list of key=value:\n"
        "  addr=N           network address 1..255 (decimal, or hex as 0x1A); default 1\n"
        "  speed=BAUD       9600, 19200, 38400, 57600, 115200, 230400, 460800 or 921600; default 9600\n"
        "  model=TEXT       model name, up to 20 characters, no commas; default VLT\n"
        "  range=MM         measuring range in mm; default 250\n"
        "  distance=MM      emitter-receiver distance in mm; default 500\n"
        "  serial=N         serial number; default 1\n"
        "  mode=MODE        real (moving edge with noise, occasional 65535 / 65534), counter\n"
        "                   (every result is the next count, so lost samples show) or fixed\n"
        "  value=N          first count (counter) or the result (fixed)\n"
        "  type=0..8        object type; 8 reports the number of edges (N results)\n"
        "  period=N         measuring period t in 0.1 ms; default 10 (1.0 ms)\n"
        "  n=N              stream constant: a result every n*t; default 100\n"
        "  e.g. --sensor addr=1,speed=115200,model=VLT-250,range=250\n"
        "\n"
        "FAULT is ADDR[@BAUD]:KIND[,KIND]... for the first sensor with that address (and speed):\n"
        "  silent           hears nothing: no answer, no action\n"
        "  delay=MS         answers MS milliseconds late\n"
        "  badcrc           Modbus answers carry a wrong CRC\n"
        "  garbage=HEX      sends these bytes before every answer, e.g. garbage=FF00\n"
        "  lowercase        standard answers carry the address in lower case\n"
        "  split=N[/MS]     pauses MS milliseconds (default 50) after the first N bytes of an answer\n"
        "  ignorestop       a running stream does not hear the stop request\n"
        "  exception=CODE   answers every Modbus request with this exception code\n"
        "  stuck=REG        acknowledges writes to register REG (two hex digits, 01..22) in either\n"
        "                   protocol but keeps its old value\n"
        "  silentafter=N    takes N more frames addressed to it (0..100000), then hears nothing\n"
        "  answeras=ADDR    answers under address ADDR (1..255) instead of its own\n"
        "  e.g. --fault 2:delay=500 --fault 26@921600:split=3/20,garbage=FF\n"
        "\n"
        "A sensor answers only while the port runs at its speed, only frames addressed to it;\n"
        "address 0 reaches all sensors at the current speed and draws no answer. Both the standard\n"
        "text protocol and Modbus RTU are understood, decided frame by frame.\n");
}
