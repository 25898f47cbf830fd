// Modules over dlopen: an ELF shared object inside the machine, loaded under its Windows path
// name, counted per file, with its DllMain called as the Windows loader calls it. A recursive
// mutex plays the part of the loader lock: it is held while DllMain runs, so a DllMain may load
// and free other modules, and two threads never attach or detach at the same time.
#include "zov/platform/module.h"

#include <dlfcn.h>
#include <elf.h>
#include <fcntl.h>
#include <link.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <memory>
#include <mutex>
#include <new>
#include <string>
#include <vector>

#include "zov/platform/errors.h"
#include "zov/platform/files.h"
#include "zov/platform/machine.h"
#include "zov/platform/text.h"

namespace {

using DllMainProc = BOOL (*)(HINSTANCE, DWORD, LPVOID);

struct Module {
  void* library = nullptr;    // the dlopen handle
  HMODULE handle = nullptr;   // the load address, as a Windows module handle is its image base
  const void* base = nullptr; // the start of the module's mapping, to tell its own symbols
  dev_t device = 0;
  ino_t inode = 0;
  std::string windowsPath;    // the full Windows path it was first loaded under
  unsigned references = 0;
  DllMainProc dllMain = nullptr;
};

std::recursive_mutex& LoaderLock() {
  static std::recursive_mutex* lock = new std::recursive_mutex;
  return *lock;
}

// Never destroyed: modules may be freed by destructors that run after static destruction.
std::vector<std::unique_ptr<Module>>& Modules() {
  static auto* modules = new std::vector<std::unique_ptr<Module>>;
  return *modules;
}

Module* FindByHandle(HMODULE handle) {
  if (!handle) return nullptr;
  for (auto& module : Modules())
    if (module->handle == handle) return module.get();
  return nullptr;
}

bool IsSeparator(char c) { return c == '\\' || c == '/'; }

// Where the file name of a path begins.
size_t FileNameStart(const std::string& path) {
  size_t start = path.find_last_of("\\/");
  if (start == std::string::npos) start = (path.size() >= 2 && path[1] == ':') ? 2 : 0;
  else ++start;
  return start;
}

bool HasPath(const std::string& name) {
  for (char c : name)
    if (IsSeparator(c)) return true;
  return name.size() >= 2 && name[1] == ':';
}

// The name as the Windows loader looks for it: trailing blanks dropped; a name ending in '.' has
// no extension (the dots are dropped); a file name without an extension gets ".dll".
std::string WithExtension(std::string name) {
  while (!name.empty() && name.back() == ' ') name.pop_back();
  if (!name.empty() && name.back() == '.') {
    while (!name.empty() && (name.back() == '.' || name.back() == ' ')) name.pop_back();
    return name;
  }
  if (name.find('.', FileNameStart(name)) == std::string::npos) name += ".dll";
  return name;
}

bool SameNameNoCase(const std::string& a, const std::string& b) {
  return lstrcmpiA(a.c_str(), b.c_str()) == 0;
}

// The mapping that holds an address (the module's own, for an address inside it).
const void* MappingOf(const void* address) {
  Dl_info info;
  return address && ::dladdr(address, &info) ? info.dli_fbase : nullptr;
}

// A symbol the module itself exports; dlsym would also find those of the libraries it uses.
void* OwnSymbol(const Module& module, const char* name) {
  void* symbol = ::dlsym(module.library, name);
  return symbol && MappingOf(symbol) == module.base ? symbol : nullptr;
}

// Whether the file is a shared object for this machine (the ELF class and machine of this
// process); anything else is what Windows calls a bad executable format.
bool IsLoadableObject(const std::string& hostPath) {
  int fd = ::open(hostPath.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return false;
  ElfW(Ehdr) header;
  ssize_t n = ::read(fd, &header, sizeof header);
  ::close(fd);
  if (n != static_cast<ssize_t>(sizeof header)) return false;
  return std::memcmp(header.e_ident, ELFMAG, SELFMAG) == 0 &&
         header.e_ident[EI_CLASS] == (sizeof(void*) == 8 ? ELFCLASS64 : ELFCLASS32) &&
         header.e_type == ET_DYN &&
#if defined(__x86_64__)
         header.e_machine == EM_X86_64;
#elif defined(__i386__)
         header.e_machine == EM_386;
#elif defined(__aarch64__)
         header.e_machine == EM_AARCH64;
#else
         true;
#endif
}

// What a refusal by dlopen means in Windows' terms: a library it needs is missing, a symbol it
// imports is missing, or the file is no module at all.
DWORD DlopenError() {
  const char* text = ::dlerror();
  std::string message = text ? text : "";
  if (message.find("undefined symbol") != std::string::npos) return ERROR_PROC_NOT_FOUND;
  if (message.find("cannot open shared object file") != std::string::npos) return ERROR_MOD_NOT_FOUND;
  return ERROR_BAD_EXE_FORMAT;
}

struct Found {
  zov::platform::ResolvedPath resolved;
  std::string windowsPath;  // the full path in the spelling it was asked for
};

// Finds the file a module name names: a name with a path where it says; a bare name in the
// current directory, then C:\Windows\system32, then C:\Windows.
bool FindFile(const std::string& name, Found* found) {
  std::vector<std::string> candidates;
  if (HasPath(name)) {
    candidates.push_back(name);
  } else {
    char current[MAX_PATH + 1];
    DWORD n = GetCurrentDirectoryA(sizeof current, current);
    if (n > 0 && n < sizeof current) {
      std::string folder(current, n);
      if (folder.back() != '\\') folder += '\\';
      candidates.push_back(folder + name);
    }
    candidates.push_back("C:\\Windows\\system32\\" + name);
    candidates.push_back("C:\\Windows\\" + name);
  }
  for (const auto& candidate : candidates) {
    zov::platform::ResolvedPath resolved;
    if (zov::platform::ResolveWindowsPath(candidate.c_str(), zov::platform::PathUse::Existing,
                                          &resolved) == ERROR_SUCCESS &&
        !resolved.isDirectory) {
      found->resolved = resolved;
      found->windowsPath = zov::platform::FullWindowsPath(candidate.c_str());
      if (found->windowsPath.empty()) found->windowsPath = resolved.windowsPath;
      return true;
    }
  }
  return false;
}

// Drops a module whose last reference went (or whose attach failed): DllMain is told first, while
// the module is still listed, as Windows does.
void Unload(Module* module) {
  if (module->dllMain) module->dllMain(reinterpret_cast<HINSTANCE>(module->handle), DLL_PROCESS_DETACH, nullptr);
  auto& modules = Modules();
  for (auto it = modules.begin(); it != modules.end(); ++it) {
    if (it->get() == module) {
      void* library = module->library;
      modules.erase(it);
      ::dlclose(library);
      return;
    }
  }
}

HMODULE Load(const char* fileName) {
  if (!fileName || !*fileName) {
    SetLastError(ERROR_MOD_NOT_FOUND);
    return nullptr;
  }
  std::string name = WithExtension(fileName);
  std::lock_guard<std::recursive_mutex> lock(LoaderLock());
  if (!HasPath(name)) {
    // A module of that file name already loaded is the one a bare name means.
    for (auto& module : Modules()) {
      const std::string& path = module->windowsPath;
      if (SameNameNoCase(path.substr(FileNameStart(path)), name)) {
        ++module->references;
        return module->handle;
      }
    }
  }
  Found found;
  if (!FindFile(name, &found)) {
    SetLastError(ERROR_MOD_NOT_FOUND);
    return nullptr;
  }
  struct stat st;
  if (::stat(found.resolved.hostPath.c_str(), &st) != 0) {
    SetLastError(ERROR_MOD_NOT_FOUND);
    return nullptr;
  }
  for (auto& module : Modules()) {
    if (module->device == st.st_dev && module->inode == st.st_ino) {
      ++module->references;
      return module->handle;
    }
  }
  if (!IsLoadableObject(found.resolved.hostPath)) {
    SetLastError(ERROR_BAD_EXE_FORMAT);
    return nullptr;
  }
  ::dlerror();
  void* library = ::dlopen(found.resolved.hostPath.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (!library) {
    SetLastError(DlopenError());
    return nullptr;
  }
  link_map* map = nullptr;
  if (::dlinfo(library, RTLD_DI_LINKMAP, &map) != 0 || !map) {
    ::dlclose(library);
    SetLastError(ERROR_BAD_EXE_FORMAT);
    return nullptr;
  }
  HMODULE handle = map->l_addr ? reinterpret_cast<HMODULE>(map->l_addr)
                               : reinterpret_cast<HMODULE>(library);
  if (Module* same = FindByHandle(handle)) {
    // The same object reached under another file identity: dlopen counted it already.
    ::dlclose(library);
    ++same->references;
    return same->handle;
  }
  auto module = std::make_unique<Module>();
  module->library = library;
  module->handle = handle;
  module->base = MappingOf(map->l_ld);
  module->device = st.st_dev;
  module->inode = st.st_ino;
  module->windowsPath = found.windowsPath;
  module->references = 1;
  Module* loaded = module.get();
  Modules().push_back(std::move(module));
  loaded->dllMain = reinterpret_cast<DllMainProc>(OwnSymbol(*loaded, "DllMain"));
  if (loaded->dllMain &&
      !loaded->dllMain(reinterpret_cast<HINSTANCE>(handle), DLL_PROCESS_ATTACH, nullptr)) {
    Unload(loaded);  // Windows, too, tells a module whose attach failed that it is detached
    SetLastError(ERROR_DLL_INIT_FAILED);
    return nullptr;
  }
  return handle;
}

}  // namespace

extern "C" HMODULE WINAPI LoadLibraryA(LPCSTR lpLibFileName) {
  try {
    return Load(lpLibFileName);
  } catch (...) {
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return nullptr;
  }
}

extern "C" BOOL WINAPI FreeLibrary(HMODULE hLibModule) {
  if (!hLibModule) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  std::lock_guard<std::recursive_mutex> lock(LoaderLock());
  Module* module = FindByHandle(hLibModule);
  if (!module) {
    SetLastError(ERROR_MOD_NOT_FOUND);
    return FALSE;
  }
  if (--module->references == 0) Unload(module);
  return TRUE;
}

extern "C" FARPROC WINAPI GetProcAddress(HMODULE hModule, LPCSTR lpProcName) {
  std::lock_guard<std::recursive_mutex> lock(LoaderLock());
  Module* module = FindByHandle(hModule);
  if (!module) {
    SetLastError(ERROR_MOD_NOT_FOUND);
    return nullptr;
  }
  if (!lpProcName || (reinterpret_cast<ULONG_PTR>(lpProcName) >> 16) == 0) {
    SetLastError(ERROR_PROC_NOT_FOUND);  // by ordinal: ELF objects have no ordinals
    return nullptr;
  }
  void* symbol = OwnSymbol(*module, lpProcName);
  if (!symbol) {
    SetLastError(ERROR_PROC_NOT_FOUND);
    return nullptr;
  }
  return reinterpret_cast<FARPROC>(symbol);
}

extern "C" HMODULE WINAPI GetModuleHandleA(LPCSTR lpModuleName) {
  if (!lpModuleName) {
    SetLastError(ERROR_MOD_NOT_FOUND);
    return nullptr;
  }
  try {
    std::string name = WithExtension(lpModuleName);
    bool withPath = HasPath(name);
    if (withPath) name = zov::platform::FullWindowsPath(name.c_str());
    std::lock_guard<std::recursive_mutex> lock(LoaderLock());
    for (auto& module : Modules()) {
      const std::string& path = module->windowsPath;
      if (!name.empty() &&
          SameNameNoCase(withPath ? path : path.substr(FileNameStart(path)), name))
        return module->handle;
    }
  } catch (...) {
  }
  SetLastError(ERROR_MOD_NOT_FOUND);
  return nullptr;
}

extern "C" DWORD WINAPI GetModuleFileNameA(HMODULE hModule, LPSTR lpFilename, DWORD nSize) {
  std::string path;
  try {
    if (!hModule) {
      const char* host = std::getenv("ZOV_HOST_PROGRAM");
      if (host) path = host;
    } else {
      std::lock_guard<std::recursive_mutex> lock(LoaderLock());
      if (Module* module = FindByHandle(hModule)) path = module->windowsPath;
    }
  } catch (...) {
    path.clear();
  }
  if (path.empty()) {
    SetLastError(ERROR_MOD_NOT_FOUND);
    return 0;
  }
  if (nSize == 0 || !lpFilename) {
    SetLastError(ERROR_INSUFFICIENT_BUFFER);
    return 0;
  }
  if (path.size() >= nSize) {
    // Cut to nSize characters counting the NUL, as Windows since Vista.
    std::memcpy(lpFilename, path.data(), nSize - 1);
    lpFilename[nSize - 1] = '\0';
    SetLastError(ERROR_INSUFFICIENT_BUFFER);
    return nSize;
  }
  std::memcpy(lpFilename, path.c_str(), path.size() + 1);
  SetLastError(ERROR_SUCCESS);  // Windows clears it on success
  return static_cast<DWORD>(path.size());
}

extern "C" BOOL WINAPI DisableThreadLibraryCalls(HMODULE hLibModule) {
  (void)hLibModule;
  return TRUE;
}
