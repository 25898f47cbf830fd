#include "registrar.h"

#include <new>
#include <string>
#include <vector>

#include "registry_script.h"
#include "zov/com_ptr.h"
#include "zov/unique_bstr.h"

namespace zov::registration {
namespace {

// The thread's last error as an HRESULT; E_FAIL when a failing call left none.
HRESULT LastErrorResult() {
  DWORD error = GetLastError();
  return error == ERROR_SUCCESS ? E_FAIL : HRESULT_FROM_WIN32(error);
}

// The longest path Windows' wide-character paths allow.
constexpr DWORD kMaxModulePath = 32768;

// The module's full path; the buffer grows until the path is not cut.
HRESULT ModulePath(HINSTANCE module, std::string* path) {
  std::vector<char> buffer(MAX_PATH);
  for (;;) {
    DWORD n = GetModuleFileNameA(module, buffer.data(), static_cast<DWORD>(buffer.size()));
    if (n == 0) return LastErrorResult();
    if (n < buffer.size()) {
      path->assign(buffer.data(), n);
      return S_OK;
    }
    if (buffer.size() >= kMaxModulePath) return HRESULT_FROM_WIN32(ERROR_FILENAME_EXCED_RANGE);
    buffer.resize(buffer.size() * 2);
  }
}

}  // namespace

HRESULT UpdateRegistryFromResource(HINSTANCE module, UINT resourceId, bool doRegister) {
  try {
    std::string path;
    HRESULT hr = ModulePath(module, &path);
    if (FAILED(hr)) return hr;
    HRSRC found = FindResourceA(module, MAKEINTRESOURCEA(resourceId), "REGISTRY");
    if (!found) return LastErrorResult();
    HGLOBAL loaded = LoadResource(module, found);
    if (!loaded) return LastErrorResult();
    const void* data = LockResource(loaded);
    DWORD size = SizeofResource(module, found);
    if (!data) return LastErrorResult();
    std::string script(static_cast<const char*>(data), size);
    return ApplyRegistryScript(script, {{"MODULE", path}}, doRegister);
  } catch (const std::bad_alloc&) {
    return E_OUTOFMEMORY;
  } catch (...) {
    return E_UNEXPECTED;
  }
}

#if defined(_WIN32)

HRESULT RegisterTypeLibrary(HINSTANCE module, bool doRegister) {
  try {
    std::vector<WCHAR> path(MAX_PATH);
    for (;;) {
      DWORD n = GetModuleFileNameW(module, path.data(), static_cast<DWORD>(path.size()));
      if (n == 0) return LastErrorResult();
      if (n < path.size()) break;
      if (path.size() >= kMaxModulePath) return HRESULT_FROM_WIN32(ERROR_FILENAME_EXCED_RANGE);
      path.resize(path.size() * 2);
    }
    com_ptr<ITypeLib> library;
    HRESULT hr = LoadTypeLibEx(path.data(), REGKIND_NONE, library.put());
    if (FAILED(hr)) return hr;
    if (doRegister) return RegisterTypeLib(library.get(), path.data(), nullptr);

    TLIBATTR* attributes = nullptr;
    hr = library->GetLibAttr(&attributes);
    if (FAILED(hr)) return hr;
    const TLIBATTR held = *attributes;
    library->ReleaseTLibAttr(attributes);
    unique_bstr registeredPath;
    if (FAILED(QueryPathOfRegTypeLib(held.guid, held.wMajorVerNum, held.wMinorVerNum, held.lcid,
                                     registeredPath.put())))
      return S_OK;  // not registered: nothing to remove
    return UnRegisterTypeLib(held.guid, held.wMajorVerNum, held.wMinorVerNum, held.lcid,
                             held.syskind);
  } catch (const std::bad_alloc&) {
    return E_OUTOFMEMORY;
  } catch (...) {
    return E_UNEXPECTED;
  }
}

#else

HRESULT RegisterTypeLibrary(HINSTANCE module, bool doRegister) {
  (void)module;
  (void)doRegister;
  return S_OK;
}

#endif

}  // namespace zov::registration
