// zovtestsrv.dll: a small in-process COM server that the activation tests load through the
// registry, written once against zov/win32.h. It serves three classes:
//   ZovTest.Counter.1 (ZovTest.Counter through CurVer): a plain object with IZovTestObject that
//     can be aggregated (when the outer object asks for IUnknown, as COM requires);
//   ZovTest.Namespace: a moniker provider whose class object itself parses display names;
//   ZovTest.Factory: a moniker provider whose class object only creates a parser.
// The objects bound through either provider remember the display name their parser received.
// Every object and every LockServer(TRUE) holds the module; DllCanUnloadNow reports it.
#include <cstdio>
#include <cstring>
#include <new>
#include <string>

#include "test_server.h"

using zov::test::CLSID_ZovTestCounter;
using zov::test::CLSID_ZovTestFactory;
using zov::test::CLSID_ZovTestNamespace;
using zov::test::IID_IZovTestObject;
using zov::test::IZovTestObject;

namespace {

using OleString = std::basic_string<OLECHAR>;

HMODULE g_module = nullptr;
LONG g_locks = 0;

void LockModule() { InterlockedIncrement(&g_locks); }
void UnlockModule() { InterlockedDecrement(&g_locks); }

HRESULT CopyToTaskMem(const OleString& text, LPOLESTR* out) {
  if (!out) return E_POINTER;
  *out = static_cast<LPOLESTR>(CoTaskMemAlloc((text.size() + 1) * sizeof(OLECHAR)));
  if (!*out) return E_OUTOFMEMORY;
  std::memcpy(*out, text.c_str(), (text.size() + 1) * sizeof(OLECHAR));
  return S_OK;
}

// IUnknown for a heap object with the one interface I: references counted from 1, the object
// deleted at 0 and the module held while it lives. QueryInterface answers IUnknown and Iids with I.
template <typename I, const IID&... Iids>
class HeapObject : public I {
 public:
  HeapObject() { LockModule(); }
  virtual ~HeapObject() { UnlockModule(); }
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override {
    if (!ppv) return E_POINTER;
    if (IsEqualIID(riid, IID_IUnknown) || (IsEqualIID(riid, Iids) || ...)) {
      *ppv = static_cast<I*>(this);
      AddRef();
      return S_OK;
    }
    *ppv = nullptr;
    return E_NOINTERFACE;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return InterlockedIncrement(&refs_); }
  ULONG STDMETHODCALLTYPE Release() override {
    LONG left = InterlockedDecrement(&refs_);
    if (left == 0) delete this;
    return left;
  }

 private:
  LONG refs_ = 1;
};

// IUnknown for a class object: it lives as long as the module, and its references do not hold it.
template <typename I, const IID& Iid>
class StaticObject : public I {
 public:
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override {
    if (!ppv) return E_POINTER;
    if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, Iid)) {
      *ppv = static_cast<I*>(this);
      return S_OK;
    }
    *ppv = nullptr;
    return E_NOINTERFACE;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
  ULONG STDMETHODCALLTYPE Release() override { return 1; }
};

// A class factory; LockServer holds the module.
class ClassFactory : public StaticObject<IClassFactory, IID_IClassFactory> {
 public:
  HRESULT STDMETHODCALLTYPE LockServer(BOOL lock) override {
    if (lock) {
      LockModule();
    } else {
      UnlockModule();
    }
    return S_OK;
  }
};

// A counter. Its IZovTestObject delegates IUnknown to the controlling unknown: the outer object
// when aggregated, else its own inner unknown.
class Counter final : public IZovTestObject {
 public:
  explicit Counter(IUnknown* outer) : inner_(this), outer_(outer ? outer : &inner_) { LockModule(); }
  ~Counter() { UnlockModule(); }
  Counter(const Counter&) = delete;
  Counter& operator=(const Counter&) = delete;

  IUnknown* Inner() { return &inner_; }

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override {
    return outer_->QueryInterface(riid, ppv);
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return outer_->AddRef(); }
  ULONG STDMETHODCALLTYPE Release() override { return outer_->Release(); }

