// ZOVServer.dll: the module glue around CZOVServer. DllMain sets up and ends the module state with
// the object map (one class); the four exports serve COM and the registration tools.
#include "server/class_factory.h"
#include "server/com_module.h"
#include "server/com_object.h"
#include "server/registrar.h"
#include "server/zov_server.h"
#include "zov/win32.h"
#include "zovserver.h"

#if defined(_WIN32)
// Exported by name through zovserver.def.
#define ZOV_MODULE_API(type) extern "C" type STDAPICALLTYPE
#else
// The module is linked with hidden symbols; only these are exported.
#define ZOV_MODULE_API(type) extern "C" __attribute__((visibility("default"))) type STDAPICALLTYPE
#endif

namespace {

// The registry script of CZOVServer: resource type "REGISTRY", identifier 101.
constexpr UINT kServerRegistryScript = 101;

zov::com::ObjectMapEntry g_objectMap[] = {
    {&CLSID_CZOVServer, kServerRegistryScript, &zov::com::ClassFactory::CreateClassObject,
     &zov::com::CreateInstance<zov::server::CZOVServer>, nullptr, 0, nullptr},
    {nullptr, 0, nullptr, nullptr, nullptr, 0, nullptr}};

}  // namespace

// Not exported by name on Windows (the loader finds it as the entry point); the POSIX layer calls
// the export "DllMain" after loading and before unloading the module.
ZOV_MODULE_API(BOOL) DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
  if (reason == DLL_PROCESS_ATTACH) {
    zov::com::Module().Init(g_objectMap, instance);
    // No thread notifications are needed. (The POSIX layer sends none anyway: it turns nothing
    // off and returns TRUE.)
    DisableThreadLibraryCalls(instance);
  } else if (reason == DLL_PROCESS_DETACH) {
    zov::com::Module().Term();
  }
  return TRUE;
}

ZOV_MODULE_API(HRESULT) DllGetClassObject(REFCLSID rclsid, REFIID riid, LPVOID* ppv) {
  return zov::com::Module().GetClassObject(rclsid, riid, ppv);
}

ZOV_MODULE_API(HRESULT) DllCanUnloadNow(void) { return zov::com::Module().CanUnloadNow(); }

// The registry script of every class, then the type library; the first failure is returned.
ZOV_MODULE_API(HRESULT) DllRegisterServer(void) {
  zov::com::ComModule& module = zov::com::Module();
  HRESULT hr = module.UpdateRegistry(&zov::registration::UpdateRegistryFromResource, true);
  if (FAILED(hr)) return hr;
  return zov::registration::RegisterTypeLibrary(module.Instance(), true);
}

// Everything is unregistered even after a failure; the first failure is returned.
ZOV_MODULE_API(HRESULT) DllUnregisterServer(void) {
  zov::com::ComModule& module = zov::com::Module();
  HRESULT hr = module.UpdateRegistry(&zov::registration::UpdateRegistryFromResource, false);
  HRESULT typeLibrary = zov::registration::RegisterTypeLibrary(module.Instance(), false);
  return FAILED(hr) ? hr : typeLibrary;
}
