// A COM object for tests that counts its references and answers its default member, so that tests
// can see who AddRefs and Releases it. Lives on the stack: the count is only observed, never acted
// on.
#pragma once

#include "zov/win32.h"

namespace zov::test {

class CountedObject : public IDispatch {
 public:
  // dispatchable: whether QueryInterface offers IDispatch. The default member answers `value`
  // (a VT_I4) when hasValue, DISP_E_MEMBERNOTFOUND otherwise.
  explicit CountedObject(bool dispatchable = true) : dispatchable_(dispatchable) {}

  LONG references() const { return references_; }
  int invocations() const { return invocations_; }
  LONG value = 42;
  bool hasValue = true;

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override {
    if (!ppv) return E_POINTER;
    if (IsEqualIID(riid, IID_IUnknown) || (dispatchable_ && IsEqualIID(riid, IID_IDispatch))) {
      *ppv = static_cast<IDispatch*>(this);
      AddRef();
      return S_OK;
    }
    *ppv = nullptr;
    return E_NOINTERFACE;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return static_cast<ULONG>(++references_); }
  ULONG STDMETHODCALLTYPE Release() override { return static_cast<ULONG>(--references_); }

  HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override {
    *count = 0;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override {
    return DISP_E_UNKNOWNNAME;
  }
  HRESULT STDMETHODCALLTYPE Invoke(DISPID member, REFIID, LCID, WORD flags, DISPPARAMS* params,
                                   VARIANT* result, EXCEPINFO*, UINT*) override {
    ++invocations_;
    if (member != DISPID_VALUE || !(flags & DISPATCH_PROPERTYGET) || !hasValue) return DISP_E_MEMBERNOTFOUND;
    if (params && params->cArgs != 0) return DISP_E_BADPARAMCOUNT;
    if (result) {
      result->vt = VT_I4;
      result->lVal = value;
    }
    return S_OK;
  }

 private:
  bool dispatchable_;
  LONG references_ = 1;  // the test's own reference
  int invocations_ = 0;
};

}  // namespace zov::test
