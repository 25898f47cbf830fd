#include "server/server_dispatch.h"

#if defined(_WIN32)
#include "server/type_info_holder.h"
#else
#include "server/dispatch_invoker.h"
#include "server/dispatch_table.h"
#endif

namespace zov::server {

#if defined(_WIN32)

namespace {

zov::com::TypeInfoHolder& Holder() {
  static zov::com::TypeInfoHolder holder(LIBID_ZOVSERVERLib, IID_ICZOVServer, 1, 0);
  return holder;
}

}  // namespace

HRESULT ServerGetTypeInfo(UINT, LCID lcid, ITypeInfo** out) {
  return Holder().GetTypeInfo(lcid, out);
}

HRESULT ServerGetIDsOfNames(LPOLESTR* names, UINT count, LCID lcid, DISPID* ids) {
  return Holder().GetIDsOfNames(lcid, names, count, ids);
}

HRESULT ServerInvoke(ICZOVServer* object, DISPID id, LCID lcid, WORD flags, DISPPARAMS* params,
                     VARIANT* result, EXCEPINFO* excepInfo, UINT* argErr) {
  return Holder().Invoke(object, lcid, id, flags, params, result, excepInfo, argErr);
}

#else

namespace {

// Calls the method of the table's member through the vtable, as a type library's Invoke does.
HRESULT CallServer(void* object, const DispatchMember& member, VARIANT* args, VARIANT* retval) {
  auto* server = static_cast<ICZOVServer*>(object);
  LONG code = 0;
  HRESULT hr = E_UNEXPECTED;
  switch (member.id) {
    case 1:
      hr = server->SelectProgram(V_BSTR(&args[0]), V_I2(&args[1]), V_I2(&args[2]), &code);
      break;
    case 2:
      hr = server->Cancel(&code);
      break;
    case 3: {
      BSTR path = nullptr;
      hr = server->FindProgram(V_BSTR(&args[0]), V_BSTR(&args[1]), V_I2(&args[2]), &path);
      if (SUCCEEDED(hr)) {
        V_VT(retval) = VT_BSTR;
        V_BSTR(retval) = path;
      }
      return hr;
    }
    case 4:
      hr = server->CheckDatFile(V_BSTR(&args[0]), &code);
      break;
    case 5:
      hr = server->UpdateDatFile(V_BSTR(&args[0]), &code);
      break;
  }
  if (SUCCEEDED(hr)) {
    V_VT(retval) = VT_I4;
    V_I4(retval) = code;
  }
  return hr;
}

}  // namespace

HRESULT ServerGetTypeInfo(UINT, LCID, ITypeInfo** out) {
  if (!out) return E_POINTER;
  *out = nullptr;
  return E_NOTIMPL;
}

HRESULT ServerGetIDsOfNames(LPOLESTR* names, UINT count, LCID, DISPID* ids) {
  return TableGetIDsOfNames(ServerInterface(), names, count, ids);
}

HRESULT ServerInvoke(ICZOVServer* object, DISPID id, LCID, WORD flags, DISPPARAMS* params,
                     VARIANT* result, EXCEPINFO* excepInfo, UINT* argErr) {
  return TableInvoke(ServerInterface(), object, &CallServer, id, flags, params, result, excepInfo,
                     argErr);
}

#endif

}  // namespace zov::server
