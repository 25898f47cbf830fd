// ZOVServer.dll as the tests reach it: loaded (natively first copied into the scratch machine,
// under Wine beside the test executables) and registered, so that it can be created by ProgID.
#pragma once

#include "apartment_scope.h"
#include "zov/win32.h"

namespace zov::test {

inline constexpr char kServerProgId[] = "ZOVServer.CZOVServer.1";

// The module, loaded once per test process and registered; null when that failed.
HMODULE ServerModule();

// The module's exports.
HRESULT ServerCanUnloadNow();
HRESULT ServerGetClassObject(REFCLSID clsid, REFIID riid, void** ppv);

}  // namespace zov::test
