// The COM runtime: apartments, ProgIDs, activation of an in-process server through the registry,
// binding by display name and bind contexts. The server is zovtestsrv.dll (modules/test_server.*):
// under Wine regsvr32 registers it around this test; natively the test copies it into its machine
// and calls its DllRegisterServer, as a registration tool does.
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cstring>
#include <functional>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "class_keys.h"
#include "module_install.h"
#include "ole_text.h"
#include "scratch.h"
#include "test_server.h"

namespace {

using zov::test::CLSID_ZovTestCounter;
using zov::test::CLSID_ZovTestFactory;
using zov::test::CLSID_ZovTestNamespace;
using zov::test::IID_IZovTestObject;
using zov::test::IZovTestObject;
using zov::test::KeyExists;
using zov::test::ModuleProc;
using zov::test::Ole;
using zov::test::OleString;

std::string Narrow(LPCOLESTR text) {
  std::string out;
  for (; text && *text; ++text) out += static_cast<char>(*text < 0x80 ? *text : '?');
  return out;
}

// {3A0F6C2E-52B1-4D7E-9C41-0E5A7D2B9F13}: registered by the tests themselves, never served.
const CLSID kUnservedClass = {
    0x3a0f6c2e, 0x52b1, 0x4d7e, {0x9c, 0x41, 0x0e, 0x5a, 0x7d, 0x2b, 0x9f, 0x13}};
// {8B2D4E61-7C3A-4F90-A1B2-C3D4E5F60718}: never registered anywhere.
const CLSID kUnknownClass = {
    0x8b2d4e61, 0x7c3a, 0x4f90, {0xa1, 0xb2, 0xc3, 0xd4, 0xe5, 0xf6, 0x07, 0x18}};

// An owned interface pointer.
template <class T>
class ComPtr {
 public:
  ComPtr() = default;
  ~ComPtr() { Reset(); }
  ComPtr(const ComPtr&) = delete;
  ComPtr& operator=(const ComPtr&) = delete;
  T* get() const { return p_; }
  T* operator->() const { return p_; }
  explicit operator bool() const { return p_ != nullptr; }
  T** out() {
    Reset();
    return &p_;
  }
  void** outVoid() { return reinterpret_cast<void**>(out()); }
  void Reset() {
    if (p_) p_->Release();
    p_ = nullptr;
  }

 private:
  T* p_ = nullptr;
};

// A string the callee allocated with CoTaskMemAlloc.
class TaskMemString {
 public:
  TaskMemString() = default;
  ~TaskMemString() { CoTaskMemFree(p_); }
  TaskMemString(const TaskMemString&) = delete;
  TaskMemString& operator=(const TaskMemString&) = delete;
  LPOLESTR* out() {
    CoTaskMemFree(p_);
    p_ = nullptr;
    return &p_;
  }
  LPOLESTR get() const { return p_; }
  std::string str() const { return Narrow(p_); }

