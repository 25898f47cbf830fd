#include "self_check.h"

#include <cstdio>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "hresult_text.h"
#include "zov/unique_bstr.h"
#include "zov/unique_safearray.h"
#include "zov/unique_variant.h"
#include "zov/win32.h"

namespace zovctl {
namespace {

struct Check {
  const char* what;
  std::function<std::string()> run;  // empty on success, else what went wrong
};

std::string Text(const char* what, HRESULT hr) { return what + std::string(": ") + DescribeHresult(hr); }

std::string CheckBstr() {
  zov::unique_bstr s(SysAllocString(OLESTR("SELECT")));
  if (!s.get()) return "SysAllocString failed";
  if (SysStringLen(s.get()) != 6 || SysStringByteLen(s.get()) != 12) return "wrong length";
  return {};
}

std::string CheckAnsi() {
  const char ansi[] = "M\xdc" "LLER_\xe9";  // MÜLLER_é in Windows-1252
  WCHAR wide[16] = {};
  int n = MultiByteToWideChar(CP_ACP, 0, ansi, -1, wide, 16);
  if (n != 9 || wide[1] != 0x00DC || wide[7] != 0x00E9) return "ANSI to UTF-16 gave the wrong characters";
  char back[16] = {};
  if (WideCharToMultiByte(CP_ACP, 0, wide, -1, back, 16, nullptr, nullptr) != 9 || std::strcmp(back, ansi) != 0)
    return "UTF-16 to ANSI did not round-trip";
  char upper[] = "m\xfcller";
  CharUpperA(upper);
  if (std::strcmp(upper, "M\xdcLLER") != 0) return "CharUpperA did not upper-case \xfc";
  return {};
}

std::string CheckVariant() {
  zov::unique_variant source;
  source.get()->vt = VT_BSTR;
  source.get()->bstrVal = SysAllocString(OLESTR(" 12 "));
  zov::unique_variant target;
  HRESULT hr = VariantChangeType(target.get(), source.get(), 0, VT_I2);
  if (FAILED(hr)) return Text("VariantChangeType(\" 12 \", VT_I2)", hr);
  if (target.get()->vt != VT_I2 || target.get()->iVal != 12) return "\" 12 \" did not become the short 12";
  return {};
}

std::string CheckSafeArray() {
  zov::unique_safearray array(SafeArrayCreateVector(VT_BSTR, 0, 3));
  if (!array.get()) return "SafeArrayCreateVector failed";
  LONG index = 2;
  zov::unique_bstr value(SysAllocString(OLESTR("/NC/WKS.DIR")));
  HRESULT hr = SafeArrayPutElement(array.get(), &index, value.get());
  if (FAILED(hr)) return Text("SafeArrayPutElement", hr);
  zov::unique_bstr out;
  hr = SafeArrayGetElement(array.get(), &index, out.put());
  if (FAILED(hr)) return Text("SafeArrayGetElement", hr);
  if (SysStringLen(out.get()) != 11) return "the element did not come back";
  return {};
}

std::string CheckProfile() {
  char temp[MAX_PATH];
  DWORD n = GetTempPathA(MAX_PATH, temp);
  if (n == 0 || n >= MAX_PATH) return "no temporary folder";
  std::string file = std::string(temp) + "zovctl-self-check.ini";
  if (!WritePrivateProfileStringA("Program", "TempDir", "D:\\TEMP\\", file.c_str()))
    return "cannot write " + file;
  char value[32] = {};
  DWORD got = GetPrivateProfileStringA("PROGRAM", "tempdir", "", value, sizeof value, file.c_str());
  UINT number = GetPrivateProfileIntA("Program", "Missing", 7, file.c_str());
  DeleteFileA(file.c_str());
  if (got != 8 || std::strcmp(value, "D:\\TEMP\\") != 0) return "the value did not read back";
  if (number != 7) return "the default of a missing key was not returned";
  return {};
}

std::string CheckRegistry() {
  const char* key = "ZOVServer.SelfCheck";
  HKEY h = nullptr;
  LONG rc = RegCreateKeyExA(HKEY_CLASSES_ROOT, key, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &h, nullptr);
  if (rc != ERROR_SUCCESS) return "cannot create a key below HKEY_CLASSES_ROOT (error " + std::to_string(rc) + ")";
  const char text[] = "self-check";
  rc = RegSetValueExA(h, nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(text), sizeof text);
  char back[32] = {};
  DWORD size = sizeof back;
  DWORD type = 0;
  LONG rq = RegQueryValueExA(h, nullptr, nullptr, &type, reinterpret_cast<BYTE*>(back), &size);
  RegCloseKey(h);
  RegDeleteKeyA(HKEY_CLASSES_ROOT, key);
  if (rc != ERROR_SUCCESS || rq != ERROR_SUCCESS || type != REG_SZ || std::strcmp(back, text) != 0)
    return "a value did not read back";
  return {};
}

std::string CheckCom() {
  HRESULT hr = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
  if (FAILED(hr)) return Text("CoInitializeEx", hr);
  // A class nobody registered: activation must say so, not crash or invent an object.
  const CLSID unknown = {0x5a4f5653, 0x0000, 0x4000, {0x80, 0, 0, 0, 0, 0, 0, 0x01}};
  IUnknown* object = nullptr;
  HRESULT create = CoCreateInstance(unknown, nullptr, CLSCTX_INPROC_SERVER, IID_IUnknown,
                                    reinterpret_cast<void**>(&object));
  CLSID clsid;
  HRESULT progid = CLSIDFromProgID(OLESTR("ZOVServer.SelfCheck.NoSuchClass"), &clsid);
  CoUninitialize();
  if (create != REGDB_E_CLASSNOTREG || object) return Text("activating an unregistered class gave", create);
  if (progid != CO_E_CLASSSTRING) return Text("an unknown ProgID gave", progid);
  return {};
}

}  // namespace

int RunSelfCheck() {
#if !defined(_WIN32)
  const char* machine = ZovGetMachineFolder();
  if (!machine || !*machine) {
    std::fprintf(stderr, "zovctl: no machine folder (set ZOV_MACHINE or pass --machine DIR)\n");
    return 1;
  }
  std::printf("machine folder: %s\n", machine);
#else
  std::printf("machine: this Windows installation\n");
#endif
  const std::vector<Check> checks = {
      {"BSTR allocation and length", CheckBstr},
      {"ANSI code page 1252 and upper case", CheckAnsi},
      {"VARIANT coercion", CheckVariant},
      {"SAFEARRAY of BSTR", CheckSafeArray},
      {"profile file write and read", CheckProfile},
      {"registry key below HKEY_CLASSES_ROOT", CheckRegistry},
      {"COM apartment and activation errors", CheckCom},
  };
  int failed = 0;
  for (const auto& check : checks) {
    std::string problem = check.run();
    if (problem.empty()) {
      std::printf("ok    %s\n", check.what);
    } else {
      std::printf("FAIL  %s: %s\n", check.what, problem.c_str());
      ++failed;
    }
  }
  std::printf("self-check: %d passed, %d failed\n", static_cast<int>(checks.size()) - failed, failed);
  return failed == 0 ? 0 : 1;
}

}  // namespace zovctl
