// Modules: a module is an ELF shared object inside the machine (its name may end in ".dll"),
// loaded with dlopen under its Windows path name.
#pragma once

#include "zov/platform/types.h"

#define DLL_PROCESS_DETACH 0
#define DLL_PROCESS_ATTACH 1
#define DLL_THREAD_ATTACH 2
#define DLL_THREAD_DETACH 3

extern "C" {
// A name with a path is resolved inside the machine (relative to the current directory). A bare
// name is looked for among the loaded modules first, then in the current directory, then in
// C:\WINDOWS\SYSTEM32 and C:\WINDOWS. Windows appends ".dll" to a bare name without an extension;
// so does the layer. Loading the same file again counts a reference and returns the same handle.
// Null with ERROR_MOD_NOT_FOUND when no file is found, ERROR_BAD_EXE_FORMAT when dlopen refuses
// it. After a successful load the module's "DllMain" export, when it has one, is called with
// DLL_PROCESS_ATTACH (FALSE from it unloads the module: ERROR_DLL_INIT_FAILED), and with
// DLL_PROCESS_DETACH when the last reference goes.
HMODULE WINAPI LoadLibraryA(LPCSTR lpLibFileName);
BOOL WINAPI FreeLibrary(HMODULE hLibModule);
// Exported functions by name; by ordinal is not supported (null, ERROR_PROC_NOT_FOUND).
FARPROC WINAPI GetProcAddress(HMODULE hModule, LPCSTR lpProcName);
// A loaded module by file name (with or without path, case-insensitive); null for the executable
// is not supported (the executable lives outside the machine): ERROR_MOD_NOT_FOUND.
HMODULE WINAPI GetModuleHandleA(LPCSTR lpModuleName);
// The full Windows path under which the module was loaded. For a null module, the host program's
// path from the environment variable ZOV_HOST_PROGRAM (a Windows path); without it 0 and
// ERROR_MOD_NOT_FOUND. Truncates as Windows does (ERROR_INSUFFICIENT_BUFFER, size returned).
DWORD WINAPI GetModuleFileNameA(HMODULE hModule, LPSTR lpFilename, DWORD nSize);
// Turns off nothing (there are no thread notifications here) and returns TRUE.
BOOL WINAPI DisableThreadLibraryCalls(HMODULE hLibModule);
}

#define ERROR_DLL_INIT_FAILED 1114L
