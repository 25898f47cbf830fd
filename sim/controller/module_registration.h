// Registration of VirtualController.dll: the keys its registry script virtual_controller.rgs
// describes (three classes, their ProgIDs, InprocServer32 with the module's path and the threading
// model "Apartment").
#pragma once

#include "zov/win32.h"

namespace zov::sim {

// The resource id of the registry script.
constexpr UINT kRegistryScriptId = 101;

// Writes (doRegister) or removes the module's keys. Registering stops at the first failure;
// unregistering removes what it can and reports the first failure. Keys of other modules are
// not touched.
HRESULT UpdateRegistration(HINSTANCE module, bool doRegister);

}  // namespace zov::sim
