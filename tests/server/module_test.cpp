// ZOVServer.dll through real activation: CZOVServer created by its ProgID, its interfaces and
// method surface; and the module's class object and lock count through its own exports.
#include <gtest/gtest.h>

#include <string>

#include "class_keys.h"
#include "counting_outer.h"
#include "module_install.h"
#include "ole_text.h"
#include "scratch.h"
#include "server_module.h"
#include "zov/com_ptr.h"
#include "zov/unique_bstr.h"
#include "zovserver.h"

// Windows declares it in olectl.h, which zov/win32.h does not include.
#ifndef CONNECT_E_NOCONNECTION
#define CONNECT_E_NOCONNECTION static_cast<HRESULT>(0x80040200L)
#endif

namespace {

using zov::com_ptr;
using zov::unique_bstr;
using zov::test::CountingOuter;
using zov::test::ServerCanUnloadNow;
using zov::test::ServerGetClassObject;

// {0A8D3C2E-4B7F-4E91-8C6D-1F2E3A4B5C6D}: a class the module does not serve.
const CLSID kOtherClass = {0x0a8d3c2e, 0x4b7f, 0x4e91, {0x8c, 0x6d, 0x1f, 0x2e, 0x3a, 0x4b, 0x5c, 0x6d}};

class ServerModuleTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(SUCCEEDED(apartment_.result()));
    ASSERT_NE(zov::test::ServerModule(), nullptr) << "ZOVServer.dll not loaded and registered";
  }
  void TearDown() override { EXPECT_EQ(ServerCanUnloadNow(), S_OK) << "something still holds it"; }

  com_ptr<ICZOVServer> Create() {
    CLSID clsid;
    com_ptr<ICZOVServer> server;
    EXPECT_EQ(CLSIDFromProgID(zov::test::Ole(zov::test::kServerProgId).c_str(), &clsid), S_OK);
    EXPECT_TRUE(IsEqualCLSID(clsid, CLSID_CZOVServer));
    EXPECT_EQ(CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_ICZOVServer,
                               server.put_void()),
              S_OK);
    return server;
  }
  com_ptr<IClassFactory> Factory() {
    com_ptr<IClassFactory> factory;
    EXPECT_EQ(ServerGetClassObject(CLSID_CZOVServer, IID_IClassFactory, factory.put_void()), S_OK);
    return factory;
  }

  zov::test::ApartmentScope apartment_;
};

