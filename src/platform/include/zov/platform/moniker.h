// Binding by display name: IParseDisplayName, IMoniker (with its bases IPersist and
// IPersistStream), IBindCtx, CreateBindCtx, MkParseDisplayName and CoGetObject, with the Windows
// vtable layout and IIDs. Streams, storages, the running object table and enumerators are only
// named (incomplete types): nothing in the layer creates them.
#pragma once

#include "zov/platform/types.h"
#include "zov/platform/unknown.h"

ZOV_DECLARE_GUID(IID_IParseDisplayName);
ZOV_DECLARE_GUID(IID_IPersist);
ZOV_DECLARE_GUID(IID_IPersistStream);
ZOV_DECLARE_GUID(IID_IMoniker);
ZOV_DECLARE_GUID(IID_IBindCtx);

struct IStream;
struct IEnumMoniker;
struct IEnumString;
struct IRunningObjectTable;
struct IMoniker;

typedef struct tagBIND_OPTS {
  DWORD cbStruct;
  DWORD grfFlags;
  DWORD grfMode;
  DWORD dwTickCountDeadline;
} BIND_OPTS, *LPBIND_OPTS;

struct IParseDisplayName : public IUnknown {
  virtual HRESULT STDMETHODCALLTYPE ParseDisplayName(struct IBindCtx* pbc, LPOLESTR pszDisplayName,
                                                     ULONG* pchEaten, IMoniker** ppmkOut) = 0;
};

struct IPersist : public IUnknown {
  virtual HRESULT STDMETHODCALLTYPE GetClassID(CLSID* pClassID) = 0;
};

struct IPersistStream : public IPersist {
  virtual HRESULT STDMETHODCALLTYPE IsDirty() = 0;
  virtual HRESULT STDMETHODCALLTYPE Load(IStream* pStm) = 0;
  virtual HRESULT STDMETHODCALLTYPE Save(IStream* pStm, BOOL fClearDirty) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetSizeMax(ULARGE_INTEGER* pcbSize) = 0;
};

struct IBindCtx : public IUnknown {
  virtual HRESULT STDMETHODCALLTYPE RegisterObjectBound(IUnknown* punk) = 0;
  virtual HRESULT STDMETHODCALLTYPE RevokeObjectBound(IUnknown* punk) = 0;
  virtual HRESULT STDMETHODCALLTYPE ReleaseBoundObjects() = 0;
  virtual HRESULT STDMETHODCALLTYPE SetBindOptions(BIND_OPTS* pbindopts) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetBindOptions(BIND_OPTS* pbindopts) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetRunningObjectTable(IRunningObjectTable** pprot) = 0;
  virtual HRESULT STDMETHODCALLTYPE RegisterObjectParam(LPOLESTR pszKey, IUnknown* punk) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetObjectParam(LPOLESTR pszKey, IUnknown** ppunk) = 0;
  virtual HRESULT STDMETHODCALLTYPE EnumObjectParam(IEnumString** ppenum) = 0;
  virtual HRESULT STDMETHODCALLTYPE RevokeObjectParam(LPOLESTR pszKey) = 0;
};
typedef IBindCtx* LPBC;
typedef IBindCtx* LPBINDCTX;

