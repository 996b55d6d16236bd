#pragma once
#include "cli/CliArgs.h"

class TInterrupt;

// Runs the command and returns the process's exit code; what it prints goes to stdout, errors
// to stderr.
int RunCommand(const TCliArgs& args, TInterrupt& interrupt);
