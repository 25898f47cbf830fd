// zovctl: the command-line client of ZOVServer and of the machine it runs on.
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "command_line.h"
#include "controller_commands.h"
#include "path_commands.h"
#include "profile_commands.h"
#include "register_commands.h"
#include "self_check.h"
#include "server_commands.h"
#include "zov/win32.h"

namespace {

const char kUsage[] =
    "usage: zovctl [--machine DIR] [--directory WINDIR] COMMAND ...\n"
    "  profile get FILE SECTION KEY [--default TEXT]   read a value of a profile (INI) file\n"
    "  profile int FILE SECTION KEY [--default N]      read a number\n"
    "  profile set FILE SECTION KEY VALUE              write a value\n"
    "  profile delete FILE SECTION [KEY]               delete a key, or a whole section\n"
    "  self-check                                      check the platform services on this machine\n"
    "  register MODULE                                 register an in-process server (DllRegisterServer)\n"
    "  unregister MODULE                               unregister it (DllUnregisterServer)\n"
    "  [--json] select NAME [--channel N] [--access N] call the server's SelectProgram (1, 7)\n"
    "  [--json] find WORKDIR NAME [--access N] [--trace]\n"
    "                                                  FindProgram: the path found, or an empty line;\n"
    "                                                  --trace: then each name the server asked the\n"
    "                                                  virtual controller to bind (\"  tried NAME\")\n"
    "  [--json] check DATFILE | update DATFILE | cancel  CheckDatFile, UpdateDatFile, Cancel\n"
    "  [--json] batch                                  one such call per line of standard input,\n"
    "                                                  all on one server object\n"
    "  nc load|unload HOSTPATH                         load a file of the virtual controller's hard\n"
    "                                                  disk into its NC, or unload it\n"
    "  nc select [--ncu NAME] CHANNEL PROGRAM          select a program (host path) in a channel\n"
    "  ncu online|offline NAME                         take an NCU of the virtual controller on/offline\n"
    "  ncu set NAME VARIABLE VALUE                     set a variable (I2:1, S:text, V:I2:0; empty removes)\n"
    "  path domain NAME [--view hd|hd-nc|nc]           the server's domain path of NAME (without\n"
    "                                                  --view in the view the NC's state gives)\n"
    "  path host NAME | path ncselect NAME             its host path, its NC selection path\n"
    "  path join DIR NAME [EXT]                        DIR/NAME.EXT as the server joins them\n"
    "  path split NAME                                 name, extension and directory, one per line\n"
    "FILE and MODULE are Windows paths (C:\\...) on the machine; natively a module must lie inside\n"
    "the machine folder. The machine is DIR, else $ZOV_MACHINE, else a scratch copy of the bundled\n"
    "demo machine. --directory makes WINDIR (a Windows path on the machine) the current directory,\n"
    "as the host program's folder is for a host: the server finds the host's libraries and\n"
    "configuration from there (..\\kor_vel\\qm32.dll).\n";

int Run(int argc, char** argv) {
  zovctl::CommandLine line(argc, argv, {"machine", "directory", "default", "channel", "access", "ncu",
                                          "view"},
                            {"help", "json", "trace"});
  if (line.has("help")) {
    std::fputs(kUsage, stdout);
    return 0;
  }
  if (line.has("machine")) {
    std::string machine = line.option("machine", "");
#if defined(_WIN32)
    // On Windows the drives and the registry are the real ones; the folder only names the data of
    // the virtual controller, which reads ZOV_MACHINE.
    SetEnvironmentVariableA("ZOV_MACHINE", machine.c_str());
#else
    if (!ZovSetMachineFolder(machine.c_str()))
      throw zovctl::UsageError{"--machine " + machine + ": not a folder"};
#endif
  }
  if (line.has("directory")) {
    const std::string directory = line.option("directory", "");
    if (!SetCurrentDirectoryA(directory.c_str())) {
      std::fprintf(stderr, "zovctl: --directory %s: no such folder on the machine\n",
                   directory.c_str());
      return 1;
    }
  }
  const auto& words = line.words();
  if (words.empty()) throw zovctl::UsageError{"no command given"};
  const std::string& command = words[0];
  if (command == "profile")
    return zovctl::RunProfileCommand(std::vector<std::string>(words.begin() + 1, words.end()), line);
  if (command == "self-check") {
    if (words.size() != 1) throw zovctl::UsageError{"self-check takes no arguments"};
    line.refuseOptionsBut(command, {});
    return zovctl::RunSelfCheck();
  }
  if (command == "register" || command == "unregister") {
    line.refuseOptionsBut(command, {});
    return zovctl::RunRegisterCommand(command == "register",
                                      std::vector<std::string>(words.begin() + 1, words.end()));
  }
  if (command == "nc" || command == "ncu") return zovctl::RunControllerCommand(words, line);
  if (command == "path") return zovctl::RunPathCommand(words, line);
  if (zovctl::IsServerCommand(command)) return zovctl::RunServerCommand(words, line);
  throw zovctl::UsageError{"unknown command \"" + command + "\""};
}

}  // namespace

int main(int argc, char** argv) {
  try {
    return Run(argc, argv);
  } catch (const zovctl::UsageError& e) {
    std::fprintf(stderr, "zovctl: %s\n%s", e.message.c_str(), kUsage);
    return 2;
  } catch (const std::exception& e) {
    std::fprintf(stderr, "zovctl: %s\n", e.what());
    return 1;
  }
}
