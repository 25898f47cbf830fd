// The names of the server's result codes (tagZovServerResult), for zovctl's output: those of the
// server's own dispatch table, which its tests hold to the interface definition.
#pragma once

#include <cstddef>

namespace zovctl {

// The enumerator's name for a result value, or nullptr when the value is no result code (the
// server passes some values of the components it calls through unchanged).
const char* ResultName(long value);

// How many result codes there are.
size_t ResultCodeCount();

}  // namespace zovctl
