#include "server/configuration.h"

#include <new>

#include "ncpath/code_page.h"
#include "server/zov_server.h"
#include "services/ansi_text.h"
#include "zov/unique_hmodule.h"

namespace zov::server {

namespace {

constexpr char kHuxIni[] = "HUX.INI";
constexpr char kLogDriveIni[] = "LOGDRIVE.INI";

// A key name with its number, as "Connection%d" and its companions form it.
std::string NumberedKey(const char* prefix, int number, const char* suffix = "") {
  return prefix + std::to_string(number) + suffix;
}

bool FileExists(const std::string& path) {
  // Longer than the buffers the host's paths live in: not a place the host would look.
  if (path.size() >= kProfileBufferSize) return false;
  struct _stat status;
  return _stat(path.c_str(), &status) == 0;
}

}  // namespace

ProfileReader ProfileReader::FromLibrary(HMODULE hostLibrary) noexcept {
  ProfileReader reader;
  if (hostLibrary) {
    reader.readString = reinterpret_cast<StringFn>(
        reinterpret_cast<void*>(GetProcAddress(hostLibrary, kProfileStringExport)));
    reader.readInt = reinterpret_cast<IntFn>(
        reinterpret_cast<void*>(GetProcAddress(hostLibrary, kProfileIntExport)));
  }
  if (!reader.readString || !reader.readInt) {
    reader.readString = &GetPrivateProfileStringA;
    reader.readInt = &GetPrivateProfileIntA;
  }
  return reader;
}

std::string ProfileReader::String(const char* section, const char* key, const char* defaultValue,
                                  const char* fileName) const {
  char buffer[kProfileBufferSize] = {};
  DWORD length = readString(section, key, defaultValue, buffer, kProfileBufferSize, fileName);
  if (length > kProfileBufferSize - 1) length = kProfileBufferSize - 1;
  return std::string(buffer, length);
}

int ProfileReader::Int(const char* section, const char* key, int defaultValue,
                       const char* fileName) const {
  return static_cast<int>(readInt(section, key, defaultValue, fileName));
}

std::string InstallationRoot(const std::string& moduleFileName,
                             const zov::ncpath::CodePage& codePage) {
  // By characters: the second byte of a double-byte character is no backslash.
  const size_t last = codePage.FindLast(moduleFileName, '\\');
  if (last == zov::ncpath::CodePage::npos) return std::string();
  const size_t second = codePage.FindLast(std::string_view(moduleFileName).substr(0, last), '\\');
  if (second == zov::ncpath::CodePage::npos) return std::string();
  return moduleFileName.substr(0, second);
}

bool IsProgramStoreRoot(const std::string& value) {
  if (value.size() < 2 || value[0] == '\0') return false;
  return value[1] == ':' || (value[0] == '\\' && value[1] == '\\');
}

std::string TempDirFromValue(const std::string& value, const zov::ncpath::CodePage& codePage) {
  if (value.empty()) return value;
  // The last character, not the last byte: a double-byte character may end in 0x5C.
  const size_t last = codePage.FindLast(value, '\\');
  return last == value.size() - 1 ? value : value + '\\';
}

// Steps after COM is initialised and the companion objects exist: the profile reader, the keys in
// their order, the installation root, the job library. The host library is freed at the end; the
// profile reader is not used after construction.
void CZOVServer::LoadConfiguration(unique_hmodule hostLibrary) {
  if (!hostLibrary) hostLibrary.reset(LoadLibraryA(kHostLibraryAtDriveRoot));
  const ProfileReader profile = ProfileReader::FromLibrary(hostLibrary.get());

  m_bIgnoreMissingProgramAndChan =
      profile.Int("Program", "IgnoreMissingProgramAndChan", 0, kHuxIni) == 1;

  const std::string tempDir =
      TempDirFromValue(profile.String("DIRECTORIES", "TempDir", "c:\\tmp", kHuxIni));
  // A string that cannot be allocated stays null, as every member that cannot be made does.
  if (!tempDir.empty()) m_bstrTempDir = zov::services::BstrFromAnsi(tempDir);

  // The installation root: where the host library was loaded from, else the host program.
  char moduleName[kProfileBufferSize] = {};
  HMODULE loaded = GetModuleHandleA(kHostLibraryName);
  DWORD length = GetModuleFileNameA(loaded, moduleName, kProfileBufferSize);
  if (length == 0 || length >= kProfileBufferSize) length = 0;
  const std::string root = InstallationRoot(std::string(moduleName, length));

  if (profile.Int("BTSS-Settings", "$MM_SW_OPTIONS", 0, kHuxIni) & 1) {
    int connections = profile.Int("CONNECTIONS", "ConnectionNum", 8, kLogDriveIni);
    if (connections > kMaxDirectories) connections = kMaxDirectories;
    bool connectionFound = false;
    for (int k = 1; k <= connections; ++k) {
      std::string value = profile.String("CONNECTIONS", NumberedKey("Connection", k).c_str(), "",
                                         kLogDriveIni);
      if (value.empty()) continue;
      connectionFound = true;
      if (!IsProgramStoreRoot(value)) continue;
      LONG access = profile.Int("CONNECTIONS", NumberedKey("AccessProgram", k).c_str(), 7,
                                kLogDriveIni);
      AddDirectory(value, access);
    }
    bool logDriveFound = false;
    if (!connectionFound) {
      for (const char* folder : kLogDriveFolders) {
        if (FileExists(root + folder + "\\" + kLogDriveIni)) {
          logDriveFound = true;
          break;
        }
      }
    }
    if (!connectionFound && !logDriveFound) {
      // The machine data name the program store's roots when the host keeps no connection list.
      for (int k = 1; k <= 4; ++k) {
        std::string value = profile.String(
            "BTSS-Settings", NumberedKey("$MM_CMM_DIRECTORY_SOFTKEY_PATH", k).c_str(), "", kHuxIni);
        if (!IsProgramStoreRoot(value)) continue;
        LONG access = profile.Int(
            "BTSS-Settings", NumberedKey("$MM_USER_CLASS_DIRECTORY", k, "_P").c_str(), 7, kHuxIni);
        AddDirectory(value, access);
      }
    }
  }

  m_hJobLibrary.reset(LoadLibraryA((root + kJobLibraryBelowRoot).c_str()));
  if (m_hJobLibrary) {
    m_pfnInterpretJob = reinterpret_cast<InterpretJobFn>(
        reinterpret_cast<void*>(GetProcAddress(m_hJobLibrary.get(), kInterpretJobExport)));
  }

  const std::string machineName = profile.String("GLOBAL", "VaxoMachineName", "", kHuxIni);
  m_bLocalMachine = lstrcmpiA(machineName.c_str(), "local") == 0;
  // hostLibrary is freed here.
}

void CZOVServer::AddDirectory(const std::string& path, LONG access) {
  if (m_nDirectories >= kMaxDirectories) return;
  std::unique_ptr<char[]> copy(new char[path.size() + 1]);
  path.copy(copy.get(), path.size());
  copy[path.size()] = '\0';
  m_apszDirectory[m_nDirectories] = std::move(copy);
  m_anDirectoryAccess[m_nDirectories] = access;
  ++m_nDirectories;
}

ConfigurationView CZOVServer::Configuration() const {
  ConfigurationView view;
  view.comInitialized = m_bComInitialized != 0;
  view.ignoreMissingProgramAndChan = m_bIgnoreMissingProgramAndChan != 0;
  view.hasTempDir = m_bstrTempDir.get() != nullptr;
  if (view.hasTempDir) view.tempDir = zov::services::AnsiFromBstr(m_bstrTempDir.get());
  for (LONG i = 0; i < m_nDirectories; ++i) {
    view.directories.push_back({m_apszDirectory[i].get(), m_anDirectoryAccess[i]});
  }
  view.hasJobLibrary = static_cast<bool>(m_hJobLibrary);
  view.hasInterpretJob = m_pfnInterpretJob != nullptr;
  view.localMachine = m_bLocalMachine != 0;
  return view;
}

}  // namespace zov::server
