#include "controller_commands.h"

#include <cstdio>

#include "controller_state.h"
#include "win32_errors.h"
#include "zov/win32.h"

namespace zovctl {
namespace {

using zov::sim::View;

int Fail(const std::string& what) {
  std::fprintf(stderr, "zovctl: %s\n", what.c_str());
  return 1;
}

std::string Folder() {
  std::string folder = zov::sim::ControllerFolder();
  if (folder.empty()) throw UsageError{"no machine: give --machine DIR or set ZOV_MACHINE"};
  return folder;
}

// A host path of the stores, split; names that would lead out of the controller are refused.
std::vector<std::string> StoreComponents(const std::string& hostPath) {
  std::vector<std::string> components;
  if (!zov::sim::SplitStorePath(hostPath, &components))
    throw UsageError{"\"" + hostPath + "\" is no path of the program store"};
  return components;
}

int Load(const std::string& hostPath) {
  const std::string folder = Folder();
  std::vector<std::string> components = StoreComponents(hostPath);
  const std::string from = zov::sim::StorePath(folder, View::Hd, components);
  const std::string to = zov::sim::StorePath(folder, View::Nc, components);
  zov::sim::FileFacts source = zov::sim::StatPath(from);
  if (!source.exists) return Fail(hostPath + ": not on the hard disk");
  if (source.isDirectory) {
    // A folder is made in the NC; its files are loaded one by one.
    return zov::sim::CreateFolders(to) ? 0 : Fail(to + ": cannot be made");
  }
  const std::string parent = to.substr(0, to.find_last_of('\\'));
  if (!zov::sim::CreateFolders(parent)) return Fail(parent + ": cannot be made");
  return zov::sim::CopyFileBytes(from, to) ? 0 : Fail(to + ": cannot be written");
}

int Unload(const std::string& hostPath) {
  const std::string folder = Folder();
  const std::string path = zov::sim::StorePath(folder, View::Nc, StoreComponents(hostPath));
  zov::sim::FileFacts facts = zov::sim::StatPath(path);
  if (!facts.exists) return Fail(hostPath + ": not loaded in the NC");
  BOOL ok = facts.isDirectory ? RemoveDirectoryA(path.c_str()) : DeleteFileA(path.c_str());
  if (!ok) return Fail(hostPath + ": " + DescribeError(GetLastError()));
  return 0;
}

std::string NcuOf(const CommandLine& line, const std::string& folder) {
  std::string ncu = line.option("ncu", "");
  if (ncu.empty()) ncu = zov::sim::DefaultNcu(folder);
  if (!zov::sim::IsValidNcuName(ncu)) throw UsageError{"\"" + ncu + "\" is no NCU name"};
  return ncu;
}

int Select(const std::string& channelText, const std::string& program, const CommandLine& line) {
  const short channel = ParseShort(channelText, "the channel");
  if (channel < 1) throw UsageError{"the channel must be 1 or more, not \"" + channelText + "\""};
  const std::string folder = Folder();
  const std::string ncu = NcuOf(line, folder);
  if (!zov::sim::NcuExists(folder, ncu)) return Fail(ncu + ": no such NCU");
  std::vector<std::string> components = StoreComponents(program);
  const std::string name = components.back();
  components.pop_back();
  const std::string index = "[u" + std::to_string(channel) + "]";
  const std::string workPName = "S:" + zov::sim::NcNameOf(components);
  const std::string progName = "S:" + zov::sim::NcNameOf({name}).substr(1);
  if (!zov::sim::WriteVariable(folder, ncu, "/Channel/ProgramPointer/workPNameLong" + index,
                               workPName) ||
      !zov::sim::WriteVariable(folder, ncu, "/Channel/ProgramPointer/progName" + index, progName))
    return Fail(ncu + ": its state file cannot be written");
  return 0;
}

int SetOnline(const std::string& ncu, bool online) {
  if (!zov::sim::IsValidNcuName(ncu)) throw UsageError{"\"" + ncu + "\" is no NCU name"};
  const std::string folder = Folder();
  if (!zov::sim::NcuExists(folder, ncu)) return Fail(ncu + ": no such NCU");
  return zov::sim::SetNcuOnline(folder, ncu, online) ? 0
                                                     : Fail(ncu + ": its state file cannot be written");
}

bool HasControlCharacter(const std::string& text) {
  for (char c : text)
    if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) return true;
  return false;
}

int SetVariable(const std::string& ncu, const std::string& variable, const std::string& value) {
  if (!zov::sim::IsValidNcuName(ncu)) throw UsageError{"\"" + ncu + "\" is no NCU name"};
  // The variable is one line "name=value" of the NCU's state file: a line end in either would add
  // lines of its own (another key, a section), a name beginning with '[' would read as a section,
  // one beginning with ';' as a comment, and '=' would end the name early.
  if (HasControlCharacter(variable) || HasControlCharacter(value))
    throw UsageError{"a variable's name and value may not have control characters (line ends, tabs...)"};
  if (variable.empty() || variable[0] == '[' || variable[0] == ';' ||
      variable.find('=') != std::string::npos)
    throw UsageError{"\"" + variable + "\" is no variable name (empty, beginning with '[' or ';', or with '=')"};
  zov::sim::VariableValue parsed;
  if (!value.empty() && !zov::sim::ParseVariableValue(value, &parsed))
    throw UsageError{"\"" + value + "\" is no value (I2:n, I4:n, R8:x, S:text, V:...)"};
  const std::string folder = Folder();
  if (!zov::sim::NcuExists(folder, ncu)) return Fail(ncu + ": no such NCU");
  return zov::sim::WriteVariable(folder, ncu, variable, value)
             ? 0
             : Fail(ncu + ": the variable cannot be written");
}

}  // namespace

int RunControllerCommand(const std::vector<std::string>& words, const CommandLine& line) {
  const size_t n = words.size();
  const std::string verb = n > 1 ? words[1] : "";
  // Only nc select takes an option, --ncu; the other commands name their NCU, or need none.
  const std::string command = words[0] + " " + verb;
  if (words[0] == "nc") {
    if ((verb == "load" || verb == "unload") && n == 3) {
      line.refuseOptionsBut(command, {});
      return verb == "load" ? Load(words[2]) : Unload(words[2]);
    }
    if (verb == "select" && n == 4) {
      line.refuseOptionsBut(command, {"ncu"});
      return Select(words[2], words[3], line);
    }
    throw UsageError{"nc load|unload HOSTPATH, or nc select [--ncu NAME] CHANNEL PROGRAM"};
  }
  if ((verb == "online" || verb == "offline") && n == 3) {
    line.refuseOptionsBut(command, {});
    return SetOnline(words[2], verb == "online");
  }
  if (verb == "set" && n == 5) {
    line.refuseOptionsBut(command, {});
    return SetVariable(words[2], words[3], words[4]);
  }
  throw UsageError{"ncu online|offline NAME, or ncu set NAME VARIABLE VALUE"};
}

}  // namespace zovctl