 private:
  LPOLESTR p_ = nullptr;
};

// Runs a piece of a test on a thread of its own, which starts without COM.
void OnFreshThread(const std::function<void()>& body) {
  std::thread thread(body);
  thread.join();
}

using RegistrationFn = HRESULT(STDAPICALLTYPE*)();

// The test server, loaded by the test itself (for its registration functions and its unload
// state) and, natively, copied into the machine and registered first.
HMODULE TestServer() {
  static HMODULE module = [] {
    const std::string path =
        zov::test::InstallModule(ZOV_TEST_SERVER_BUILD_PATH, zov::test::kTestServerFileName);
    if (path.empty()) return HMODULE{};
    HMODULE loaded = LoadLibraryA(path.c_str());
#if !defined(_WIN32)
    if (zov::test::RegisterModule(loaded, true) != S_OK) return HMODULE{};
#endif
    return loaded;
  }();
  return module;
}

// The subkeys of HKEY_CLASSES_ROOT\<path> (lower case), those starting with prefix only.
std::set<std::string> SubkeyNames(const std::string& path, const std::string& prefix = "") {
  std::set<std::string> names;
  HKEY key = HKEY_CLASSES_ROOT;
  if (!path.empty() &&
      RegOpenKeyExA(HKEY_CLASSES_ROOT, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS)
    return names;
  for (DWORD i = 0;; ++i) {
    char name[256];
    DWORD length = sizeof name;
    if (RegEnumKeyExA(key, i, name, &length, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS)
      break;
    std::string lower(name, length);
    std::transform(lower.begin(), lower.end(), lower.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    if (lower.compare(0, prefix.size(), prefix) == 0) names.insert(lower);
  }
  if (key != HKEY_CLASSES_ROOT) RegCloseKey(key);
  return names;
}

std::string GuidText(const GUID& guid) {
  OLECHAR text[40];
  if (StringFromGUID2(guid, text, 40) == 0) return {};
  return Narrow(text);
}

// Keys the tests write themselves under HKEY_CLASSES_ROOT, removed (deepest first) at the end.
class TemporaryKeys {
 public:
  ~TemporaryKeys() {
    for (auto it = keys_.rbegin(); it != keys_.rend(); ++it)
      RegDeleteKeyA(HKEY_CLASSES_ROOT, it->c_str());
  }
  // Creates the key (and records it) with an optional default string value.
  bool Add(const std::string& path, const char* value) {
    HKEY key;
    if (RegCreateKeyExA(HKEY_CLASSES_ROOT, path.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                        KEY_ALL_ACCESS, nullptr, &key, nullptr) != ERROR_SUCCESS)
      return false;
    keys_.push_back(path);
    LONG rc = ERROR_SUCCESS;
    if (value)
      rc = RegSetValueExA(key, nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(value),
                          static_cast<DWORD>(std::strlen(value) + 1));
    RegCloseKey(key);
    return rc == ERROR_SUCCESS;
  }

 private:
  std::vector<std::string> keys_;
};

// An outer object for aggregation: it counts its own references and knows only IUnknown.
class OuterObject final : public IUnknown {
 public:
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override {
    if (!ppv) return E_POINTER;
    *ppv = nullptr;
    if (!IsEqualIID(riid, IID_IUnknown)) return E_NOINTERFACE;
    *ppv = this;
    AddRef();
    return S_OK;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return ++refs; }
  ULONG STDMETHODCALLTYPE Release() override { return --refs; }
  ULONG refs = 1;
};

// ---------------------------------------------------------------------------------------------
// Apartments

enum class Step { InitApartment, InitMultithreaded, InitApartmentNoDde, CoInitialize, Uninitialize };

struct ApartmentStep {
  Step step;
  HRESULT expected;  // ignored for Uninitialize
};

struct ApartmentCase {
  const char* behaviour;
  std::vector<ApartmentStep> steps;
};

TEST(CoInitializeTest, CountsPerThreadAndKeepsTheFirstModel) {
  const HRESULT changed = RPC_E_CHANGED_MODE;
  const ApartmentCase cases[] = {
      {"the first call succeeds, a second of the same model is counted with S_FALSE",
       {{Step::InitApartment, S_OK}, {Step::InitApartment, S_FALSE}, {Step::Uninitialize, 0},
        {Step::InitMultithreaded, changed}, {Step::Uninitialize, 0},
        {Step::InitMultithreaded, S_OK}, {Step::Uninitialize, 0}}},
      {"the other model is refused and not counted",
       {{Step::InitApartment, S_OK}, {Step::InitMultithreaded, changed}, {Step::Uninitialize, 0},
        {Step::InitMultithreaded, S_OK}, {Step::Uninitialize, 0}}},
      {"a multithreaded thread refuses CoInitialize",
       {{Step::InitMultithreaded, S_OK}, {Step::InitMultithreaded, S_FALSE},
        {Step::CoInitialize, changed}, {Step::Uninitialize, 0},
        {Step::InitApartment, changed}, {Step::Uninitialize, 0}, {Step::InitApartment, S_OK},
        {Step::Uninitialize, 0}}},
      {"flags besides the model do not change it; CoInitialize is apartment-threaded",
       {{Step::InitApartmentNoDde, S_OK}, {Step::CoInitialize, S_FALSE},
        {Step::InitApartment, S_FALSE}, {Step::Uninitialize, 0}, {Step::Uninitialize, 0},
        {Step::Uninitialize, 0}, {Step::InitMultithreaded, S_OK}, {Step::Uninitialize, 0}}},
      {"an unbalanced CoUninitialize is ignored",
       {{Step::Uninitialize, 0}, {Step::InitMultithreaded, S_OK}, {Step::Uninitialize, 0},
        {Step::Uninitialize, 0}, {Step::InitApartment, S_OK}, {Step::Uninitialize, 0}}},
  };
  for (const ApartmentCase& c : cases) {
    SCOPED_TRACE(c.behaviour);
    OnFreshThread([&] {
      int index = 0;
      for (const ApartmentStep& s : c.steps) {
        SCOPED_TRACE("step " + std::to_string(index++));
        switch (s.step) {
          case Step::InitApartment:
            EXPECT_EQ(s.expected, CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED));
            break;
          case Step::InitMultithreaded:
            EXPECT_EQ(s.expected, CoInitializeEx(nullptr, COINIT_MULTITHREADED));
            break;
          case Step::InitApartmentNoDde:
            EXPECT_EQ(s.expected,
                      CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE));
            break;
          case Step::CoInitialize:
            EXPECT_EQ(s.expected, CoInitialize(nullptr));
            break;
          case Step::Uninitialize:
            CoUninitialize();
            break;
        }
      }
    });
  }
}

TEST(CoTaskMemTest, ReallocKeepsTheContentsAndFreeAcceptsNull) {
  auto* p = static_cast<char*>(CoTaskMemRealloc(nullptr, 4));
  ASSERT_NE(nullptr, p);
  std::memcpy(p, "abc", 4);
  p = static_cast<char*>(CoTaskMemRealloc(p, 4096));
  ASSERT_NE(nullptr, p);
  EXPECT_STREQ("abc", p);
  CoTaskMemFree(p);
  CoTaskMemFree(nullptr);
}

// ---------------------------------------------------------------------------------------------
// Activation of the test server

class ActivationTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_NE(HMODULE{}, TestServer()) << "the test server could not be loaded or registered";
    ASSERT_EQ(S_OK, CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED));
  }
  void TearDown() override { CoUninitialize(); }
};

