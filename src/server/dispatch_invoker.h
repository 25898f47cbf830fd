// IDispatch served from a DispatchInterface table (server/dispatch_table.h) the way a type
// library's ITypeInfo serves it: names looked up without regard to letter case, arguments taken
// in reverse order or by name, coerced to the declared types, the [out,retval] value returned in
// the result VARIANT.
#pragma once

#include <string>

#include "server/dispatch_table.h"
#include "zov/win32.h"

namespace zov::server {

// Calls `member` of `object` with its [in] arguments already of their declared types, in
// declared order (args[0] the first), and stores the [out,retval] value in *retval (a VARIANT of
// the retval type that the caller then owns). Returns the method's HRESULT.
using DispatchCall = HRESULT (*)(void* object, const DispatchMember& member, VARIANT* args,
                                 VARIANT* retval);

// True when the ANSI names are equal apart from the letter case of A-Z.
bool NamesMatch(const char* a, const std::string& b);

// The first name is a member (its DISPID), further names are parameters of that member (their
// index, the [out,retval] parameter included). DISP_E_UNKNOWNNAME when a name is not found: the
// member's unknown names get DISPID_UNKNOWN, and an unknown member makes every name
// DISPID_UNKNOWN. E_INVALIDARG for a null array or name with a non-zero count.
HRESULT TableGetIDsOfNames(const DispatchInterface& table, LPOLESTR* names, UINT count,
                           DISPID* ids);

// Invoke of `id` with DISPATCH_METHOD (alone or with other flags). Positional arguments (the
// last cArgs - cNamedArgs of rgvarg, in reverse order) fill the first parameters, named ones (the
// first cNamedArgs, rgdispidNamedArgs holding their parameter indexes) the rest; each is coerced
// with VariantChangeType (a VT_BYREF argument is dereferenced) when its type differs.
//   E_INVALIDARG: null params, or more named arguments than arguments;
//   DISP_E_MEMBERNOTFOUND: no member `id`, or not called as a method;
//   DISP_E_PARAMNOTFOUND: a named DISPID that is no parameter, names a parameter given by
//     position or comes twice: *argErr is its index in rgvarg (checked before any coercion);
//   DISP_E_BADPARAMCOUNT: an [in] parameter without an argument, or an argument in the place of
//     the [out,retval] parameter (checked after the [in] parameters were taken);
//   DISP_E_TYPEMISMATCH / DISP_E_OVERFLOW ... (the coercion's error): *argErr is the index in
//     rgvarg of the argument that failed;
//   DISP_E_EXCEPTION: the method failed (its HRESULT in excepInfo->scode).
// Otherwise the retval is stored in *result (when not null) and S_OK returned.
HRESULT TableInvoke(const DispatchInterface& table, void* object, DispatchCall call, DISPID id,
                    WORD flags, DISPPARAMS* params, VARIANT* result, EXCEPINFO* excepInfo,
                    UINT* argErr);

}  // namespace zov::server
