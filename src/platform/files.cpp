// File functions by Windows path name inside the machine.
#include "zov/platform/files.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <string>

#include "zov/platform/errors.h"
#include "zov/platform/machine.h"

using zov::platform::PathUse;
using zov::platform::ResolvedPath;
using zov::platform::ResolveWindowsPath;

namespace {

int ErrnoOf(DWORD error) {
  switch (error) {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND: return ENOENT;
    case ERROR_FILENAME_EXCED_RANGE: return ENAMETOOLONG;
    case ERROR_ACCESS_DENIED: return EACCES;
    default: return EINVAL;
  }
}

DWORD ErrorOfErrno(int e) {
  switch (e) {
    case ENOENT: return ERROR_FILE_NOT_FOUND;
    case ENOTDIR: return ERROR_PATH_NOT_FOUND;
    case EEXIST: return ERROR_ALREADY_EXISTS;
    case ENOTEMPTY: return ERROR_DIR_NOT_EMPTY;
    case ENAMETOOLONG: return ERROR_FILENAME_EXCED_RANGE;
    case ENOMEM: return ERROR_NOT_ENOUGH_MEMORY;
    default: return ERROR_ACCESS_DENIED;
  }
}

bool Fail(DWORD error) {
  SetLastError(error);
  return false;
}

}  // namespace

extern "C" DWORD WINAPI GetFileAttributesA(LPCSTR lpFileName) {
  ResolvedPath resolved;
  DWORD error = ResolveWindowsPath(lpFileName, PathUse::Existing, &resolved);
  struct stat st;
  if (error == ERROR_SUCCESS && ::stat(resolved.hostPath.c_str(), &st) != 0) error = ErrorOfErrno(errno);
  if (error != ERROR_SUCCESS) {
    SetLastError(error);
    return INVALID_FILE_ATTRIBUTES;
  }
  if (S_ISDIR(st.st_mode)) return FILE_ATTRIBUTE_DIRECTORY;
  DWORD attributes = FILE_ATTRIBUTE_ARCHIVE;
  if (::access(resolved.hostPath.c_str(), W_OK) != 0) attributes |= FILE_ATTRIBUTE_READONLY;
  return attributes;
}

extern "C" BOOL WINAPI DeleteFileA(LPCSTR lpFileName) {
  ResolvedPath resolved;
  DWORD error = ResolveWindowsPath(lpFileName, PathUse::Existing, &resolved);
  if (error != ERROR_SUCCESS) return Fail(error);
  if (resolved.isDirectory) return Fail(ERROR_ACCESS_DENIED);
  if (::unlink(resolved.hostPath.c_str()) != 0) return Fail(ErrorOfErrno(errno));
  return TRUE;
}

extern "C" BOOL WINAPI CreateDirectoryA(LPCSTR lpPathName, void* lpSecurityAttributes) {
  if (lpSecurityAttributes) return Fail(ERROR_INVALID_PARAMETER);
  ResolvedPath resolved;
  DWORD error = ResolveWindowsPath(lpPathName, PathUse::CreateLeaf, &resolved);
  if (error != ERROR_SUCCESS) return Fail(error);
  if (resolved.exists) return Fail(ERROR_ALREADY_EXISTS);
  if (::mkdir(resolved.hostPath.c_str(), 0777) != 0) return Fail(ErrorOfErrno(errno));
  return TRUE;
}

extern "C" BOOL WINAPI RemoveDirectoryA(LPCSTR lpPathName) {
  ResolvedPath resolved;
  DWORD error = ResolveWindowsPath(lpPathName, PathUse::Existing, &resolved);
  if (error != ERROR_SUCCESS) return Fail(error);
  if (!resolved.isDirectory) return Fail(ERROR_DIRECTORY);
  if (::rmdir(resolved.hostPath.c_str()) != 0) return Fail(ErrorOfErrno(errno));
  return TRUE;
}

extern "C" DWORD WINAPI GetTempPathA(DWORD nBufferLength, LPSTR lpBuffer) {
  CreateDirectoryA("C:\\WINDOWS", nullptr);
  CreateDirectoryA("C:\\WINDOWS\\TEMP", nullptr);
  ResolvedPath resolved;
  std::string temp = "C:\\WINDOWS\\TEMP\\";
  if (ResolveWindowsPath(temp.c_str(), PathUse::Existing, &resolved) == ERROR_SUCCESS)
    temp = resolved.windowsPath + "\\";
  if (!lpBuffer || nBufferLength <= temp.size()) return static_cast<DWORD>(temp.size() + 1);
  std::memcpy(lpBuffer, temp.c_str(), temp.size() + 1);
  return static_cast<DWORD>(temp.size());
}

extern "C" FILE* _fsopen(const char* filename, const char* mode, int /*shflag*/) {
  if (!filename || !mode) {
    errno = EINVAL;
    return nullptr;
  }
  // The C runtime's mode letters; 't' (text) is the same as binary here.
  std::string stdioMode;
  for (const char* m = mode; *m; ++m)
    if (*m != 't') stdioMode += *m;
  bool plus = stdioMode.find('+') != std::string::npos;
  int flags = O_CLOEXEC | O_NOFOLLOW;
  switch (stdioMode.empty() ? '\0' : stdioMode[0]) {
    case 'r': flags |= plus ? O_RDWR : O_RDONLY; break;
    case 'w': flags |= (plus ? O_RDWR : O_WRONLY) | O_CREAT | O_TRUNC; break;
    case 'a': flags |= (plus ? O_RDWR : O_WRONLY) | O_CREAT | O_APPEND; break;
    default: errno = EINVAL; return nullptr;
  }
  ResolvedPath resolved;
  DWORD error = ResolveWindowsPath(filename, stdioMode[0] == 'r' ? PathUse::Existing : PathUse::CreateLeaf,
                                   &resolved);
  if (error != ERROR_SUCCESS) {
    errno = ErrnoOf(error);
    return nullptr;
  }
  if (resolved.isDirectory) {
    errno = EACCES;
    return nullptr;
  }
  int fd = ::open(resolved.hostPath.c_str(), flags, 0666);
  if (fd < 0) return nullptr;
  FILE* f = ::fdopen(fd, stdioMode.c_str());
  if (!f) ::close(fd);
  return f;
}

extern "C" int _stat(const char* path, struct _stat* buffer) {
  ResolvedPath resolved;
  DWORD error = ResolveWindowsPath(path, PathUse::Existing, &resolved);
  if (error != ERROR_SUCCESS) {
    errno = ErrnoOf(error);
    return -1;
  }
  struct stat st;
  if (::stat(resolved.hostPath.c_str(), &st) != 0) return -1;
  std::memset(buffer, 0, sizeof *buffer);
  // As the Windows C runtime reports it: read for everyone, write unless read-only, execute for
  // directories; the drive number in st_dev (2 for C:).
  unsigned short mode = S_ISDIR(st.st_mode) ? (_S_IFDIR | 0x49) : _S_IFREG;
  mode |= 0x124;
  if (::access(resolved.hostPath.c_str(), W_OK) == 0) mode |= 0x92;
  buffer->st_mode = mode;
  buffer->st_nlink = 1;
  char drive = resolved.windowsPath[0] == '\\' ? 0 : resolved.windowsPath[0];
  buffer->st_dev = buffer->st_rdev = drive ? static_cast<unsigned>(drive - 'A') : 0;
  buffer->st_size = S_ISDIR(st.st_mode) ? 0 : static_cast<long>(st.st_size);
  buffer->st_atime = st.st_atime;
  buffer->st_mtime = st.st_mtime;
  buffer->st_ctime = st.st_ctime;
  return 0;
}
