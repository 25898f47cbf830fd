// zovctl hands the server it created to the virtual controller and takes it back: the controller
// holds the server exactly while the link lives. Natively, with the controller module copied into
// the test's machine and registered by its own DllRegisterServer.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "cancel_target.h"
#include "scratch.h"
#include "virtual_controller.h"
#include "zov/com_ptr.h"
#include "zov/platform/machine.h"
#include "zovserver.h"

namespace zovctl {
namespace {

// A server that counts its references and its Cancel calls; nothing else is called.
class CountingServer final : public ICZOVServer {
 public:
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override {
    if (!ppv) return E_POINTER;
    if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IDispatch) || IsEqualIID(riid, IID_ICZOVServer)) {
      *ppv = static_cast<ICZOVServer*>(this);
      AddRef();
      return S_OK;
    }
    *ppv = nullptr;
    return E_NOINTERFACE;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return ++refs; }
  ULONG STDMETHODCALLTYPE Release() override { return --refs; }  // lives on the test's stack
  HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*, UINT*) override {
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE SelectProgram(BSTR, short, short, LONG*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE Cancel(LONG* result) override {
    ++cancels;
    *result = -4;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE FindProgram(BSTR, BSTR, short, BSTR*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE CheckDatFile(BSTR, LONG*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE UpdateDatFile(BSTR, LONG*) override { return E_NOTIMPL; }

  ULONG refs = 1;
  int cancels = 0;
};

using RegistrationFn = HRESULT(STDAPICALLTYPE*)();

// Copies the controller module into the machine and registers it; its Windows path, or "".
std::string RegisterController() {
  const std::string path = zov::test::ScratchDir() + "VirtualController.dll";
  zov::platform::ResolvedPath target;
  if (zov::platform::ResolveWindowsPath(path.c_str(), zov::platform::PathUse::CreateLeaf, &target) != 0) return "";
  std::error_code ec;
  std::filesystem::copy_file(ZOVCTL_CONTROLLER_BUILD_PATH, target.hostPath,
                             std::filesystem::copy_options::overwrite_existing, ec);
  if (ec) return "";
  HMODULE module = LoadLibraryA(path.c_str());
  auto registerServer =
      reinterpret_cast<RegistrationFn>(reinterpret_cast<void*>(GetProcAddress(module, "DllRegisterServer")));
  bool ok = registerServer && registerServer() == S_OK;
  FreeLibrary(module);
  return ok ? path : "";
}

TEST(ZovctlCancelTarget, NoControllerNoLink) {
  // Before the controller is registered (this case runs first): the domain object cannot be bound,
  // nothing is held, and that is no error.
  HKEY key;
  if (RegOpenKeyExA(HKEY_CLASSES_ROOT, "KalTeskDomain.TeskDomain.1", 0, KEY_READ, &key) == ERROR_SUCCESS) {
    RegCloseKey(key);
    GTEST_SKIP() << "the controller is registered in this machine already";
  }
  ASSERT_TRUE(SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)));
  {
    CountingServer server;
    CancelTargetLink link(&server);
    EXPECT_FALSE(link.linked());
    EXPECT_EQ(server.refs, 1u);
  }
  CoUninitialize();
}

TEST(ZovctlCancelTarget, TheControllerHoldsTheServerWhileTheLinkLives) {
  ASSERT_NE(RegisterController(), "");
  ASSERT_TRUE(SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)));
  {
    CountingServer server;
    {
      CancelTargetLink link(&server);
      EXPECT_TRUE(link.linked());
      EXPECT_GT(server.refs, 1u);  // the controller keeps its own reference
    }
    EXPECT_EQ(server.refs, 1u);  // given back when the link ends
    EXPECT_EQ(server.cancels, 0);
  }
  CoUninitialize();
}

}  // namespace
}  // namespace zovctl
