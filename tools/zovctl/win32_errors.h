// Plain-language texts for the Win32 error codes zovctl reports, the same on every platform (the
// system's own message texts differ between Windows versions and Wine).
#pragma once

#include <string>

#include "zov/win32.h"

namespace zovctl {

std::string DescribeError(DWORD error);

}  // namespace zovctl
