// One call of ICZOVServer as zovctl's user writes it: "select NAME [--channel N] [--access N]",
// "find WORKDIR NAME [--access N] [--trace]", "check DATFILE", "update DATFILE" or "cancel". Parsing only;
// the strings stay in the console's text as typed.
#pragma once

#include <string>
#include <vector>

#include "command_line.h"

namespace zovctl {

enum class ServerMethod { SelectProgram, Cancel, FindProgram, CheckDatFile, UpdateDatFile };

// Used when a call gives no --channel / --access: channel 1, and access level 7, the least
// privileged level an operator panel gives (lower numbers are more privileged), so that a call
// that says nothing never reaches more of the program store than the plainest user.
constexpr short kDefaultChannel = 1;
constexpr short kDefaultAccessLevel = 7;

struct ServerCall {
  ServerMethod method = ServerMethod::Cancel;
  std::string program;           // select: sProgram
  std::string workingDirectory;  // find: sWorkingDirectory
  std::string searchName;        // find: sSearchName
  std::string datFile;           // check, update: sDatFile
  short channel = kDefaultChannel;          // select: nChannelId
  short accessLevel = kDefaultAccessLevel;  // select, find: nAccessLevel
  bool trace = false;            // find --trace: show the names the server asked to bind
  int lineNumber = 0;            // the batch line it came from; 0 on the command line
};

// True for the words that name a server call: select, find, check, update, cancel.
bool IsServerCallCommand(const std::string& word);

// The method's name on the interface ("SelectProgram"...).
const char* MethodName(ServerMethod method);

// words[0] is the command, the rest its arguments; the options are those of `line` (--json, and
// --channel and --access only where the method has the parameter, --trace only for find). Throws UsageError saying what
// is wrong: unknown command, missing or extra argument, an option the command does not take, a
// number that is not a whole number in the range of a short.
ServerCall ParseServerCall(const std::vector<std::string>& words, const CommandLine& line);

}  // namespace zovctl
