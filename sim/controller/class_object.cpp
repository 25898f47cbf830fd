#include "class_object.h"

#include <new>

#include "directory_object.h"
#include "domain_stream.h"
#include "name_moniker.h"
#include "nc_variables.h"
#include "server/class_factory.h"
#include "server/com_object.h"
#include "zov/com_ptr.h"

namespace zov::sim {
namespace {

// The class factory of the module (its reference count, its hold on the module, CreateInstance and
// LockServer), answering IParseDisplayName as well.
class ParsingClassObject final : public com::ClassFactory, public IParseDisplayName {
 public:
  explicit ParsingClassObject(com::InstanceCreator create) : ClassFactory(create) {}

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override {
    if (ppv && IsEqualIID(riid, IID_IParseDisplayName)) {
      *ppv = static_cast<IParseDisplayName*>(this);
      AddRef();
      return S_OK;
    }
    return ClassFactory::QueryInterface(riid, ppv);
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return ClassFactory::AddRef(); }
  ULONG STDMETHODCALLTYPE Release() override { return ClassFactory::Release(); }

  HRESULT STDMETHODCALLTYPE ParseDisplayName(IBindCtx* pbc, LPOLESTR name, ULONG* pchEaten,
                                             IMoniker** ppmkOut) override {
    if (pchEaten) *pchEaten = 0;
    if (ppmkOut) *ppmkOut = nullptr;
    com_ptr<IParseDisplayName> parser;
    HRESULT hr = MakeInstance(nullptr, IID_IParseDisplayName, parser.put_void());
    if (FAILED(hr)) return hr;
    return parser->ParseDisplayName(pbc, name, pchEaten, ppmkOut);
  }
};

// The parser of one class: which names it takes, how its monikers bind, and whether its binds go
// into the bind log (the directory namespace's do).
template <const CLSID& Clsid, bool (*Accept)(const std::string&), BindFunction Bind, bool LogBinds>
class Parser : public IParseDisplayName, public com::ObjectRoot {
 public:
  static const com::InterfaceEntry<Parser>* InterfaceMap() {
    static const com::InterfaceEntry<Parser> map[] = {
        {&IID_IParseDisplayName, &com::InterfaceOf<Parser, IParseDisplayName>},
        {nullptr, nullptr}};
    return map;
  }

  HRESULT STDMETHODCALLTYPE ParseDisplayName(IBindCtx*, LPOLESTR name, ULONG* pchEaten,
                                             IMoniker** ppmkOut) override {
    return ParseWholeName(Clsid, name, Accept, Bind, LogBinds, pchEaten, ppmkOut);
  }

  // The instance creator: a parser cannot be aggregated.
  static HRESULT Create(IUnknown* outer, REFIID riid, void** ppv) {
    if (!ppv) return E_POINTER;
    *ppv = nullptr;
    if (outer) return CLASS_E_NOAGGREGATION;
    return com::CreateObject<Parser>(riid, ppv);
  }
};

}  // namespace

HRESULT CreateParsingClassObject(com::InstanceCreator create, REFIID riid, void** ppv) {
  if (!ppv) return E_POINTER;
  *ppv = nullptr;
  ParsingClassObject* object = new (std::nothrow) ParsingClassObject(create);
  if (!object) return E_OUTOFMEMORY;
  return com::QueryNewObject(object, riid, ppv);
}

HRESULT CreateNamespaceParser(IUnknown* outer, REFIID riid, void** ppv) {
  return Parser<CLSID_VirtualNamespace, IsNamespaceName, BindNamespaceObject, true>::Create(
      outer, riid, ppv);
}
HRESULT CreateDomainParser(IUnknown* outer, REFIID riid, void** ppv) {
  return Parser<CLSID_VirtualDomain, IsDomainName, BindDomainObject, false>::Create(outer, riid,
                                                                                  ppv);
}
HRESULT CreateVariablesParser(IUnknown* outer, REFIID riid, void** ppv) {
  return Parser<CLSID_VirtualVariables, IsVariablesName, BindVariablesObject, false>::Create(
      outer, riid, ppv);
}

}  // namespace zov::sim
