#include "ncpath/program_search.h"

#include "ncpath/code_page.h"
#include "ncpath/path_forms.h"

namespace zov::ncpath {

namespace {

// Tries the candidates in one directory; the one that opened, or nullopt.
std::optional<std::string> TryIn(std::string_view directory, std::string_view name,
                                 bool hasExtension, bool withMainProgram, SearchHost& host) {
  std::optional<std::string> candidate = JoinPath(directory, name);
  if (candidate && host.Open(*candidate)) return candidate;
  if (hasExtension) return std::nullopt;
  candidate = JoinPath(directory, name, kSubprogramExtension);
  if (candidate && host.Open(*candidate)) return candidate;
  if (!withMainProgram) return std::nullopt;
  candidate = JoinPath(directory, name, kMainProgramExtension);
  if (candidate && host.Open(*candidate)) return candidate;
  return std::nullopt;
}

}  // namespace

bool ReachesRoot(SHORT accessLevel, LONG rootAccess) {
  return accessLevel >= 0 && accessLevel <= rootAccess;
}

std::optional<std::string> SearchProgram(std::string_view workingDirectory,
                                         std::string_view searchName, SHORT accessLevel,
                                         const SearchRoot* roots, int rootCount, SearchHost& host,
                                         const CodePage& codePage) {
  const std::string_view name = searchName.substr(0, searchName.find('\0'));
  if (name.empty()) return std::nullopt;
  const std::optional<std::string> converted = MakeHostPath(name);
  if (!converted) return std::nullopt;

  // Scanned by characters: the second byte of a double-byte character is no separator.
  if (codePage.Find(*converted, '\\') != CodePage::npos ||
      codePage.Find(*converted, '/') != CodePage::npos) {
    std::optional<std::string> candidate = host.DomainPath(name);
    if (candidate && !candidate->empty() && host.Open(*candidate)) return candidate;
    return std::nullopt;
  }
  const bool hasExtension = codePage.Find(*converted, '.') != CodePage::npos;

  const std::string_view working = workingDirectory.substr(0, workingDirectory.find('\0'));
  if (!working.empty()) {
    if (auto found = TryIn(working, name, hasExtension, true, host)) return found;
  }
  for (const char* standard : kStandardDirectories) {
    std::optional<std::string> directory = host.DomainPath(standard);
    if (!directory || directory->empty()) continue;
    if (auto found = TryIn(*directory, name, hasExtension, false, host)) return found;
  }
  for (int i = 0; i < rootCount; ++i) {
    if (!roots[i].directory || !ReachesRoot(accessLevel, roots[i].access)) continue;
    std::optional<std::string> directory = host.DomainPath(roots[i].directory);
    if (!directory || directory->empty()) continue;
    if (auto found = TryIn(*directory, name, hasExtension, true, host)) return found;
  }
  return std::nullopt;
}

}  // namespace zov::ncpath