TEST_F(ActivationTest, NothingIsActivatedBeforeCoInitialize) {
  OnFreshThread([] {
    void* object = &object;
    EXPECT_EQ(CO_E_NOTINITIALIZED,
              CoCreateInstance(CLSID_ZovTestCounter, nullptr, CLSCTX_INPROC_SERVER,
                               IID_IZovTestObject, &object));
    EXPECT_EQ(nullptr, object);
    object = &object;
    EXPECT_EQ(CO_E_NOTINITIALIZED, CoGetClassObject(CLSID_ZovTestCounter, CLSCTX_INPROC_SERVER,
                                                    nullptr, IID_IClassFactory, &object));
    EXPECT_EQ(nullptr, object);
  });
}

TEST_F(ActivationTest, ClsidFromProgId) {
  struct Case {
    const char* progId;
    HRESULT expected;
    const CLSID* clsid;
  } const cases[] = {
      {"ZovTest.Counter.1", S_OK, &CLSID_ZovTestCounter},
      {"zovtest.COUNTER.1", S_OK, &CLSID_ZovTestCounter},
      {"ZovTest.Namespace", S_OK, &CLSID_ZovTestNamespace},
      {"ZovTest.NoSuchClass", CO_E_CLASSSTRING, &GUID_NULL},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.progId);
    CLSID clsid = kUnknownClass;
    EXPECT_EQ(c.expected, CLSIDFromProgID(Ole(c.progId).c_str(), &clsid));
    EXPECT_EQ(GuidText(*c.clsid), GuidText(clsid));
  }
}

TEST_F(ActivationTest, ClsidFromVersionIndependentProgIdFollowsCurVer) {
  // "ZovTest.Counter" has no CLSID key of its own, only CurVer = "ZovTest.Counter.1".
  CLSID clsid = kUnknownClass;
  HRESULT hr = CLSIDFromProgID(Ole("ZovTest.Counter").c_str(), &clsid);
  if (hr == CO_E_CLASSSTRING) ZOV_WINE_DEVIATION("Wine 8 does not follow CurVer");
  EXPECT_EQ(S_OK, hr);
  EXPECT_EQ(GuidText(CLSID_ZovTestCounter), GuidText(clsid));
}

