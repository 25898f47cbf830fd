// zovctl's server commands: select, find, check, update, cancel and batch, made on one object of
// ZOVServer.CZOVServer.1 as a host program makes them.
#pragma once

#include <string>
#include <vector>

#include "command_line.h"

namespace zovctl {

// select, find, check, update, cancel, batch.
bool IsServerCommand(const std::string& command);

// Runs the command words[0] with its arguments and the options of `line` (--json, and
// --channel/--access for a single call). Prints one line per call; returns the exit status
// (0 when every call succeeded, 1 otherwise or when the server cannot be created). Throws
// UsageError, before any call is made, for anything wrong in the command line or a batch line.
int RunServerCommand(const std::vector<std::string>& words, const CommandLine& line);

}  // namespace zovctl
