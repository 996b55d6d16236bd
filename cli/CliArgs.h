#pragma once
// The command line of veltrano-cli: the command, its options and arguments, checked whole before
// anything touches a port. Pure code.
#include "protocol/Protocol.h"
#include <QString>
#include <QStringList>
#include <optional>
#include <vector>

enum class TCliCommand {
    Ports,
    Search,
    Read,
    Write,
    Compare,
    Defaults,
    Flash,
    On,
    Off,
    Configure,
    Latch,
    Result,
    Stream,
    Inventory,
    Help,
    Version,
};

struct TCliArgs {
    TCliCommand Command = TCliCommand::Help;
    // --help, or the command named after "help": its own help is shown.
    bool Help = false;
    std::optional<TCliCommand> HelpTopic;

    QString Port;
    TProtocol Protocol = TProtocol::Standard;
    std::optional<int> Address;
    std::optional<int> Speed;
    int DelayMs = 20;
    int TimeoutMs = 3000;
    bool Json = false;
    int Bound = 3;
    std::vector<int> Speeds; // empty: all eight
    QString Output;          // read --output
    QString File;            // write, compare
    bool Verify = true;
    std::optional<int> SetAddress;
    std::optional<int> SetSpeed;
    bool All = false;
    double Seconds = 0; // stream: 0 runs until Ctrl+C
    QStringList Ports;  // inventory
};

struct TCliParse {
    std::optional<TCliArgs> Args;
    QString Error; // one line, translated
};

// args: the command line without the program's name.
TCliParse ParseCliArgs(const QStringList& args);

// "26" decimal; "0x1A", "1Ah" or digits with A-F ("1A") hexadecimal; 1..255.
std::optional<int> ParseAddress(const QString& text);

// The command's name as typed, and back.
QString CommandName(TCliCommand command);
std::optional<TCliCommand> CommandOf(const QString& name);
// The commands that address one sensor by --address.
bool TargetsOneSensor(TCliCommand command);
