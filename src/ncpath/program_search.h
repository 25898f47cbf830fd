// The program search: the first file that exists for a search name along a fixed chain of
// directories -- the working directory, the standard subprogram and cycle directories, then the
// program-store roots that the caller's access level reaches. Plain text work; the caller says
// how a name becomes a domain path and whether a candidate exists.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "ncpath/code_page.h"
#include "zov/win32.h"

namespace zov::ncpath {

// The standard directories, searched in this order before the configured roots.
inline constexpr const char* kStandardDirectories[] = {"SPF.DIR", "CUS.DIR", "CMA.DIR",
                                                       "CST.DIR"};
inline constexpr char kSubprogramExtension[] = "SPF";
inline constexpr char kMainProgramExtension[] = "MPF";

// A program-store root directory and the highest caller access level that reaches it.
struct SearchRoot {
  const char* directory;
  LONG access;
};

class SearchHost {
 public:
  virtual ~SearchHost() = default;
  // The domain path of a name in the default view (MakeDomainPath without a view); absent when
  // it cannot be formed.
  virtual std::optional<std::string> DomainPath(std::string_view name) = 0;
  // Whether the candidate (a domain path) exists; the host binds it.
  virtual bool Open(const std::string& candidate) = 0;
};

// Whether a caller with `accessLevel` reaches a root of level `rootAccess`: a level that is not
// negative and not above the root's. A negative level reaches the standard directories only.
bool ReachesRoot(SHORT accessLevel, LONG rootAccess);

// The domain path of the first candidate that the host opens, as it was built (the search name
// keeps its case); nullopt when none opens. `workingDirectory` is a domain path or empty. Throws
// std::bad_alloc.
//
// A search name that holds a path separator once converted to a host path is looked up as a path
// only. Otherwise, in the working directory and then in each directory of the chain, the name is
// tried as given and, when it has no extension, with ".SPF" and (not in the standard
// directories) ".MPF". An empty search name names no program: nothing is tried. The converted
// name is scanned by characters of `codePage`.
std::optional<std::string> SearchProgram(std::string_view workingDirectory,
                                         std::string_view searchName, SHORT accessLevel,
                                         const SearchRoot* roots, int rootCount, SearchHost& host,
                                         const CodePage& codePage = CodePage::Current());

}  // namespace zov::ncpath