TEST_F(ActivationTest, ProgIdFromClsid) {
  TaskMemString progId;
  EXPECT_EQ(S_OK, ProgIDFromCLSID(CLSID_ZovTestCounter, progId.out()));
  EXPECT_EQ("ZovTest.Counter.1", progId.str());
  EXPECT_EQ(REGDB_E_CLASSNOTREG, ProgIDFromCLSID(kUnknownClass, progId.out()));
  EXPECT_EQ(nullptr, progId.get());
}

TEST_F(ActivationTest, CounterInstancesAreIndependentObjectsWithOneIdentity) {
  ComPtr<IZovTestObject> counter;
  ASSERT_EQ(S_OK, CoCreateInstance(CLSID_ZovTestCounter, nullptr, CLSCTX_INPROC_SERVER,
                                   IID_IZovTestObject, counter.outVoid()));
  LONG value = 0;
  EXPECT_EQ(S_OK, counter->Increment(&value));
  EXPECT_EQ(S_OK, counter->Increment(&value));
  EXPECT_EQ(2, value);

  // Every way to IUnknown gives the same pointer; back again gives the same interface.
  ComPtr<IUnknown> unknown;
  ComPtr<IUnknown> unknownAgain;
  ComPtr<IZovTestObject> sameCounter;
  ASSERT_EQ(S_OK, counter->QueryInterface(IID_IUnknown, unknown.outVoid()));
  ASSERT_EQ(S_OK, unknown->QueryInterface(IID_IUnknown, unknownAgain.outVoid()));
  ASSERT_EQ(S_OK, unknown->QueryInterface(IID_IZovTestObject, sameCounter.outVoid()));
  EXPECT_EQ(unknown.get(), unknownAgain.get());
  EXPECT_EQ(counter.get(), sameCounter.get());

  // A second instance has its own identity and state.
  ComPtr<IUnknown> other;
  ASSERT_EQ(S_OK, CoCreateInstance(CLSID_ZovTestCounter, nullptr, CLSCTX_ALL, IID_IUnknown,
                                   other.outVoid()));
  EXPECT_NE(unknown.get(), other.get());
  ComPtr<IZovTestObject> otherCounter;
  ASSERT_EQ(S_OK, other->QueryInterface(IID_IZovTestObject, otherCounter.outVoid()));
  EXPECT_EQ(S_OK, otherCounter->Increment(&value));
  EXPECT_EQ(1, value);
}

TEST_F(ActivationTest, UnknownInterfacesAreRefusedWithNull) {
  void* object = &object;
  EXPECT_EQ(E_NOINTERFACE, CoCreateInstance(CLSID_ZovTestCounter, nullptr, CLSCTX_INPROC_SERVER,
                                            IID_IDispatch, &object));
  EXPECT_EQ(nullptr, object);

  ComPtr<IZovTestObject> counter;
  ASSERT_EQ(S_OK, CoCreateInstance(CLSID_ZovTestCounter, nullptr, CLSCTX_INPROC_SERVER,
                                   IID_IZovTestObject, counter.outVoid()));
  object = &object;
  EXPECT_EQ(E_NOINTERFACE, counter->QueryInterface(IID_IClassFactory, &object));
  EXPECT_EQ(nullptr, object);
}