  HRESULT STDMETHODCALLTYPE Increment(LONG* newValue) override {
    if (!newValue) return E_POINTER;
    *newValue = InterlockedIncrement(&value_);
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE GetName(LPOLESTR* name) override {
    try {
      return CopyToTaskMem(OleString(), name);
    } catch (...) {
      return E_OUTOFMEMORY;
    }
  }

 private:
  // The non-delegating unknown: it alone counts the object's references.
  struct InnerUnknown final : public IUnknown {
    explicit InnerUnknown(Counter* owner) : owner(owner) {}
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override {
      if (!ppv) return E_POINTER;
      if (IsEqualIID(riid, IID_IUnknown)) {
        *ppv = static_cast<IUnknown*>(this);
      } else if (IsEqualIID(riid, IID_IZovTestObject)) {
        *ppv = static_cast<IZovTestObject*>(owner);
      } else {
        *ppv = nullptr;
        return E_NOINTERFACE;
      }
      static_cast<IUnknown*>(*ppv)->AddRef();
      return S_OK;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return InterlockedIncrement(&refs); }
    ULONG STDMETHODCALLTYPE Release() override {
      LONG left = InterlockedDecrement(&refs);
      if (left == 0) delete owner;
      return left;
    }
    Counter* owner;
    LONG refs = 1;
  };

  InnerUnknown inner_;
  IUnknown* outer_;
  LONG value_ = 0;
};

// The object a moniker of either provider binds to.
class NamedObject final : public HeapObject<IZovTestObject, IID_IZovTestObject> {
 public:
  explicit NamedObject(OleString name) : name_(std::move(name)) {}

