// Module resources: looked up in the table a module exports as ZovModuleResources.
#include "zov/platform/resource.h"

#include <cstdlib>
#include <cstring>
#include <string>

#include "zov/platform/errors.h"
#include "zov/platform/module.h"
#include "zov/platform/text.h"

namespace {

const ZovModuleResourceTable* TableOf(HMODULE module) {
  FARPROC symbol = GetProcAddress(module, ZOV_MODULE_RESOURCES_SYMBOL);
  if (!symbol) {
    // A handle that is no module stays "module not found"; a module without the table has no
    // resources.
    if (GetLastError() == ERROR_PROC_NOT_FOUND) SetLastError(ERROR_RESOURCE_DATA_NOT_FOUND);
    return nullptr;
  }
  return reinterpret_cast<const ZovModuleResourceTable*>(reinterpret_cast<void*>(symbol));
}

// A resource identifier: a number (MAKEINTRESOURCE, or a name "#123") or a name.
struct Identifier {
  bool isNumber = false;
  WORD number = 0;
  const char* name = nullptr;
};

Identifier Identify(const char* id) {
  Identifier result;
  if (IS_INTRESOURCE(id)) {
    result.isNumber = true;
    result.number = static_cast<WORD>(reinterpret_cast<ULONG_PTR>(id));
    return result;
  }
  if (id[0] == '#') {
    char* end = nullptr;
    unsigned long number = std::strtoul(id + 1, &end, 10);
    if (id[1] >= '0' && id[1] <= '9' && end && *end == '\0' && number <= 0xFFFF) {
      result.isNumber = true;
      result.number = static_cast<WORD>(number);
      return result;
    }
  }
  result.name = id;
  return result;
}

bool Matches(const Identifier& wanted, const char* entry) {
  Identifier have = Identify(entry);
  if (wanted.isNumber != have.isNumber) return false;
  if (wanted.isNumber) return wanted.number == have.number;
  return lstrcmpiA(wanted.name, have.name) == 0;
}

// The string table entry, or null with the last-error value set.
const ZovModuleString* FindString(HINSTANCE module, UINT id) {
  const ZovModuleResourceTable* table = TableOf(module);
  if (!table) return nullptr;
  if (table->stringCount == 0) {
    SetLastError(ERROR_RESOURCE_TYPE_NOT_FOUND);
    return nullptr;
  }
  for (UINT i = 0; i < table->stringCount; ++i)
    if (table->strings[i].id == id) return &table->strings[i];
  SetLastError(ERROR_RESOURCE_NAME_NOT_FOUND);
  return nullptr;
}

}  // namespace

extern "C" HRSRC WINAPI FindResourceA(HMODULE hModule, LPCSTR lpName, LPCSTR lpType) {
  if (!lpName || !lpType) {
    SetLastError(!lpType ? ERROR_RESOURCE_TYPE_NOT_FOUND : ERROR_RESOURCE_NAME_NOT_FOUND);
    return nullptr;
  }
  const ZovModuleResourceTable* table = TableOf(hModule);
  if (!table) return nullptr;
  Identifier type = Identify(lpType);
  Identifier name = Identify(lpName);
  bool typeFound = false;
  for (UINT i = 0; i < table->resourceCount; ++i) {
    const ZovModuleResource& entry = table->resources[i];
    if (!Matches(type, entry.type)) continue;
    typeFound = true;
    if (Matches(name, entry.name))
      return reinterpret_cast<HRSRC>(const_cast<ZovModuleResource*>(&entry));
  }
  SetLastError(typeFound ? ERROR_RESOURCE_NAME_NOT_FOUND : ERROR_RESOURCE_TYPE_NOT_FOUND);
  return nullptr;
}

extern "C" HGLOBAL WINAPI LoadResource(HMODULE hModule, HRSRC hResInfo) {
  (void)hModule;
  if (!hResInfo) {
    SetLastError(ERROR_INVALID_HANDLE);
    return nullptr;
  }
  const auto* entry = reinterpret_cast<const ZovModuleResource*>(hResInfo);
  return const_cast<unsigned char*>(entry->bytes);
}

extern "C" LPVOID WINAPI LockResource(HGLOBAL hResData) { return hResData; }

extern "C" DWORD WINAPI SizeofResource(HMODULE hModule, HRSRC hResInfo) {
  (void)hModule;
  if (!hResInfo) {
    SetLastError(ERROR_INVALID_HANDLE);
    return 0;
  }
  return reinterpret_cast<const ZovModuleResource*>(hResInfo)->size;
}

extern "C" int WINAPI LoadStringW(HINSTANCE hInstance, UINT uID, LPWSTR lpBuffer,
                                  int cchBufferMax) {
  if (!lpBuffer || cchBufferMax < 0) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  const ZovModuleString* entry = FindString(hInstance, uID);
  if (cchBufferMax == 0) {
    if (!entry) return 0;
    *reinterpret_cast<LPCWSTR*>(lpBuffer) = entry->text;
    return static_cast<int>(entry->length);
  }
  if (!entry) {
    lpBuffer[0] = 0;
    return 0;
  }
  UINT n = entry->length < static_cast<UINT>(cchBufferMax - 1) ? entry->length
                                                                 : static_cast<UINT>(cchBufferMax - 1);
  std::memcpy(lpBuffer, entry->text, n * sizeof(WCHAR));
  lpBuffer[n] = 0;
  return static_cast<int>(n);
}

extern "C" int WINAPI LoadStringA(HINSTANCE hInstance, UINT uID, LPSTR lpBuffer, int cchBufferMax) {
  if (!lpBuffer || cchBufferMax < 1) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  const ZovModuleString* entry = FindString(hInstance, uID);
  if (!entry) {
    lpBuffer[0] = '\0';
    return 0;
  }
  if (entry->length == 0) {
    lpBuffer[0] = '\0';
    return 0;
  }
  // 1252 has one byte per UTF-16 unit; a character it cannot hold becomes its best fit or '?'.
  std::string ansi;
  try {
    ansi.assign(entry->length, '\0');
  } catch (...) {
    lpBuffer[0] = '\0';
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return 0;
  }
  int n = WideCharToMultiByte(CP_ACP, 0, entry->text, static_cast<int>(entry->length), &ansi[0],
                              static_cast<int>(ansi.size()), nullptr, nullptr);
  if (n <= 0) {
    lpBuffer[0] = '\0';
    return 0;
  }
  int copied = n < cchBufferMax - 1 ? n : cchBufferMax - 1;
  std::memcpy(lpBuffer, ansi.data(), static_cast<size_t>(copied));
  lpBuffer[copied] = '\0';
  return copied;
}