TEST_F(ActivationTest, AggregationOnlyThroughIUnknown) {
  struct Case {
    const char* behaviour;
    const CLSID* clsid;
    const IID* iid;
    HRESULT expected;
  } const cases[] = {
      {"an aggregated counter must be asked for IUnknown", &CLSID_ZovTestCounter,
       &IID_IZovTestObject, CLASS_E_NOAGGREGATION},
      {"the factory's parser cannot be aggregated", &CLSID_ZovTestFactory,
       &IID_IUnknown, CLASS_E_NOAGGREGATION},
      {"a counter aggregates when asked for IUnknown", &CLSID_ZovTestCounter, &IID_IUnknown,
       S_OK},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.behaviour);
    OuterObject outer;
    void* object = &object;
    EXPECT_EQ(c.expected, CoCreateInstance(*c.clsid, &outer, CLSCTX_INPROC_SERVER, *c.iid,
                                           &object));
    if (FAILED(c.expected)) {
      EXPECT_EQ(nullptr, object);
      EXPECT_EQ(1u, outer.refs);
      continue;
    }
    // The inner unknown is the counter's own; its interfaces speak for the outer object.
    auto* inner = static_cast<IUnknown*>(object);
    IZovTestObject* counter = nullptr;
    ASSERT_EQ(S_OK, inner->QueryInterface(IID_IZovTestObject, reinterpret_cast<void**>(&counter)));
    EXPECT_EQ(2u, outer.refs);
    IUnknown* identity = nullptr;
    ASSERT_EQ(S_OK, counter->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(&identity)));
    EXPECT_EQ(static_cast<IUnknown*>(&outer), identity);
    EXPECT_EQ(3u, outer.refs);
    identity->Release();
    counter->Release();
    EXPECT_EQ(1u, outer.refs);
    EXPECT_EQ(0u, inner->Release());
  }
}

TEST_F(ActivationTest, ModuleCannotUnloadWhileAnObjectOrALockLives) {
  {
    ComPtr<IZovTestObject> counter;
    ASSERT_EQ(S_OK, CoCreateInstance(CLSID_ZovTestCounter, nullptr, CLSCTX_INPROC_SERVER,
                                     IID_IZovTestObject, counter.outVoid()));
  }
  // The module COM loaded is the one the test holds.
  HMODULE loaded = GetModuleHandleA(zov::test::kTestServerFileName);
  ASSERT_EQ(TestServer(), loaded);
  auto canUnloadNow = ModuleProc<RegistrationFn>(loaded, "DllCanUnloadNow");
  ASSERT_NE(nullptr, canUnloadNow);
  EXPECT_EQ(S_OK, canUnloadNow());

  ComPtr<IZovTestObject> counter;
  ASSERT_EQ(S_OK, CoCreateInstance(CLSID_ZovTestCounter, nullptr, CLSCTX_INPROC_SERVER,
                                   IID_IZovTestObject, counter.outVoid()));
  EXPECT_EQ(S_FALSE, canUnloadNow());
  counter.Reset();
  EXPECT_EQ(S_OK, canUnloadNow());

  ComPtr<IClassFactory> factory;
  ASSERT_EQ(S_OK, CoGetClassObject(CLSID_ZovTestCounter, CLSCTX_INPROC_SERVER, nullptr,
                                   IID_IClassFactory, factory.outVoid()));
  EXPECT_EQ(S_OK, canUnloadNow());  // a class object alone does not hold the module
  EXPECT_EQ(S_OK, factory->LockServer(TRUE));
  factory.Reset();
  EXPECT_EQ(S_FALSE, canUnloadNow());
  ASSERT_EQ(S_OK, CoGetClassObject(CLSID_ZovTestCounter, CLSCTX_INPROC_SERVER, nullptr,
                                   IID_IClassFactory, factory.outVoid()));
  EXPECT_EQ(S_OK, factory->LockServer(FALSE));
  EXPECT_EQ(S_OK, canUnloadNow());
}

TEST_F(ActivationTest, ClassObjectFailures) {
  TemporaryKeys keys;
  const std::string unserved = "CLSID\\" + GuidText(kUnservedClass);
  ASSERT_TRUE(keys.Add(unserved, "ZovTest class without a server"));
  struct Case {
    const char* behaviour;
    const CLSID* clsid;
    DWORD context;
    HRESULT expected;
  } const cases[] = {
      {"a class that is not registered", &kUnknownClass, CLSCTX_INPROC_SERVER,
       REGDB_E_CLASSNOTREG},
      {"a class without InprocServer32", &kUnservedClass, CLSCTX_INPROC_SERVER,
       REGDB_E_CLASSNOTREG},
      {"an in-process class asked for as a local server", &CLSID_ZovTestCounter,
       CLSCTX_LOCAL_SERVER, REGDB_E_CLASSNOTREG},
      {"a class object without the interface", &CLSID_ZovTestNamespace, CLSCTX_INPROC_SERVER,
       E_NOINTERFACE},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.behaviour);
    void* object = &object;
    EXPECT_EQ(c.expected, CoGetClassObject(*c.clsid, c.context, nullptr, IID_IClassFactory,
                                           &object));
    EXPECT_EQ(nullptr, object);
  }
}

