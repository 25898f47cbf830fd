// A stand-in for ZOVServer's ICZOVServer that counts its references and its Cancel calls, for the
// tests of what holds the server and calls it back. Every other method answers E_NOTIMPL. A test
// may derive from it to make Cancel do more.
// Include it where zovserver.h is on the include path (link zov_server_idl).
#pragma once

#include "zov/win32.h"
#include "zovserver.h"

namespace zov::test {

class CountingServer : public ICZOVServer {
 public:
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override {
    if (!ppv) return E_POINTER;
    if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IDispatch) ||
        IsEqualIID(riid, IID_ICZOVServer)) {
      *ppv = static_cast<ICZOVServer*>(this);
      AddRef();
      return S_OK;
    }
    *ppv = nullptr;
    return E_NOINTERFACE;
  }
  // The object lives on the test's stack: the count is only watched, never frees it.
  ULONG STDMETHODCALLTYPE AddRef() override { return ++refs; }
  ULONG STDMETHODCALLTYPE Release() override { return --refs; }
  HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override {
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*,
                                   UINT*) override {
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE SelectProgram(BSTR, short, short, LONG*) override { return E_NOTIMPL; }
  virtual ~CountingServer() = default;
  // Answers as an idle server does.
  HRESULT STDMETHODCALLTYPE Cancel(LONG* result) override {
    ++cancels;
    *result = errZovServerIsIdle;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE FindProgram(BSTR, BSTR, short, BSTR*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE CheckDatFile(BSTR, LONG*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE UpdateDatFile(BSTR, LONG*) override { return E_NOTIMPL; }

  ULONG refs = 1;  // the test's own reference
  int cancels = 0;
};

}  // namespace zov::test
