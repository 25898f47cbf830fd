// What the virtual controller's COM objects share: text conversions between BSTR/OLE strings and
// ANSI, the guard that keeps exceptions inside a COM method, the stub of a method not implemented,
// and the IDispatch of objects that are used through their virtual tables only. Their IUnknown,
// reference count and hold on the module come from zov::com (server/com_object.h).
#pragma once

#include <new>
#include <string>

#include "zov/unique_bstr.h"
#include "zov/win32.h"

namespace zov::sim {

// ANSI (the process code page) from an OLE string; empty for null. False when it cannot be
// converted.
bool ToAnsi(LPCOLESTR text, std::string* out);
// A new BSTR of ANSI text; null when out of memory.
BSTR ToBstr(const std::string& text);

// A BSTR copy for an out-parameter: S_OK, or E_OUTOFMEMORY with *out null.
HRESULT ReturnBstr(const std::string& text, BSTR* out);

// Runs `body` (which returns an HRESULT) inside a COM method: std::bad_alloc becomes
// E_OUTOFMEMORY and any other exception E_UNEXPECTED, so that none leaves the method.
template <typename F>
HRESULT Guarded(F&& body) noexcept {
  try {
    return body();
  } catch (const std::bad_alloc&) {
    return E_OUTOFMEMORY;
  } catch (...) {
    return E_UNEXPECTED;
  }
}

// A method the object does not implement: its out-pointer (when given) is cleared; E_NOTIMPL.
template <typename T>
HRESULT NotImplemented(T** out) {
  if (out) *out = nullptr;
  return E_NOTIMPL;
}

// IDispatch for an object whose dual interfaces (`Interfaces`, each derived from IDispatch) are
// called through their virtual tables only: no type information (GetTypeInfoCount gives 0), no
// names and no Invoke (E_NOTIMPL, out-parameters cleared). The object derives from this instead of
// from its interfaces; the one stub serves them all.
template <class... Interfaces>
class VtableOnlyDispatch : public Interfaces... {
 public:
  HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* pctinfo) override {
    if (!pctinfo) return E_POINTER;
    *pctinfo = 0;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo** ppTInfo) override {
    if (ppTInfo) *ppTInfo = nullptr;
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override {
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*,
                                   UINT*) override {
    return E_NOTIMPL;
  }
};

}  // namespace zov::sim
