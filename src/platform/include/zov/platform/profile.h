// Profile (INI) files, read and edited as Windows edits them: as text, line by line, leaving every
// line it does not change byte for byte. File names are Windows paths inside the machine; a name
// without a path separator is looked up in the Windows directory (C:\WINDOWS). Every write replaces
// the file atomically: a temporary file beside it, then a rename.
#pragma once

#include "zov/platform/types.h"

extern "C" {
DWORD WINAPI GetPrivateProfileStringA(LPCSTR lpAppName, LPCSTR lpKeyName, LPCSTR lpDefault,
                                      LPSTR lpReturnedString, DWORD nSize, LPCSTR lpFileName);
UINT WINAPI GetPrivateProfileIntA(LPCSTR lpAppName, LPCSTR lpKeyName, INT nDefault,
                                  LPCSTR lpFileName);
BOOL WINAPI WritePrivateProfileStringA(LPCSTR lpAppName, LPCSTR lpKeyName, LPCSTR lpString,
                                       LPCSTR lpFileName);
}
