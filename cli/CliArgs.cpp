#include "cli/CliArgs.h"
#include "bus/Operation.h"
#include "cli/CliText.h"
#include <QRegularExpression>
#include <algorithm>
#include <array>
#include <initializer_list>

namespace {

using C = TCliCommand;

struct TCommandEntry {
    C Command;
    const char* Name;
};
constexpr std::array<TCommandEntry, 14> Commands{{
    {C::Ports, "ports"},
    {C::Search, "search"},
    {C::Read, "read"},
    {C::Write, "write"},
    {C::Compare, "compare"},
    {C::Defaults, "defaults"},
    {C::Flash, "flash"},
    {C::On, "on"},
    {C::Off, "off"},
    {C::Configure, "configure"},
    {C::Latch, "latch"},
    {C::Result, "result"},
    {C::Stream, "stream"},
    {C::Inventory, "inventory"},
}};

constexpr std::initializer_list<C> OneSensor{C::Read, C::Write,     C::Compare, C::Defaults, C::Flash, C::On,
                                             C::Off,  C::Configure, C::Latch,   C::Result,   C::Stream};

bool In(C command, std::initializer_list<C> set)
{
    return std::find(set.begin(), set.end(), command) != set.end();
}

bool OnBus(C command)
{
    return command == C::Search || command == C::Inventory || In(command, OneSensor);
}

// Which commands take an option; the value, when it takes one, is checked on its own.
enum class TOption {
    Port,
    Protocol,
    Address,
    Speed,
    Delay,
    Timeout,
    Json,
    Bound,
    Speeds,
    Output,
    NoVerify,
    SetAddress,
    SetSpeed,
    All,
    Seconds,
    Help,
    Version,
};
struct TOptionEntry {
    TOption Option;
    const char* Name;
    bool TakesValue;
};
constexpr std::array<TOptionEntry, 17> Options{{
    {TOption::Port, "--port", true},
    {TOption::Protocol, "--protocol", true},
    {TOption::Address, "--address", true},
    {TOption::Speed, "--speed", true},
    {TOption::Delay, "--delay", true},
    {TOption::Timeout, "--timeout", true},
    {TOption::Json, "--json", false},
    {TOption::Bound, "--bound", true},
    {TOption::Speeds, "--speeds", true},
    {TOption::Output, "--output", true},
    {TOption::NoVerify, "--no-verify", false},
    {TOption::SetAddress, "--set-address", true},
    {TOption::SetSpeed, "--set-speed", true},
    {TOption::All, "--all", false},
    {TOption::Seconds, "--seconds", true},
    {TOption::Help, "--help", false},
    {TOption::Version, "--version", false},
}};

bool Allowed(TOption option, C command)
{
    switch (option) {
    case TOption::Port:
    case TOption::Address:
    case TOption::Speed:
        return command == C::Search ? option == TOption::Port : In(command, OneSensor);
    case TOption::Protocol:
    case TOption::Delay:
    case TOption::Timeout:
        return OnBus(command);
    case TOption::Json:
        return command != C::Help && command != C::Version;
    case TOption::Bound:
    case TOption::Speeds:
        return command == C::Search || command == C::Inventory || command == C::Latch;
    case TOption::Output:
        return command == C::Read;
    case TOption::NoVerify:
    case TOption::SetAddress:
    case TOption::SetSpeed:
        return command == C::Write;
    case TOption::All:
        return command == C::Latch;
    case TOption::Seconds:
        return command == C::Stream;
    case TOption::Help:
    case TOption::Version:
        return true;
    }
    return false;
}

std::optional<int> Integer(const QString& text, int min, int max)
{
    bool ok = false;
    const int value = text.toInt(&ok, 10);
    return ok && value >= min && value <= max ? std::optional(value) : std::nullopt;
}

std::optional<int> LineSpeed(const QString& text)
{
    const std::optional<int> baud = Integer(text, 1, 1'000'000);
    const std::vector<int>& speeds = SearchSpeeds();
    return baud && std::find(speeds.begin(), speeds.end(), *baud) != speeds.end() ? baud : std::nullopt;
}

QString SpeedList()
{
    QStringList names;
    for (const int speed : SearchSpeeds())
        names << QString::number(speed);
    return names.join(QLatin1Char(' '));
}

struct TParser {
    TCliArgs args;
    QString error;
    std::vector<std::pair<TOption, QString>> given; // as typed, checked once the command is known
    QStringList positional;

    bool Fail(const QString& message)
    {
        if (error.isEmpty())
            error = message;
        return false;
    }

    bool BadValue(const QString& option, const QString& value, const QString& expected)
    {
        return Fail(Cli::tr("bad value \"%1\" for %2: %3").arg(value, option, expected));
    }