TEST_F(ActivationTest, ModuleThatCannotBeLoaded) {
  const std::string notAModule = zov::test::ScratchDir() + "notamodule.dll";
  ASSERT_TRUE(zov::test::WriteFileBytes(notAModule, "this is no module\r\n"));
  struct Case {
    const char* behaviour;
    std::string modulePath;
    HRESULT expected;  // Windows passes the loader's error on
  } const cases[] = {
      {"the module file is missing", zov::test::ScratchDir() + "missing.dll",
       HRESULT_FROM_WIN32(ERROR_MOD_NOT_FOUND)},
      {"the file is no module", notAModule, HRESULT_FROM_WIN32(ERROR_BAD_EXE_FORMAT)},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.behaviour);
    TemporaryKeys keys;
    const std::string unserved = "CLSID\\" + GuidText(kUnservedClass);
    ASSERT_TRUE(keys.Add(unserved, "ZovTest class with a broken server"));
    ASSERT_TRUE(keys.Add(unserved + "\\InprocServer32", c.modulePath.c_str()));
    void* object = &object;
    HRESULT hr = CoGetClassObject(kUnservedClass, CLSCTX_INPROC_SERVER, nullptr,
                                  IID_IClassFactory, &object);
    EXPECT_EQ(nullptr, object);
    if (hr == E_ACCESSDENIED) ZOV_WINE_DEVIATION("Wine reports any load failure as E_ACCESSDENIED");
    EXPECT_EQ(c.expected, hr);
  }
}

// ---------------------------------------------------------------------------------------------
// Binding by display name

TEST_F(ActivationTest, CoGetObjectBindsThroughTheProvidersParser) {
  struct Case {
    const char* behaviour;
    const char* displayName;
    const char* receivedName;  // what the provider's parser was given
  } const cases[] = {
      {"the class object parses", "ZovTest.Namespace:some/path", "ZovTest.Namespace:some/path"},
      {"a parser made by the class factory parses", "@ZovTest.Factory:NCU2",
       "@ZovTest.Factory:NCU2"},
      {"the ProgID matches without regard to case", "zovtest.namespace:X", "zovtest.namespace:X"},
      {"the rest may hold more colons", "ZovTest.Namespace:a:b\\c", "ZovTest.Namespace:a:b\\c"},
      {"after '@' without a colon all of the rest is the ProgID", "@ZovTest.Factory",
       "@ZovTest.Factory"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.behaviour);
    ComPtr<IZovTestObject> object;
    ASSERT_EQ(S_OK, CoGetObject(Ole(c.displayName).c_str(), nullptr, IID_IZovTestObject,
                                object.outVoid()));
    TaskMemString name;
    ASSERT_EQ(S_OK, object->GetName(name.out()));
    EXPECT_EQ(c.receivedName, name.str());
  }
}

TEST_F(ActivationTest, CoGetObjectFailures) {
  struct Case {
    const char* behaviour;
    const char* displayName;
    const IID* iid;
    HRESULT expected;
  } const cases[] = {
      {"an unknown ProgID", "ZovTest.NoSuchProvider:x", &IID_IUnknown, MK_E_CANTOPENFILE},
      {"an unknown ProgID after '@'", "@ZovTest.NoSuchProvider:x", &IID_IUnknown,
       MK_E_CANTOPENFILE},
      {"'@' alone", "@", &IID_IUnknown, MK_E_CANTOPENFILE},
      {"'@' and a ProgID without a colon that is not registered", "@ZovTest.NoSuchProvider",
       &IID_IUnknown, MK_E_CANTOPENFILE},
      {"the bound object lacks the interface", "ZovTest.Namespace:x", &IID_IClassFactory,
       E_NOINTERFACE},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.behaviour);
    void* object = &object;
    EXPECT_EQ(c.expected, CoGetObject(Ole(c.displayName).c_str(), nullptr, *c.iid, &object));
    EXPECT_EQ(nullptr, object);
  }
}

