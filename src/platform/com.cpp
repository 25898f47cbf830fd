// The COM runtime for in-process servers: per-thread initialisation, task memory, ProgID lookup
// and activation through HKEY_CLASSES_ROOT\CLSID\{clsid}\InprocServer32.
#include "zov/platform/com.h"

#include <cstdlib>
#include <cstring>
#include <mutex>
#include <new>
#include <set>
#include <string>

#include "zov/platform/errors.h"
#include "zov/platform/guid.h"
#include "zov/platform/module.h"
#include "zov/platform/registry.h"
#include "zov/platform/text.h"

namespace {

using OleString = std::u16string;

// One apartment per thread; its model is fixed by the first successful initialisation.
struct ThreadApartment {
  ULONG count = 0;
  DWORD model = 0;
};
thread_local ThreadApartment t_apartment;

DWORD ModelOf(DWORD coInit) { return coInit & COINIT_APARTMENTTHREADED; }

// The modules COM has loaded, each with the one reference COM holds; they stay loaded for the
// life of the process.
std::mutex g_modulesMutex;
std::set<HMODULE>& LoadedModules() {
  static std::set<HMODULE>* modules = new std::set<HMODULE>();
  return *modules;
}

// The text value (REG_SZ or REG_EXPAND_SZ) named valueName (null: the default value) of
// HKEY_CLASSES_ROOT\<path>. Returns ERROR_SUCCESS, ERROR_FILE_NOT_FOUND for a missing key or
// value, ERROR_BADKEY for a value that is not text.
LONG ReadClassesString(const OleString& path, const char16_t* valueName, OleString* value,
                       DWORD* type = nullptr) {
  HKEY key;
  LONG rc = RegOpenKeyExW(HKEY_CLASSES_ROOT, path.c_str(), 0, KEY_QUERY_VALUE, &key);
  if (rc != ERROR_SUCCESS) return rc;
  DWORD valueType = 0;
  DWORD size = 0;
  rc = RegQueryValueExW(key, valueName, nullptr, &valueType, nullptr, &size);
  if (rc == ERROR_SUCCESS && valueType != REG_SZ && valueType != REG_EXPAND_SZ)
    rc = ERROR_BADKEY;
  if (rc == ERROR_SUCCESS) {
    OleString buffer(size / sizeof(char16_t) + 1, u'\0');
    size = static_cast<DWORD>(buffer.size() * sizeof(char16_t));
    rc = RegQueryValueExW(key, valueName, nullptr, &valueType,
                          reinterpret_cast<LPBYTE>(&buffer[0]), &size);
    if (rc == ERROR_SUCCESS) {
      buffer.resize(size / sizeof(char16_t));
      while (!buffer.empty() && buffer.back() == u'\0') buffer.pop_back();
      *value = buffer;
      if (type) *type = valueType;
    }
  }
  RegCloseKey(key);
  return rc;
}

OleString GuidKeyName(REFGUID guid) {
  OLECHAR text[39];
  if (StringFromGUID2(guid, text, 39) == 0) return OleString();
  return OleString(text);
}

// The CLSID that HKEY_CLASSES_ROOT\<progId>\CLSID names.
bool ClsidOfProgId(const OleString& progId, CLSID* clsid) {
  OleString text;
  if (ReadClassesString(progId + u"\\CLSID", nullptr, &text) != ERROR_SUCCESS) return false;
  return SUCCEEDED(CLSIDFromString(text.c_str(), clsid));
}

HRESULT LookUpProgId(LPCOLESTR lpszProgID, LPCLSID lpclsid) {
  const OleString progId(lpszProgID);
  // A ProgID is one key name: no path separators, not empty.
  if (progId.empty() || progId.find(u'\\') != OleString::npos) return CO_E_CLASSSTRING;
  if (ClsidOfProgId(progId, lpclsid)) return S_OK;
  // A version-independent ProgID without a CLSID of its own names its current version.
  OleString current;
  if (ReadClassesString(progId + u"\\CurVer", nullptr, &current) == ERROR_SUCCESS &&
      !current.empty() && current.find(u'\\') == OleString::npos &&
      ClsidOfProgId(current, lpclsid))
    return S_OK;
  return CO_E_CLASSSTRING;
}

HRESULT CopyToTaskMem(const OleString& text, LPOLESTR* out) {
  auto* copy = static_cast<LPOLESTR>(CoTaskMemAlloc((text.size() + 1) * sizeof(OLECHAR)));
  if (!copy) return E_OUTOFMEMORY;
  std::memcpy(copy, text.c_str(), (text.size() + 1) * sizeof(OLECHAR));
  *out = copy;
  return S_OK;
}

typedef HRESULT(STDAPICALLTYPE* DllGetClassObjectFn)(REFCLSID, REFIID, LPVOID*);

// Loads the module (once for COM) and finds its DllGetClassObject.
HRESULT ClassObjectEntry(const std::string& modulePath, DllGetClassObjectFn* entry) {
  std::lock_guard<std::mutex> lock(g_modulesMutex);
  SetLastError(ERROR_SUCCESS);
  HMODULE module = LoadLibraryA(modulePath.c_str());
  if (!module) {
    // The loader's own reason, as Windows passes it on (ERROR_MOD_NOT_FOUND: 0x8007007E).
    DWORD error = GetLastError();
    return error != ERROR_SUCCESS ? HRESULT_FROM_WIN32(error) : CO_E_DLLNOTFOUND;
  }
  bool known = LoadedModules().count(module) != 0;
  if (known) {
    FreeLibrary(module);  // COM keeps one reference only
  } else {
    LoadedModules().insert(module);
  }
  FARPROC proc = GetProcAddress(module, "DllGetClassObject");
  if (!proc) {
    if (!known) {
      LoadedModules().erase(module);
      FreeLibrary(module);
    }
    return CO_E_ERRORINDLL;
  }
  *entry = reinterpret_cast<DllGetClassObjectFn>(reinterpret_cast<void*>(proc));
  return S_OK;
}

HRESULT GetInprocClassObject(REFCLSID rclsid, REFIID riid, LPVOID* ppv) {
  const OleString clsidKey = GuidKeyName(rclsid);
  if (clsidKey.empty()) return E_UNEXPECTED;
  OleString serverPath;
  DWORD type = REG_SZ;
  if (ReadClassesString(u"CLSID\\" + clsidKey + u"\\InprocServer32", nullptr, &serverPath,
                        &type) != ERROR_SUCCESS ||
      serverPath.empty())
    return REGDB_E_CLASSNOTREG;
  // Environment references would need expanding, which the layer does not do.
  if (type == REG_EXPAND_SZ && serverPath.find(u'%') != OleString::npos) return CO_E_DLLNOTFOUND;

  int size = WideCharToMultiByte(CP_ACP, 0, serverPath.c_str(), -1, nullptr, 0, nullptr, nullptr);
  if (size <= 0) return CO_E_DLLNOTFOUND;
  std::string path(static_cast<size_t>(size), '\0');
  if (WideCharToMultiByte(CP_ACP, 0, serverPath.c_str(), -1, &path[0], size, nullptr, nullptr) !=
      size)
    return CO_E_DLLNOTFOUND;
  path.resize(static_cast<size_t>(size - 1));

  DllGetClassObjectFn entry = nullptr;
  HRESULT hr = ClassObjectEntry(path, &entry);
  if (FAILED(hr)) return hr;
  return entry(rclsid, riid, ppv);
}

}  // namespace

