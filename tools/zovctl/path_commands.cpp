#include "path_commands.h"

#include <cstdio>
#include <optional>
#if defined(_WIN32)
#include <fcntl.h>
#include <io.h>
#endif

#include "console_text.h"
#include "zov/win32.h"

#if defined(ZOVCTL_NCPATH)
#include "com_apartment.h"
#include "hresult_text.h"
#include "ncpath/domain_path.h"
#include "ncpath/path_forms.h"
#include "services/nc_var.h"
#endif

namespace zovctl {
namespace {

const char kPathUsage[] =
    "path domain NAME [--view hd|hd-nc|nc] | path host NAME | path join DIR NAME [EXT] | "
    "path ncselect NAME | path split NAME";

// The server works on text in the process's ANSI code page. The console's text (UTF-8 natively,
// the ANSI code page itself on Windows) is converted to it; an argument with a character the code
// page lacks is refused rather than passed on with a stand-in, which would name another file.
std::string ToAnsi(const std::string& console, const char* what) {
  WideString wide;
  if (!ConsoleToWide(console, &wide))
    throw UsageError{std::string(what) + " \"" + console + "\" is not valid text in the console's encoding"};
  if (wide.empty()) return {};
  const int length = static_cast<int>(wide.size());
  BOOL usedDefault = FALSE;
  int n = WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, wide.data(), length, nullptr, 0, nullptr,
                              &usedDefault);
  std::string ansi(n > 0 ? static_cast<size_t>(n) : 0, '\0');
  if (n <= 0 ||
      WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, wide.data(), length, &ansi[0], n, nullptr,
                          &usedDefault) != n ||
      usedDefault)
    throw UsageError{std::string(what) + " \"" + console + "\" has characters the ANSI code page lacks"};
  return ansi;
}

void ExpectArguments(const std::vector<std::string>& words, size_t least, size_t most,
                     const char* usage) {
  const size_t given = words.size() - 2;
  if (given < least) throw UsageError{std::string("missing argument: usage: zovctl ") + usage};
  if (given > most)
    throw UsageError{"too many arguments (\"" + words[2 + most] + "\"): usage: zovctl " + usage};
}

#if defined(ZOVCTL_NCPATH)

// ANSI text back to the console's.
std::string FromAnsi(const std::string& ansi) {
  if (ansi.empty()) return {};
  const int length = static_cast<int>(ansi.size());
  int n = MultiByteToWideChar(CP_ACP, 0, ansi.data(), length, nullptr, 0);
  if (n <= 0) return {};
  WideString wide(static_cast<size_t>(n), 0);
  MultiByteToWideChar(CP_ACP, 0, ansi.data(), length, &wide[0], n);
  return WideToConsole(wide.data(), static_cast<UINT>(wide.size()));
}

void PrintLine(const std::string& console) {
  std::string line = console + "\n";
  std::fwrite(line.data(), 1, line.size(), stdout);
  std::fflush(stdout);
}

int NoResult(const std::string& command, const std::string& why) {
  std::fprintf(stderr, "zovctl: path %s: no result (%s)\n", command.c_str(), why.c_str());
  return 1;
}

// Prints an ANSI result; a missing one is the message below.
int PrintResult(const std::string& command, const std::optional<std::string>& ansi) {
  if (!ansi) return NoResult(command, "the path would not fit the server's 1024-byte buffer");
  PrintLine(FromAnsi(*ansi));
  return 0;
}

int Domain(const std::string& path, const CommandLine& line) {
  if (!line.has("view")) {
    // The default view as the server chooses it: "hd-nc" when the default NC answers, else "hd".
    // zovctl is no local machine; it asks the NC through an NcVar of its own.
    ComApartment apartment;
    if (FAILED(apartment.result())) {
      std::fprintf(stderr, "zovctl: cannot enter a COM apartment: %s\n",
                   DescribeHresult(apartment.result()).c_str());
      return 1;
    }
    zov::services::NcVar ncVar;
    return PrintResult("domain", zov::ncpath::MakeDomainPathText(path, nullptr, false, &ncVar));
  }
  const std::string view = line.option("view", "");
  if (view != zov::ncpath::kViewHd && view != zov::ncpath::kViewHdNc && view != zov::ncpath::kViewNc)
    throw UsageError{"option --view takes hd, hd-nc or nc, not \"" + view + "\""};
  return PrintResult("domain", zov::ncpath::MakeDomainPathText(path, view.c_str(), false, nullptr));
}

int Split(const std::string& path) {
  std::optional<zov::ncpath::PathParts> parts = zov::ncpath::SplitPath(path);
  if (!parts) return NoResult("split", "the last component has 100 bytes or more");
  PrintLine(FromAnsi(parts->name));
  PrintLine(FromAnsi(parts->extension));
  PrintLine(FromAnsi(parts->directory));
  return 0;
}

#endif

}  // namespace

int RunPathCommand(const std::vector<std::string>& words, const CommandLine& line) {
  if (words.size() < 2) throw UsageError{std::string("missing command: usage: zovctl ") + kPathUsage};
  const std::string& command = words[1];
  const char* usage = nullptr;
  size_t least = 1, most = 1;
  if (command == "domain") {
    usage = "path domain NAME [--view hd|hd-nc|nc]";
  } else if (command == "host") {
    usage = "path host NAME";
  } else if (command == "join") {
    usage = "path join DIR NAME [EXT]", least = 2, most = 3;
  } else if (command == "ncselect") {
    usage = "path ncselect NAME";
  } else if (command == "split") {
    usage = "path split NAME";
  } else {
    throw UsageError{"unknown command \"path " + command + "\": usage: zovctl " + kPathUsage};
  }
  ExpectArguments(words, least, most, usage);
  if (command == "domain")
    line.refuseOptionsBut("path domain", {"view"});
  else
    line.refuseOptionsBut("path " + command, {});
  static const char* const kJoinArguments[] = {"the directory", "the name", "the extension"};
  std::vector<std::string> args;
  for (size_t i = 2; i < words.size(); ++i)
    args.push_back(ToAnsi(words[i], command == "join" ? kJoinArguments[i - 2] : "the name"));

#if defined(_WIN32)
  // Lines end in "\n" on every platform, as the server commands' do.
  std::fflush(stdout);
  _setmode(_fileno(stdout), _O_BINARY);
#endif
#if defined(ZOVCTL_NCPATH)
  if (command == "domain") return Domain(args[0], line);
  if (command == "host") return PrintResult("host", zov::ncpath::MakeHostPath(args[0]));
  if (command == "join")
    return PrintResult("join", zov::ncpath::JoinPath(args[0], args[1], args.size() > 2 ? args[2] : ""));
  if (command == "ncselect") return PrintResult("ncselect", zov::ncpath::MakeNcSelectPath(args[0]));
  return Split(args[0]);
#else
  std::fprintf(stderr, "zovctl: this zovctl was built without the server's path conversions\n");
  return 1;
#endif
}

}  // namespace zovctl
