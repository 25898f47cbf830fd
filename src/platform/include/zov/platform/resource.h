// Module resources: the data a module carries beside its code (its registry script, its strings),
// found by type and identifier as Windows finds the resources of a DLL.
//
// A module here is an ELF object with no resource section. Instead it exports one C symbol,
// ZovModuleResources, a table of its resources (the build generates it; see
// cmake/Resources.cmake), which the functions below look up with GetProcAddress.
//
// Kept from Windows: identifiers as MAKEINTRESOURCE numbers or as names; a name "#101" stands for
// the number 101; names and type names compared without regard to letter case ("registry" finds
// "REGISTRY"); the resource data stay where they are for as long as the module is loaded
// (LoadResource and LockResource give a pointer into the module, nothing is to be freed); string
// table entries by number through LoadString, A (converted to the ANSI code page) and W.
// Left out: languages (each resource exists once, in no particular language; there is no
// FindResourceEx); enumeration of resources; RT_STRING blocks through FindResource (strings are
// kept as single entries, reached by LoadString only: FindResource with RT_STRING finds nothing);
// resources of the executable (a null module), which lives outside the machine.
#pragma once

#include "zov/platform/types.h"

typedef struct HRSRC__* HRSRC;
typedef void* HGLOBAL;

#define MAKEINTRESOURCEA(i) ((LPSTR)(ULONG_PTR)((WORD)(i)))
#define MAKEINTRESOURCEW(i) ((LPWSTR)(ULONG_PTR)((WORD)(i)))
#define MAKEINTRESOURCE MAKEINTRESOURCEA
#define IS_INTRESOURCE(r) ((((ULONG_PTR)(r)) >> 16) == 0)
#define RT_STRING MAKEINTRESOURCE(6)
#define RT_RCDATA MAKEINTRESOURCE(10)

#define ERROR_RESOURCE_DATA_NOT_FOUND 1812L
#define ERROR_RESOURCE_TYPE_NOT_FOUND 1813L
#define ERROR_RESOURCE_NAME_NOT_FOUND 1814L

// The table a module exports as ZovModuleResources. type and name are a MAKEINTRESOURCE number or
// a NUL-terminated name; text is UTF-16 and NUL-terminated, length in UTF-16 units without it.
struct ZovModuleResource {
  const char* type;
  const char* name;
  const unsigned char* bytes;
  DWORD size;
};
struct ZovModuleString {
  UINT id;
  const WCHAR* text;
  UINT length;
};
struct ZovModuleResourceTable {
  const ZovModuleResource* resources;
  UINT resourceCount;
  const ZovModuleString* strings;
  UINT stringCount;
};
#define ZOV_MODULE_RESOURCES_SYMBOL "ZovModuleResources"

extern "C" {
// The resource of the type and name, or null with the last-error value: ERROR_MOD_NOT_FOUND for a
// handle that is no loaded module (null included), ERROR_RESOURCE_DATA_NOT_FOUND for a module
// without resources, ERROR_RESOURCE_TYPE_NOT_FOUND when it has none of the type,
// ERROR_RESOURCE_NAME_NOT_FOUND when none of the type has the name. Argument order as Windows:
// name before type.
HRSRC WINAPI FindResourceA(HMODULE hModule, LPCSTR lpName, LPCSTR lpType);
// The data of a found resource (null for a null resource, ERROR_INVALID_HANDLE). The module is
// not checked, as on Windows the handle carries what is needed.
HGLOBAL WINAPI LoadResource(HMODULE hModule, HRSRC hResInfo);
// The pointer LoadResource gave; the data are read-only and stay valid while the module is loaded.
LPVOID WINAPI LockResource(HGLOBAL hResData);
// The size in bytes of a found resource; 0 for a null one.
DWORD WINAPI SizeofResource(HMODULE hModule, HRSRC hResInfo);
// String table entry uID copied into the buffer, cut to cchBufferMax - 1 characters and ended by
// a NUL; returns the number of characters copied without the NUL. A missing entry (or module):
// 0 with the last-error value set as for FindResourceA, and an empty buffer when there is room.
// The A form converts to the ANSI code page; a null buffer or cchBufferMax below 1: 0,
// ERROR_INVALID_PARAMETER. The W form with cchBufferMax 0 stores a read-only pointer to the text
// (not NUL-terminated) in *(LPCWSTR*)lpBuffer and returns its length, as Windows.
int WINAPI LoadStringA(HINSTANCE hInstance, UINT uID, LPSTR lpBuffer, int cchBufferMax);
int WINAPI LoadStringW(HINSTANCE hInstance, UINT uID, LPWSTR lpBuffer, int cchBufferMax);
}
