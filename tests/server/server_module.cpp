#include "server_module.h"

#include <string>

#include "module_install.h"

namespace zov::test {

HMODULE ServerModule() {
  static HMODULE module = [] {
    const std::string path = InstallModule(ZOV_SERVER_MODULE_BUILD_PATH, "ZOVServer.dll");
    if (path.empty()) return HMODULE{};
    HMODULE loaded = LoadLibraryA(path.c_str());
    // Registered as a registration tool does it. Under Wine regsvr32 has done so before, but the
    // prefix's registry is shared with other areas' tests, which may have unregistered it since.
    if (RegisterModule(loaded, true) != S_OK) return HMODULE{};
    return loaded;
  }();
  return module;
}

HRESULT ServerCanUnloadNow() {
  auto canUnload = ModuleProc<HRESULT(STDAPICALLTYPE*)()>(ServerModule(), "DllCanUnloadNow");
  return canUnload ? canUnload() : E_UNEXPECTED;
}

HRESULT ServerGetClassObject(REFCLSID clsid, REFIID riid, void** ppv) {
  auto get = ModuleProc<HRESULT(STDAPICALLTYPE*)(REFCLSID, REFIID, void**)>(ServerModule(),
                                                                           "DllGetClassObject");
  return get ? get(clsid, riid, ppv) : E_UNEXPECTED;
}

}  // namespace zov::test
