#include "register_commands.h"

#include <cstdio>
#include <string>
#include <vector>

#include "com_apartment.h"
#include "command_line.h"
#include "win32_errors.h"
#include "zov/win32.h"

namespace zovctl {
namespace {

using RegistrationEntry = HRESULT(STDAPICALLTYPE*)();

// The self-registration failures servers report; Windows declares them in olectl.h, which
// zov/win32.h does not include.
constexpr HRESULT kClassRegistrationFailed = static_cast<HRESULT>(0x80040201);
constexpr HRESULT kTypeLibRegistrationFailed = static_cast<HRESULT>(0x80040200);

// Why a module could not be loaded, in the loader's terms.
std::string DescribeLoadError(DWORD error) {
  switch (error) {
    case ERROR_MOD_NOT_FOUND: return "module not found, or a library it needs is missing";
    case ERROR_BAD_EXE_FORMAT: return "not a module for this machine";
    case ERROR_PROC_NOT_FOUND: return "a function the module imports is missing";
    case ERROR_DLL_INIT_FAILED: return "the module's initialisation failed";
    default: return DescribeError(error);
  }
}

// An HRESULT as its code and, where known, what it means.
std::string DescribeResult(HRESULT hr) {
  char code[16];
  std::snprintf(code, sizeof code, "0x%08lX", static_cast<unsigned long>(static_cast<DWORD>(hr)));
  std::string text = code;
  if (hr == E_OUTOFMEMORY) return text + " (out of memory)";
  if (hr == kClassRegistrationFailed) return text + " (the classes could not be registered)";
  if (hr == kTypeLibRegistrationFailed) return text + " (the type library could not be registered)";
  if (hr == DISP_E_EXCEPTION) return text + " (the module's registry script is malformed)";
  if (hr == HRESULT_FROM_WIN32(ERROR_BADDB)) return text + " (the registry cannot be read)";
  if (HRESULT_FACILITY(hr) == FACILITY_WIN32)
    return text + " (" + DescribeError(static_cast<DWORD>(HRESULT_CODE(hr))) + ")";
  return text;
}

// The module, loaded for the length of the command.
class LoadedModule {
 public:
  explicit LoadedModule(const std::string& path) : module_(LoadLibraryA(path.c_str())) {}
  ~LoadedModule() {
    if (module_) FreeLibrary(module_);
  }
  LoadedModule(const LoadedModule&) = delete;
  LoadedModule& operator=(const LoadedModule&) = delete;
  HMODULE get() const { return module_; }

 private:
  HMODULE module_;
};

}  // namespace

int RunRegisterCommand(bool doRegister, const std::vector<std::string>& words) {
  const char* command = doRegister ? "register" : "unregister";
  if (words.size() != 1)
    throw UsageError{std::string(command) + " takes one argument, the module's Windows path"};
  const std::string& path = words[0];
  const char* entryName = doRegister ? "DllRegisterServer" : "DllUnregisterServer";

  ComApartment apartment;  // COM initialised while the registration runs, as regsvr32 does
  LoadedModule module(path);
  if (!module.get()) {
    std::fprintf(stderr, "zovctl: %s: cannot load: %s\n", path.c_str(),
                 DescribeLoadError(GetLastError()).c_str());
    return 1;
  }
  auto entry = reinterpret_cast<RegistrationEntry>(
      reinterpret_cast<void*>(GetProcAddress(module.get(), entryName)));
  if (!entry) {
    std::fprintf(stderr, "zovctl: %s: the module has no %s; it is no self-registering server\n",
                 path.c_str(), entryName);
    return 1;
  }
  HRESULT hr = entry();
  if (FAILED(hr)) {
    std::fprintf(stderr, "zovctl: %s: %s failed: %s\n", path.c_str(), entryName,
                 DescribeResult(hr).c_str());
    return 1;
  }
  std::printf("%s %s\n", doRegister ? "registered" : "unregistered", path.c_str());
  return 0;
}

}  // namespace zovctl
