#include "module_registration.h"

#include <string>

namespace zov::sim {
namespace {

// SELFREG_E_CLASS (olectl.h).
constexpr HRESULT kRegistrationFailed = static_cast<HRESULT>(0x80040201);

struct ClassKeys {
  const char* clsid;
  const char* description;
  const char* progId;
  const char* independentProgId;  // null when the class has none
};

const ClassKeys kClasses[] = {
    {"{8125BC58-12A0-4AB4-9028-EE814E05E07E}", "Virtual controller: directory namespace TESK",
     "TESK", nullptr},
    {"{72114E5A-61EC-4BF2-82EB-35C4F06D74E1}", "Virtual controller: NC file stream",
     "KalTeskDomain.TeskDomain.1", "KalTeskDomain.TeskDomain"},
    {"{00C9E596-3885-4478-B878-FF58B9F8161D}", "Virtual controller: NC variables", "TeskVar.Var2",
     nullptr},
};

bool SetString(const std::string& key, const char* name, const std::string& value) {
  HKEY h;
  if (RegCreateKeyExA(HKEY_CLASSES_ROOT, key.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                      KEY_WRITE, nullptr, &h, nullptr) != ERROR_SUCCESS)
    return false;
  LONG rc = RegSetValueExA(h, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                           static_cast<DWORD>(value.size() + 1));
  RegCloseKey(h);
  return rc == ERROR_SUCCESS;
}

// Deletes a key with everything below it; a missing key is no error.
LONG DeleteTree(HKEY parent, const std::string& name) {
  HKEY key;
  LONG rc = RegOpenKeyExA(parent, name.c_str(), 0, KEY_ALL_ACCESS, &key);
  if (rc == ERROR_FILE_NOT_FOUND) return ERROR_SUCCESS;
  if (rc != ERROR_SUCCESS) return rc;
  for (;;) {
    char sub[256];
    DWORD length = sizeof sub;
    rc = RegEnumKeyExA(key, 0, sub, &length, nullptr, nullptr, nullptr, nullptr);
    if (rc != ERROR_SUCCESS) break;
    rc = DeleteTree(key, sub);
    if (rc != ERROR_SUCCESS) break;
  }
  RegCloseKey(key);
  if (rc != ERROR_SUCCESS && rc != ERROR_NO_MORE_ITEMS) return rc;
  return RegDeleteKeyA(parent, name.c_str());
}

HRESULT Register(HINSTANCE module) {
  char path[MAX_PATH];
  DWORD length = GetModuleFileNameA(module, path, MAX_PATH);
  if (length == 0 || length >= MAX_PATH) return kRegistrationFailed;
  const std::string modulePath(path, length);
  for (const ClassKeys& c : kClasses) {
    const std::string clsidKey = std::string("CLSID\\") + c.clsid;
    bool ok = SetString(clsidKey, nullptr, c.description) &&
              SetString(clsidKey + "\\ProgID", nullptr, c.progId) &&
              SetString(clsidKey + "\\InprocServer32", nullptr, modulePath) &&
              SetString(clsidKey + "\\InprocServer32", "ThreadingModel", "Apartment") &&
              SetString(c.progId, nullptr, c.description) &&
              SetString(std::string(c.progId) + "\\CLSID", nullptr, c.clsid);
    if (ok && c.independentProgId) {
      ok = SetString(clsidKey + "\\VersionIndependentProgID", nullptr, c.independentProgId) &&
           SetString(c.independentProgId, nullptr, c.description) &&
           SetString(std::string(c.independentProgId) + "\\CLSID", nullptr, c.clsid) &&
           SetString(std::string(c.independentProgId) + "\\CurVer", nullptr, c.progId);
    }
    if (!ok) return kRegistrationFailed;
  }
  return S_OK;
}

HRESULT Unregister() {
  HRESULT result = S_OK;
  for (const ClassKeys& c : kClasses) {
    LONG rc = DeleteTree(HKEY_CLASSES_ROOT, std::string("CLSID\\") + c.clsid);
    if (rc == ERROR_SUCCESS) rc = DeleteTree(HKEY_CLASSES_ROOT, c.progId);
    if (rc == ERROR_SUCCESS && c.independentProgId)
      rc = DeleteTree(HKEY_CLASSES_ROOT, c.independentProgId);
    if (rc != ERROR_SUCCESS && result == S_OK) result = kRegistrationFailed;
  }
  return result;
}

}  // namespace

HRESULT UpdateRegistration(HINSTANCE module, bool doRegister) {
  try {
    return doRegister ? Register(module) : Unregister();
  } catch (...) {
    return E_OUTOFMEMORY;
  }
}

}  // namespace zov::sim
