// BSTR: a UTF-16 string with its byte length in the four bytes before the first character and a
// NUL after the last (two NUL bytes for an odd byte length). A null BSTR means the empty string.
#pragma once

#include "zov/platform/types.h"

extern "C" {
// A copy of the NUL-terminated string; null for a null argument or when memory runs out.
BSTR WINAPI SysAllocString(const OLECHAR* psz);
// ui characters copied from strIn (zeroed when strIn is null) plus a NUL; null when memory
// runs out or ui is too large.
BSTR WINAPI SysAllocStringLen(const OLECHAR* strIn, UINT ui);
// len bytes copied from psz (zeroed when psz is null) plus a terminating NUL character.
BSTR WINAPI SysAllocStringByteLen(LPCSTR psz, UINT len);
// Replaces *pbstr by a copy of psz and frees the old string; FALSE when memory runs out or pbstr
// is null (the old string stays). A null psz gives a null string, as on Windows. psz may point
// into the old string.
INT WINAPI SysReAllocString(BSTR* pbstr, const OLECHAR* psz);
// The same with len characters; with a null psz the old string's first characters are kept (as
// far as they reach) and the rest is zero.
INT WINAPI SysReAllocStringLen(BSTR* pbstr, const OLECHAR* psz, UINT len);
// Frees a BSTR; a null BSTR is ignored. Windows caches freed strings; the layer frees at once,
// so that AddressSanitizer sees every use after free.
void WINAPI SysFreeString(BSTR bstrString);
// Characters, and bytes, in the string (not counting the NUL); 0 for a null BSTR. The layout is
// that of 64-bit Windows: the byte length in the 4 bytes before the first character.
UINT WINAPI SysStringLen(BSTR pbstr);
UINT WINAPI SysStringByteLen(BSTR bstr);
}
