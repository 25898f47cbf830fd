// zovctl batch: server calls read one per line, all checked before the first is made.
#pragma once

#include <istream>
#include <string>
#include <vector>

#include "server_call.h"

namespace zovctl {

// The words of one call line. Blanks (spaces, tabs) separate words; double quotes group a part
// with blanks in it and may sit anywhere in a word (C:\"Program Files"\x is one word); "" is an
// empty word. A backslash is an ordinary character, as in every Windows path. Throws UsageError
// for a quote left open or a NUL character.
std::vector<std::string> SplitCallLine(const std::string& line);

// Every call of `input`, one per line, in order; lines that are blank or whose first non-blank
// character is '#' are skipped, and a line end of "\r\n" is taken like "\n". Each call is parsed
// as on the command line ("select NAME --channel 2"). When any line is bad, no call is returned:
// the UsageError names every bad line ("line 3: unknown command \"selct\"").
std::vector<ServerCall> ParseBatch(std::istream& input);

}  // namespace zovctl