TEST_F(ActivationTest, MkParseDisplayNameEatsTheWholeName) {
  ComPtr<IBindCtx> context;
  ASSERT_EQ(S_OK, CreateBindCtx(0, context.out()));
  const OleString name = Ole("@ZovTest.Factory:NCU1/path");
  ULONG eaten = 12345;
  ComPtr<IMoniker> moniker;
  ASSERT_EQ(S_OK, MkParseDisplayName(context.get(), name.c_str(), &eaten, moniker.out()));
  EXPECT_EQ(name.size(), eaten);
  ComPtr<IZovTestObject> object;
  ASSERT_EQ(S_OK, moniker->BindToObject(context.get(), nullptr, IID_IZovTestObject,
                                        object.outVoid()));
  TaskMemString bound;
  ASSERT_EQ(S_OK, object->GetName(bound.out()));
  EXPECT_EQ("@ZovTest.Factory:NCU1/path", bound.str());
}

// ---------------------------------------------------------------------------------------------
// Bind contexts

TEST(BindContextTest, ReservedMustBeZero) {
  IBindCtx* context = reinterpret_cast<IBindCtx*>(&context);
  EXPECT_EQ(E_INVALIDARG, CreateBindCtx(1, &context));
  EXPECT_EQ(nullptr, context);
}

TEST(BindContextTest, BoundObjectsAreHeldUntilReleased) {
  OuterObject a;
  OuterObject b;
  {
    ComPtr<IBindCtx> context;
    ASSERT_EQ(S_OK, CreateBindCtx(0, context.out()));
    EXPECT_EQ(S_OK, context->RegisterObjectBound(&a));
    EXPECT_EQ(S_OK, context->RegisterObjectBound(&b));
    EXPECT_EQ(2u, a.refs);
    EXPECT_EQ(2u, b.refs);
    EXPECT_EQ(S_OK, context->RevokeObjectBound(&a));
    EXPECT_EQ(1u, a.refs);
    EXPECT_EQ(MK_E_NOTBOUND, context->RevokeObjectBound(&a));
    EXPECT_EQ(S_OK, context->ReleaseBoundObjects());
    EXPECT_EQ(1u, b.refs);
    EXPECT_EQ(S_OK, context->RegisterObjectBound(&a));
    EXPECT_EQ(2u, a.refs);
  }
  EXPECT_EQ(1u, a.refs);  // releasing the context releases what it still holds
}

TEST(BindContextTest, ObjectParametersByKey) {
  OuterObject first;
  OuterObject second;
  ComPtr<IBindCtx> context;
  ASSERT_EQ(S_OK, CreateBindCtx(0, context.out()));
  OleString key = Ole("ZovKey");
  OleString other = Ole("Other");
  EXPECT_EQ(S_OK, context->RegisterObjectParam(&key[0], &first));
  EXPECT_EQ(2u, first.refs);
  EXPECT_EQ(S_OK, context->RegisterObjectParam(&key[0], &second));  // replaces the first
  EXPECT_EQ(1u, first.refs);
  EXPECT_EQ(2u, second.refs);

  ComPtr<IUnknown> found;
  EXPECT_EQ(S_OK, context->GetObjectParam(&key[0], found.out()));
  EXPECT_EQ(static_cast<IUnknown*>(&second), found.get());
  EXPECT_EQ(3u, second.refs);
  found.Reset();

  IUnknown* missing = &second;
  EXPECT_EQ(E_FAIL, context->GetObjectParam(&other[0], &missing));
  EXPECT_EQ(nullptr, missing);
  OleString otherCase = Ole("zovkey");  // keys match with their case
  EXPECT_EQ(E_FAIL, context->GetObjectParam(&otherCase[0], &missing));
  EXPECT_EQ(E_FAIL, context->RevokeObjectParam(&other[0]));
  EXPECT_EQ(S_OK, context->RevokeObjectParam(&key[0]));
  EXPECT_EQ(1u, second.refs);
  EXPECT_EQ(E_FAIL, context->GetObjectParam(&key[0], &missing));
}