struct IMoniker : public IPersistStream {
  virtual HRESULT STDMETHODCALLTYPE BindToObject(IBindCtx* pbc, IMoniker* pmkToLeft,
                                                 REFIID riidResult, void** ppvResult) = 0;
  virtual HRESULT STDMETHODCALLTYPE BindToStorage(IBindCtx* pbc, IMoniker* pmkToLeft, REFIID riid,
                                                  void** ppvObj) = 0;
  virtual HRESULT STDMETHODCALLTYPE Reduce(IBindCtx* pbc, DWORD dwReduceHowFar,
                                           IMoniker** ppmkToLeft, IMoniker** ppmkReduced) = 0;
  virtual HRESULT STDMETHODCALLTYPE ComposeWith(IMoniker* pmkRight, BOOL fOnlyIfNotGeneric,
                                                IMoniker** ppmkComposite) = 0;
  virtual HRESULT STDMETHODCALLTYPE Enum(BOOL fForward, IEnumMoniker** ppenumMoniker) = 0;
  virtual HRESULT STDMETHODCALLTYPE IsEqual(IMoniker* pmkOtherMoniker) = 0;
  virtual HRESULT STDMETHODCALLTYPE Hash(DWORD* pdwHash) = 0;
  virtual HRESULT STDMETHODCALLTYPE IsRunning(IBindCtx* pbc, IMoniker* pmkToLeft,
                                              IMoniker* pmkNewlyRunning) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetTimeOfLastChange(IBindCtx* pbc, IMoniker* pmkToLeft,
                                                        FILETIME* pFileTime) = 0;
  virtual HRESULT STDMETHODCALLTYPE Inverse(IMoniker** ppmk) = 0;
  virtual HRESULT STDMETHODCALLTYPE CommonPrefixWith(IMoniker* pmkOther,
                                                     IMoniker** ppmkPrefix) = 0;
  virtual HRESULT STDMETHODCALLTYPE RelativePathTo(IMoniker* pmkOther,
                                                   IMoniker** ppmkRelPath) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetDisplayName(IBindCtx* pbc, IMoniker* pmkToLeft,
                                                   LPOLESTR* ppszDisplayName) = 0;
  virtual HRESULT STDMETHODCALLTYPE ParseDisplayName(IBindCtx* pbc, IMoniker* pmkToLeft,
                                                     LPOLESTR pszDisplayName, ULONG* pchEaten,
                                                     IMoniker** ppmkOut) = 0;
  virtual HRESULT STDMETHODCALLTYPE IsSystemMoniker(DWORD* pdwMksys) = 0;
};
typedef IMoniker* LPMONIKER;

extern "C" {
// A bind context that keeps the objects registered with RegisterObjectBound until it is released
// or ReleaseBoundObjects is called (RevokeObjectBound of an object it does not hold:
// MK_E_NOTBOUND), and named object parameters (keys match with their case; a missing key: E_FAIL
// from GetObjectParam and RevokeObjectParam). Bind options are kept as BIND_OPTS (defaults: no
// flags, STGM_READWRITE, no deadline); the larger BIND_OPTS2/BIND_OPTS3 are not kept, and a
// cbStruct other than sizeof(BIND_OPTS) gets E_INVALIDARG. GetRunningObjectTable and
// EnumObjectParam return E_NOTIMPL. reserved must be 0.
HRESULT WINAPI CreateBindCtx(DWORD reserved, LPBC* ppbc);
// Display names of the forms "ProgID:rest", "@ProgID:rest" and "@ProgID", resolved as Windows
// resolves them: the ProgID (the text before the first ':', or all of it after an '@' when there
// is no ':', without the '@') names a class; its class object is
// asked for IParseDisplayName, and when it has none, IClassFactory::CreateInstance is asked for
// one; its ParseDisplayName gets the whole display name (with the '@'). Other forms (file, item
// and composite monikers, "clsid:" names) are not supported: MK_E_CANTOPENFILE, as Windows reports
// a name that is no ProgID and no file. When the class's parser eats only part of the name,
// Windows parses the rest with the moniker and composes the two; the layer does not compose:
// MK_E_SYNTAX, with *pchEaten the part eaten.
HRESULT WINAPI MkParseDisplayName(LPBC pbc, LPCOLESTR szUserName, ULONG* pchEaten,
                                  LPMONIKER* ppmk);
// MkParseDisplayName, then IMoniker::BindToObject with no moniker to the left.
HRESULT WINAPI CoGetObject(LPCWSTR pszName, BIND_OPTS* pBindOptions, REFIID riid, void** ppv);
}
