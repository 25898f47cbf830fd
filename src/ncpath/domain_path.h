// The domain path of a name in the view the caller names, or in the default view: "hd-nc" when the
// NC answers, "hd" when it does not or when the machine is configured as the local one. Whether
// the NC answers is asked anew on every call that names no view; nothing is cached, so a NC that
// goes offline is seen at once.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "services/nc_var.h"
#include "zov/unique_bstr.h"
#include "zov/win32.h"

namespace zov::ncpath {

// The NC variable whose successful read tells that an NC answers.
inline constexpr char kOperatingModeVariable[] = "/Bag/State/Opmode";

// Whether the NC `ncName` (null or empty: the default NC) answers: false on the local machine
// (nothing is asked) or without a variable object; otherwise whether "/Bag/State/Opmode" reads
// as a good value. The value read is discarded.
bool IsNcReachable(bool localMachine, zov::services::NcVar* ncVar, const char* ncName) noexcept;

// The text of MakeDomainPath: an empty path gives the empty string without asking the NC; with a
// null view the default view is chosen as above. Absent when the result would not fit the
// 1024-byte buffer. Throws std::bad_alloc.
std::optional<std::string> MakeDomainPathText(std::string_view path, const char* view,
                                              bool localMachine, zov::services::NcVar* ncVar);

// The same as a new BSTR for the caller; null when absent or when memory runs out.
unique_bstr MakeDomainPath(const char* path, const char* view, bool localMachine,
                           zov::services::NcVar* ncVar) noexcept;

}  // namespace zov::ncpath
