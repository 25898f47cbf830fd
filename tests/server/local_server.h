// A CZOVServer made directly in the test, on the stack or as a member: the reference counting a
// test needs (the object is never freed through Release) and ICZOVServer from QueryInterface.
#pragma once

#include "server/zov_server.h"

namespace zov::test {

class LocalServer : public zov::server::CZOVServer {
 public:
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override {
    *ppv = nullptr;
    if (!IsEqualIID(riid, IID_IUnknown) && !IsEqualIID(riid, IID_ICZOVServer)) return E_NOINTERFACE;
    *ppv = static_cast<ICZOVServer*>(this);
    return S_OK;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
  ULONG STDMETHODCALLTYPE Release() override { return 1; }
};

}  // namespace zov::test
