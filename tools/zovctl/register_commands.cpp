#include "register_commands.h"

#include <cstdio>
#include <string>
#include <vector>

#include "com_apartment.h"
#include "command_line.h"
#include "hresult_text.h"
#include "win32_errors.h"
#include "zov/win32.h"

namespace zovctl {
namespace {

using RegistrationEntry = HRESULT(STDAPICALLTYPE*)();

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
                 DescribeHresult(hr).c_str());
    return 1;
  }
  std::printf("%s %s\n", doRegister ? "registered" : "unregistered", path.c_str());
  return 0;
}

}  // namespace zovctl
