#include "class_object.h"

#include <new>

#include "com_support.h"
#include "directory_object.h"
#include "domain_stream.h"
#include "name_moniker.h"
#include "nc_variables.h"
#include "zov/com_ptr.h"

namespace zov::sim {
namespace {

class ParsingClassObject final : public IClassFactory, public IParseDisplayName {
 public:
  explicit ParsingClassObject(com::InstanceCreator create) : create_(create) {
    InitializeCriticalSection(&lock_);
  }
  ~ParsingClassObject() { DeleteCriticalSection(&lock_); }
  ParsingClassObject(const ParsingClassObject&) = delete;
  ParsingClassObject& operator=(const ParsingClassObject&) = delete;

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override {
    if (!ppv) return E_POINTER;
    if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IClassFactory))
      return HandOut<IClassFactory>(this, ppv);
    if (IsEqualIID(riid, IID_IParseDisplayName)) return HandOut<IParseDisplayName>(this, ppv);
    *ppv = nullptr;
    return E_NOINTERFACE;
  }
  ULONG STDMETHODCALLTYPE AddRef() override {
    EnterCriticalSection(&lock_);
    ULONG refs = ++refs_;
    if (refs == 2) com::Module().Lock();
    LeaveCriticalSection(&lock_);
    return refs;
  }
  ULONG STDMETHODCALLTYPE Release() override {
    EnterCriticalSection(&lock_);
    ULONG refs = --refs_;
    if (refs == 1) com::Module().Unlock();
    LeaveCriticalSection(&lock_);
    if (refs == 0) delete this;
    return refs;
  }

  HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown* outer, REFIID riid, void** ppv) override {
    if (!ppv) return E_POINTER;
    *ppv = nullptr;
    if (outer) return CLASS_E_NOAGGREGATION;
    return create_(nullptr, riid, ppv);
  }
  HRESULT STDMETHODCALLTYPE LockServer(BOOL lock) override {
    if (lock) {
      com::Module().Lock();
    } else {
      com::Module().Unlock();
    }
    return S_OK;
  }

  HRESULT STDMETHODCALLTYPE ParseDisplayName(IBindCtx* pbc, LPOLESTR name, ULONG* pchEaten,
                                             IMoniker** ppmkOut) override {
    if (pchEaten) *pchEaten = 0;
    if (ppmkOut) *ppmkOut = nullptr;
    com_ptr<IParseDisplayName> parser;
    HRESULT hr = create_(nullptr, IID_IParseDisplayName, parser.put_void());
    if (FAILED(hr)) return hr;
    return parser->ParseDisplayName(pbc, name, pchEaten, ppmkOut);
  }

 private:
  com::InstanceCreator create_;
  ULONG refs_ = 0;
  CRITICAL_SECTION lock_;
};

// The parser of one class: which names it takes and how its monikers bind.
template <const CLSID& Clsid, bool (*Accept)(const std::string&), BindFunction Bind>
class Parser final : public IParseDisplayName, private RefCounted {
 public:
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override {
    if (!ppv) return E_POINTER;
    if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IParseDisplayName))
      return HandOut<IParseDisplayName>(this, ppv);
    *ppv = nullptr;
    return E_NOINTERFACE;
  }
  ZOV_SIM_REFCOUNT

  HRESULT STDMETHODCALLTYPE ParseDisplayName(IBindCtx*, LPOLESTR name, ULONG* pchEaten,
                                             IMoniker** ppmkOut) override {
    return ParseWholeName(Clsid, name, Accept, Bind, pchEaten, ppmkOut);
  }

  static HRESULT Create(IUnknown* outer, REFIID riid, void** ppv) {
    if (!ppv) return E_POINTER;
    *ppv = nullptr;
    if (outer) return CLASS_E_NOAGGREGATION;
    Parser* parser = new (std::nothrow) Parser();
    if (!parser) return E_OUTOFMEMORY;
    HRESULT hr = parser->QueryInterface(riid, ppv);
    parser->Release();
    return hr;
  }
};

}  // namespace

HRESULT CreateParsingClassObject(com::InstanceCreator create, REFIID riid, void** ppv) {
  if (!ppv) return E_POINTER;
  *ppv = nullptr;
  ParsingClassObject* object = new (std::nothrow) ParsingClassObject(create);
  if (!object) return E_OUTOFMEMORY;
  HRESULT hr = object->QueryInterface(riid, ppv);
  if (FAILED(hr)) delete object;
  return hr;
}

HRESULT CreateNamespaceParser(IUnknown* outer, REFIID riid, void** ppv) {
  return Parser<CLSID_VirtualNamespace, IsNamespaceName, BindNamespaceObject>::Create(outer, riid,
                                                                                       ppv);
}
HRESULT CreateDomainParser(IUnknown* outer, REFIID riid, void** ppv) {
  return Parser<CLSID_VirtualDomain, IsDomainName, BindDomainObject>::Create(outer, riid, ppv);
}
HRESULT CreateVariablesParser(IUnknown* outer, REFIID riid, void** ppv) {
  return Parser<CLSID_VirtualVariables, IsVariablesName, BindVariablesObject>::Create(outer, riid,
                                                                                      ppv);
}

}  // namespace zov::sim