TEST_F(ServerModuleTest, IdentityAndInterfaces) {
  com_ptr<ICZOVServer> server = Create();
  ASSERT_TRUE(server);
  struct Case {
    const char* what;
    const IID* iid;
    HRESULT hr;
    bool identity;  // answered with the dual interface pointer
  } cases[] = {
      {"IUnknown", &IID_IUnknown, S_OK, true},
      {"IDispatch", &IID_IDispatch, S_OK, true},
      {"ICZOVServer", &IID_ICZOVServer, S_OK, true},
      {"ISupportErrorInfo", &IID_ISupportErrorInfo, S_OK, false},
      {"IConnectionPointContainer", &IID_IConnectionPointContainer, S_OK, false},
      {"IClassFactory", &IID_IClassFactory, E_NOINTERFACE, false},
      {"IEnumConnectionPoints", &IID_IEnumConnectionPoints, E_NOINTERFACE, false},
      {"the events", &DIID__ICZOVServerEvents, E_NOINTERFACE, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    void* out = &out;
    EXPECT_EQ(server->QueryInterface(*c.iid, &out), c.hr);
    if (FAILED(c.hr)) {
      EXPECT_EQ(out, nullptr);
      continue;
    }
    ASSERT_NE(out, nullptr);
    com_ptr<IUnknown> answered;
    answered.attach(static_cast<IUnknown*>(out));
    if (c.identity) {
      EXPECT_EQ(out, static_cast<void*>(server.get()));
    }
    // Every interface leads back to the same identity.
    com_ptr<IUnknown> unknown;
    EXPECT_EQ(answered->QueryInterface(IID_IUnknown, unknown.put_void()), S_OK);
    EXPECT_EQ(static_cast<void*>(unknown.get()), static_cast<void*>(server.get()));
  }
}

TEST_F(ServerModuleTest, ErrorInfoIsNamedForTheDualInterfaceOnly) {
  com_ptr<ISupportErrorInfo> info = Create().query<ISupportErrorInfo>(IID_ISupportErrorInfo);
  ASSERT_TRUE(info);
  EXPECT_EQ(info->InterfaceSupportsErrorInfo(IID_ICZOVServer), S_OK);
  EXPECT_EQ(info->InterfaceSupportsErrorInfo(IID_IDispatch), S_FALSE);
  EXPECT_EQ(info->InterfaceSupportsErrorInfo(IID_IUnknown), S_FALSE);
  EXPECT_EQ(info->InterfaceSupportsErrorInfo(DIID__ICZOVServerEvents), S_FALSE);
}

TEST_F(ServerModuleTest, NoConnectionPoints) {
  com_ptr<IConnectionPointContainer> container =
      Create().query<IConnectionPointContainer>(IID_IConnectionPointContainer);
  ASSERT_TRUE(container);
  EXPECT_EQ(container->EnumConnectionPoints(nullptr), E_POINTER);
  EXPECT_EQ(container->FindConnectionPoint(DIID__ICZOVServerEvents, nullptr), E_POINTER);

  IConnectionPoint* point = reinterpret_cast<IConnectionPoint*>(&point);
  EXPECT_EQ(container->FindConnectionPoint(DIID__ICZOVServerEvents, &point),
            CONNECT_E_NOCONNECTION);
  EXPECT_EQ(point, nullptr);
  point = reinterpret_cast<IConnectionPoint*>(&point);
  EXPECT_EQ(container->FindConnectionPoint(IID_IDispatch, &point), CONNECT_E_NOCONNECTION);
  EXPECT_EQ(point, nullptr);

  com_ptr<IEnumConnectionPoints> points;
  ASSERT_EQ(container->EnumConnectionPoints(points.put()), S_OK);
  ASSERT_TRUE(points);
  IConnectionPoint* fetched[2] = {nullptr, nullptr};
  ULONG count = 7;
  EXPECT_EQ(points->Next(2, fetched, &count), S_FALSE);
  EXPECT_EQ(count, 0u);
  EXPECT_EQ(fetched[0], nullptr);
  EXPECT_EQ(points->Skip(1), S_FALSE);
  EXPECT_EQ(points->Reset(), S_OK);
  com_ptr<IEnumConnectionPoints> copy;
  ASSERT_EQ(points->Clone(copy.put()), S_OK);
  EXPECT_EQ(copy->Next(1, fetched, nullptr), S_FALSE);
  EXPECT_EQ(ServerCanUnloadNow(), S_FALSE);  // the enumerators hold the module too
}

TEST_F(ServerModuleTest, MethodsStoreTheirResults) {
  com_ptr<ICZOVServer> server = Create();
  ASSERT_TRUE(server);
  unique_bstr name(SysAllocString(OLESTR("C:\\WKS.DIR\\PART1.ZOV\\MAIN.MPF")));
  struct Case {
    const char* what;
    HRESULT (*call)(ICZOVServer*, BSTR, LONG*);
    LONG expected;
  } cases[] = {
      {"Cancel while idle", [](ICZOVServer* s, BSTR, LONG* r) { return s->Cancel(r); },
       errZovServerIsIdle},
      {"SelectProgram (no selection yet)",
       [](ICZOVServer* s, BSTR n, LONG* r) { return s->SelectProgram(n, 1, 3, r); },
       errZovServerAllocFailed},
      {"Cancel after a selection", [](ICZOVServer* s, BSTR, LONG* r) { return s->Cancel(r); },
       errZovServerIsIdle},
      {"CheckDatFile (no check yet)",
       [](ICZOVServer* s, BSTR n, LONG* r) { return s->CheckDatFile(n, r); },
       errZovServerAllocFailed},
      {"UpdateDatFile (no update yet)",
       [](ICZOVServer* s, BSTR n, LONG* r) { return s->UpdateDatFile(n, r); },
       errZovServerAllocFailed},
      {"SelectProgram of nothing",
       [](ICZOVServer* s, BSTR, LONG* r) { return s->SelectProgram(nullptr, 0, 0, r); },
       errZovServerAllocFailed},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    LONG result = 12345;
    EXPECT_EQ(c.call(server.get(), name.get(), &result), S_OK);
    EXPECT_EQ(result, c.expected);
    EXPECT_NE(result, errZovServerNoZovName);
    EXPECT_EQ(c.call(server.get(), name.get(), nullptr), E_POINTER);
  }

  unique_bstr found;
  BSTR* out = found.put();
  *out = reinterpret_cast<BSTR>(&out);  // garbage that must be overwritten
  EXPECT_EQ(server->FindProgram(name.get(), name.get(), 3, out), S_OK);
  ASSERT_NE(found.get(), nullptr);
  EXPECT_EQ(found.length(), 0u);
  EXPECT_EQ(server->FindProgram(name.get(), name.get(), 3, nullptr), E_POINTER);
}

TEST_F(ServerModuleTest, DispatchBasics) {
  com_ptr<IDispatch> dispatch = Create().query<IDispatch>(IID_IDispatch);
  ASSERT_TRUE(dispatch);
  UINT count = 0;
  EXPECT_EQ(dispatch->GetTypeInfoCount(&count), S_OK);
  EXPECT_EQ(count, 1u);
  EXPECT_EQ(dispatch->GetTypeInfo(0, 0, nullptr), E_POINTER);

  com_ptr<ITypeInfo> info;
#if defined(_WIN32)
  EXPECT_EQ(dispatch->GetTypeInfo(0, 0x409, info.put()), S_OK);
  EXPECT_TRUE(info);
  com_ptr<ITypeInfo> again;
  EXPECT_EQ(dispatch->GetTypeInfo(5, 0x409, again.put()), S_OK);  // any index
  EXPECT_EQ(again.get(), info.get());
#else
  // There is no type information to hand out here.
  EXPECT_EQ(dispatch->GetTypeInfo(0, 0x409, info.put()), E_NOTIMPL);
  EXPECT_FALSE(info);
#endif

  struct Case {
    const OLECHAR* name;
    DISPID id;
  } cases[] = {{OLESTR("SelectProgram"), 1}, {OLESTR("Cancel"), 2}, {OLESTR("FindProgram"), 3},
               {OLESTR("CheckDatFile"), 4}, {OLESTR("UpdateDatFile"), 5}};
  for (const Case& c : cases) {
    DISPID id = 0;
    LPOLESTR names[] = {const_cast<LPOLESTR>(c.name)};
    EXPECT_EQ(dispatch->GetIDsOfNames(IID_NULL, names, 1, 0x409, &id), S_OK);
    EXPECT_EQ(id, c.id);
  }

  // Cancel by name.
  LPOLESTR cancel[] = {const_cast<LPOLESTR>(OLESTR("Cancel"))};
  DISPID id = 0;
  ASSERT_EQ(dispatch->GetIDsOfNames(IID_NULL, cancel, 1, 0x409, &id), S_OK);
  DISPPARAMS none = {nullptr, nullptr, 0, 0};
  VARIANT result;
  VariantInit(&result);
  EXPECT_EQ(dispatch->Invoke(id, IID_NULL, 0x409, DISPATCH_METHOD, &none, &result, nullptr,
                             nullptr),
            S_OK);
  EXPECT_EQ(V_VT(&result), VT_I4);
  EXPECT_EQ(V_I4(&result), errZovServerIsIdle);
}

TEST_F(ServerModuleTest, ClassObject) {
  void* out = &out;
  EXPECT_EQ(ServerGetClassObject(kOtherClass, IID_IClassFactory, &out), CLASS_E_CLASSNOTAVAILABLE);
  EXPECT_EQ(out, nullptr);
  EXPECT_EQ(ServerGetClassObject(CLSID_CZOVServer, IID_IClassFactory, nullptr), E_POINTER);
  out = &out;
  EXPECT_EQ(ServerGetClassObject(CLSID_CZOVServer, IID_IDispatch, &out), E_NOINTERFACE);
  EXPECT_EQ(out, nullptr);

  com_ptr<IClassFactory> factory = Factory();
  ASSERT_TRUE(factory);
  EXPECT_EQ(ServerCanUnloadNow(), S_FALSE);  // a client holds the class object
  com_ptr<IClassFactory> same = Factory();
  EXPECT_EQ(same.get(), factory.get());
  same.reset();
  EXPECT_EQ(ServerCanUnloadNow(), S_FALSE);
  factory.reset();
  EXPECT_EQ(ServerCanUnloadNow(), S_OK);
}

TEST_F(ServerModuleTest, CreateInstanceRules) {
  com_ptr<IClassFactory> factory = Factory();
  ASSERT_TRUE(factory);
  EXPECT_EQ(factory->CreateInstance(nullptr, IID_ICZOVServer, nullptr), E_POINTER);

  CountingOuter outer;
  void* out = &out;
  EXPECT_EQ(factory->CreateInstance(&outer, IID_ICZOVServer, &out), CLASS_E_NOAGGREGATION);
  EXPECT_EQ(out, nullptr);
  out = &out;
  EXPECT_EQ(factory->CreateInstance(nullptr, IID_IClassFactory, &out), E_NOINTERFACE);
  EXPECT_EQ(out, nullptr);
  EXPECT_EQ(outer.refs, 1u);

  // Aggregated: the inner unknown is its own; the interfaces delegate to the outer object.
  com_ptr<IUnknown> inner;
  ASSERT_EQ(factory->CreateInstance(&outer, IID_IUnknown, inner.put_void()), S_OK);
  EXPECT_NE(static_cast<void*>(inner.get()), static_cast<void*>(&outer));
  EXPECT_EQ(outer.refs, 1u);
  ICZOVServer* server = nullptr;
  ASSERT_EQ(inner->QueryInterface(IID_ICZOVServer, reinterpret_cast<void**>(&server)), S_OK);
  EXPECT_EQ(outer.refs, 2u);
  EXPECT_EQ(server->AddRef(), 3u);
  EXPECT_EQ(server->Release(), 2u);
  IUnknown* viaServer = nullptr;
  EXPECT_EQ(server->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(&viaServer)), S_OK);
  EXPECT_EQ(viaServer, &outer);
  EXPECT_EQ(outer.queries, 1);
  viaServer->Release();
  LONG result = 0;
  EXPECT_EQ(server->Cancel(&result), S_OK);
  EXPECT_EQ(result, errZovServerIsIdle);
  server->Release();
  EXPECT_EQ(outer.refs, 1u);
  factory.reset();
  EXPECT_EQ(ServerCanUnloadNow(), S_FALSE);  // the aggregated object lives
  inner.reset();
}

