#include "cli/CliHelp.h"
#include "cli/CliText.h"

namespace {

QString SharedOptions()
{
    return Cli::tr(
        "  --port PATH         serial device, COMn, or DEMO for the demonstration bus\n"
        "  --protocol P        standard (default) or modbus\n"
        "  --address ADDR      the sensor, 1..255: 26 decimal; 0x1A, 1Ah or 1A hexadecimal\n"
        "  --speed BAUD        its line speed; without it the address is looked for at every speed\n"
        "  --delay MS          pause after each search probe, 1..10000 (default 20)\n"
        "  --timeout MS        how long the sensor has to answer, 100..60000 (default 3000)\n"
        "  --json              machine-readable output\n");
}

QString SearchOptions()
{
    return Cli::tr("  --bound N           highest address searched, 1..255 (default 3)\n"
                   "  --speeds LIST       comma-separated line speeds searched (default all eight)\n");
}

} // namespace

QString HelpText(std::optional<TCliCommand> command)
{
    using C = TCliCommand;
    if (!command || *command == C::Help || *command == C::Version)
        return Cli::tr(
            "Usage: veltrano-cli COMMAND [OPTIONS] [ARGUMENTS]\n"
            "\n"
            "Commands:\n"
            "  ports               list the serial ports and their USB adapters\n"
            "  search              find the sensors on a port\n"
            "  read                read a sensor's parameters (to a parameter-set file with --output)\n"
            "  write FILE          write a parameter-set file to a sensor and read it back\n"
            "  compare FILE        compare a sensor's parameters with a parameter-set file\n"
            "  defaults            restore a sensor's factory parameters\n"
            "  flash               save a sensor's parameters to its flash\n"
            "  on, off             switch a sensor on or off\n"
            "  configure           send a sensor the configuration command\n"
            "  latch               latch a sensor's result and read it (--all: every sensor)\n"
            "  result              read a sensor's last result\n"
            "  stream              print a sensor's result stream\n"
            "  inventory PORT...   search several ports at the same time\n"
            "  help [COMMAND]      this text, or a command's own\n"
            "\n"
            "veltrano-cli COMMAND --help tells more; veltrano-cli --version prints the version.\n"
            "Exit codes: 0 success, 1 internal failure, 2 usage error, 3 port error, 4 no reply,\n"
            "5 refused by the sensor, 6 mismatch, 7 file error, 130 interrupted.\n");
    switch (*command) {
    case C::Ports:
        return Cli::tr("Usage: veltrano-cli ports [--json]\n"
                       "Lists the serial ports that can be opened, with the USB adapter's vendor and\n"
                       "product ids, manufacturer, product name and serial number where the system has\n"
                       "them, and the ports that exist but may not be opened (denied).\n");
    case C::Search:
        return Cli::tr("Usage: veltrano-cli search --port PATH [OPTIONS]\n"
                       "Probes every address from 1 to the bound at each line speed and identifies the\n"
                       "sensors that answer. Exit code 4 when none answers.\n"
                       "  --port, --protocol, --delay, --timeout, --json as for every command, and\n") +
               SearchOptions();
    case C::Read:
        return Cli::tr("Usage: veltrano-cli read --port PATH --address ADDR [OPTIONS]\n"
                       "Reads every parameter of the sensor and prints them; --json prints the\n"
                       "parameter-set file itself.\n"
                       "  --output FILE       write a parameter-set file\n") +
               SharedOptions();
    case C::Write:
        return Cli::tr("Usage: veltrano-cli write FILE --port PATH --address ADDR [OPTIONS]\n"
                       "Writes the parameter-set FILE to the sensor, then reads every register back and\n"
                       "compares (exit code 6 when they differ). The sensor keeps its address and line\n"
                       "speed unless told otherwise. Ctrl+C lets the register at hand finish and reports\n"
                       "what was written.\n"
                       "  --no-verify         do not read back\n"
                       "  --set-address ADDR  the address the sensor is to have\n"
                       "  --set-speed BAUD    the line speed the sensor is to have\n") +
               SharedOptions();
    case C::Compare:
        return Cli::tr("Usage: veltrano-cli compare FILE --port PATH --address ADDR [OPTIONS]\n"
                       "Reads the sensor and lists the parameters where it differs from FILE (exit code 6).\n"
                       "The address and line speed are not compared: a set keeps the sensor's own.\n") +
               SharedOptions();
    case C::Defaults:
    case C::Flash:
    case C::On:
    case C::Off:
    case C::Configure:
        return Cli::tr("Usage: veltrano-cli %1 --port PATH --address ADDR [OPTIONS]\n"
                       "defaults restores the factory parameters, flash saves the parameters to flash, on\n"
                       "and off switch the sensor, configure sends the configuration command.\n")
                   .arg(CommandName(*command)) +
               SharedOptions();
    case C::Latch:
        return Cli::tr("Usage: veltrano-cli latch --port PATH (--address ADDR | --all) [OPTIONS]\n"
                       "Latches the sensor's result and reads the latched value. --all searches the\n"
                       "bus, latches every sensor at once at each line speed in use and reads each.\n"
                       "  --all               every sensor found by a search\n") +
               SearchOptions() + SharedOptions();
    case C::Result:
        return Cli::tr("Usage: veltrano-cli result --port PATH --address ADDR [OPTIONS]\n"
                       "Reads the sensor's last result.\n") +
               SharedOptions();
    case C::Stream:
        return Cli::tr("Usage: veltrano-cli stream --port PATH --address ADDR [--seconds N] [OPTIONS]\n"
                       "Starts the sensor's result stream and prints every sample with its receive time\n"
                       "(CSV: received,raw,value,kind; --json: one object a line) until N seconds have\n"
                       "passed or Ctrl+C, then stops the stream. Standard protocol only.\n"
                       "  --seconds N         0.1..86400; without it the stream runs until Ctrl+C\n") +
               SharedOptions();
    case C::Inventory:
        return Cli::tr("Usage: veltrano-cli inventory PORT... [OPTIONS]\n"
                       "Searches every PORT at the same time and prints one inventory of every sensor.\n"
                       "The exit code is the highest of the ports'.\n"
                       "  --protocol, --delay, --timeout, --json as for every command, and\n") +
               SearchOptions();
    case C::Help:
    case C::Version:
        break;
    }
    return QString();
}
