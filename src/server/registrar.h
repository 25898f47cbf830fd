// Registration of a COM module from its own resources: the registry script it carries as resource
// type "REGISTRY" and, on Windows, the type library it carries as resource "TYPELIB" 1. A module's
// DllRegisterServer and DllUnregisterServer call these two, the same on every platform.
#pragma once

#include "zov/win32.h"

namespace zov::registration {

// Loads the module's REGISTRY resource resourceId, replaces %MODULE% with the module's full path
// (GetModuleFileNameA of the module) and registers or unregisters the script (registry_script.h).
// Failures: HRESULT_FROM_WIN32 of the resource lookup's error (ERROR_RESOURCE_TYPE_NOT_FOUND,
// ERROR_RESOURCE_NAME_NOT_FOUND, ...) or of the module path's; DISP_E_EXCEPTION for a malformed
// script, which then touches nothing; the first registry error otherwise; E_OUTOFMEMORY.
HRESULT UpdateRegistryFromResource(HINSTANCE module, UINT resourceId, bool doRegister);

// Windows: loads the type library from the module's own file (LoadTypeLibEx with REGKIND_NONE,
// which reads resource TYPELIB 1) and registers it with RegisterTypeLib, or unregisters it with
// UnRegisterTypeLib. Unregistering a library that is not registered is S_OK: it is checked first
// with QueryPathOfRegTypeLib (Wine's UnRegisterTypeLib fails with E_INVALIDARG there, and a second
// unregistration must not fail). Failures of those calls are returned unchanged.
//
// POSIX: returns S_OK and does nothing. There is no type library here (widl's type libraries are
// Windows files, and the layer has no LoadTypeLib), so the keys RegisterTypeLib would write
// (TypeLib\{LIBID}\1.0\0\win32 naming the module as a type library) would promise a library that
// nothing can load; a reader is better served by finding none. The class's own "TypeLib" value,
// which its registry script writes, is there on both platforms.
HRESULT RegisterTypeLibrary(HINSTANCE module, bool doRegister);

}  // namespace zov::registration
