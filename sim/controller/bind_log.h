// The bind log of the virtual controller: the display names that the directory namespace "TESK"
// was asked to bind, in order, for an integrator (or a test) to see which names a program tried.
// One log per module (process-wide), guarded by a critical section.
#pragma once

#include <cstddef>

#include "zov/win32.h"

namespace zov::sim {

// The log keeps the last this many names; older ones are dropped as new ones come.
constexpr size_t kBindLogCapacity = 10000;

// Appends a display name as it was given (UTF-16, null: the empty name). A name that cannot be
// stored for want of memory is left out; the bind itself goes on.
void RecordBind(LPCOLESTR displayName) noexcept;

// Hands out the names recorded since the module was loaded or since the last call, oldest first,
// as a new one-dimensional array of BSTR with lower bound 0 (empty, not null, when there are none),
// and empties the log. E_POINTER for a null names; E_OUTOFMEMORY (*names null, the log kept) when
// the array cannot be made.
HRESULT TakeBindLog(SAFEARRAY** names) noexcept;

}  // namespace zov::sim
