// A host installation tree of a test's own, as the server finds its configuration in it: the
// host program's folder bin (the current directory while a server is made), kor_vel with the host
// library qm32.dll and the job library, and the folders where qm32.dll finds the host's INI files
// (USER over OEM over ADD_ON over KOR_VEL over HUX2 over the root).
#pragma once

#include <string>
#include <utility>
#include <vector>

#include "local_server.h"

namespace zov::test {

enum class JobLibrary { Interpreter, WithoutExport, Missing };

struct Installation {
  std::vector<std::pair<std::string, std::string>> files;  // path below the root, bytes
  bool hostLibrary = true;
  JobLibrary jobLibrary = JobLibrary::Interpreter;
};

// Builds a fresh tree and returns its root (a Windows path without a trailing backslash); empty
// when it cannot be built.
std::string Install(const Installation& installation);

bool MakeFolder(const std::string& path);

// The current directory for a scope (the host program's folder while a server is made).
class CurrentDirectoryScope {
 public:
  explicit CurrentDirectoryScope(const std::string& directory);
  ~CurrentDirectoryScope();
  CurrentDirectoryScope(const CurrentDirectoryScope&) = delete;
  CurrentDirectoryScope& operator=(const CurrentDirectoryScope&) = delete;
  bool ok() const { return ok_; }

 private:
  std::string previous_;
  bool ok_ = false;
};

}  // namespace zov::test
