// Windows only: the type information of one dual interface, taken from its registered type
// library on first use and kept until the module ends (a clean-up function of the module
// releases it). IDispatch of the interface's objects is served from it: member names from a name
// cache built once, everything else by the type information itself.
#pragma once

#if defined(_WIN32)

#include <utility>
#include <vector>

#include "zov/com_ptr.h"
#include "zov/unique_bstr.h"
#include "zov/win32.h"

namespace zov::com {

class TypeInfoHolder {
 public:
  // The interface `iid` of the type library `libid` in version major.minor.
  TypeInfoHolder(const GUID& libid, const IID& iid, WORD major, WORD minor);
  ~TypeInfoHolder();
  TypeInfoHolder(const TypeInfoHolder&) = delete;
  TypeInfoHolder& operator=(const TypeInfoHolder&) = delete;

  // The interface's type information as the type library gives it (AddRef'd). E_POINTER for a
  // null out pointer, else the failure of loading the library.
  HRESULT GetTypeInfo(LCID lcid, ITypeInfo** out);
  // A single member name is looked up in the name cache (same length and characters); anything
  // else is asked of the type information.
  HRESULT GetIDsOfNames(LCID lcid, LPOLESTR* names, UINT count, DISPID* ids);
  // ITypeInfo::Invoke on `instance`, a pointer to the dual interface.
  HRESULT Invoke(void* instance, LCID lcid, DISPID id, WORD flags, DISPPARAMS* params,
                 VARIANT* result, EXCEPINFO* excepInfo, UINT* argErr);

 private:
  // Loads the library (registered for `lcid`; failing that, the type library resource of this
  // module), the type information and the name cache, once.
  HRESULT EnsureLoaded(LCID lcid);
  HRESULT Load(LCID lcid);
  static void Unload(void* self);

  const GUID& libid_;
  const IID& iid_;
  WORD major_;
  WORD minor_;
  CRITICAL_SECTION lock_;
  com_ptr<ITypeInfo> info_;    // as the library describes the interface
  com_ptr<ITypeInfo> vtable_;  // its interface (vtable) part, through which Invoke calls
  std::vector<std::pair<unique_bstr, DISPID>> names_;
};

}  // namespace zov::com

#endif
