// The host's configuration as the server reads it once, at construction: the profile reader (the
// host library qm32.dll or the system's profile functions), the installation root, and the rules
// that turn values into the server's members. The reading itself is CZOVServer's constructor
// (configuration.cpp); the plain rules are here so that they can be tested on their own.
#pragma once

#include <string>
#include <vector>

#include "ncpath/code_page.h"
#include "zov/win32.h"

namespace zov::server {

// The host library and its two profile functions, which replace the system's
// GetPrivateProfileStringA and GetPrivateProfileIntA with the same calling convention.
inline constexpr char kHostLibraryRelative[] = "..\\kor_vel\\qm32.dll";
inline constexpr char kHostLibraryAtDriveRoot[] = "\\kor_vel\\qm32.dll";
inline constexpr char kHostLibraryName[] = "qm32.dll";
inline constexpr char kProfileStringExport[] = "PvGetPrivateProfileString";
inline constexpr char kProfileIntExport[] = "PvGetPrivateProfileInt";
// The job interpreter, below the installation root, and its entry point.
inline constexpr char kJobLibraryBelowRoot[] = "\\kor_vel\\Wrk32dll.dll";
inline constexpr char kInterpretJobExport[] = "InterpretJob";

// The size of every buffer a configuration string is read into, the terminating NUL included.
inline constexpr DWORD kProfileBufferSize = 1024;

struct ProfileReader {
  using StringFn = DWORD(WINAPI*)(LPCSTR section, LPCSTR key, LPCSTR defaultValue, LPSTR buffer,
                                  DWORD size, LPCSTR fileName);
  using IntFn = UINT(WINAPI*)(LPCSTR section, LPCSTR key, INT defaultValue, LPCSTR fileName);

  StringFn readString = nullptr;
  IntFn readInt = nullptr;

  // The host library's pair when it has both functions; otherwise the system's pair (one of the
  // host's functions alone is not mixed with a system one, so both keys of a pair always come
  // from the same files).
  static ProfileReader FromLibrary(HMODULE hostLibrary) noexcept;

  // A string value: at most kProfileBufferSize - 1 characters, the reader's returned length
  // taken as the length (never beyond the buffer, whatever the reader answers).
  std::string String(const char* section, const char* key, const char* defaultValue,
                     const char* fileName) const;
  int Int(const char* section, const char* key, int defaultValue, const char* fileName) const;
};

// The installation root from the full file name of the loaded host library (or the host
// program): the name cut at its last backslash, then at the last backslash of what remains
// (D:\A\kor_vel\qm32.dll gives D:\A). Fewer than two backslashes: the empty string, so that paths
// built on it start at the root of the current drive. Scanned by characters of `codePage`.
std::string InstallationRoot(const std::string& moduleFileName,
                             const zov::ncpath::CodePage& codePage = zov::ncpath::CodePage::Current());

// Whether a configured value names a root directory of the program store: a drive path (a
// second character ':') or a network share (two leading backslashes).
bool IsProgramStoreRoot(const std::string& value);

// The temporary directory as stored: the value with a backslash appended when it does not end in
// one; empty for an empty value (then no temporary directory is configured). The last character
// of `codePage` is looked at, not the last byte, which may be the second of a double-byte one.
std::string TempDirFromValue(const std::string& value,
                             const zov::ncpath::CodePage& codePage = zov::ncpath::CodePage::Current());

// The places, below the installation root, where a LOGDRIVE.INI of the host keeps the connection
// list, in the order they are looked at; the root itself is the last place.
inline constexpr const char* kLogDriveFolders[] = {"\\USER", "\\OEM", "\\ADD_ON", "\\KOR_VEL",
                                                  "\\HUX2", ""};

// What the constructor read, for tests and diagnostics.
struct ConfigurationView {
  bool comInitialized = false;
  bool ignoreMissingProgramAndChan = false;
  bool hasTempDir = false;
  std::string tempDir;
  struct Directory {
    std::string path;
    LONG access;
    bool operator==(const Directory& o) const { return path == o.path && access == o.access; }
  };
  std::vector<Directory> directories;
  bool hasJobLibrary = false;
  bool hasInterpretJob = false;
  bool localMachine = false;
};

}  // namespace zov::server
