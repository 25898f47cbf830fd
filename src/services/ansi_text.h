// The conversions between the BSTRs that cross the host's interfaces and the ANSI text (the
// system's code page) in which the adapters name, compare and format things.
#pragma once

#include <string>

#include "zov/unique_bstr.h"
#include "zov/win32.h"

namespace zov::services {

// The ANSI text of `length` UTF-16 units at `text` (null or 0 units: the empty string). Characters
// without an ANSI form become the code page's default character. Throws std::bad_alloc.
std::string AnsiFromWide(const OLECHAR* text, UINT length);
// The same for a whole BSTR (null reads as empty).
inline std::string AnsiFromBstr(BSTR text) { return AnsiFromWide(text, SysStringLen(text)); }

// A new BSTR holding the ANSI text converted to UTF-16; null when memory runs out.
unique_bstr BstrFromAnsi(const std::string& text);

// True when the two names are the same but for letter case (the ANSI code page's case rules).
bool SameNameIgnoringCase(const std::string& a, const std::string& b);

}  // namespace zov::services
