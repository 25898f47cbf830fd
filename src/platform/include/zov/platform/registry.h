// The registry subset that registration and activation need: HKEY_CLASSES_ROOT only, string and
// DWORD values. It is kept in the machine folder as "registry.reg", a text file in the regedit
// format ("REGEDIT4", "[KEY\PATH]", '@="default"', '"Name"="text"', '"Name"=dword:0000002a'), read
// at every open and rewritten atomically (a temporary file, then a rename) after every change.
#pragma once

#include "zov/platform/types.h"

#define HKEY_CLASSES_ROOT ((HKEY)(ULONG_PTR)((LONG)0x80000000))
#define HKEY_CURRENT_USER ((HKEY)(ULONG_PTR)((LONG)0x80000001))
#define HKEY_LOCAL_MACHINE ((HKEY)(ULONG_PTR)((LONG)0x80000002))

#define REG_NONE 0
#define REG_SZ 1
#define REG_EXPAND_SZ 2
#define REG_BINARY 3
#define REG_DWORD 4
#define REG_MULTI_SZ 7

#define REG_OPTION_NON_VOLATILE 0x00000000L
#define REG_CREATED_NEW_KEY 0x00000001L
#define REG_OPENED_EXISTING_KEY 0x00000002L

#define KEY_QUERY_VALUE 0x0001
#define KEY_SET_VALUE 0x0002
#define KEY_CREATE_SUB_KEY 0x0004
#define KEY_ENUMERATE_SUB_KEYS 0x0008
#define KEY_READ 0x20019
#define KEY_WRITE 0x20006
#define KEY_ALL_ACCESS 0xF003F

extern "C" {
// Every function returns a Win32 error code (ERROR_SUCCESS, ERROR_FILE_NOT_FOUND, ...), as Windows.
// Keys other than HKEY_CLASSES_ROOT and the keys opened below it: ERROR_INVALID_HANDLE. Access
// masks are accepted and not enforced. Key names are compared without regard to case.
LONG WINAPI RegOpenKeyExA(HKEY hKey, LPCSTR lpSubKey, DWORD ulOptions, REGSAM samDesired,
                          PHKEY phkResult);
LONG WINAPI RegOpenKeyExW(HKEY hKey, LPCWSTR lpSubKey, DWORD ulOptions, REGSAM samDesired,
                          PHKEY phkResult);
LONG WINAPI RegCreateKeyExA(HKEY hKey, LPCSTR lpSubKey, DWORD Reserved, LPSTR lpClass,
                            DWORD dwOptions, REGSAM samDesired, void* lpSecurityAttributes,
                            PHKEY phkResult, LPDWORD lpdwDisposition);
LONG WINAPI RegCreateKeyExW(HKEY hKey, LPCWSTR lpSubKey, DWORD Reserved, LPWSTR lpClass,
                            DWORD dwOptions, REGSAM samDesired, void* lpSecurityAttributes,
                            PHKEY phkResult, LPDWORD lpdwDisposition);
LONG WINAPI RegCloseKey(HKEY hKey);
// REG_SZ and REG_EXPAND_SZ (text, stored in the ANSI code page) and REG_DWORD only; other
// types: ERROR_INVALID_PARAMETER. A null or empty name is the default value.
LONG WINAPI RegSetValueExA(HKEY hKey, LPCSTR lpValueName, DWORD Reserved, DWORD dwType,
                           const BYTE* lpData, DWORD cbData);
LONG WINAPI RegSetValueExW(HKEY hKey, LPCWSTR lpValueName, DWORD Reserved, DWORD dwType,
                           const BYTE* lpData, DWORD cbData);
// As Windows: ERROR_MORE_DATA with the needed size in *lpcbData when the buffer is short; a null
// lpData asks for the size only. Strings come back NUL-terminated when there is room.
LONG WINAPI RegQueryValueExA(HKEY hKey, LPCSTR lpValueName, LPDWORD lpReserved, LPDWORD lpType,
                             LPBYTE lpData, LPDWORD lpcbData);
LONG WINAPI RegQueryValueExW(HKEY hKey, LPCWSTR lpValueName, LPDWORD lpReserved, LPDWORD lpType,
                             LPBYTE lpData, LPDWORD lpcbData);
// Deletes a key without subkeys (ERROR_ACCESS_DENIED when it has some, as Windows).
LONG WINAPI RegDeleteKeyA(HKEY hKey, LPCSTR lpSubKey);
LONG WINAPI RegDeleteKeyW(HKEY hKey, LPCWSTR lpSubKey);
LONG WINAPI RegDeleteValueA(HKEY hKey, LPCSTR lpValueName);
LONG WINAPI RegDeleteValueW(HKEY hKey, LPCWSTR lpValueName);
// Subkeys in the order of their names, case-insensitively; ERROR_NO_MORE_ITEMS past the last.
LONG WINAPI RegEnumKeyExA(HKEY hKey, DWORD dwIndex, LPSTR lpName, LPDWORD lpcchName,
                          LPDWORD lpReserved, LPSTR lpClass, LPDWORD lpcchClass,
                          FILETIME* lpftLastWriteTime);
LONG WINAPI RegEnumKeyExW(HKEY hKey, DWORD dwIndex, LPWSTR lpName, LPDWORD lpcchName,
                          LPDWORD lpReserved, LPWSTR lpClass, LPDWORD lpcchClass,
                          FILETIME* lpftLastWriteTime);
}
