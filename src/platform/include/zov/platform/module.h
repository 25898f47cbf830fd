// Modules: a module is an ELF shared object inside the machine (its name may end in ".dll"),
// loaded with dlopen under its Windows path name.
#pragma once

#include "zov/platform/types.h"

#define DLL_PROCESS_DETACH 0
#define DLL_PROCESS_ATTACH 1
#define DLL_THREAD_ATTACH 2
#define DLL_THREAD_DETACH 3

extern "C" {
// The name is looked for as Windows does: trailing blanks are dropped; a file name without an
// extension gets ".dll" (a name ending in '.' has none and gets nothing). A name with a path is
// resolved inside the machine (relative to the current directory). A bare name is looked for among
// the loaded modules first (by file name, case-insensitively), then in the current directory, then
// in C:\Windows\system32 and C:\Windows (Windows would look in the executable's folder first;
// the executable lives outside the machine). Loading the same file again, under any name, counts
// a reference and returns the same handle, the module's load address (as a Windows module handle
// is its image base). Errors (null and the last-error value): ERROR_MOD_NOT_FOUND when no file is
// found (also for a folder, an empty or a null name) or a library the module needs is missing,
// ERROR_BAD_EXE_FORMAT when the file is no shared object for this machine, ERROR_PROC_NOT_FOUND
// when a symbol it imports is missing. After a successful first load the module's "DllMain"
// export, when it has one, is called with DLL_PROCESS_ATTACH; FALSE from it detaches and unloads
// the module again: ERROR_DLL_INIT_FAILED. Success leaves the last-error value alone.
HMODULE WINAPI LoadLibraryA(LPCSTR lpLibFileName);
// Counts a reference down; at the last one DllMain gets DLL_PROCESS_DETACH, then the module is
// unloaded. A null handle: ERROR_INVALID_HANDLE; a handle that is no loaded module:
// ERROR_MOD_NOT_FOUND.
BOOL WINAPI FreeLibrary(HMODULE hLibModule);
// Functions (and data) the module itself exports, by name and case-sensitively; not those of the
// libraries it uses. By ordinal is not supported: null, ERROR_PROC_NOT_FOUND. A handle that is no
// loaded module, null included (the executable is outside the machine): ERROR_MOD_NOT_FOUND.
FARPROC WINAPI GetProcAddress(HMODULE hModule, LPCSTR lpProcName);
// A loaded module by file name ("x", "x.dll", case-insensitive) or by full path (folded against
// the current directory, case-insensitive); the reference count is not touched. Null for the
// executable is not supported (the executable lives outside the machine): ERROR_MOD_NOT_FOUND.
HMODULE WINAPI GetModuleHandleA(LPCSTR lpModuleName);
// The full Windows path under which the module was first loaded: the folder and the file name in
// the spelling the load asked for (as Windows keeps it), ".dll" added when it was. For a null
// module, the host program's path from the environment variable ZOV_HOST_PROGRAM (a Windows path);
// without it 0 and ERROR_MOD_NOT_FOUND; a handle that is no loaded module: 0 and
// ERROR_MOD_NOT_FOUND. On success the last-error value is cleared, as Windows does. A buffer too
// small gets the path cut to nSize - 1 characters and a NUL; the call returns nSize with
// ERROR_INSUFFICIENT_BUFFER (nSize 0: returns 0, buffer untouched).
DWORD WINAPI GetModuleFileNameA(HMODULE hModule, LPSTR lpFilename, DWORD nSize);
// Turns off nothing (there are no thread notifications here) and returns TRUE.
BOOL WINAPI DisableThreadLibraryCalls(HMODULE hLibModule);
}

#define ERROR_DLL_INIT_FAILED 1114L
