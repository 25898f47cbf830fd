// The names of the server's result codes (tagZovServerResult), for zovctl's output.
#pragma once

#include <cstddef>

namespace zovctl {

struct ResultCode {
  long value;
  const char* name;
};

// The enumerator's name for a result value, or nullptr when the value is no result code (the
// server passes some values of the components it calls through unchanged).
const char* ResultName(long value);

// Every result code, in the order of the enumeration.
const ResultCode* ResultCodes(size_t* count);

}  // namespace zovctl
