// The module support on its own: object map and class-factory cache, the factory's IUnknown and
// lock-count transitions, instance creation plain and aggregated, registration over the map and
// the clean-up at module end, objects made with constructor arguments and interfaces an object
// answers only in some states. Probe classes stand in for the module's classes; the test program
// itself plays the module.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "counting_outer.h"
#include "server/class_factory.h"
#include "server/com_module.h"
#include "server/com_object.h"
#include "zov/com_ptr.h"

namespace {

using zov::com_ptr;
using zov::com::Module;
using zov::test::CountingOuter;

// {5E3C1A20-8D4B-4C6F-9A1E-2B7D0C4F6E81}
const IID IID_IProbe = {0x5e3c1a20, 0x8d4b, 0x4c6f, {0x9a, 0x1e, 0x2b, 0x7d, 0x0c, 0x4f, 0x6e, 0x81}};
// {5E3C1A21-8D4B-4C6F-9A1E-2B7D0C4F6E81}
const CLSID CLSID_Probe = {0x5e3c1a21, 0x8d4b, 0x4c6f, {0x9a, 0x1e, 0x2b, 0x7d, 0x0c, 0x4f, 0x6e, 0x81}};
// {5E3C1A22-8D4B-4C6F-9A1E-2B7D0C4F6E81}
const CLSID CLSID_Other = {0x5e3c1a22, 0x8d4b, 0x4c6f, {0x9a, 0x1e, 0x2b, 0x7d, 0x0c, 0x4f, 0x6e, 0x81}};

// {5E3C1A24-8D4B-4C6F-9A1E-2B7D0C4F6E81}
const CLSID CLSID_Slow = {0x5e3c1a24, 0x8d4b, 0x4c6f, {0x9a, 0x1e, 0x2b, 0x7d, 0x0c, 0x4f, 0x6e, 0x81}};

// {5E3C1A23-8D4B-4C6F-9A1E-2B7D0C4F6E81}
const IID IID_IProbeLabel = {
    0x5e3c1a23, 0x8d4b, 0x4c6f, {0x9a, 0x1e, 0x2b, 0x7d, 0x0c, 0x4f, 0x6e, 0x81}};

struct IProbe : public IUnknown {
  virtual LONG STDMETHODCALLTYPE Live() = 0;
};
struct IProbeLabel : public IUnknown {
  virtual const char* STDMETHODCALLTYPE Label() = 0;
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

// A probe that records the module's lock count while its destructor runs.
LONG g_lockCountInDestructor = -1;
class LockProbe : public IProbe, public zov::com::ObjectRoot {
 public:
  virtual ~LockProbe() { g_lockCountInDestructor = Module().LockCount(); }
  LONG STDMETHODCALLTYPE Live() override { return g_probesAlive; }
  static const zov::com::InterfaceEntry<LockProbe>* InterfaceMap() {
    static const zov::com::InterfaceEntry<LockProbe> map[] = {
        {&IID_IProbe, &zov::com::InterfaceOf<LockProbe, IProbe>}, {nullptr, nullptr}};
    return map;
  }
};

// A probe made from constructor arguments: its label, and whether it answers IProbeLabel.
class LabelledProbe : public IProbe, public IProbeLabel, public zov::com::ObjectRoot {
 public:
  LabelledProbe(std::string label, bool labelled) : label_(std::move(label)), labelled_(labelled) {
    ++g_probesAlive;
  }
  virtual ~LabelledProbe() { --g_probesAlive; }
  LONG STDMETHODCALLTYPE Live() override { return g_probesAlive; }
  const char* STDMETHODCALLTYPE Label() override { return label_.c_str(); }
  static const zov::com::InterfaceEntry<LabelledProbe>* InterfaceMap() {
    static const zov::com::InterfaceEntry<LabelledProbe> map[] = {
        {&IID_IProbe, &zov::com::InterfaceOf<LabelledProbe, IProbe>},
        {&IID_IProbeLabel, &LabelOf},
        {nullptr, nullptr}};
    return map;
  }

