#include "name_moniker.h"

#include <cstring>
#include <utility>

#include "bind_log.h"
#include "server/com_object.h"

namespace zov::sim {
namespace {

// The value of MK_S_REDUCED_TO_SELF (not named on every platform).
constexpr HRESULT kReducedToSelf = 0x000401E2;

class NameMoniker : public IMoniker, public com::ObjectRoot {
 public:
  NameMoniker(const CLSID& provider, std::string name, BindFunction bind, LPCOLESTR loggedName)
      : provider_(provider), name_(std::move(name)), bind_(bind), logged_(loggedName != nullptr) {
    if (loggedName) loggedName_ = loggedName;
  }

  static const com::InterfaceEntry<NameMoniker>* InterfaceMap() {
    static const com::InterfaceEntry<NameMoniker> map[] = {
        {&IID_IMoniker, &com::InterfaceOf<NameMoniker, IMoniker>},
        {&IID_IPersist, &com::InterfaceOf<NameMoniker, IMoniker>},
        {&IID_IPersistStream, &com::InterfaceOf<NameMoniker, IMoniker>},
        {nullptr, nullptr}};
    return map;
  }

  HRESULT STDMETHODCALLTYPE GetClassID(CLSID* pClassID) override {
    if (!pClassID) return E_POINTER;
    *pClassID = provider_;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE IsDirty() override { return S_FALSE; }
  HRESULT STDMETHODCALLTYPE Load(IStream*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE Save(IStream*, BOOL) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE GetSizeMax(ULARGE_INTEGER*) override { return E_NOTIMPL; }

  HRESULT STDMETHODCALLTYPE BindToObject(IBindCtx*, IMoniker* pmkToLeft, REFIID riid,
                                         void** ppv) override {
    if (!ppv) return E_POINTER;
    *ppv = nullptr;
    if (logged_) RecordBind(loggedName_.c_str());
    if (pmkToLeft) return E_INVALIDARG;
    return Guarded([&] { return bind_(name_, riid, ppv); });
  }
  HRESULT STDMETHODCALLTYPE BindToStorage(IBindCtx*, IMoniker*, REFIID, void** ppv) override {
    return NotImplemented(ppv);
  }
  HRESULT STDMETHODCALLTYPE Reduce(IBindCtx*, DWORD, IMoniker**, IMoniker** ppmkReduced) override {
    if (!ppmkReduced) return E_POINTER;
    *ppmkReduced = this;
    AddRef();
    return kReducedToSelf;
  }
  HRESULT STDMETHODCALLTYPE ComposeWith(IMoniker*, BOOL, IMoniker** ppmkComposite) override {
    return NotImplemented(ppmkComposite);
  }
  HRESULT STDMETHODCALLTYPE Enum(BOOL, IEnumMoniker** ppenumMoniker) override {
    return NotImplemented(ppenumMoniker);
  }
  HRESULT STDMETHODCALLTYPE IsEqual(IMoniker* other) override {
    return other == this ? S_OK : S_FALSE;
  }
  HRESULT STDMETHODCALLTYPE Hash(DWORD*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE IsRunning(IBindCtx*, IMoniker*, IMoniker*) override { return S_FALSE; }
  HRESULT STDMETHODCALLTYPE GetTimeOfLastChange(IBindCtx*, IMoniker*, FILETIME*) override {
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE Inverse(IMoniker** ppmk) override { return NotImplemented(ppmk); }
  HRESULT STDMETHODCALLTYPE CommonPrefixWith(IMoniker*, IMoniker** ppmkPrefix) override {
    return NotImplemented(ppmkPrefix);
  }
  HRESULT STDMETHODCALLTYPE RelativePathTo(IMoniker*, IMoniker** ppmkRelPath) override {
    return NotImplemented(ppmkRelPath);
  }
  HRESULT STDMETHODCALLTYPE GetDisplayName(IBindCtx*, IMoniker*, LPOLESTR* out) override {
    if (!out) return E_POINTER;
    *out = nullptr;
    unique_bstr wide(ToBstr(name_));
    if (!wide.get()) return E_OUTOFMEMORY;
    size_t bytes = (wide.length() + 1) * sizeof(OLECHAR);
    *out = static_cast<LPOLESTR>(CoTaskMemAlloc(bytes));
    if (!*out) return E_OUTOFMEMORY;
    std::memcpy(*out, wide.get(), bytes);
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE ParseDisplayName(IBindCtx*, IMoniker*, LPOLESTR, ULONG* pchEaten,
                                             IMoniker** ppmkOut) override {
    if (pchEaten) *pchEaten = 0;
    if (ppmkOut) *ppmkOut = nullptr;
    return MK_E_SYNTAX;
  }
  HRESULT STDMETHODCALLTYPE IsSystemMoniker(DWORD* pdwMksys) override {
    if (!pdwMksys) return E_POINTER;
    *pdwMksys = 0;  // MKSYS_NONE
    return S_FALSE;
  }

 private:
  CLSID provider_;
  std::string name_;
  BindFunction bind_;
  bool logged_;
  std::basic_string<OLECHAR> loggedName_;  // the name as the parser was given it, when logged_
};

}  // namespace

HRESULT CreateNameMoniker(const CLSID& provider, const std::string& displayName, BindFunction bind,
                          LPCOLESTR loggedName, IMoniker** out) {
  return com::CreateObject<NameMoniker>(IID_IMoniker, reinterpret_cast<void**>(out), provider,
                                        displayName, bind, loggedName);
}

HRESULT ParseWholeName(const CLSID& provider, LPOLESTR name, bool (*accept)(const std::string&),
                       BindFunction bind, bool logBinds, ULONG* pchEaten, IMoniker** ppmkOut) {
  if (pchEaten) *pchEaten = 0;
  if (ppmkOut) *ppmkOut = nullptr;
  if (!name || !pchEaten || !ppmkOut) return E_POINTER;
  return Guarded([&]() -> HRESULT {
    std::string text;
    if (!ToAnsi(name, &text) || !accept(text)) {
      if (logBinds) RecordBind(name);
      return MK_E_SYNTAX;
    }
    HRESULT hr = CreateNameMoniker(provider, text, bind, logBinds ? name : nullptr, ppmkOut);
    if (SUCCEEDED(hr)) *pchEaten = static_cast<ULONG>(lstrlenW(name));
    return hr;
  });
}

}  // namespace zov::sim
