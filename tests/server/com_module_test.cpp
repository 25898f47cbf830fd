// The module support on its own: object map and class-factory cache, the factory's IUnknown and
// lock-count transitions, instance creation plain and aggregated, registration over the map and
// the clean-up at module end. A probe class stands in for the module's classes; the test program
// itself plays the module.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "server/class_factory.h"
#include "server/com_module.h"
#include "server/com_object.h"
#include "zov/com_ptr.h"

namespace {

using zov::com_ptr;
using zov::com::Module;

// {5E3C1A20-8D4B-4C6F-9A1E-2B7D0C4F6E81}
const IID IID_IProbe = {0x5e3c1a20, 0x8d4b, 0x4c6f, {0x9a, 0x1e, 0x2b, 0x7d, 0x0c, 0x4f, 0x6e, 0x81}};
// {5E3C1A21-8D4B-4C6F-9A1E-2B7D0C4F6E81}
const CLSID CLSID_Probe = {0x5e3c1a21, 0x8d4b, 0x4c6f, {0x9a, 0x1e, 0x2b, 0x7d, 0x0c, 0x4f, 0x6e, 0x81}};
// {5E3C1A22-8D4B-4C6F-9A1E-2B7D0C4F6E81}
const CLSID CLSID_Other = {0x5e3c1a22, 0x8d4b, 0x4c6f, {0x9a, 0x1e, 0x2b, 0x7d, 0x0c, 0x4f, 0x6e, 0x81}};

struct IProbe : public IUnknown {
  virtual LONG STDMETHODCALLTYPE Live() = 0;
};

int g_probesAlive = 0;

class Probe : public IProbe, public zov::com::ObjectRoot {
 public:
  Probe() { ++g_probesAlive; }
  virtual ~Probe() { --g_probesAlive; }
  LONG STDMETHODCALLTYPE Live() override { return g_probesAlive; }
  static const zov::com::InterfaceEntry<Probe>* InterfaceMap() {
    static const zov::com::InterfaceEntry<Probe> map[] = {
        {&IID_IProbe, &zov::com::InterfaceOf<Probe, IProbe>}, {nullptr, nullptr}};
    return map;
  }
};

// An outer object that counts what its inner object delegates to it.
class CountingOuter final : public IUnknown {
 public:
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override {
    ++queries;
    if (IsEqualIID(riid, IID_IUnknown)) {
      *ppv = this;
      AddRef();
      return S_OK;
    }
    *ppv = nullptr;
    return E_NOINTERFACE;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return ++refs; }
  ULONG STDMETHODCALLTYPE Release() override { return --refs; }
  int queries = 0;
  ULONG refs = 1;
};

std::vector<std::string> g_events;

zov::com::ObjectMapEntry g_map[] = {
    {&CLSID_Probe, 101, &zov::com::ClassFactory::CreateClassObject,
     &zov::com::CreateInstance<Probe>, nullptr, 0,
     [](bool starting) { g_events.push_back(starting ? "start" : "end"); }},
    {nullptr, 0, nullptr, nullptr, nullptr, 0, nullptr}};

class ComModuleTest : public ::testing::Test {
 protected:
  void SetUp() override {
    g_events.clear();
    Module().Init(g_map, nullptr, nullptr);
  }
  void TearDown() override {
    Module().Term();
    EXPECT_EQ(Module().LockCount(), 0);
    EXPECT_EQ(g_probesAlive, 0);
  }
  com_ptr<IClassFactory> Factory() {
    com_ptr<IClassFactory> factory;
    EXPECT_EQ(Module().GetClassObject(CLSID_Probe, IID_IClassFactory, factory.put_void()), S_OK);
    return factory;
  }
};

TEST_F(ComModuleTest, ClassObjectOnlyForTheMapsClasses) {
  void* out = &out;
  EXPECT_EQ(Module().GetClassObject(CLSID_Other, IID_IClassFactory, &out),
            CLASS_E_CLASSNOTAVAILABLE);
  EXPECT_EQ(out, nullptr);
  EXPECT_EQ(Module().GetClassObject(CLSID_Probe, IID_IClassFactory, nullptr), E_POINTER);
  out = &out;
  EXPECT_EQ(Module().GetClassObject(CLSID_Probe, IID_IProbe, &out), E_NOINTERFACE);
  EXPECT_EQ(out, nullptr);
  EXPECT_EQ(Module().LockCount(), 0);
}

TEST_F(ComModuleTest, FactoryIsCachedAndAClientReferenceHoldsTheModule) {
  EXPECT_EQ(Module().CanUnloadNow(), S_OK);
  com_ptr<IClassFactory> first = Factory();
  EXPECT_EQ(Module().LockCount(), 1);
  EXPECT_EQ(Module().CanUnloadNow(), S_FALSE);
  com_ptr<IUnknown> second;
  ASSERT_EQ(Module().GetClassObject(CLSID_Probe, IID_IUnknown, second.put_void()), S_OK);
  EXPECT_EQ(static_cast<IUnknown*>(first.get()), second.get());
  EXPECT_EQ(Module().LockCount(), 1);  // only the 1 -> 2 step counts
  first.reset();
  EXPECT_EQ(Module().LockCount(), 1);
  second.reset();
  EXPECT_EQ(Module().LockCount(), 0);
  EXPECT_EQ(Module().CanUnloadNow(), S_OK);
}

TEST_F(ComModuleTest, FactoryAnswersItsTwoInterfacesOnly) {
  com_ptr<IClassFactory> factory = Factory();
  struct Case {
    const IID* iid;
    HRESULT hr;
  } cases[] = {{&IID_IUnknown, S_OK}, {&IID_IClassFactory, S_OK}, {&IID_IProbe, E_NOINTERFACE},
               {&IID_IDispatch, E_NOINTERFACE}};
  for (const Case& c : cases) {
    void* out = &out;
    EXPECT_EQ(factory->QueryInterface(*c.iid, &out), c.hr);
    if (c.hr == S_OK) {
      EXPECT_EQ(out, static_cast<void*>(factory.get()));
      static_cast<IUnknown*>(out)->Release();
    } else {
      EXPECT_EQ(out, nullptr);
    }
  }
}

TEST_F(ComModuleTest, CreateInstanceRules) {
  com_ptr<IClassFactory> factory = Factory();
  CountingOuter outer;
  struct Case {
    const char* what;
    IUnknown* outer;
    const IID* iid;
    HRESULT hr;
  } cases[] = {
      {"plain, its interface", nullptr, &IID_IProbe, S_OK},
      {"plain, IUnknown", nullptr, &IID_IUnknown, S_OK},
      {"plain, an interface it lacks", nullptr, &IID_IDispatch, E_NOINTERFACE},
      {"aggregated, IUnknown", &outer, &IID_IUnknown, S_OK},
      {"aggregated, another interface", &outer, &IID_IProbe, CLASS_E_NOAGGREGATION},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    void* out = &out;
    EXPECT_EQ(factory->CreateInstance(c.outer, *c.iid, &out), c.hr);
    if (c.hr == S_OK) {
      EXPECT_EQ(g_probesAlive, 1);
      EXPECT_EQ(Module().LockCount(), 2);  // the factory's client and the object
      static_cast<IUnknown*>(out)->Release();
    } else {
      EXPECT_EQ(out, nullptr);
    }
    EXPECT_EQ(g_probesAlive, 0);
    EXPECT_EQ(Module().LockCount(), 1);
  }
  EXPECT_EQ(factory->CreateInstance(nullptr, IID_IProbe, nullptr), E_POINTER);
  EXPECT_EQ(outer.refs, 1u);
}

TEST_F(ComModuleTest, PlainObjectIdentity) {
  com_ptr<IUnknown> unknown;
  ASSERT_EQ(Factory()->CreateInstance(nullptr, IID_IUnknown, unknown.put_void()), S_OK);
  com_ptr<IProbe> probe = unknown.query<IProbe>(IID_IProbe);
  ASSERT_TRUE(probe);
  EXPECT_EQ(static_cast<IUnknown*>(probe.get()), unknown.get());
  EXPECT_EQ(probe->Live(), 1);
}

TEST_F(ComModuleTest, AggregatedObjectDelegatesToItsOuterObject) {
  CountingOuter outer;
  com_ptr<IUnknown> inner;
  ASSERT_EQ(Factory()->CreateInstance(&outer, IID_IUnknown, inner.put_void()), S_OK);
  EXPECT_EQ(outer.refs, 1u);
  EXPECT_EQ(outer.queries, 0);

  // The inner unknown is not the outer one and counts for itself.
  com_ptr<IUnknown> innerAgain;
  ASSERT_EQ(inner->QueryInterface(IID_IUnknown, innerAgain.put_void()), S_OK);
  EXPECT_EQ(innerAgain.get(), inner.get());
  EXPECT_EQ(outer.refs, 1u);

  // An interface from the inner unknown holds the outer object.
  IProbe* probe = nullptr;
  ASSERT_EQ(inner->QueryInterface(IID_IProbe, reinterpret_cast<void**>(&probe)), S_OK);
  EXPECT_EQ(outer.refs, 2u);
  EXPECT_EQ(probe->AddRef(), 3u);
  EXPECT_EQ(probe->Release(), 2u);
  void* viaProbe = nullptr;
  EXPECT_EQ(probe->QueryInterface(IID_IUnknown, &viaProbe), S_OK);
  EXPECT_EQ(viaProbe, static_cast<void*>(&outer));
  EXPECT_EQ(outer.queries, 1);
  outer.Release();
  probe->Release();
  EXPECT_EQ(outer.refs, 1u);
  EXPECT_EQ(g_probesAlive, 1);
  innerAgain.reset();
  inner.reset();
  EXPECT_EQ(g_probesAlive, 0);
}

TEST_F(ComModuleTest, LockServerHoldsTheModule) {
  com_ptr<IClassFactory> factory = Factory();
  EXPECT_EQ(factory->LockServer(TRUE), S_OK);
  EXPECT_EQ(factory->LockServer(TRUE), S_OK);
  EXPECT_EQ(Module().LockCount(), 3);
  EXPECT_EQ(factory->LockServer(FALSE), S_OK);
  EXPECT_EQ(factory->LockServer(FALSE), S_OK);
  EXPECT_EQ(Module().LockCount(), 1);
}

int g_updates = 0;
HRESULT g_updateResult = S_OK;
HRESULT CountingUpdater(HINSTANCE, UINT resourceId, bool) {
  ++g_updates;
  EXPECT_EQ(resourceId, 101u);
  return g_updateResult;
}

TEST_F(ComModuleTest, RegistrationRunsOverTheMap) {
  struct Case {
    HRESULT result;
    bool doRegister;
  } cases[] = {{S_OK, true}, {S_OK, false}, {E_ACCESSDENIED, true}, {E_ACCESSDENIED, false}};
  for (const Case& c : cases) {
    g_updates = 0;
    g_updateResult = c.result;
    EXPECT_EQ(Module().UpdateRegistry(&CountingUpdater, c.doRegister), c.result);
    EXPECT_EQ(g_updates, 1);
  }
}

int g_termOrder = 0;
TEST_F(ComModuleTest, TermReleasesTheFactoryAndRunsCleanUpsLastFirst) {
  Factory();  // made, cached, client reference dropped again
  static int first = 0, second = 0;
  g_termOrder = 0;
  ASSERT_EQ(Module().AddTermFunc([](void* p) { *static_cast<int*>(p) = ++g_termOrder; }, &first),
            S_OK);
  ASSERT_EQ(Module().AddTermFunc([](void* p) { *static_cast<int*>(p) = ++g_termOrder; }, &second),
            S_OK);
  Module().Term();
  EXPECT_EQ(second, 1);
  EXPECT_EQ(first, 2);
  EXPECT_EQ(g_map[0].classObject, nullptr);
  EXPECT_EQ((std::vector<std::string>{"start", "end"}), g_events);
  // A second Term (the fixture's) finds nothing left to do.
}

}  // namespace
