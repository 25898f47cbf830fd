// zovctl path: the server's own path conversions (src/ncpath) on the command line, so that an
// integrator can see how the server names a file before it asks the controller for it.
//   path domain NAME [--view hd|hd-nc|nc]   the domain path; without --view the server's default
//                                           view, asked of the NC as the server asks it
//   path host NAME                          the host path
//   path join DIR NAME [EXT]                DIR/NAME.EXT, or DIR/NAME
//   path ncselect NAME                      the NC selection path
//   path split NAME                         name, extension and directory, one per line
#pragma once

#include <string>
#include <vector>

#include "command_line.h"

namespace zovctl {

// words: the whole command, beginning "path". Prints the result (one line; three for split) and
// returns 0; a conversion without a result prints a message on stderr and returns 1. Throws
// UsageError for a malformed command, an option the command does not take, an unknown view, or an
// argument that the ANSI code page cannot spell.
int RunPathCommand(const std::vector<std::string>& words, const CommandLine& line);

}  // namespace zovctl
