// zovctl profile get|int|set|delete: the three profile functions on a file of the machine.
#pragma once

#include <vector>
#include <string>

#include "command_line.h"

namespace zovctl {

// words: everything after "profile". Returns the exit status.
int RunProfileCommand(const std::vector<std::string>& words, const CommandLine& line);

}  // namespace zovctl
