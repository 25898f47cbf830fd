// VirtualController.dll: the module glue. It serves three classes, each bound by display name
// through its class object's IParseDisplayName:
//   "TESK"                         the directory namespace "TESK://domain/..." (directory_object.h)
//   "KalTeskDomain.TeskDomain.1"   the NC file stream and the control interface (domain_stream.h)
//   "TeskVar.Var2"                 the NC variables of one NCU (nc_variables.h)
// Registration applies the registry script virtual_controller.rgs, which the module carries as its
// REGISTRY resource 101.
#include <string>

#include "class_object.h"
#include "directory_object.h"
#include "domain_stream.h"
#include "nc_variables.h"
#include "server/com_module.h"
#include "server/registrar.h"

namespace {

using zov::com::ObjectMapEntry;

// The REGISTRY resource of virtual_controller.rgs (one script for the three classes).
constexpr UINT kRegistryScriptId = 101;

ObjectMapEntry g_objectMap[] = {
    {&zov::sim::CLSID_VirtualNamespace, kRegistryScriptId,
     zov::sim::CreateParsingClassObject, zov::sim::CreateNamespaceParser, nullptr, 0, nullptr},
    {&zov::sim::CLSID_VirtualDomain, kRegistryScriptId,
     zov::sim::CreateParsingClassObject, zov::sim::CreateDomainParser, nullptr, 0, nullptr},
    {&zov::sim::CLSID_VirtualVariables, kRegistryScriptId,
     zov::sim::CreateParsingClassObject, zov::sim::CreateVariablesParser, nullptr, 0, nullptr},
    {nullptr, 0, nullptr, nullptr, nullptr, 0, nullptr},
};

}  // namespace

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
  if (reason == DLL_PROCESS_ATTACH) {
    zov::com::Module().Init(g_objectMap, instance);
  } else if (reason == DLL_PROCESS_DETACH) {
    // A cancel target still set is abandoned, never released here under the loader lock: its
    // module may already be gone.
    zov::sim::AbandonCancelTarget();
    zov::com::Module().Term();
  }
  return TRUE;
}

STDAPI DllGetClassObject(REFCLSID rclsid, REFIID riid, LPVOID* ppv) {
  return zov::com::Module().GetClassObject(rclsid, riid, ppv);
}

STDAPI DllCanUnloadNow(void) { return zov::com::Module().CanUnloadNow(); }

STDAPI DllRegisterServer(void) {
  return zov::registration::UpdateRegistryFromResource(zov::com::Module().Instance(),
                                                       kRegistryScriptId, true);
}

STDAPI DllUnregisterServer(void) {
  return zov::registration::UpdateRegistryFromResource(zov::com::Module().Instance(),
                                                       kRegistryScriptId, false);
}
