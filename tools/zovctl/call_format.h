// What zovctl prints for one server call: a plain line or a JSON object, and the exit status.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "server_call.h"

namespace zovctl {

struct CallOutcome {
  int32_t hresult = 0;  // what the method returned; a failing value means no result came back
  long result = 0;      // the [out,retval] result code (all methods but FindProgram)
  std::string path;     // FindProgram's [out,retval] path; empty when nothing was found
  bool traced = false;            // the call was traced (find --trace)
  std::vector<std::string> tried;  // then the names the server asked to bind, in order
};

// The call came back with its result: an HRESULT that is not a failure.
bool CallReturned(const CallOutcome& outcome);

// A call succeeded when it returned errZovServerOk, or for FindProgram a path.
bool CallSucceeded(const ServerCall& call, const CallOutcome& outcome);

// 0 when every call succeeded (also when there were none), 1 otherwise.
int ExitStatus(const std::vector<bool>& succeeded);

// The plain line, without its line end: "-7 errZovServerFileNotFound", the value alone when it is
// no result code, FindProgram's path (empty when nothing was found), or "HRESULT 0x80004005" when
// the call itself failed. Strings are passed through as they are (the console's text).
std::string PlainLine(const ServerCall& call, const CallOutcome& outcome);

// The trace of a traced call: one line "  tried NAME" (with its line end) per name, in order;
// nothing for a call that was not traced. The names are passed through as they are.
std::string PlainTrace(const CallOutcome& outcome);

// One JSON object on one line, without its line end. The strings of `call` and `outcome` must be
// UTF-8. Keys: "method", "args" (the parameters under their names on the interface), "result"
// (the value, FindProgram's path, or null when the call failed), "resultName" (the enumerator's
// name or null), "hresult" (only when the call failed: "0x8000FFFF"), "fileList" (null: the server
// gives no access to its file list through ICZOVServer), and for a traced call "tried" (an array
// of the names, after "resultName" or "hresult").
std::string JsonLine(const ServerCall& call, const CallOutcome& outcome);

// A JSON string literal: quotes, backslashes and control characters escaped (\" \\ \b \f \n \r \t,
// others \u00XX, and DEL, U+2028 and U+2029 as \u escapes too), other characters kept as UTF-8;
// an ill-formed UTF-8 sequence becomes \ufffd, so the output is always well-formed.
std::string JsonString(const std::string& utf8);

}  // namespace zovctl
