// An outer object for aggregation tests: it answers IUnknown only and counts the queries and
// references its inner object delegates to it. It lives on the test's stack; its count starts at
// the test's own reference and never destroys it.
#pragma once

#include "zov/win32.h"

namespace zov::test {

class CountingOuter final : public IUnknown {
 public:
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override {
    ++queries;
    *ppv = nullptr;
    if (!IsEqualIID(riid, IID_IUnknown)) return E_NOINTERFACE;
    *ppv = this;
    AddRef();
    return S_OK;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return ++refs; }
  ULONG STDMETHODCALLTYPE Release() override { return --refs; }

  int queries = 0;
  ULONG refs = 1;
};

}  // namespace zov::test
