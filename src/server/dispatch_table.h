// The automation surface of ICZOVServer as data: its members with their dispatch identifiers,
// parameter names and types and [out,retval] parameter, and the result codes of
// tagZovServerResult. Off Windows, where there is no type library loader, IDispatch is served
// from this table (server/dispatch_invoker.h); on Windows the type library is used and tests keep
// the two from drifting apart.
#pragma once

#include <cstddef>

#include "zov/win32.h"

namespace zov::server {

struct DispatchParam {
  const char* name;
  VARTYPE type;  // the [in] type, or for the [out,retval] parameter the type it points to
};

struct DispatchMember {
  const char* name;
  DISPID id;
  const char* helpString;
  const DispatchParam* params;  // the [in] parameters in order, then the [out,retval] one
  UINT inCount;                 // number of [in] parameters; params[inCount] is the retval
};

struct DispatchInterface {
  const char* name;
  const char* helpString;
  const DispatchMember* members;
  size_t memberCount;
};

struct DispatchEnumerator {
  const char* name;
  LONG value;
};

// ICZOVServer as IDispatch sees it.
const DispatchInterface& ServerInterface();
// The enumerators of tagZovServerResult, in declaration order.
const DispatchEnumerator* ServerResultEnumerators(size_t* count);

}  // namespace zov::server
