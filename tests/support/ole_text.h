// Text between the tests' byte strings and OLE's wide strings. The tests' texts are ASCII: each
// byte becomes one OLECHAR and back, nothing is converted by a code page.
#pragma once

#include <string>

#include "zov/unique_bstr.h"
#include "zov/win32.h"

namespace zov::test {

using OleString = std::basic_string<OLECHAR>;

// `text` widened, byte by byte.
OleString Ole(const std::string& text);
// A BSTR of `text` widened byte by byte, owned by the caller; its length is that of `text`.
zov::unique_bstr Bstr(const std::string& text);
// The SysStringLen(text) characters of a BSTR, each cut to its low byte; "" for a null BSTR.
std::string Narrow(BSTR text);

}  // namespace zov::test