    bool Apply(TOption option, const QString& name, const QString& value);
    bool Finish();
};

bool TParser::Apply(TOption option, const QString& name, const QString& value)
{
    switch (option) {
    case TOption::Port:
        if (value.trimmed().isEmpty())
            return BadValue(name, value, Cli::tr("a serial device, COMn or DEMO"));
        args.Port = value.trimmed();
        return true;
    case TOption::Protocol:
        if (value == QLatin1String("standard"))
            args.Protocol = TProtocol::Standard;
        else if (value == QLatin1String("modbus"))
            args.Protocol = TProtocol::Modbus;
        else
            return BadValue(name, value, Cli::tr("standard or modbus"));
        return true;
    case TOption::Address:
    case TOption::SetAddress: {
        const std::optional<int> address = ParseAddress(value);
        if (!address)
            return BadValue(name, value,
                            Cli::tr("an address 1..255, decimal (26) or hexadecimal (0x1A, 1Ah, 1A)"));
        (option == TOption::Address ? args.Address : args.SetAddress) = address;
        return true;
    }
    case TOption::Speed:
    case TOption::SetSpeed: {
        const std::optional<int> speed = LineSpeed(value);
        if (!speed)
            return BadValue(name, value, Cli::tr("one of %1").arg(SpeedList()));
        (option == TOption::Speed ? args.Speed : args.SetSpeed) = speed;
        return true;
    }
    case TOption::Delay: {
        const std::optional<int> delay = Integer(value, 1, 10000);
        if (!delay)
            return BadValue(name, value, Cli::tr("milliseconds, 1..10000"));
        args.DelayMs = *delay;
        return true;
    }
    case TOption::Timeout: {
        const std::optional<int> timeout = Integer(value, 100, 60000);
        if (!timeout)
            return BadValue(name, value, Cli::tr("milliseconds, 100..60000"));
        args.TimeoutMs = *timeout;
        return true;
    }
    case TOption::Bound: {
        const std::optional<int> bound = Integer(value, 1, 255);
        if (!bound)
            return BadValue(name, value, Cli::tr("the highest address searched, 1..255"));
        args.Bound = *bound;
        return true;
    }
    case TOption::Speeds: {
        args.Speeds.clear();
        for (const QString& item : value.split(QLatin1Char(','))) {
            const std::optional<int> speed = LineSpeed(item.trimmed());
            if (!speed || std::find(args.Speeds.begin(), args.Speeds.end(), *speed) != args.Speeds.end())
                return BadValue(
                    name, value,
                    Cli::tr("a comma-separated list of distinct speeds from %1").arg(SpeedList()));
            args.Speeds.push_back(*speed);
        }
        return true;
    }
    case TOption::Output:
        if (value.isEmpty())
            return BadValue(name, value, Cli::tr("a file name"));
        args.Output = value;
        return true;
    case TOption::Seconds: {
        bool ok = false;
        const double seconds = value.toDouble(&ok);
        if (!ok || !(seconds >= 0.1 && seconds <= 86400))
            return BadValue(name, value, Cli::tr("seconds, 0.1..86400"));
        args.Seconds = seconds;
        return true;
    }
    case TOption::Json:
        args.Json = true;
        return true;
    case TOption::NoVerify:
        args.Verify = false;
        return true;
    case TOption::All:
        args.All = true;
        return true;
    case TOption::Help:
        args.Help = true;
        return true;
    case TOption::Version:
        args.Command = C::Version;
        return true;
    }
    return true;
}

bool TParser::Finish()
{
    const C command = args.Command;
    const QString commandName = CommandName(command);
    for (const auto& [option, name] : given)
        if (!Allowed(option, command))
            return Fail(Cli::tr("option %1 does not apply to %2").arg(name, commandName));
    if (args.Help || command == C::Version)
        return true;
    if (command == C::Help) {
        if (positional.size() > 1)
            return Fail(Cli::tr("help takes at most one command"));
        if (!positional.isEmpty()) {
            args.HelpTopic = CommandOf(positional.constFirst());
            if (!args.HelpTopic)
                return Fail(Cli::tr("unknown command \"%1\"").arg(positional.constFirst()));
        }
        return true;
    }
    if (command == C::Write || command == C::Compare) {
        if (positional.size() != 1)
            return Fail(Cli::tr("%1 takes one parameter-set file").arg(commandName));
        args.File = positional.constFirst();
    } else if (command == C::Inventory) {
        if (positional.isEmpty())
            return Fail(Cli::tr("inventory takes one or more ports"));
        for (const QString& port : positional)
            if (args.Ports.contains(port))
                return Fail(Cli::tr("port %1 is named twice").arg(port));
            else
                args.Ports << port;
    } else if (!positional.isEmpty()) {
        return Fail(Cli::tr("unexpected argument \"%1\" for %2").arg(positional.constFirst(), commandName));
    }
    if ((command == C::Search || In(command, OneSensor)) && args.Port.isEmpty())
        return Fail(Cli::tr("%1 needs --port").arg(commandName));
    const bool oneSensor = In(command, OneSensor) && !(command == C::Latch && args.All);
    if (oneSensor && !args.Address)
        return Fail(Cli::tr("%1 needs --address").arg(commandName));
    if (command == C::Latch && args.All && (args.Address || args.Speed))
        return Fail(Cli::tr("latch --all reaches every sensor: it takes no --address or --speed"));
    if (command == C::Stream && args.Protocol == TProtocol::Modbus)
        return Fail(Cli::tr("the result stream works in the standard protocol only"));
    return true;
}

} // namespace