TEST_F(ServerModuleTest, LocksAndInstancesHoldTheModule) {
  com_ptr<IClassFactory> factory = Factory();
  ASSERT_TRUE(factory);
  EXPECT_EQ(factory->LockServer(TRUE), S_OK);
  factory.reset();
  EXPECT_EQ(ServerCanUnloadNow(), S_FALSE);
  Factory()->LockServer(FALSE);
  EXPECT_EQ(ServerCanUnloadNow(), S_OK);

  com_ptr<ICZOVServer> server = Create();
  ASSERT_TRUE(server);
  EXPECT_EQ(ServerCanUnloadNow(), S_FALSE);
  server.reset();
  EXPECT_EQ(ServerCanUnloadNow(), S_OK);
}

// What DllRegisterServer writes and DllUnregisterServer takes back: every key of the script but
// "CLSID" itself, and on Windows the type library's registration.
TEST_F(ServerModuleTest, RegistrationWritesTheClassAndUnregistrationTakesItBack) {
  const std::string clsid = "CLSID\\{09F11B65-8484-4183-A8CE-68B0A5ACF055}";
  const std::string typeLibrary = "TypeLib\\{76FC237D-5F66-4652-8453-79693253000D}";
  const char* const keys[] = {
      "ZOVServer.CZOVServer.1", "ZOVServer.CZOVServer.1\\CLSID", "ZOVServer.CZOVServer",
      "ZOVServer.CZOVServer\\CLSID", "ZOVServer.CZOVServer\\CurVer"};
  const char* const classKeys[] = {"", "\\ProgID", "\\VersionIndependentProgID",
                                   "\\Programmable", "\\InprocServer32", "\\TypeLib"};
  HMODULE module = zov::test::ServerModule();
  char modulePath[MAX_PATH] = {};
  ASSERT_GT(GetModuleFileNameA(module, modulePath, MAX_PATH), 0u);

  ASSERT_EQ(zov::test::RegisterModule(module, false), S_OK);
  for (const char* key : keys) EXPECT_FALSE(zov::test::KeyExists(key)) << key;
  for (const char* key : classKeys) EXPECT_FALSE(zov::test::KeyExists(clsid + key)) << key;
  EXPECT_TRUE(zov::test::KeyExists("CLSID"));
  EXPECT_FALSE(zov::test::KeyExists(typeLibrary + "\\1.0"));
  EXPECT_EQ(zov::test::RegisterModule(module, false), S_OK) << "a second unregistration";

  // Registered again, which the other tests of this process need as well.
  ASSERT_EQ(zov::test::RegisterModule(module, true), S_OK);
  struct Value {
    std::string key;
    const char* name;
    std::string expected;
  } values[] = {
      {"ZOVServer.CZOVServer.1", nullptr, "CZOVServer Class"},
      {"ZOVServer.CZOVServer.1\\CLSID", nullptr, "{09F11B65-8484-4183-A8CE-68B0A5ACF055}"},
      {"ZOVServer.CZOVServer", nullptr, "CZOVServer Class"},
      {"ZOVServer.CZOVServer\\CLSID", nullptr, "{09F11B65-8484-4183-A8CE-68B0A5ACF055}"},
      {"ZOVServer.CZOVServer\\CurVer", nullptr, "ZOVServer.CZOVServer.1"},
      {clsid, nullptr, "CZOVServer Class"},
      {clsid + "\\ProgID", nullptr, "ZOVServer.CZOVServer.1"},
      {clsid + "\\VersionIndependentProgID", nullptr, "ZOVServer.CZOVServer"},
      {clsid + "\\InprocServer32", nullptr, modulePath},
      {clsid + "\\InprocServer32", "ThreadingModel", "Apartment"},
      {clsid + "\\TypeLib", nullptr, "{76FC237D-5F66-4652-8453-79693253000D}"},
  };
  for (const Value& v : values) {
    EXPECT_EQ(zov::test::ClassesValue(v.key, v.name), v.expected) << v.key;
  }
  EXPECT_TRUE(zov::test::KeyExists(clsid + "\\Programmable"));
#if defined(_WIN32)
  EXPECT_TRUE(zov::test::KeyExists(typeLibrary + "\\1.0"));
#endif
}

}  // namespace