  HRESULT STDMETHODCALLTYPE Increment(LONG* newValue) override {
    if (!newValue) return E_POINTER;
    *newValue = InterlockedIncrement(&value_);
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE GetName(LPOLESTR* name) override {
    try {
      return CopyToTaskMem(name_, name);
    } catch (...) {
      return E_OUTOFMEMORY;
    }
  }

 private:
  OleString name_;
  LONG value_ = 0;
};

// The moniker a provider's parser returns: it binds to a NamedObject carrying the parsed name.
class NameMoniker final
    : public HeapObject<IMoniker, IID_IPersist, IID_IPersistStream, IID_IMoniker> {
 public:
  NameMoniker(OleString name, const CLSID& provider) : name_(std::move(name)), provider_(provider) {}

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
    if (pmkToLeft) return E_INVALIDARG;
    NamedObject* object;
    try {
      object = new NamedObject(name_);
    } catch (...) {
      return E_OUTOFMEMORY;
    }
    HRESULT hr = object->QueryInterface(riid, ppv);
    object->Release();
    return hr;
  }
  HRESULT STDMETHODCALLTYPE BindToStorage(IBindCtx*, IMoniker*, REFIID, void** ppv) override {
    if (ppv) *ppv = nullptr;
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE Reduce(IBindCtx*, DWORD, IMoniker**, IMoniker** ppmkReduced) override {
    if (!ppmkReduced) return E_POINTER;
    *ppmkReduced = this;
    AddRef();
    return MK_S_REDUCED_TO_SELF_VALUE;
  }
  HRESULT STDMETHODCALLTYPE ComposeWith(IMoniker*, BOOL, IMoniker** ppmkComposite) override {
    if (ppmkComposite) *ppmkComposite = nullptr;
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE Enum(BOOL, IEnumMoniker** ppenumMoniker) override {
    if (ppenumMoniker) *ppenumMoniker = nullptr;
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE IsEqual(IMoniker* other) override {
    return other == this ? S_OK : S_FALSE;
  }
  HRESULT STDMETHODCALLTYPE Hash(DWORD*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE IsRunning(IBindCtx*, IMoniker*, IMoniker*) override { return S_FALSE; }
  HRESULT STDMETHODCALLTYPE GetTimeOfLastChange(IBindCtx*, IMoniker*, FILETIME*) override {
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE Inverse(IMoniker** ppmk) override {
    if (ppmk) *ppmk = nullptr;
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE CommonPrefixWith(IMoniker*, IMoniker** ppmkPrefix) override {
    if (ppmkPrefix) *ppmkPrefix = nullptr;
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE RelativePathTo(IMoniker*, IMoniker** ppmkRelPath) override {
    if (ppmkRelPath) *ppmkRelPath = nullptr;
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE GetDisplayName(IBindCtx*, IMoniker*, LPOLESTR* name) override {
    try {
      return CopyToTaskMem(name_, name);
    } catch (...) {
      return E_OUTOFMEMORY;
    }
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
  // The value of MK_S_REDUCED_TO_SELF, which the layer does not name.
  static constexpr HRESULT MK_S_REDUCED_TO_SELF_VALUE = 0x000401E2;
  OleString name_;
  CLSID provider_;
};

// Both providers parse alike: the whole name is eaten and kept, exactly as received.
HRESULT ParseName(const CLSID& provider, LPOLESTR name, ULONG* pchEaten, IMoniker** ppmkOut) {
  if (pchEaten) *pchEaten = 0;
  if (ppmkOut) *ppmkOut = nullptr;
  if (!name || !pchEaten || !ppmkOut) return E_POINTER;
  try {
    OleString text(name);
    *ppmkOut = new NameMoniker(text, provider);
    *pchEaten = static_cast<ULONG>(text.size());
    return S_OK;
  } catch (...) {
    return E_OUTOFMEMORY;
  }
}

// The parser the ZovTest.Factory class object creates.
class Parser final : public HeapObject<IParseDisplayName, IID_IParseDisplayName> {
 public:
  HRESULT STDMETHODCALLTYPE ParseDisplayName(IBindCtx*, LPOLESTR name, ULONG* pchEaten,
                                             IMoniker** ppmkOut) override {
    return ParseName(CLSID_ZovTestFactory, name, pchEaten, ppmkOut);
  }
};

class CounterClass final : public ClassFactory {
 public:
  HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown* outer, REFIID riid, void** ppv) override {
    if (!ppv) return E_POINTER;
    *ppv = nullptr;
    if (outer && !IsEqualIID(riid, IID_IUnknown)) return CLASS_E_NOAGGREGATION;
    Counter* counter = new (std::nothrow) Counter(outer);
    if (!counter) return E_OUTOFMEMORY;
    HRESULT hr = counter->Inner()->QueryInterface(riid, ppv);
    counter->Inner()->Release();
    return hr;
  }
};

class NamespaceClass final : public StaticObject<IParseDisplayName, IID_IParseDisplayName> {
 public:
  HRESULT STDMETHODCALLTYPE ParseDisplayName(IBindCtx*, LPOLESTR name, ULONG* pchEaten,
                                             IMoniker** ppmkOut) override {
    return ParseName(CLSID_ZovTestNamespace, name, pchEaten, ppmkOut);
  }
};

class FactoryClass final : public ClassFactory {
 public:
  HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown* outer, REFIID riid, void** ppv) override {
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

CounterClass g_counterClass;
NamespaceClass g_namespaceClass;
FactoryClass g_factoryClass;

// Registration.

// SELFREG_E_CLASS: Windows declares it in olectl.h, which zov/win32.h does not include.
constexpr HRESULT kRegistrationFailed = static_cast<HRESULT>(0x80040201);

struct ClassEntry {
  const CLSID* clsid;
  const char* description;
  const char* progId;
  const char* independentProgId;  // null when the class has none
};

const ClassEntry kClasses[] = {
    {&CLSID_ZovTestCounter, "ZovTest Counter", zov::test::kCounterProgId,
     zov::test::kCounterIndependentProgId},
    {&CLSID_ZovTestNamespace, "ZovTest Namespace", zov::test::kNamespaceProgId, nullptr},
    {&CLSID_ZovTestFactory, "ZovTest Factory", zov::test::kFactoryProgId, nullptr},
};

std::string GuidText(const GUID& g) {
  char text[40];
  std::snprintf(text, sizeof text, "{%08lX-%04X-%04X-%02X%02X-%02X%02X%02X%02X%02X%02X}",
                static_cast<unsigned long>(g.Data1), g.Data2, g.Data3, g.Data4[0], g.Data4[1],
                g.Data4[2], g.Data4[3], g.Data4[4], g.Data4[5], g.Data4[6], g.Data4[7]);
  return text;
}

// Creates HKEY_CLASSES_ROOT\<key> and sets one string value (null name: the default value).
bool SetString(const std::string& key, const char* name, const std::string& value) {
  HKEY h;
  if (RegCreateKeyExA(HKEY_CLASSES_ROOT, key.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                      KEY_WRITE, nullptr, &h, nullptr) != ERROR_SUCCESS)
    return false;
  LONG rc = RegSetValueExA(h, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                           static_cast<DWORD>(value.size() + 1));
  RegCloseKey(h);
  return rc == ERROR_SUCCESS;
}

// Deletes a key with everything below it; a missing key is no error.
LONG DeleteTree(HKEY parent, const char* name) {
  HKEY key;
  LONG rc = RegOpenKeyExA(parent, name, 0, KEY_ALL_ACCESS, &key);
  if (rc == ERROR_FILE_NOT_FOUND) return ERROR_SUCCESS;
  if (rc != ERROR_SUCCESS) return rc;
  for (;;) {
    char sub[256];
    DWORD length = sizeof sub;
    rc = RegEnumKeyExA(key, 0, sub, &length, nullptr, nullptr, nullptr, nullptr);
    if (rc != ERROR_SUCCESS) break;
    rc = DeleteTree(key, sub);
    if (rc != ERROR_SUCCESS) break;
  }
  RegCloseKey(key);
  if (rc != ERROR_SUCCESS && rc != ERROR_NO_MORE_ITEMS) return rc;
  return RegDeleteKeyA(parent, name);
}

HRESULT Register() {
  char path[MAX_PATH];
  DWORD length = GetModuleFileNameA(g_module, path, MAX_PATH);
  if (length == 0 || length >= MAX_PATH) return kRegistrationFailed;
  for (const ClassEntry& c : kClasses) {
    const std::string clsidKey = "CLSID\\" + GuidText(*c.clsid);
    bool ok = SetString(c.progId, nullptr, c.description) &&
              SetString(std::string(c.progId) + "\\CLSID", nullptr, GuidText(*c.clsid)) &&
              SetString(clsidKey, nullptr, c.description) &&
              SetString(clsidKey + "\\ProgID", nullptr, c.progId) &&
              SetString(clsidKey + "\\InprocServer32", nullptr, std::string(path, length)) &&
              SetString(clsidKey + "\\InprocServer32", "ThreadingModel", "Apartment");
    if (ok && c.independentProgId) {
      // The version-independent ProgID names the current version only through CurVer.
      ok = SetString(c.independentProgId, nullptr, c.description) &&
           SetString(std::string(c.independentProgId) + "\\CurVer", nullptr, c.progId) &&
           SetString(clsidKey + "\\VersionIndependentProgID", nullptr, c.independentProgId);
    }
    if (!ok) return kRegistrationFailed;
  }
  return S_OK;
}

HRESULT Unregister() {
  HRESULT result = S_OK;
  for (const ClassEntry& c : kClasses) {
    const std::string clsidKey = "CLSID\\" + GuidText(*c.clsid);
    if (DeleteTree(HKEY_CLASSES_ROOT, clsidKey.c_str()) != ERROR_SUCCESS) result = kRegistrationFailed;
    if (DeleteTree(HKEY_CLASSES_ROOT, c.progId) != ERROR_SUCCESS) result = kRegistrationFailed;
    if (c.independentProgId &&
        DeleteTree(HKEY_CLASSES_ROOT, c.independentProgId) != ERROR_SUCCESS)
      result = kRegistrationFailed;
  }
  return result;
}

}  // namespace

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
  if (reason == DLL_PROCESS_ATTACH) g_module = instance;
  return TRUE;
}

STDAPI DllGetClassObject(REFCLSID rclsid, REFIID riid, LPVOID* ppv) {
  if (!ppv) return E_POINTER;
  *ppv = nullptr;
  IUnknown* classObject;
  if (IsEqualCLSID(rclsid, CLSID_ZovTestCounter)) {
    classObject = &g_counterClass;
  } else if (IsEqualCLSID(rclsid, CLSID_ZovTestNamespace)) {
    classObject = &g_namespaceClass;
  } else if (IsEqualCLSID(rclsid, CLSID_ZovTestFactory)) {
    classObject = &g_factoryClass;
  } else {
    return CLASS_E_CLASSNOTAVAILABLE;
  }
  return classObject->QueryInterface(riid, ppv);
}

STDAPI DllCanUnloadNow(void) { return g_locks == 0 ? S_OK : S_FALSE; }

STDAPI DllRegisterServer(void) {
  try {
    return Register();
  } catch (...) {
    return E_OUTOFMEMORY;
  }
}

STDAPI DllUnregisterServer(void) {
  try {
    return Unregister();
  } catch (...) {
    return E_OUTOFMEMORY;
  }
}
