#include "scratch.h"

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#if !defined(_WIN32)
#include <unistd.h>
#endif

namespace zov::test {
namespace {

std::string g_scratch;
#if !defined(_WIN32)
std::string g_machineFolder;  // the throw-away machine of this process
#endif

void RemoveScratch() {
  std::error_code ec;
#if defined(_WIN32)
  if (!g_scratch.empty()) std::filesystem::remove_all(g_scratch, ec);
#else
  if (!g_machineFolder.empty() && !std::getenv("ZOV_KEEP_TEST_MACHINE"))
    std::filesystem::remove_all(g_machineFolder, ec);
#endif
}

}  // namespace

int ProcessId() {
#if defined(_WIN32)
  return static_cast<int>(GetCurrentProcessId());
#else
  return static_cast<int>(::getpid());
#endif
}

const std::string& ScratchDir() {
  if (!g_scratch.empty()) return g_scratch;
#if !defined(_WIN32)
  // A machine folder of this process's own, so that parallel tests never meet.
  const char* base = std::getenv("ZOV_TEST_TMP");
  std::filesystem::path root = base && *base ? base : std::filesystem::temp_directory_path();
  std::filesystem::create_directories(root);
  std::string tmpl = (root / "machine-XXXXXX").string();
  if (!::mkdtemp(tmpl.data())) std::abort();
  g_machineFolder = tmpl;
  std::filesystem::create_directories(g_machineFolder + "/drive_c/windows");
  if (!ZovSetMachineFolder(g_machineFolder.c_str())) std::abort();
#endif
  g_scratch = "C:\\zovtest-" + std::to_string(ProcessId());
  CreateDirectoryA(g_scratch.c_str(), nullptr);
  g_scratch += "\\";
  std::atexit(RemoveScratch);
  return g_scratch;
}

std::string NewScratchFolder(const std::string& hint) {
  static std::atomic<int> counter{0};
  std::string folder = ScratchDir() + hint + "-" + std::to_string(++counter);
  CreateDirectoryA(folder.c_str(), nullptr);
  return folder + "\\";
}

bool RunningUnderWine() {
#if defined(_WIN32)
  HMODULE ntdll = GetModuleHandleA("ntdll.dll");
  return ntdll && GetProcAddress(ntdll, "wine_get_version") != nullptr;
#else
  return false;
#endif
}

bool WriteFileBytes(const std::string& windowsPath, const std::string& bytes) {
  FILE* f = _fsopen(windowsPath.c_str(), "wb", _SH_DENYNO);
  if (!f) return false;
  bool ok = std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
  return std::fclose(f) == 0 && ok;
}

bool ReadFileBytes(const std::string& windowsPath, std::string* bytes) {
  FILE* f = _fsopen(windowsPath.c_str(), "rb", _SH_DENYNO);
  if (!f) return false;
  bytes->clear();
  char buf[4096];
  size_t n;
  while ((n = std::fread(buf, 1, sizeof buf, f)) > 0) bytes->append(buf, n);
  std::fclose(f);
  return true;
}

bool FileExists(const std::string& windowsPath) {
  return GetFileAttributesA(windowsPath.c_str()) != INVALID_FILE_ATTRIBUTES;
}

std::string ExecutableDir() {
#if defined(_WIN32)
  char path[MAX_PATH];
  DWORD n = GetModuleFileNameA(nullptr, path, MAX_PATH);
  std::string s(path, n);
  return s.substr(0, s.find_last_of('\\') + 1);
#else
  return {};  // natively the test modules are copied into the machine; see the COM tests
#endif
}

}  // namespace zov::test
