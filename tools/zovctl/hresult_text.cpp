#include "hresult_text.h"

#include <cstdio>

#include "win32_errors.h"
#include "zov/win32.h"

namespace zovctl {
namespace {

// The self-registration failures servers report; Windows declares them in olectl.h, which
// zov/win32.h does not include.
constexpr HRESULT kClassRegistrationFailed = static_cast<HRESULT>(0x80040201);
constexpr HRESULT kTypeLibRegistrationFailed = static_cast<HRESULT>(0x80040200);

// What the codes mean that creating an in-process object or registering a module gives.
const char* Meaning(HRESULT hr) {
  switch (hr) {
    case CO_E_CLASSSTRING: return "the ProgID is not registered";
    case REGDB_E_CLASSNOTREG: return "the class is not registered";
    case E_NOINTERFACE: return "the object does not have the interface asked for";
    case E_OUTOFMEMORY: return "out of memory";
    case CO_E_DLLNOTFOUND: return "the module is not found";
    case CO_E_ERRORINDLL: return "the module cannot be loaded";
    case CLASS_E_CLASSNOTAVAILABLE: return "the module does not offer the class";
    case kClassRegistrationFailed: return "the classes could not be registered";
    case kTypeLibRegistrationFailed: return "the type library could not be registered";
    case DISP_E_EXCEPTION: return "the module's registry script is malformed";
    default: break;
  }
  if (hr == HRESULT_FROM_WIN32(ERROR_MOD_NOT_FOUND)) return "the module or one it needs is not found";
  if (hr == HRESULT_FROM_WIN32(ERROR_PROC_NOT_FOUND)) return "the module lacks an export";
  if (hr == HRESULT_FROM_WIN32(ERROR_BAD_EXE_FORMAT)) return "the module is not one this program can load";
  if (hr == HRESULT_FROM_WIN32(ERROR_BADDB)) return "the registry cannot be read";
  return nullptr;
}

}  // namespace

std::string HresultCode(int32_t hr) {
  char buf[16];
  std::snprintf(buf, sizeof buf, "0x%08lX", static_cast<unsigned long>(static_cast<uint32_t>(hr)));
  return buf;
}

std::string DescribeHresult(int32_t hr) {
  std::string text = "HRESULT " + HresultCode(hr);
  if (const char* meaning = Meaning(hr)) return text + " (" + meaning + ")";
  if (HRESULT_FACILITY(hr) == FACILITY_WIN32)  // a Win32 error code carried as an HRESULT
    return text + " (" + DescribeError(static_cast<DWORD>(HRESULT_CODE(hr))) + ")";
  return text;
}

}  // namespace zovctl
