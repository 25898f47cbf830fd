#include "server_call.h"

namespace zovctl {

bool IsServerCallCommand(const std::string& word) {
  return word == "select" || word == "find" || word == "check" || word == "update" || word == "cancel";
}

const char* MethodName(ServerMethod method) {
  switch (method) {
    case ServerMethod::SelectProgram: return "SelectProgram";
    case ServerMethod::Cancel: return "Cancel";
    case ServerMethod::FindProgram: return "FindProgram";
    case ServerMethod::CheckDatFile: return "CheckDatFile";
    case ServerMethod::UpdateDatFile: return "UpdateDatFile";
  }
  return "?";
}

ServerCall ParseServerCall(const std::vector<std::string>& words, const CommandLine& line) {
  if (words.empty()) throw UsageError{"no command given"};
  const std::string& command = words[0];
  ServerCall call;
  size_t arguments = 0;
  const char* usage = "";
  bool takesChannel = false, takesAccess = false;
  if (command == "select") {
    call.method = ServerMethod::SelectProgram;
    arguments = 1, usage = "select NAME [--channel N] [--access N]";
    takesChannel = takesAccess = true;
  } else if (command == "find") {
    call.method = ServerMethod::FindProgram;
    arguments = 2, usage = "find WORKDIR NAME [--access N] [--trace]";
    takesAccess = true;
  } else if (command == "check") {
    call.method = ServerMethod::CheckDatFile;
    arguments = 1, usage = "check DATFILE";
  } else if (command == "update") {
    call.method = ServerMethod::UpdateDatFile;
    arguments = 1, usage = "update DATFILE";
  } else if (command == "cancel") {
    call.method = ServerMethod::Cancel;
    arguments = 0, usage = "cancel";
  } else {
    throw UsageError{"unknown command \"" + command + "\""};
  }
  if (words.size() - 1 < arguments) throw UsageError{"missing argument: usage: " + std::string(usage)};
  if (words.size() - 1 > arguments)
    throw UsageError{"too many arguments (\"" + words[arguments + 1] + "\"): usage: " + usage};
  if (takesChannel)
    line.refuseOptionsBut(command, {"json", "channel", "access"});
  else if (call.method == ServerMethod::FindProgram)
    line.refuseOptionsBut(command, {"json", "access", "trace"});
  else if (takesAccess)
    line.refuseOptionsBut(command, {"json", "access"});
  else
    line.refuseOptionsBut(command, {"json"});
  if (line.has("channel")) call.channel = ParseShort(line.option("channel", ""), "option --channel");
  if (line.has("access")) call.accessLevel = ParseShort(line.option("access", ""), "option --access");
  call.trace = line.has("trace");
  switch (call.method) {
    case ServerMethod::SelectProgram: call.program = words[1]; break;
    case ServerMethod::FindProgram:
      call.workingDirectory = words[1];
      call.searchName = words[2];
      break;
    case ServerMethod::CheckDatFile:
    case ServerMethod::UpdateDatFile: call.datFile = words[1]; break;
    case ServerMethod::Cancel: break;
  }
  return call;
}

}  // namespace zovctl