TEST(BindContextTest, BindOptionsRoundTrip) {
  ComPtr<IBindCtx> context;
  ASSERT_EQ(S_OK, CreateBindCtx(0, context.out()));
  BIND_OPTS options{};
  options.cbStruct = sizeof options;
  ASSERT_EQ(S_OK, context->GetBindOptions(&options));
  EXPECT_EQ(sizeof options, options.cbStruct);
  EXPECT_EQ(0u, options.grfFlags);
  EXPECT_EQ(2u, options.grfMode);  // STGM_READWRITE
  EXPECT_EQ(0u, options.dwTickCountDeadline);

  BIND_OPTS set{};
  set.cbStruct = sizeof set;
  set.grfFlags = 1;  // BIND_MAYBOTHERUSER
  set.grfMode = 0x10;
  set.dwTickCountDeadline = 5000;
  ASSERT_EQ(S_OK, context->SetBindOptions(&set));
  BIND_OPTS got{};
  got.cbStruct = sizeof got;
  ASSERT_EQ(S_OK, context->GetBindOptions(&got));
  EXPECT_EQ(1u, got.grfFlags);
  EXPECT_EQ(0x10u, got.grfMode);
  EXPECT_EQ(5000u, got.dwTickCountDeadline);
}

// ---------------------------------------------------------------------------------------------
// Registration

TEST_F(ActivationTest, UnregisteringRemovesExactlyTheServersKeys) {
  auto unregisterServer = ModuleProc<RegistrationFn>(TestServer(), "DllUnregisterServer");
  auto registerServer = ModuleProc<RegistrationFn>(TestServer(), "DllRegisterServer");
  ASSERT_NE(nullptr, unregisterServer);
  ASSERT_NE(nullptr, registerServer);
  // Top-level keys are compared within the servers' own "ZovTest." namespace: under Wine other
  // tests running at the same time add and remove top-level keys of their own.
  const std::set<std::string> rootsRegistered = SubkeyNames("", "zovtest.");
  const std::set<std::string> classesRegistered = SubkeyNames("CLSID");
  const std::set<std::string> ourRoots = {"zovtest.counter", "zovtest.counter.1",
                                          "zovtest.namespace", "zovtest.factory"};
  std::set<std::string> ourClasses;
  for (const CLSID* clsid : {&CLSID_ZovTestCounter, &CLSID_ZovTestNamespace, &CLSID_ZovTestFactory}) {
    std::string text = GuidText(*clsid);
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char ch) { return static_cast<char>(std::tolower(ch)); });
    ourClasses.insert(text);
  }
  for (const std::string& k : ourRoots) EXPECT_EQ(1u, rootsRegistered.count(k)) << k;
  for (const std::string& k : ourClasses) EXPECT_EQ(1u, classesRegistered.count(k)) << k;

  ASSERT_EQ(S_OK, unregisterServer());
  std::set<std::string> rootsExpected = rootsRegistered;
  for (const std::string& k : ourRoots) rootsExpected.erase(k);
  std::set<std::string> classesExpected = classesRegistered;
  for (const std::string& k : ourClasses) classesExpected.erase(k);
  EXPECT_EQ(rootsExpected, SubkeyNames("", "zovtest."));
  EXPECT_EQ(classesExpected, SubkeyNames("CLSID"));
  EXPECT_TRUE(KeyExists("CLSID"));
  CLSID clsid;
  EXPECT_EQ(CO_E_CLASSSTRING, CLSIDFromProgID(Ole("ZovTest.Counter.1").c_str(), &clsid));
  void* object = &object;
  EXPECT_EQ(REGDB_E_CLASSNOTREG, CoCreateInstance(CLSID_ZovTestCounter, nullptr,
                                                  CLSCTX_INPROC_SERVER, IID_IUnknown, &object));
  EXPECT_EQ(S_OK, unregisterServer());  // a second time finds nothing to remove

  ASSERT_EQ(S_OK, registerServer());
  EXPECT_EQ(rootsRegistered, SubkeyNames("", "zovtest."));
  EXPECT_EQ(classesRegistered, SubkeyNames("CLSID"));
  EXPECT_EQ(S_OK, CLSIDFromProgID(Ole("ZovTest.Counter.1").c_str(), &clsid));
}

}  // namespace
