// The machine folder and the resolution of Windows path names inside it.
#include "zov/platform/machine.h"

#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <mutex>
#include <string>
#include <vector>

#include "zov/platform/errors.h"
#include "zov/platform/files.h"
#include "zov/platform/text.h"

namespace zov::platform {
namespace {

std::mutex g_mutex;
std::string g_machine;           // chosen machine folder; empty until first use
std::string g_currentDirectory;  // full Windows path; empty until first use

bool IsFolder(const std::string& posixPath) {
  struct stat st;
  return ::stat(posixPath.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

std::string WithoutTrailingSlash(std::string path) {
  while (path.size() > 1 && path.back() == '/') path.pop_back();
  return path;
}

// A copy of the bundled demo machine in the temporary folder, made once, so that tools that were
// given no machine never write into the repository's copy.
std::string DemoMachineCopy() {
#ifdef ZOV_DEMO_MACHINE
  namespace fs = std::filesystem;
  const char* tmp = std::getenv("TMPDIR");
  fs::path target = fs::path(tmp && *tmp ? tmp : "/tmp") /
                    ("zov-demo-machine-" + std::to_string(::getuid()));
  std::error_code ec;
  if (!IsFolder(target.string())) {
    fs::path staging = target.string() + ".tmp-" + std::to_string(::getpid());
    fs::remove_all(staging, ec);
    fs::copy(ZOV_DEMO_MACHINE, staging,
             fs::copy_options::recursive | fs::copy_options::skip_symlinks, ec);
    if (ec) {
      fs::remove_all(staging, ec);
      return {};
    }
    fs::rename(staging, target, ec);  // another process may have won the race: fine
    fs::remove_all(staging, ec);
  }
  return IsFolder(target.string()) ? target.string() : std::string();
#else
  return {};
#endif
}

std::string MachineLocked() {
  if (g_machine.empty()) {
    const char* env = std::getenv("ZOV_MACHINE");
    if (env && *env)
      g_machine = IsFolder(env) ? WithoutTrailingSlash(env) : std::string();
    else
      g_machine = DemoMachineCopy();
  }
  return g_machine;
}

bool IsSeparator(char c) { return c == '\\' || c == '/'; }

char UpperAscii(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c; }

// Windows drops trailing dots and spaces from each component of a path.
std::string TrimComponent(const std::string& component) {
  if (component == "." || component == "..") return component;
  size_t end = component.size();
  while (end > 0 && (component[end - 1] == '.' || component[end - 1] == ' ')) --end;
  return component.substr(0, end);
}

struct SplitPath {
  std::string root;                     // "C:" or "\\SERVER\SHARE"
  std::vector<std::string> components;  // below the root, folded
  bool trailingSeparator = false;
};

// Splits "rest" into components and folds "." and "..". False when ".." would climb above the root.
bool AppendComponents(const std::string& rest, std::vector<std::string>* out) {
  size_t i = 0;
  while (i <= rest.size()) {
    size_t j = i;
    while (j < rest.size() && !IsSeparator(rest[j])) ++j;
    std::string component = TrimComponent(rest.substr(i, j - i));
    if (component == "..") {
      if (out->empty()) return false;
      out->pop_back();
    } else if (!component.empty() && component != ".") {
      out->push_back(component);
    }
    i = j + 1;
  }
  return true;
}

bool ParseUncRoot(const std::string& path, size_t* restStart, std::string* root) {
  // "\\SERVER\SHARE\rest"
  size_t i = 2;
  size_t serverEnd = i;
  while (serverEnd < path.size() && !IsSeparator(path[serverEnd])) ++serverEnd;
  if (serverEnd == i || serverEnd >= path.size()) return false;
  size_t shareStart = serverEnd + 1;
  size_t shareEnd = shareStart;
  while (shareEnd < path.size() && !IsSeparator(path[shareEnd])) ++shareEnd;
  if (shareEnd == shareStart) return false;
  std::string server = path.substr(i, serverEnd - i);
  std::string share = path.substr(shareStart, shareEnd - shareStart);
  if (server == "." || server == "?" || server == ".." || share == "." || share == "..") return false;
  *root = "\\\\" + server + "\\" + share;
  *restStart = shareEnd;
  return true;
}

std::string Join(const SplitPath& split) {
  std::string full = split.root;
  if (split.components.empty()) return full + "\\";
  for (const auto& component : split.components) full += "\\" + component;
  return full;
}

// Folds a Windows path against the current directory, as GetFullPathName does.
bool Fold(const std::string& path, const std::string& currentDirectory, SplitPath* out) {
  if (path.empty()) return false;
  out->trailingSeparator = IsSeparator(path.back());
  size_t restStart = 0;
  if (path.size() >= 2 && IsSeparator(path[0]) && IsSeparator(path[1])) {
    if (!ParseUncRoot(path, &restStart, &out->root)) return false;
    return AppendComponents(path.substr(restStart), &out->components);
  }
  SplitPath current;
  if (!currentDirectory.empty() && !Fold(currentDirectory, {}, &current)) return false;
  if (path.size() >= 2 && path[1] == ':' && std::isalpha(static_cast<unsigned char>(path[0]))) {
    out->root = std::string(1, UpperAscii(path[0])) + ":";
    std::string rest = path.substr(2);
    if (!rest.empty() && IsSeparator(rest[0])) return AppendComponents(rest, &out->components);
    // "X:name": relative to the current directory when it is on that drive, else to the root.
    if (current.root == out->root) out->components = current.components;
    return AppendComponents(rest, &out->components);
  }
  if (currentDirectory.empty()) return false;
  out->root = current.root;
  if (IsSeparator(path[0])) return AppendComponents(path, &out->components);
  out->components = current.components;
  return AppendComponents(path, &out->components);
}

std::string CurrentDirectoryLocked() {
  if (g_currentDirectory.empty()) {
    SplitPath split;
    const char* env = std::getenv("ZOV_CURRENT_DIRECTORY");
    if (env && *env && Fold(env, "C:\\", &split))
      g_currentDirectory = Join(split);
    else
      g_currentDirectory = "C:\\";
  }
  return g_currentDirectory;
}

bool HasForbiddenCharacter(const std::string& component) {
  for (unsigned char c : component)
    if (c < 0x20 || std::strchr("<>|*?\":", c)) return true;
  return false;
}

// Host file names are UTF-8; Windows names here are ANSI (1252).
std::string AnsiToHost(const std::string& ansi) {
  bool ascii = true;
  for (unsigned char c : ansi) ascii = ascii && c < 0x80;
  if (ascii) return ansi;
  int wide = MultiByteToWideChar(CP_ACP, 0, ansi.data(), static_cast<int>(ansi.size()), nullptr, 0);
  std::u16string w(static_cast<size_t>(wide), u'\0');
  MultiByteToWideChar(CP_ACP, 0, ansi.data(), static_cast<int>(ansi.size()), w.data(), wide);
  int n = WideCharToMultiByte(CP_UTF8, 0, w.data(), wide, nullptr, 0, nullptr, nullptr);
  std::string utf8(static_cast<size_t>(n), '\0');
  WideCharToMultiByte(CP_UTF8, 0, w.data(), wide, utf8.data(), n, nullptr, nullptr);
  return utf8;
}

// A host name as an ANSI name; false when it has characters 1252 cannot show (such a file cannot
// be named from the Windows side).
bool HostToAnsi(const std::string& host, std::string* ansi) {
  bool ascii = true;
  for (unsigned char c : host) ascii = ascii && c < 0x80;
  if (ascii) {
    *ansi = host;
    return true;
  }
  int wide = MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, host.data(),
                                 static_cast<int>(host.size()), nullptr, 0);
  if (wide <= 0) return false;
  std::u16string w(static_cast<size_t>(wide), u'\0');
  MultiByteToWideChar(CP_UTF8, 0, host.data(), static_cast<int>(host.size()), w.data(), wide);
  BOOL usedDefault = FALSE;
  int n = WideCharToMultiByte(CP_ACP, 0, w.data(), wide, nullptr, 0, nullptr, &usedDefault);
  ansi->assign(static_cast<size_t>(n), '\0');
  WideCharToMultiByte(CP_ACP, 0, w.data(), wide, ansi->data(), n, nullptr, &usedDefault);
  return !usedDefault;
}

std::string UpperAnsi(std::string s) {
  if (!s.empty()) CharUpperBuffA(s.data(), static_cast<DWORD>(s.size()));
  return s;
}

enum class Entry { Missing, Directory, File, Refused };

// Finds the entry of folder whose name equals name, ignoring case (an exact match wins).
Entry FindEntry(const std::string& folder, const std::string& name, std::string* hostName,
                std::string* windowsName) {
  std::string wantedHost = AnsiToHost(name);
  std::string found;
  struct stat st;
  if (::lstat((folder + "/" + wantedHost).c_str(), &st) == 0) {
    found = wantedHost;
  } else {
    std::string upper = UpperAnsi(name);
    DIR* dir = ::opendir(folder.c_str());
    if (!dir) return Entry::Missing;
    while (dirent* e = ::readdir(dir)) {
      std::string candidate = e->d_name;
      if (candidate == "." || candidate == "..") continue;
      std::string ansi;
      if (HostToAnsi(candidate, &ansi) && UpperAnsi(ansi) == upper) {
        found = candidate;
        break;
      }
    }
    ::closedir(dir);
    if (found.empty() || ::lstat((folder + "/" + found).c_str(), &st) != 0) return Entry::Missing;
  }
  *hostName = found;
  if (!HostToAnsi(found, windowsName)) return Entry::Refused;
  if (S_ISLNK(st.st_mode)) return Entry::Refused;  // a link could lead outside the machine
  if (S_ISDIR(st.st_mode)) return Entry::Directory;
  if (S_ISREG(st.st_mode)) return Entry::File;
  return Entry::Refused;
}

}  // namespace

std::string FullWindowsPath(const char* windowsPath) {
  if (!windowsPath) return {};
  std::string current;
  {
    std::lock_guard<std::mutex> lock(g_mutex);
    current = CurrentDirectoryLocked();
  }
  SplitPath split;
  if (!Fold(windowsPath, current, &split)) return {};
  return Join(split);
}

DWORD ResolveWindowsPath(const char* windowsPath, PathUse use, ResolvedPath* out) {
  if (!windowsPath || !*windowsPath) return ERROR_INVALID_NAME;
  std::string machine;
  std::string current;
  {
    std::lock_guard<std::mutex> lock(g_mutex);
    machine = MachineLocked();
    current = CurrentDirectoryLocked();
  }
  if (machine.empty()) return ERROR_PATH_NOT_FOUND;
  SplitPath split;
  if (!Fold(windowsPath, current, &split)) return ERROR_PATH_NOT_FOUND;
  if (Join(split).size() >= MAX_PATH) return ERROR_FILENAME_EXCED_RANGE;
  for (const auto& component : split.components)
    if (HasForbiddenCharacter(component)) return ERROR_INVALID_NAME;

  // The root: a drive folder or a share folder.
  std::string host = machine;
  std::string windows;
  std::string hostName;
  std::string windowsName;
  if (split.root[0] == '\\') {
    size_t sep = split.root.find('\\', 2);
    std::string server = split.root.substr(2, sep - 2);
    std::string share = split.root.substr(sep + 1);
    if (HasForbiddenCharacter(server) || HasForbiddenCharacter(share)) return ERROR_INVALID_NAME;
    if (FindEntry(host, "unc", &hostName, &windowsName) != Entry::Directory) return ERROR_PATH_NOT_FOUND;
    host += "/" + hostName;
    if (FindEntry(host, server, &hostName, &windowsName) != Entry::Directory) return ERROR_PATH_NOT_FOUND;
    host += "/" + hostName;
    windows = "\\\\" + windowsName;
    if (FindEntry(host, share, &hostName, &windowsName) != Entry::Directory) return ERROR_PATH_NOT_FOUND;
    host += "/" + hostName;
    windows += "\\" + windowsName;
  } else {
    std::string drive = std::string("drive_") + static_cast<char>(split.root[0] - 'A' + 'a');
    if (FindEntry(host, drive, &hostName, &windowsName) != Entry::Directory) return ERROR_PATH_NOT_FOUND;
    host += "/" + hostName;
    windows = split.root;
  }

  out->exists = true;
  out->isDirectory = true;
  for (size_t i = 0; i < split.components.size(); ++i) {
    bool last = i + 1 == split.components.size();
    Entry entry = FindEntry(host, split.components[i], &hostName, &windowsName);
    if (entry == Entry::Refused) return last && use == PathUse::Existing ? ERROR_FILE_NOT_FOUND : ERROR_PATH_NOT_FOUND;
    if (entry == Entry::Missing) {
      if (!last) return ERROR_PATH_NOT_FOUND;
      if (use == PathUse::Existing) return ERROR_FILE_NOT_FOUND;
      hostName = AnsiToHost(split.components[i]);
      windowsName = split.components[i];
      out->exists = false;
      out->isDirectory = false;
    } else if (entry == Entry::File) {
      if (!last) return ERROR_PATH_NOT_FOUND;
      out->isDirectory = false;
    }
    host += "/" + hostName;
    windows += "\\" + windowsName;
  }
  if (split.components.empty()) windows += "\\";
  out->hostPath = host;
  out->windowsPath = windows;
  return ERROR_SUCCESS;
}

}  // namespace zov::platform

using zov::platform::g_currentDirectory;
using zov::platform::g_machine;
using zov::platform::g_mutex;

extern "C" BOOL ZovSetMachineFolder(const char* posixFolder) {
  if (!posixFolder || !zov::platform::IsFolder(posixFolder)) return FALSE;
  std::lock_guard<std::mutex> lock(g_mutex);
  g_machine = zov::platform::WithoutTrailingSlash(posixFolder);
  return TRUE;
}

extern "C" const char* ZovGetMachineFolder(void) {
  static thread_local std::string result;
  std::lock_guard<std::mutex> lock(g_mutex);
  result = zov::platform::MachineLocked();
  return result.c_str();
}

namespace {
// Copies text into a caller's buffer as GetCurrentDirectory and GetFullPathName do: the length on
// success, the size needed (with the NUL) when the buffer is short, the buffer then untouched.
DWORD CopyOut(const std::string& text, DWORD nBufferLength, LPSTR lpBuffer) {
  if (!lpBuffer || nBufferLength <= text.size()) return static_cast<DWORD>(text.size() + 1);
  std::memcpy(lpBuffer, text.c_str(), text.size() + 1);
  return static_cast<DWORD>(text.size());
}
}  // namespace

extern "C" DWORD WINAPI GetCurrentDirectoryA(DWORD nBufferLength, LPSTR lpBuffer) {
  std::string current;
  {
    std::lock_guard<std::mutex> lock(g_mutex);
    current = zov::platform::CurrentDirectoryLocked();
  }
  return CopyOut(current, nBufferLength, lpBuffer);
}

extern "C" BOOL WINAPI SetCurrentDirectoryA(LPCSTR lpPathName) {
  zov::platform::ResolvedPath resolved;
  DWORD error = zov::platform::ResolveWindowsPath(lpPathName, zov::platform::PathUse::Existing, &resolved);
  if (error == ERROR_SUCCESS && !resolved.isDirectory) error = ERROR_DIRECTORY_NAME_INVALID;
  if (error != ERROR_SUCCESS) {
    SetLastError(error == ERROR_FILE_NOT_FOUND ? ERROR_FILE_NOT_FOUND : error);
    return FALSE;
  }
  // Windows keeps the caller's spelling of the folded path, not the names' real spelling.
  std::string windows = zov::platform::FullWindowsPath(lpPathName);
  std::lock_guard<std::mutex> lock(g_mutex);
  g_currentDirectory = windows;
  return TRUE;
}

extern "C" DWORD WINAPI GetFullPathNameA(LPCSTR lpFileName, DWORD nBufferLength, LPSTR lpBuffer,
                                         LPSTR* lpFilePart) {
  if (!lpFileName || !*lpFileName) {
    SetLastError(ERROR_INVALID_NAME);
    return 0;
  }
  std::string full = zov::platform::FullWindowsPath(lpFileName);
  if (full.empty()) {
    SetLastError(ERROR_INVALID_NAME);
    return 0;
  }
  char lastChar = lpFileName[std::strlen(lpFileName) - 1];
  if ((lastChar == '\\' || lastChar == '/') && full.back() != '\\') full += '\\';
  DWORD n = CopyOut(full, nBufferLength, lpBuffer);
  if (lpFilePart && n == full.size()) {
    size_t slash = full.find_last_of('\\');
    *lpFilePart = slash + 1 < full.size() ? lpBuffer + slash + 1 : nullptr;
  }
  return n;
}
