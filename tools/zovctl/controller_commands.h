// zovctl nc|ncu: changes the virtual controller's state the way an operator changes the
// controller: loads files of the hard-disk store into the NC and unloads them, selects a program
// in a channel, takes an NCU offline and back, sets a variable.
#pragma once

#include <string>
#include <vector>

#include "command_line.h"

namespace zovctl {

// words: the whole command, beginning "nc" or "ncu". Returns the exit status (0, or 1 when the
// state could not be changed); throws UsageError for malformed commands.
int RunControllerCommand(const std::vector<std::string>& words, const CommandLine& line);

}  // namespace zovctl
