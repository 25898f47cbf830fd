#include "server_module.h"

#if !defined(_WIN32)
#include <filesystem>
#endif

#include "scratch.h"

namespace zov::test {

namespace {

template <class Fn>
Fn Export(const char* name) {
  return reinterpret_cast<Fn>(reinterpret_cast<void*>(GetProcAddress(ServerModule(), name)));
}

}  // namespace

std::string ServerModulePath() {
#if defined(_WIN32)
  return ExecutableDir() + "ZOVServer.dll";
#else
  return ScratchDir() + "ZOVServer.dll";
#endif
}

HMODULE ServerModule() {
  static HMODULE module = [] {
#if !defined(_WIN32)
    zov::platform::ResolvedPath target;
    if (zov::platform::ResolveWindowsPath(ServerModulePath().c_str(),
                                          zov::platform::PathUse::CreateLeaf, &target) != 0)
      return HMODULE{};
    std::error_code ec;
    std::filesystem::copy_file(ZOV_SERVER_MODULE_BUILD_PATH, target.hostPath,
                               std::filesystem::copy_options::overwrite_existing, ec);
    if (ec) return HMODULE{};
#endif
    HMODULE loaded = LoadLibraryA(ServerModulePath().c_str());
    // Registered as a registration tool does it. Under Wine regsvr32 has done so before, but the
    // prefix's registry is shared with other areas' tests, which may have unregistered it since.
    auto registerServer = reinterpret_cast<HRESULT(STDAPICALLTYPE*)()>(
        reinterpret_cast<void*>(GetProcAddress(loaded, "DllRegisterServer")));
    if (!registerServer || registerServer() != S_OK) return HMODULE{};
    return loaded;
  }();
  return module;
}

HRESULT ServerCanUnloadNow() {
  auto canUnload = Export<HRESULT(STDAPICALLTYPE*)()>("DllCanUnloadNow");
  return canUnload ? canUnload() : E_UNEXPECTED;
}

HRESULT ServerGetClassObject(REFCLSID clsid, REFIID riid, void** ppv) {
  auto get = Export<HRESULT(STDAPICALLTYPE*)(REFCLSID, REFIID, void**)>("DllGetClassObject");
  return get ? get(clsid, riid, ppv) : E_UNEXPECTED;
}

}  // namespace zov::test
