// The COM runtime for in-process servers: apartments, task memory, ProgIDs, class objects.
#pragma once

#include "zov/platform/types.h"
#include "zov/platform/unknown.h"

#define COINIT_APARTMENTTHREADED 0x2
#define COINIT_MULTITHREADED 0x0
#define COINIT_DISABLE_OLE1DDE 0x4
#define COINIT_SPEED_OVER_MEMORY 0x8

#define CLSCTX_INPROC_SERVER 0x1
#define CLSCTX_INPROC_HANDLER 0x2
#define CLSCTX_LOCAL_SERVER 0x4
#define CLSCTX_REMOTE_SERVER 0x10
#define CLSCTX_INPROC (CLSCTX_INPROC_SERVER | CLSCTX_INPROC_HANDLER)
#define CLSCTX_SERVER (CLSCTX_INPROC_SERVER | CLSCTX_LOCAL_SERVER | CLSCTX_REMOTE_SERVER)
#define CLSCTX_ALL (CLSCTX_INPROC_SERVER | CLSCTX_INPROC_HANDLER | CLSCTX_LOCAL_SERVER | CLSCTX_REMOTE_SERVER)

typedef struct _COSERVERINFO COSERVERINFO;

extern "C" {
// Counted per thread. The first call returns S_OK, later calls with the same model S_FALSE, a call
// with the other model RPC_E_CHANGED_MODE (not counted). There is one apartment per thread and no
// marshalling: objects are called directly from any thread that has initialised COM. A thread
// that has not initialised COM does not join a process-wide multithreaded apartment here: it gets
// CO_E_NOTINITIALIZED. pvReserved is ignored.
HRESULT WINAPI CoInitializeEx(LPVOID pvReserved, DWORD dwCoInit);
HRESULT WINAPI CoInitialize(LPVOID pvReserved);
// Balances one successful CoInitializeEx/CoInitialize of this thread; ignored when unbalanced.
void WINAPI CoUninitialize(void);
LPVOID WINAPI CoTaskMemAlloc(SIZE_T cb);
LPVOID WINAPI CoTaskMemRealloc(LPVOID pv, SIZE_T cb);
void WINAPI CoTaskMemFree(LPVOID pv);
// HKEY_CLASSES_ROOT\<ProgID>\CLSID, following CurVer (one step) when the key has no CLSID of its
// own. CO_E_CLASSSTRING, and CLSID_NULL in *lpclsid, for an unknown ProgID.
HRESULT WINAPI CLSIDFromProgID(LPCOLESTR lpszProgID, LPCLSID lpclsid);
// The class's default string (HKEY_CLASSES_ROOT\CLSID\{clsid}\ProgID) in CoTaskMem;
// REGDB_E_CLASSNOTREG (and null) when there is none.
HRESULT WINAPI ProgIDFromCLSID(REFCLSID clsid, LPOLESTR* lplpszProgID);
// In-process servers only: HKEY_CLASSES_ROOT\CLSID\{clsid}\InprocServer32 names the module (a
// Windows path inside the machine); the module is loaded (and stays loaded for the life of the
// process, as until CoFreeUnusedLibraries on Windows) and its DllGetClassObject is asked.
// CO_E_NOTINITIALIZED when the thread has not initialised COM; REGDB_E_CLASSNOTREG when the class
// or its InprocServer32 key is missing or the context has no CLSCTX_INPROC_SERVER. When the
// module cannot be loaded, the loader's error as Windows passes it on:
// HRESULT_FROM_WIN32(ERROR_MOD_NOT_FOUND) for a missing file, HRESULT_FROM_WIN32(
// ERROR_BAD_EXE_FORMAT) for a file that is no module (CO_E_DLLNOTFOUND when the loader gives no
// reason, and for a REG_EXPAND_SZ path with environment references, which are not expanded);
// CO_E_ERRORINDLL when it has no DllGetClassObject. The ThreadingModel value is not consulted.
// pServerInfo must be null (E_INVALIDARG otherwise).
HRESULT WINAPI CoGetClassObject(REFCLSID rclsid, DWORD dwClsContext, COSERVERINFO* pServerInfo,
                                REFIID riid, LPVOID* ppv);
// CoGetClassObject for IClassFactory, then CreateInstance.
HRESULT WINAPI CoCreateInstance(REFCLSID rclsid, LPUNKNOWN pUnkOuter, DWORD dwClsContext,
                                REFIID riid, LPVOID* ppv);
}