QString CommandName(TCliCommand command)
{
    if (command == C::Help)
        return QStringLiteral("help");
    for (const TCommandEntry& entry : Commands)
        if (entry.Command == command)
            return QLatin1String(entry.Name);
    return QString();
}

std::optional<TCliCommand> CommandOf(const QString& name)
{
    if (name == QLatin1String("help"))
        return C::Help;
    for (const TCommandEntry& entry : Commands)
        if (name == QLatin1String(entry.Name))
            return entry.Command;
    return std::nullopt;
}

bool TargetsOneSensor(TCliCommand command)
{
    return In(command, OneSensor);
}

std::optional<int> ParseAddress(const QString& text)
{
    const QString t = text.trimmed();
    static const QRegularExpression decimal(QStringLiteral("^[0-9]{1,3}$"));
    static const QRegularExpression prefixed(QStringLiteral("^0[xX]([0-9A-Fa-f]{1,2})$"));
    static const QRegularExpression suffixed(QStringLiteral("^([0-9A-Fa-f]{1,2})[hH]$"));
    static const QRegularExpression letters(QStringLiteral("^[0-9A-Fa-f]{1,2}$"));
    bool ok = false;
    int value = -1;
    if (decimal.match(t).hasMatch()) {
        value = t.toInt(&ok, 10);
    } else if (const auto m = prefixed.match(t); m.hasMatch()) {
        value = m.captured(1).toInt(&ok, 16);
    } else if (const auto s = suffixed.match(t); s.hasMatch()) {
        value = s.captured(1).toInt(&ok, 16);
    } else if (letters.match(t).hasMatch()) {
        value = t.toInt(&ok, 16);
    }
    return ok && value >= 1 && value <= 255 ? std::optional(value) : std::nullopt;
}

TCliParse ParseCliArgs(const QStringList& list)
{
    TParser parser;
    bool commandSeen = false;
    bool versionAsked = false;
    for (int i = 0; i < list.size(); ++i) {
        const QString& arg = list[i];
        if (arg == QLatin1String("-h"))
            parser.args.Help = true;
        else if (arg.startsWith(QLatin1String("--"))) {
            const qsizetype eq = arg.indexOf(QLatin1Char('='));
            const QString name = eq < 0 ? arg : arg.left(eq);
            const auto entry = std::find_if(Options.begin(), Options.end(), [&](const TOptionEntry& e) {
                return name == QLatin1String(e.Name);
            });
            if (entry == Options.end()) {
                parser.Fail(Cli::tr("unknown option %1").arg(name));
                break;
            }
            QString value;
            if (entry->TakesValue) {
                if (eq >= 0) {
                    value = arg.mid(eq + 1);
                } else if (i + 1 < list.size()) {
                    value = list[++i];
                } else {
                    parser.Fail(Cli::tr("option %1 needs a value").arg(name));
                    break;
                }
            } else if (eq >= 0) {
                parser.Fail(Cli::tr("option %1 takes no value").arg(name));
                break;
            }
            if (entry->Option == TOption::Version) {
                versionAsked = true;
                continue;
            }
            parser.given.emplace_back(entry->Option, name);
            if (!parser.Apply(entry->Option, name, value))
                break;
        } else if (arg.startsWith(QLatin1Char('-')) && arg.size() > 1) {
            parser.Fail(Cli::tr("unknown option %1").arg(arg));
            break;
        } else if (!commandSeen) {
            const std::optional<C> command = CommandOf(arg);
            if (!command) {
                parser.Fail(Cli::tr("unknown command \"%1\"").arg(arg));
                break;
            }
            parser.args.Command = *command;
            commandSeen = true;
        } else {
            parser.positional << arg;
        }
    }
    TCliParse result;
    if (parser.error.isEmpty() && versionAsked && !commandSeen) {
        parser.args.Command = C::Version;
        result.Args = parser.args;
        return result;
    }
    if (parser.error.isEmpty() && !commandSeen && !parser.args.Help)
        parser.Fail(Cli::tr("no command given"));
    if (parser.error.isEmpty() && versionAsked)
        parser.Fail(Cli::tr("--version takes no command"));
    if (parser.error.isEmpty())
        parser.Finish();
    if (parser.error.isEmpty())
        result.Args = parser.args;
    else
        result.Error = parser.error;
    return result;
}
