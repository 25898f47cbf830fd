// VirtualController.dll: the module glue. It serves three classes, each bound by display name
// through its class object's IParseDisplayName:
//   "TESK"                         the directory namespace "TESK://domain/..." (directory_object.h)
//   "KalTeskDomain.TeskDomain.1"   the NC file stream and the control interface (domain_stream.h)
//   "TeskVar.Var2"                 the NC variables of one NCU (nc_variables.h)
// Registration writes the keys of virtual_controller.rgs.
#include <string>

#include "class_object.h"
#include "directory_object.h"
#include "domain_stream.h"
#include "module_registration.h"
#include "nc_variables.h"
#include "server/com_module.h"

namespace {

using zov::com::ObjectMapEntry;

ObjectMapEntry g_objectMap[] = {
    {&zov::sim::CLSID_VirtualNamespace, zov::sim::kRegistryScriptId,
     zov::sim::CreateParsingClassObject, zov::sim::CreateNamespaceParser, nullptr, 0, nullptr},
    {&zov::sim::CLSID_VirtualDomain, zov::sim::kRegistryScriptId,
     zov::sim::CreateParsingClassObject, zov::sim::CreateDomainParser, nullptr, 0, nullptr},
    {&zov::sim::CLSID_VirtualVariables, zov::sim::kRegistryScriptId,
     zov::sim::CreateParsingClassObject, zov::sim::CreateVariablesParser, nullptr, 0, nullptr},
    {nullptr, 0, nullptr, nullptr, nullptr, 0, nullptr},
};

}  // namespace

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID reserved) {
  if (reason == DLL_PROCESS_ATTACH) {
    zov::com::Module().Init(g_objectMap, instance, nullptr);
  } else if (reason == DLL_PROCESS_DETACH) {
    // At process end (reserved non-null) the server holding the cancel target may already be
    // gone: its reference is abandoned rather than released.
    zov::sim::DropCancelTarget(reserved == nullptr);
    zov::com::Module().Term();
  }
  return TRUE;
}

STDAPI DllGetClassObject(REFCLSID rclsid, REFIID riid, LPVOID* ppv) {
  return zov::com::Module().GetClassObject(rclsid, riid, ppv);
}

STDAPI DllCanUnloadNow(void) { return zov::com::Module().CanUnloadNow(); }

STDAPI DllRegisterServer(void) {
  return zov::sim::UpdateRegistration(zov::com::Module().Instance(), true);
}

STDAPI DllUnregisterServer(void) {
  return zov::sim::UpdateRegistration(zov::com::Module().Instance(), false);
}
