// qm32.dll: the host software's profile reader, as the server loads it at construction. Its two
// exports have the calling convention and the behaviour of the system's GetPrivateProfileStringA
// and GetPrivateProfileIntA; a bare file name is found in the installation tree above the
// library's own folder (layered_profile.h, docs/host-libraries.md).
#include <string>

#include "layered_profile.h"
#include "zov/win32.h"

#if defined(_WIN32)
// Exported by name through qm32.def.
#define QM32_API(type) extern "C" type WINAPI
#else
// The module is linked with hidden symbols; only these are exported.
#define QM32_API(type) extern "C" __attribute__((visibility("default"))) type WINAPI
#endif

namespace {

// The handle DllMain receives: the library's own module, whose path gives the installation root.
HINSTANCE g_instance = nullptr;

// The installation root, found afresh on every call from where the library was loaded from.
// Empty when the path cannot be read or has no folder above the library's own.
std::string OwnInstallationRoot() {
  char path[1024];
  const DWORD length = GetModuleFileNameA(g_instance, path, sizeof path);
  if (length == 0 || length >= sizeof path) return {};
  return zov::hostlibs::InstallationRoot(std::string(path, length));
}

}  // namespace

QM32_API(BOOL) DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
  if (reason == DLL_PROCESS_ATTACH) {
    g_instance = instance;
    DisableThreadLibraryCalls(instance);
  }
  return TRUE;
}

QM32_API(DWORD) PvGetPrivateProfileString(LPCSTR section, LPCSTR key, LPCSTR def, LPSTR buffer,
                                          DWORD size, LPCSTR file) {
  try {
    return zov::hostlibs::LayeredProfileString(OwnInstallationRoot(), section, key, def, buffer,
                                               size, file);
  } catch (...) {
    // Out of memory while building a path or a listing: nothing, as the system function answers.
    if (buffer && size >= 1) buffer[0] = '\0';
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return 0;
  }
}

QM32_API(UINT) PvGetPrivateProfileInt(LPCSTR section, LPCSTR key, INT def, LPCSTR file) {
  try {
    return zov::hostlibs::LayeredProfileInt(OwnInstallationRoot(), section, key, def, file);
  } catch (...) {
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return static_cast<UINT>(def);
  }
}
