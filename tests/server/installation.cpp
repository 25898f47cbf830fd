#include "installation.h"

#include "module_install.h"
#include "scratch.h"

namespace zov::test {

bool MakeFolder(const std::string& path) {
  return CreateDirectoryA(path.c_str(), nullptr) || GetLastError() == ERROR_ALREADY_EXISTS;
}

std::string Install(const Installation& installation) {
  std::string root = NewScratchFolder("install");
  root.pop_back();
  for (const char* folder : {"\\bin", "\\kor_vel", "\\USER", "\\OEM", "\\ADD_ON", "\\HUX2"}) {
    if (!MakeFolder(root + folder)) return {};
  }
  if (installation.hostLibrary &&
      !CopyModuleTo(ZOV_QM32_BUILD_PATH, "qm32.dll", root + "\\kor_vel\\qm32.dll"))
    return {};
  if (installation.jobLibrary == JobLibrary::Interpreter &&
      !CopyModuleTo(ZOV_WRK32_BUILD_PATH, "Wrk32dll.dll", root + "\\kor_vel\\Wrk32dll.dll"))
    return {};
  if (installation.jobLibrary == JobLibrary::WithoutExport &&
      !CopyModuleTo(ZOV_WRK32_NOEXPORT_BUILD_PATH, "noexport\\Wrk32dll.dll",
                    root + "\\kor_vel\\Wrk32dll.dll"))
    return {};
  for (const auto& [path, text] : installation.files) {
    if (!WriteFileBytes(root + "\\" + path, text)) return {};
  }
  return root;
}

CurrentDirectoryScope::CurrentDirectoryScope(const std::string& directory) {
  char previous[MAX_PATH] = {};
  const DWORD length = GetCurrentDirectoryA(MAX_PATH, previous);
  if (length == 0 || length >= MAX_PATH) return;
  previous_ = previous;
  ok_ = SetCurrentDirectoryA(directory.c_str()) != FALSE;
}

CurrentDirectoryScope::~CurrentDirectoryScope() {
  if (!previous_.empty()) SetCurrentDirectoryA(previous_.c_str());
}

}  // namespace zov::test
