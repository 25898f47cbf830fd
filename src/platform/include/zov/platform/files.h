// Files by Windows path name inside the machine (see machine.h): attributes, deletion, directories,
// the current directory, and the C runtime's file opening and status under their Windows names.
#pragma once

#include <sys/stat.h>

#include <cstdio>
#include <ctime>

#include "zov/platform/types.h"

#define FILE_ATTRIBUTE_READONLY 0x00000001
#define FILE_ATTRIBUTE_DIRECTORY 0x00000010
#define FILE_ATTRIBUTE_ARCHIVE 0x00000020
#define FILE_ATTRIBUTE_NORMAL 0x00000080
#define INVALID_FILE_ATTRIBUTES ((DWORD)-1)

#define _SH_DENYRW 0x10
#define _SH_DENYWR 0x20
#define _SH_DENYRD 0x30
#define _SH_DENYNO 0x40

#define _S_IFMT 0xF000
#define _S_IFDIR 0x4000
#define _S_IFREG 0x8000
#define _S_IREAD 0x0100
#define _S_IWRITE 0x0080

// The Windows C runtime's file status, 32-bit time and size as in its default form.
struct _stat {
  unsigned int st_dev;
  unsigned short st_ino;
  unsigned short st_mode;
  short st_nlink;
  short st_uid;
  short st_gid;
  unsigned int st_rdev;
  long st_size;
#if defined(st_atime)
  // The C library names st_atime st_atim.tv_sec; keep that spelling working on this structure.
  struct timespec st_atim;
  struct timespec st_mtim;
  struct timespec st_ctim;
#else
  std::time_t st_atime;
  std::time_t st_mtime;
  std::time_t st_ctime;
#endif
};

extern "C" {
// FILE_ATTRIBUTE_DIRECTORY or FILE_ATTRIBUTE_ARCHIVE (plus FILE_ATTRIBUTE_READONLY for a file
// without write permission); INVALID_FILE_ATTRIBUTES with ERROR_FILE_NOT_FOUND or
// ERROR_PATH_NOT_FOUND.
DWORD WINAPI GetFileAttributesA(LPCSTR lpFileName);
// Deletes a file (not a directory: ERROR_ACCESS_DENIED).
BOOL WINAPI DeleteFileA(LPCSTR lpFileName);
// Creates one directory; ERROR_ALREADY_EXISTS, ERROR_PATH_NOT_FOUND as on Windows. Security
// attributes must be null (anything else: ERROR_INVALID_PARAMETER).
BOOL WINAPI CreateDirectoryA(LPCSTR lpPathName, void* lpSecurityAttributes);
BOOL WINAPI RemoveDirectoryA(LPCSTR lpPathName);
// The current directory is a Windows path inside the machine, process-wide, initially "C:\" or the
// value of the environment variable ZOV_CURRENT_DIRECTORY. It is returned without a trailing
// backslash except at a root.
DWORD WINAPI GetCurrentDirectoryA(DWORD nBufferLength, LPSTR lpBuffer);
BOOL WINAPI SetCurrentDirectoryA(LPCSTR lpPathName);
// Folds a path into its full form, as Windows does, without looking at the file system.
DWORD WINAPI GetFullPathNameA(LPCSTR lpFileName, DWORD nBufferLength, LPSTR lpBuffer,
                              LPSTR* lpFilePart);
// "C:\WINDOWS\TEMP\", made on first use.
DWORD WINAPI GetTempPathA(DWORD nBufferLength, LPSTR lpBuffer);

// fopen on a Windows path. Modes as fopen's ('t' is accepted and ignored; text and binary are the
// same here). The share flag is accepted and not enforced. Null with errno ENOENT when the path
// does not resolve.
FILE* _fsopen(const char* filename, const char* mode, int shflag);
// stat on a Windows path: 0, or -1 with errno ENOENT.
int _stat(const char* path, struct _stat* buffer);
}
