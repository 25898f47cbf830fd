// zovregtest.dll: a module that registers itself from its own resources as the project's COM
// modules do (REGISTRY 101 with its registry script, TYPELIB 1 on Windows), with a malformed
// script as REGISTRY 102 and a few string table entries for the resource tests.
#include "registrar.h"

namespace {
HMODULE g_module = nullptr;
}

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
  if (reason == DLL_PROCESS_ATTACH) g_module = instance;
  return TRUE;
}

STDAPI DllRegisterServer() {
  HRESULT hr = zov::registration::UpdateRegistryFromResource(g_module, 101, true);
  if (FAILED(hr)) return hr;
  return zov::registration::RegisterTypeLibrary(g_module, true);
}

STDAPI DllUnregisterServer() {
  HRESULT hr = zov::registration::UpdateRegistryFromResource(g_module, 101, false);
  HRESULT library = zov::registration::RegisterTypeLibrary(g_module, false);
  return FAILED(hr) ? hr : library;
}
