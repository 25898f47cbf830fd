// The module tests' own module, zovtestmod.dll: a Windows DLL under mingw-w64, an ELF shared object
// named like one natively. It counts its DllMain calls and remembers what DllMain was given, so
// that the tests can check the loader's side of the bargain. A copy whose file name contains
// "attachfails" refuses to attach.
#include <cctype>
#include <cstring>

#include "zov/win32.h"

#if defined(_WIN32)
#define ZOV_TEST_EXPORT extern "C" __declspec(dllexport)
#else
#define ZOV_TEST_EXPORT extern "C" __attribute__((visibility("default")))
#endif

namespace {
int g_attaches = 0;
int* g_detaches = nullptr;  // the test's counter: it outlives the module
HINSTANCE g_instance = nullptr;
char g_nameInDllMain[MAX_PATH + 1] = "";
}  // namespace

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID reserved) {
  (void)reserved;
  if (reason == DLL_PROCESS_ATTACH) {
    ++g_attaches;
    g_instance = instance;
    DWORD n = GetModuleFileNameA(instance, g_nameInDllMain, MAX_PATH);
    g_nameInDllMain[n < MAX_PATH ? n : MAX_PATH] = '\0';
    char lower[MAX_PATH + 1];
    for (DWORD i = 0; i <= n && i < MAX_PATH; ++i)
      lower[i] = static_cast<char>(std::tolower(static_cast<unsigned char>(g_nameInDllMain[i])));
    lower[MAX_PATH] = '\0';
    if (std::strstr(lower, "attachfails")) return FALSE;
  } else if (reason == DLL_PROCESS_DETACH && g_detaches) {
    ++*g_detaches;
  }
  return TRUE;
}

ZOV_TEST_EXPORT int ZovTestModuleAttaches() { return g_attaches; }
ZOV_TEST_EXPORT void ZovTestModuleCountDetaches(int* counter) { g_detaches = counter; }
ZOV_TEST_EXPORT HINSTANCE ZovTestModuleInstance() { return g_instance; }
ZOV_TEST_EXPORT const char* ZovTestModuleNameInDllMain() { return g_nameInDllMain; }
