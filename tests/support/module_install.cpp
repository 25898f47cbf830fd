#include "module_install.h"

#if !defined(_WIN32)
#include <filesystem>
#include <system_error>

#include "zov/platform/machine.h"
#endif

#include "scratch.h"

namespace zov::test {

std::string InstallModule(const char* buildPath, const char* fileName) {
#if defined(_WIN32)
  (void)buildPath;
  return ExecutableDir() + fileName;
#else
  // A module registered in the machine must lie inside it: its InprocServer32 is a Windows path.
  const std::string path = ScratchDir() + fileName;
  zov::platform::ResolvedPath target;
  if (zov::platform::ResolveWindowsPath(path.c_str(), zov::platform::PathUse::CreateLeaf,
                                        &target) != 0)
    return {};
  std::error_code ec;
  std::filesystem::copy_file(buildPath, target.hostPath,
                             std::filesystem::copy_options::overwrite_existing, ec);
  return ec ? std::string() : path;
#endif
}

bool CopyModuleTo(const char* buildPath, const char* builtName, const std::string& destination) {
#if defined(_WIN32)
  (void)buildPath;
  return CopyFileA((ExecutableDir() + builtName).c_str(), destination.c_str(), FALSE) != FALSE;
#else
  (void)builtName;
  zov::platform::ResolvedPath target;
  if (zov::platform::ResolveWindowsPath(destination.c_str(), zov::platform::PathUse::CreateLeaf,
                                        &target) != 0)
    return false;
  std::error_code ec;
  std::filesystem::copy_file(buildPath, target.hostPath,
                             std::filesystem::copy_options::overwrite_existing, ec);
  return !ec;
#endif
}

HRESULT RegisterModule(HMODULE module, bool doRegister) {
  if (!module) return E_HANDLE;
  using RegistrationFn = HRESULT(STDAPICALLTYPE*)();
  auto entry =
      ModuleProc<RegistrationFn>(module, doRegister ? "DllRegisterServer" : "DllUnregisterServer");
  return entry ? entry() : HRESULT_FROM_WIN32(ERROR_PROC_NOT_FOUND);
}

HRESULT RegisterModule(const std::string& windowsPath, bool doRegister) {
  HMODULE module = LoadLibraryA(windowsPath.c_str());
  if (!module) {
    const DWORD error = GetLastError();
    return error ? HRESULT_FROM_WIN32(error) : E_FAIL;
  }
  const HRESULT hr = RegisterModule(module, doRegister);
  FreeLibrary(module);
  return hr;
}

}  // namespace zov::test
