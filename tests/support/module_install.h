// The project's own in-process COM servers as a test reaches them: installed where the test loads
// them from (natively a copy in the scratch machine, on Windows the file beside the test
// executables) and registered the way a registration tool does it, through the module's exports.
#pragma once

#include <string>

#include "zov/win32.h"

namespace zov::test {

// The Windows path under which the test loads the module `fileName`. Natively the built file
// `buildPath` (a host path) is copied into the scratch folder of the test's machine, replacing an
// earlier copy; on Windows the build has put the module beside the test executables already and
// `buildPath` is not used. Empty when the copy fails.
std::string InstallModule(const char* buildPath, const char* fileName);

// Copies a built module to the Windows path `destination` (a file name in an existing folder),
// where a host would keep it. Natively the built file is `buildPath` (a host path); on Windows it
// is `builtName` relative to the folder of the test executables. False when the copy fails.
bool CopyModuleTo(const char* buildPath, const char* builtName, const std::string& destination);

// Calls the module's DllRegisterServer (doRegister) or DllUnregisterServer; its result.
// E_HANDLE for a null module, HRESULT_FROM_WIN32(ERROR_PROC_NOT_FOUND) when it lacks the export.
HRESULT RegisterModule(HMODULE module, bool doRegister);
// The same for the module at `windowsPath`, loaded for the call and freed after it; the error of
// LoadLibraryA as an HRESULT when it cannot be loaded.
HRESULT RegisterModule(const std::string& windowsPath, bool doRegister);

// An export of `module` as the function type `Fn`; null when the module lacks it.
template <class Fn>
Fn ModuleProc(HMODULE module, const char* name) {
  return reinterpret_cast<Fn>(reinterpret_cast<void*>(GetProcAddress(module, name)));
}

}  // namespace zov::test