extern "C" {

HRESULT WINAPI CoInitializeEx(LPVOID, DWORD dwCoInit) {
  ThreadApartment& apartment = t_apartment;
  if (apartment.count == 0) {
    apartment.model = ModelOf(dwCoInit);
    apartment.count = 1;
    return S_OK;
  }
  if (apartment.model != ModelOf(dwCoInit)) return RPC_E_CHANGED_MODE;
  ++apartment.count;
  return S_FALSE;
}

HRESULT WINAPI CoInitialize(LPVOID pvReserved) {
  return CoInitializeEx(pvReserved, COINIT_APARTMENTTHREADED);
}

void WINAPI CoUninitialize(void) {
  if (t_apartment.count > 0) --t_apartment.count;
}

LPVOID WINAPI CoTaskMemAlloc(SIZE_T cb) { return std::malloc(cb ? cb : 1); }

LPVOID WINAPI CoTaskMemRealloc(LPVOID pv, SIZE_T cb) {
  if (!pv) return CoTaskMemAlloc(cb);
  if (cb == 0) {
    std::free(pv);
    return nullptr;
  }
  return std::realloc(pv, cb);
}

void WINAPI CoTaskMemFree(LPVOID pv) { std::free(pv); }

HRESULT WINAPI CLSIDFromProgID(LPCOLESTR lpszProgID, LPCLSID lpclsid) {
  if (!lpszProgID || !lpclsid) return E_INVALIDARG;
  HRESULT hr;
  try {
    hr = LookUpProgId(lpszProgID, lpclsid);
  } catch (const std::bad_alloc&) {
    hr = E_OUTOFMEMORY;
  }
  if (FAILED(hr)) *lpclsid = GUID_NULL;
  return hr;
}

HRESULT WINAPI ProgIDFromCLSID(REFCLSID clsid, LPOLESTR* lplpszProgID) {
  if (!lplpszProgID) return E_INVALIDARG;
  *lplpszProgID = nullptr;
  try {
    OleString progId;
    if (ReadClassesString(u"CLSID\\" + GuidKeyName(clsid) + u"\\ProgID", nullptr, &progId) !=
        ERROR_SUCCESS)
      return REGDB_E_CLASSNOTREG;
    return CopyToTaskMem(progId, lplpszProgID);
  } catch (const std::bad_alloc&) {
    return E_OUTOFMEMORY;
  }
}

HRESULT WINAPI CoGetClassObject(REFCLSID rclsid, DWORD dwClsContext, COSERVERINFO* pServerInfo,
                                REFIID riid, LPVOID* ppv) {
  if (!ppv) return E_INVALIDARG;
  *ppv = nullptr;
  if (t_apartment.count == 0) return CO_E_NOTINITIALIZED;
  if (pServerInfo) return E_INVALIDARG;
  if (!(dwClsContext & CLSCTX_INPROC_SERVER)) return REGDB_E_CLASSNOTREG;
  try {
    return GetInprocClassObject(rclsid, riid, ppv);
  } catch (const std::bad_alloc&) {
    return E_OUTOFMEMORY;
  }
}

HRESULT WINAPI CoCreateInstance(REFCLSID rclsid, LPUNKNOWN pUnkOuter, DWORD dwClsContext,
                                REFIID riid, LPVOID* ppv) {
  if (!ppv) return E_POINTER;
  *ppv = nullptr;
  IClassFactory* factory = nullptr;
  HRESULT hr = CoGetClassObject(rclsid, dwClsContext, nullptr, IID_IClassFactory,
                                reinterpret_cast<void**>(&factory));
  if (FAILED(hr)) return hr;
  hr = factory->CreateInstance(pUnkOuter, riid, ppv);
  factory->Release();
  if (FAILED(hr)) *ppv = nullptr;
  return hr;
}

}  // extern "C"
