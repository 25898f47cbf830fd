// Bind contexts and binding by display name ("ProgID:rest", "@ProgID:rest") through the named
// class's own parser.
#include "zov/platform/moniker.h"

#include <atomic>
#include <mutex>
#include <new>
#include <string>
#include <utility>
#include <vector>

#include "zov/platform/com.h"
#include "zov/platform/errors.h"

namespace {

using OleString = std::u16string;

constexpr DWORD kStgmReadWrite = 0x2;  // STGM_READWRITE, the default access of a bind context

// An interface pointer the layer owns for one scope.
template <class T>
class Owned {
 public:
  Owned() = default;
  ~Owned() {
    if (p_) p_->Release();
  }
  Owned(const Owned&) = delete;
  Owned& operator=(const Owned&) = delete;
  T* get() const { return p_; }
  T* operator->() const { return p_; }
  void** outVoid() { return reinterpret_cast<void**>(&p_); }
  T** out() { return &p_; }
  T* release() { return std::exchange(p_, nullptr); }

 private:
  T* p_ = nullptr;
};

void ReleaseAll(std::vector<IUnknown*>& objects) {
  for (IUnknown* object : objects) object->Release();
  objects.clear();
}

class BindContext final : public IBindCtx {
 public:
  BindContext() = default;
  BindContext(const BindContext&) = delete;
  BindContext& operator=(const BindContext&) = delete;

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override {
    if (!ppv) return E_POINTER;
    if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IBindCtx)) {
      *ppv = static_cast<IBindCtx*>(this);
      AddRef();
      return S_OK;
    }
    *ppv = nullptr;
    return E_NOINTERFACE;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return ++refs_; }
  ULONG STDMETHODCALLTYPE Release() override {
    ULONG left = --refs_;
    if (left == 0) {
      // What the context still holds is released without its lock: a release may re-enter it.
      std::vector<IUnknown*> held;
      {
        std::lock_guard<std::mutex> lock(mutex_);
        held.swap(bound_);
        for (auto& param : params_) held.push_back(param.second);
        params_.clear();
      }
      ReleaseAll(held);
      delete this;
    }
    return left;
  }

  HRESULT STDMETHODCALLTYPE RegisterObjectBound(IUnknown* punk) override {
    if (!punk) return E_INVALIDARG;
    try {
      std::lock_guard<std::mutex> lock(mutex_);
      bound_.push_back(punk);
    } catch (const std::bad_alloc&) {
      return E_OUTOFMEMORY;
    }
    punk->AddRef();
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE RevokeObjectBound(IUnknown* punk) override {
    if (!punk) return E_INVALIDARG;
    {
      std::lock_guard<std::mutex> lock(mutex_);
      auto it = bound_.begin();
      while (it != bound_.end() && *it != punk) ++it;
      if (it == bound_.end()) return MK_E_NOTBOUND;
      bound_.erase(it);
    }
    punk->Release();
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE ReleaseBoundObjects() override {
    std::vector<IUnknown*> held;
    {
      std::lock_guard<std::mutex> lock(mutex_);
      held.swap(bound_);
    }
    ReleaseAll(held);
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE SetBindOptions(BIND_OPTS* pbindopts) override {
    if (!pbindopts || pbindopts->cbStruct != sizeof(BIND_OPTS)) return E_INVALIDARG;
    std::lock_guard<std::mutex> lock(mutex_);
    options_ = *pbindopts;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE GetBindOptions(BIND_OPTS* pbindopts) override {
    if (!pbindopts || pbindopts->cbStruct != sizeof(BIND_OPTS)) return E_INVALIDARG;
    std::lock_guard<std::mutex> lock(mutex_);
    *pbindopts = options_;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE GetRunningObjectTable(IRunningObjectTable** pprot) override {
    if (pprot) *pprot = nullptr;
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE RegisterObjectParam(LPOLESTR pszKey, IUnknown* punk) override {
    if (!pszKey || !punk) return E_INVALIDARG;
    IUnknown* replaced = nullptr;
    try {
      std::lock_guard<std::mutex> lock(mutex_);
      auto it = FindParam(pszKey);
      if (it != params_.end()) {
        replaced = it->second;
        it->second = punk;
      } else {
        params_.emplace_back(OleString(pszKey), punk);
      }
    } catch (const std::bad_alloc&) {
      return E_OUTOFMEMORY;
    }
    punk->AddRef();
    if (replaced) replaced->Release();
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE GetObjectParam(LPOLESTR pszKey, IUnknown** ppunk) override {
    if (!ppunk) return E_INVALIDARG;
    *ppunk = nullptr;
    if (!pszKey) return E_INVALIDARG;
    std::lock_guard<std::mutex> lock(mutex_);
    auto it = FindParam(pszKey);
    if (it == params_.end()) return E_FAIL;
    *ppunk = it->second;
    it->second->AddRef();
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE EnumObjectParam(IEnumString** ppenum) override {
    if (ppenum) *ppenum = nullptr;
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE RevokeObjectParam(LPOLESTR pszKey) override {
    if (!pszKey) return E_INVALIDARG;
    IUnknown* revoked;
    {
      std::lock_guard<std::mutex> lock(mutex_);
      auto it = FindParam(pszKey);
      if (it == params_.end()) return E_FAIL;
      revoked = it->second;
      params_.erase(it);
    }
    revoked->Release();
    return S_OK;
  }

 private:
  ~BindContext() = default;

  // Keys match exactly, case included.
  std::vector<std::pair<OleString, IUnknown*>>::iterator FindParam(LPCOLESTR key) {
    auto it = params_.begin();
    while (it != params_.end() && it->first != key) ++it;
    return it;
  }

  std::atomic<ULONG> refs_{1};
  std::mutex mutex_;
  std::vector<IUnknown*> bound_;
  std::vector<std::pair<OleString, IUnknown*>> params_;
  BIND_OPTS options_{sizeof(BIND_OPTS), 0, kStgmReadWrite, 0};
};

// The parser a class offers: its class object's IParseDisplayName, else one its class factory
// creates.
HRESULT ParserOfClass(REFCLSID clsid, IParseDisplayName** parser) {
  HRESULT hr = CoGetClassObject(clsid, CLSCTX_ALL, nullptr, IID_IParseDisplayName,
                                reinterpret_cast<void**>(parser));
  if (SUCCEEDED(hr)) return hr;
  Owned<IClassFactory> factory;
  hr = CoGetClassObject(clsid, CLSCTX_ALL, nullptr, IID_IClassFactory, factory.outVoid());
  if (FAILED(hr)) return hr;
  hr = factory->CreateInstance(nullptr, IID_IParseDisplayName, reinterpret_cast<void**>(parser));
  if (FAILED(hr)) *parser = nullptr;
  return hr;
}

HRESULT ParseProgIdName(LPBC pbc, const OleString& displayName, ULONG* pchEaten,
                        LPMONIKER* ppmk) {
  // The ProgID: the text before the first ':', after an optional '@'. A name beginning with '@'
  // needs no ':' ("@ProgID" is the whole ProgID), as on Windows.
  const size_t start = !displayName.empty() && displayName[0] == u'@' ? 1 : 0;
  size_t colon = displayName.find(u':', start);
  if (colon == OleString::npos && start == 1) colon = displayName.size();
  if (colon == OleString::npos || colon == start) return MK_E_CANTOPENFILE;
  const OleString progId = displayName.substr(start, colon - start);
  CLSID clsid;
  if (FAILED(CLSIDFromProgID(progId.c_str(), &clsid))) return MK_E_CANTOPENFILE;

  Owned<IParseDisplayName> parser;
  HRESULT hr = ParserOfClass(clsid, parser.out());
  if (FAILED(hr)) return hr;
  OleString name = displayName;  // the parser takes a writable string
  ULONG eaten = 0;
  Owned<IMoniker> moniker;
  hr = parser->ParseDisplayName(pbc, &name[0], &eaten, moniker.out());
  *pchEaten = eaten;
  if (FAILED(hr)) return hr;
  if (!moniker.get()) return E_UNEXPECTED;
  // Parsing a remainder with the moniker and composing the results is not supported.
  if (eaten != displayName.size()) return MK_E_SYNTAX;
  *ppmk = moniker.release();
  return S_OK;
}

}  // namespace

extern "C" {

HRESULT WINAPI CreateBindCtx(DWORD reserved, LPBC* ppbc) {
  if (!ppbc) return E_INVALIDARG;
  *ppbc = nullptr;
  if (reserved != 0) return E_INVALIDARG;
  BindContext* context = new (std::nothrow) BindContext();
  if (!context) return E_OUTOFMEMORY;
  *ppbc = context;
  return S_OK;
}

HRESULT WINAPI MkParseDisplayName(LPBC pbc, LPCOLESTR szUserName, ULONG* pchEaten,
                                  LPMONIKER* ppmk) {
  if (pchEaten) *pchEaten = 0;
  if (ppmk) *ppmk = nullptr;
  if (!pbc || !szUserName || !pchEaten || !ppmk) return E_INVALIDARG;
  if (!*szUserName) return MK_E_SYNTAX;
  try {
    return ParseProgIdName(pbc, OleString(szUserName), pchEaten, ppmk);
  } catch (const std::bad_alloc&) {
    return E_OUTOFMEMORY;
  }
}

HRESULT WINAPI CoGetObject(LPCWSTR pszName, BIND_OPTS* pBindOptions, REFIID riid, void** ppv) {
  if (!ppv) return E_INVALIDARG;
  *ppv = nullptr;
  if (!pszName) return E_INVALIDARG;
  Owned<IBindCtx> context;
  HRESULT hr = CreateBindCtx(0, context.out());
  if (FAILED(hr)) return hr;
  if (pBindOptions) {
    hr = context->SetBindOptions(pBindOptions);
    if (FAILED(hr)) return hr;
  }
  ULONG eaten = 0;
  Owned<IMoniker> moniker;
  hr = MkParseDisplayName(context.get(), pszName, &eaten, moniker.out());
  if (FAILED(hr)) return hr;
  hr = moniker->BindToObject(context.get(), nullptr, riid, ppv);
  if (FAILED(hr)) *ppv = nullptr;
  return hr;
}

}  // extern "C"
