// The registry subset that registration and activation need: HKEY_CLASSES_ROOT only. It is kept in
// the machine folder as "registry.reg", a text file in the regedit format that regedit itself can
// import:
//
//   REGEDIT4
//
//   [HKEY_CLASSES_ROOT\CLSID\{...}\InprocServer32]
//   @="C:\\Program Files\\X\\x.dll"
//   "ThreadingModel"="Apartment"
//   "Count"=dword:0000002a
//   "Path"=hex(2):25,53,59,53,25,00
//
// One block per key (keys without values too), parents before children, keys and values sorted
// by their upper-cased names, CRLF line ends: the same registry always gives the same bytes.
// Strings are written quoted ('\' and '"' escaped) when they are text ending in one NUL; other
// data as hex: (REG_BINARY) or hex(type): bytes, REG_DWORD of four bytes as dword:. Read back, the
// file may be hand-edited: LF or CRLF, blank lines, ';' comment lines, a ';' comment after a
// value, key paths in any case and with or without "HKEY_CLASSES_ROOT\", hex values continued
// over lines ending in '\'. A file that cannot be read that way makes every call fail with
// ERROR_BADDB (and one line on stderr naming the file, the line and the fault) rather than being
// half read and then overwritten.
//
// The file is checked at every call and read again when it has changed (another process's
// registration is seen at once); every change is made under an exclusive lock of the machine
// folder and written whole to a temporary file that is then renamed over the old one.
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

#ifndef ERROR_BADDB
#define ERROR_BADDB 1009L
#endif
#ifndef ERROR_NOACCESS
#define ERROR_NOACCESS 998L
#endif

extern "C" {
// Every function returns a Win32 error code (ERROR_SUCCESS, ERROR_FILE_NOT_FOUND, ...), as Windows,
// and leaves the thread's last-error value alone. Keys other than HKEY_CLASSES_ROOT and the keys
// opened below it: ERROR_INVALID_HANDLE. As on Windows, a key's values are read only through a
// handle opened with KEY_QUERY_VALUE, set and deleted only with KEY_SET_VALUE, its subkeys listed
// only with KEY_ENUMERATE_SUB_KEYS (generic rights mapped as for keys), else ERROR_ACCESS_DENIED;
// other rights are not checked (HKEY_CLASSES_ROOT has them all), nor are open options. Key and
// value names are compared without regard to case. In a subkey path doubled and
// trailing '\' are passed over; a leading '\' is allowed below HKEY_CLASSES_ROOT only
// (ERROR_BAD_PATHNAME elsewhere). An open key stands for its path: once this process deletes the
// key, the handle gives ERROR_KEY_DELETED even if the key is made again (as Windows); a key that
// another process deleted gives ERROR_KEY_DELETED while its path is missing. The W forms convert
// with the ANSI code page; a name or string with a character it cannot hold cannot be stored
// (ERROR_NO_UNICODE_TRANSLATION) nor found (ERROR_FILE_NOT_FOUND).
//
// RegOpenKeyEx with an empty or null subkey of HKEY_CLASSES_ROOT returns HKEY_CLASSES_ROOT itself.
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
// RegCreateKeyEx creates the missing keys on the way; *lpdwDisposition tells whether the last one
// was new. Key classes, options other than REG_OPTION_NON_VOLATILE and security attributes cannot
// be kept: ERROR_INVALID_PARAMETER (a null or empty class is fine). A key name with a line break
// cannot be written to the file: ERROR_INVALID_PARAMETER.
//
// Values of every type are kept as their bytes; REG_SZ, REG_EXPAND_SZ and REG_MULTI_SZ in the ANSI
// code page. As on Windows, string data may count its terminating NUL or not: when it does not and
// the character just after the data is a NUL, the NUL is counted (Windows reads that one
// character too); otherwise the string is kept without it. In the W form a string of an odd
// number of bytes cannot be kept: ERROR_INVALID_PARAMETER. Null data with a non-zero size:
// ERROR_NOACCESS. A null or empty name is the default value.
LONG WINAPI RegSetValueExA(HKEY hKey, LPCSTR lpValueName, DWORD Reserved, DWORD dwType,
                           const BYTE* lpData, DWORD cbData);
LONG WINAPI RegSetValueExW(HKEY hKey, LPCWSTR lpValueName, DWORD Reserved, DWORD dwType,
                           const BYTE* lpData, DWORD cbData);
// As Windows: ERROR_MORE_DATA with the needed size in *lpcbData when the buffer is short (the
// buffer's contents are then undefined); a null lpData asks for the size only; lpData without
// lpcbData, or a non-null lpReserved: ERROR_INVALID_PARAMETER. A string kept without its NUL gets
// one after it when there is room, not counted. A missing value: ERROR_FILE_NOT_FOUND.
LONG WINAPI RegQueryValueExA(HKEY hKey, LPCSTR lpValueName, LPDWORD lpReserved, LPDWORD lpType,
                             LPBYTE lpData, LPDWORD lpcbData);
LONG WINAPI RegQueryValueExW(HKEY hKey, LPCWSTR lpValueName, LPDWORD lpReserved, LPDWORD lpType,
                             LPBYTE lpData, LPDWORD lpcbData);
// Deletes a key without subkeys (ERROR_ACCESS_DENIED when it has some, as Windows). An empty subkey
// deletes the open key itself; a null one: ERROR_INVALID_PARAMETER.
LONG WINAPI RegDeleteKeyA(HKEY hKey, LPCSTR lpSubKey);
LONG WINAPI RegDeleteKeyW(HKEY hKey, LPCWSTR lpSubKey);
LONG WINAPI RegDeleteValueA(HKEY hKey, LPCSTR lpValueName);
LONG WINAPI RegDeleteValueW(HKEY hKey, LPCWSTR lpValueName);
// Subkeys in the order of their upper-cased names (as Windows; "_x" after "Z"); ERROR_NO_MORE_ITEMS
// past the last; ERROR_MORE_DATA, sizes untouched, when the name and its NUL do not fit. The class
// is always empty; the last write time is that of the registry file.
LONG WINAPI RegEnumKeyExA(HKEY hKey, DWORD dwIndex, LPSTR lpName, LPDWORD lpcchName,
                          LPDWORD lpReserved, LPSTR lpClass, LPDWORD lpcchClass,
                          FILETIME* lpftLastWriteTime);
LONG WINAPI RegEnumKeyExW(HKEY hKey, DWORD dwIndex, LPWSTR lpName, LPDWORD lpcchName,
                          LPDWORD lpReserved, LPWSTR lpClass, LPDWORD lpcchClass,
                          FILETIME* lpftLastWriteTime);
}