 private:
  static IUnknown* LabelOf(LabelledProbe* probe) {
    return probe->labelled_ ? static_cast<IProbeLabel*>(probe) : nullptr;
  }
  std::string label_;
  bool labelled_;
};

// A class object that answers IProbe besides IClassFactory, the way a module's class object may
// answer more than IClassFactory.
int g_probingFactoriesGone = 0;
class ProbingFactory final : public zov::com::ClassFactory, public IProbe {
 public:
  explicit ProbingFactory(zov::com::InstanceCreator create) : ClassFactory(create) {}
  ~ProbingFactory() override { ++g_probingFactoriesGone; }
  static HRESULT Create(zov::com::InstanceCreator create, REFIID riid, void** ppv) {
    return zov::com::QueryNewObject(new ProbingFactory(create), riid, ppv);
  }
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override {
    if (ppv && IsEqualIID(riid, IID_IProbe)) {
      *ppv = static_cast<IProbe*>(this);
      AddRef();
      return S_OK;
    }
    return ClassFactory::QueryInterface(riid, ppv);
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return ClassFactory::AddRef(); }
  ULONG STDMETHODCALLTYPE Release() override { return ClassFactory::Release(); }
  LONG STDMETHODCALLTYPE Live() override { return g_probesAlive; }
};

std::vector<std::string> g_events;

// A class object that takes its time to be made, so that two threads asking for it at once meet
// while it is being made; counts how often it was made.
std::atomic<int> g_slowFactoriesMade{0};
HRESULT CreateSlowClassObject(zov::com::InstanceCreator create, REFIID riid, void** ppv) {
  ++g_slowFactoriesMade;
  std::this_thread::sleep_for(std::chrono::milliseconds(50));
  return zov::com::ClassFactory::CreateClassObject(create, riid, ppv);
}

zov::com::ObjectMapEntry g_map[] = {
    {&CLSID_Probe, 101, &zov::com::ClassFactory::CreateClassObject,
     &zov::com::CreateInstance<Probe>, nullptr, 0,
     [](bool starting) { g_events.push_back(starting ? "start" : "end"); }},
    {nullptr, 0, nullptr, nullptr, nullptr, 0, nullptr}};

class ComModuleTest : public ::testing::Test {
 protected:
  void SetUp() override {
    g_events.clear();
    Module().Init(g_map, nullptr);
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

TEST(ComModuleThreadsTest, TwoThreadsAskingAtOnceShareOneFactory) {
  zov::com::ObjectMapEntry slowMap[] = {
      {&CLSID_Slow, 102, &CreateSlowClassObject, &zov::com::CreateInstance<Probe>, nullptr, 0,
       nullptr},
      {nullptr, 0, nullptr, nullptr, nullptr, 0, nullptr}};
  Module().Init(slowMap, nullptr);
  g_slowFactoriesMade = 0;
  IUnknown* got[2] = {nullptr, nullptr};
  HRESULT results[2] = {E_FAIL, E_FAIL};
  std::thread threads[2];
  for (int i = 0; i < 2; ++i) {
    threads[i] = std::thread([&got, &results, i] {
      results[i] = Module().GetClassObject(CLSID_Slow, IID_IUnknown,
                                           reinterpret_cast<void**>(&got[i]));
    });
  }
  for (std::thread& t : threads) t.join();
  com_ptr<IUnknown> first, second;
  first.attach(got[0]);
  second.attach(got[1]);
  EXPECT_EQ(results[0], S_OK);
  EXPECT_EQ(results[1], S_OK);
  EXPECT_EQ(g_slowFactoriesMade, 1);
  EXPECT_EQ(first.get(), second.get());
  EXPECT_EQ(Module().LockCount(), 1);
  first.reset();
  second.reset();
  Module().Term();
  EXPECT_EQ(Module().LockCount(), 0);
  EXPECT_EQ(slowMap[0].classObject, nullptr);
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
      com_ptr<IUnknown> answered;
      answered.attach(static_cast<IUnknown*>(out));
      EXPECT_EQ(out, static_cast<void*>(factory.get()));
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
      com_ptr<IUnknown> made;
      made.attach(static_cast<IUnknown*>(out));
      EXPECT_EQ(g_probesAlive, 1);
      EXPECT_EQ(Module().LockCount(), 2);  // the factory's client and the object
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

TEST_F(ComModuleTest, TheModuleIsHeldWhileTheClassDestructorRuns) {
  CountingOuter outer;
  struct Case {
    const char* what;
    IUnknown* outer;
  } cases[] = {{"plain", nullptr}, {"aggregated", &outer}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    g_lockCountInDestructor = -1;
    com_ptr<IUnknown> object;
    ASSERT_EQ(zov::com::CreateInstance<LockProbe>(c.outer, IID_IUnknown, object.put_void()),
              S_OK);
    EXPECT_EQ(Module().LockCount(), 1);
    object.reset();
    EXPECT_EQ(g_lockCountInDestructor, 1);
    EXPECT_EQ(Module().LockCount(), 0);
  }
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

TEST_F(ComModuleTest, CreateObjectWithArguments) {
  struct Case {
    const char* what;
    bool labelled;
    const IID* iid;
    HRESULT hr;
  } cases[] = {
      {"its first interface", true, &IID_IProbe, S_OK},
      {"IUnknown", false, &IID_IUnknown, S_OK},
      {"an interface answered in its state", true, &IID_IProbeLabel, S_OK},
      {"an interface not answered in its state", false, &IID_IProbeLabel, E_NOINTERFACE},
      {"an interface it lacks", true, &IID_IDispatch, E_NOINTERFACE},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    std::string label = "kept";
    void* out = &out;
    EXPECT_EQ(zov::com::CreateObject<LabelledProbe>(*c.iid, &out, label, c.labelled), c.hr);
    EXPECT_EQ(label, "kept");  // an lvalue argument is copied
    if (c.hr == S_OK) {
      EXPECT_EQ(g_probesAlive, 1);
      EXPECT_EQ(Module().LockCount(), 1);
      com_ptr<IUnknown> object;
      object.attach(static_cast<IUnknown*>(out));
      com_ptr<IProbeLabel> labelled = object.query<IProbeLabel>(IID_IProbeLabel);
      EXPECT_EQ(static_cast<bool>(labelled), c.labelled);
      if (labelled) {
        EXPECT_STREQ(labelled->Label(), "kept");
      }
    } else {
      EXPECT_EQ(out, nullptr);
    }
    EXPECT_EQ(g_probesAlive, 0);
    EXPECT_EQ(Module().LockCount(), 0);
  }
  EXPECT_EQ(zov::com::CreateObject<LabelledProbe>(IID_IProbe, nullptr, std::string("x"), true),
            E_POINTER);
  EXPECT_EQ(g_probesAlive, 0);
  EXPECT_EQ(Module().LockCount(), 0);
}

TEST_F(ComModuleTest, AnInterfaceNotAnsweredNowLeavesTheObjectAlone) {
  com_ptr<IProbe> probe;
  ASSERT_EQ(zov::com::CreateObject<LabelledProbe>(IID_IProbe, probe.put_void(),
                                                  std::string("moved"), false),
            S_OK);
  void* out = &out;
  EXPECT_EQ(probe->QueryInterface(IID_IProbeLabel, &out), E_NOINTERFACE);
  EXPECT_EQ(out, nullptr);
  com_ptr<IUnknown> identity = probe.query<IUnknown>(IID_IUnknown);
  EXPECT_EQ(identity.get(), static_cast<IUnknown*>(probe.get()));
  identity.reset();
  EXPECT_EQ(probe->AddRef(), 2u);  // the failed query took no reference
  EXPECT_EQ(probe->Release(), 1u);
  EXPECT_EQ(probe->Live(), 1);
}

TEST_F(ComModuleTest, DerivedClassObjectKeepsOneCountForAllItsInterfaces) {
  g_probingFactoriesGone = 0;
  com_ptr<IUnknown> mapReference;  // the first reference, as the object map holds it
  ASSERT_EQ(ProbingFactory::Create(&zov::com::CreateInstance<Probe>, IID_IUnknown,
                                   mapReference.put_void()),
            S_OK);
  EXPECT_EQ(Module().LockCount(), 0);
  com_ptr<IProbe> probe = mapReference.query<IProbe>(IID_IProbe);
  ASSERT_TRUE(probe);
  EXPECT_EQ(Module().LockCount(), 1);  // a client's reference holds the module
  com_ptr<IClassFactory> factory = probe.query<IClassFactory>(IID_IClassFactory);
  ASSERT_TRUE(factory);
  EXPECT_EQ(Module().LockCount(), 1);  // one count for both interfaces
  EXPECT_EQ(factory.query<IUnknown>(IID_IUnknown).get(), mapReference.get());
  com_ptr<IProbe> made;
  ASSERT_EQ(factory->CreateInstance(nullptr, IID_IProbe, made.put_void()), S_OK);
  EXPECT_EQ(probe->Live(), 1);
  made.reset();
  factory.reset();
  EXPECT_EQ(Module().LockCount(), 1);
  probe.reset();
  EXPECT_EQ(Module().LockCount(), 0);
  EXPECT_EQ(g_probingFactoriesGone, 0);
  mapReference.reset();
  EXPECT_EQ(g_probingFactoriesGone, 1);  // destroyed as the class it is
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
