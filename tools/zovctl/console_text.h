// Text between zovctl's console and COM's UTF-16 strings. The console's text is UTF-8 natively
// and the ANSI code page on Windows (the code page of main's arguments there); ASCII is the same
// in both, so native and Windows runs print the same bytes for it.
#pragma once

#include <string>

#include "zov/win32.h"

namespace zovctl {

using WideString = std::basic_string<WCHAR>;

UINT ConsoleCodePage();

// False when `text` is not well-formed in the console's code page (only UTF-8 can be ill-formed).
bool ConsoleToWide(const std::string& text, WideString* wide);

// UTF-16 to the console's text; characters the ANSI code page lacks become Windows' best-fit
// character or '?'.
std::string WideToConsole(const WCHAR* text, UINT length);

// UTF-16 to UTF-8; an unpaired surrogate becomes U+FFFD.
std::string WideToUtf8(const WCHAR* text, UINT length);

}  // namespace zovctl
