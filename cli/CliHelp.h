#pragma once
#include "cli/CliArgs.h"
#include <QString>
#include <optional>

// The help of a command, or the overview of all of them for none.
QString HelpText(std::optional<TCliCommand> command);
