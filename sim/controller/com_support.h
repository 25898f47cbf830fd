// What the virtual controller's COM objects share: text conversions between BSTR/OLE strings and
// ANSI, and the IDispatch of objects that are used through their virtual tables only. Their
// IUnknown, reference count and hold on the module come from zov::com (server/com_object.h).
#pragma once

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
