// IDispatch of ICZOVServer for CZOVServer. On Windows it is served from the type library
// ZOVSERVERLib 1.0 (registered, or else the one this module carries); off Windows, which has no
// type library loader, from the table of server/dispatch_table.h.
#pragma once

#include "zov/win32.h"
#include "zovserver.h"

namespace zov::server {

// E_POINTER for a null out pointer. Windows: the ITypeInfo of ICZOVServer whatever the index.
// Elsewhere *out is set to null and E_NOTIMPL returned: there is no type information to hand out.
HRESULT ServerGetTypeInfo(UINT index, LCID lcid, ITypeInfo** out);
HRESULT ServerGetIDsOfNames(LPOLESTR* names, UINT count, LCID lcid, DISPID* ids);
HRESULT ServerInvoke(ICZOVServer* object, DISPID id, LCID lcid, WORD flags, DISPPARAMS* params,
                     VARIANT* result, EXCEPINFO* excepInfo, UINT* argErr);

}  // namespace zov::server
