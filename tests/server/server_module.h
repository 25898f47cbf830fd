// ZOVServer.dll as the tests reach it: loaded (natively first copied into the scratch machine,
// under Wine beside the test executables) and registered, so that it can be created by ProgID.
#pragma once

#include <string>

#include "zov/win32.h"

namespace zov::test {

inline constexpr char kServerProgId[] = "ZOVServer.CZOVServer.1";

// The module, loaded once per test process and registered; null when that failed.
HMODULE ServerModule();
// The Windows path under which it is loaded and registered.
std::string ServerModulePath();

// The module's exports.
HRESULT ServerCanUnloadNow();
HRESULT ServerGetClassObject(REFCLSID clsid, REFIID riid, void** ppv);

// COM initialised as a single-threaded apartment for one scope.
class ApartmentScope {
 public:
  ApartmentScope() : hr_(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)) {}
  ~ApartmentScope() {
    if (SUCCEEDED(hr_)) CoUninitialize();
  }
  ApartmentScope(const ApartmentScope&) = delete;
  ApartmentScope& operator=(const ApartmentScope&) = delete;
  HRESULT result() const { return hr_; }

 private:
  HRESULT hr_;
};

}  // namespace zov::test
