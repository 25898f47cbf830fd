// ANSI text in the code page Windows uses for Western European systems: Windows-1252, a single-byte
// code page (no lead bytes). Conversions to and from UTF-16 and the case and comparison functions
// the server's name handling uses.
#pragma once

#include "zov/platform/types.h"

#define CP_ACP 0
#define CP_OEMCP 1
#define CP_THREAD_ACP 3
#define CP_UTF8 65001
#define MB_PRECOMPOSED 0x00000001
#define MB_COMPOSITE 0x00000002
#define MB_USEGLYPHCHARS 0x00000004
#define MB_ERR_INVALID_CHARS 0x00000008
#define WC_ERR_INVALID_CHARS 0x00000080
#define WC_COMPOSITECHECK 0x00000200
#define WC_NO_BEST_FIT_CHARS 0x00000400

#define LOCALE_USER_DEFAULT 0x0400
#define LOCALE_SYSTEM_DEFAULT 0x0800
#define LOCALE_INVARIANT 0x007f
#define NORM_IGNORECASE 0x00000001
#define CSTR_LESS_THAN 1
#define CSTR_EQUAL 2
#define CSTR_GREATER_THAN 3

extern "C" {
// CP_ACP (and CP_THREAD_ACP) are Windows-1252; CP_UTF8 is UTF-8. cbMultiByte / cchWideChar -1
// (any negative value) means NUL-terminated, and the NUL is converted and counted. With a zero
// output size the required size is returned. Too small an output: 0 and ERROR_INSUFFICIENT_BUFFER
// (what fits has been written). A null input, a zero input length or a negative output size: 0
// and ERROR_INVALID_PARAMETER.
// 1252 -> UTF-16: every byte maps; the five bytes 1252 leaves undefined (0x81, 0x8D, 0x8F, 0x90,
// 0x9D) map to U+0081... as on Windows. Flags: MB_PRECOMPOSED and MB_ERR_INVALID_CHARS (no effect
// on 1252); MB_COMPOSITE and MB_USEGLYPHCHARS are not supported: 0 and ERROR_INVALID_FLAGS.
// UTF-8 -> UTF-16: each ill-formed sequence (overlong, surrogate, above U+10FFFF, cut short)
// becomes one U+FFFD, or with MB_ERR_INVALID_CHARS the call fails with
// ERROR_NO_UNICODE_TRANSLATION; only that flag is allowed (else ERROR_INVALID_FLAGS).
// UTF-16 -> 1252: characters 1252 cannot represent are written as Windows' best-fit character
// (U+0100 'A' -> 'A', fullwidth forms, look-alike symbols) unless WC_NO_BEST_FIT_CHARS is given;
// what remains becomes lpDefaultChar's first byte (default '?') and *lpUsedDefaultChar is set.
// Only WC_NO_BEST_FIT_CHARS is allowed (WC_COMPOSITECHECK and its companions: ERROR_INVALID_FLAGS).
// UTF-16 -> UTF-8: an unpaired surrogate becomes U+FFFD, or fails with WC_ERR_INVALID_CHARS;
// lpDefaultChar and lpUsedDefaultChar must be null (ERROR_INVALID_PARAMETER).
// Other code pages: 0 and ERROR_INVALID_PARAMETER.
int WINAPI MultiByteToWideChar(UINT CodePage, DWORD dwFlags, LPCSTR lpMultiByteStr, int cbMultiByte,
                               LPWSTR lpWideCharStr, int cchWideChar);
int WINAPI WideCharToMultiByte(UINT CodePage, DWORD dwFlags, LPCWSTR lpWideCharStr, int cchWideChar,
                               LPSTR lpMultiByteStr, int cbMultiByte, LPCSTR lpDefaultChar,
                               LPBOOL lpUsedDefaultChar);
// Upper case as Windows maps 1252 letters (a-z, and the accented letters; 0x9A->0x8A, 0x9C->0x8C,
// 0x9E->0x8E, 0xFF->0x9F; 0xDF and 0xB5 stay). CharUpperA with a pointer whose high bits are zero
// converts the single character in its low byte and returns it, as Windows does.
LPSTR WINAPI CharUpperA(LPSTR lpsz);
DWORD WINAPI CharUpperBuffA(LPSTR lpsz, DWORD cchLength);
LPSTR WINAPI CharLowerA(LPSTR lpsz);
// The next character: one byte on (single-byte) 1252; at the terminating NUL it stays there.
LPSTR WINAPI CharNextA(LPCSTR lpsz);
LPSTR WINAPI CharPrevA(LPCSTR lpszStart, LPCSTR lpszCurrent);
// Always FALSE: 1252 has no lead bytes.
BOOL WINAPI IsDBCSLeadByte(BYTE TestChar);
BOOL WINAPI IsDBCSLeadByteEx(UINT CodePage, BYTE TestChar);
// Comparison by the case-folded 1252 characters in code-point order. Windows sorts by its
// linguistic tables; for the names the server compares (letters, digits, '_', '.', '\', '/', ':')
// equality, which is all the server relies on, is the same. Ordering may differ from Windows for
// punctuation and accented letters.
int WINAPI lstrcmpiA(LPCSTR lpString1, LPCSTR lpString2);
int WINAPI lstrcmpA(LPCSTR lpString1, LPCSTR lpString2);
int WINAPI CompareStringA(LCID Locale, DWORD dwCmpFlags, LPCSTR lpString1, int cchCount1,
                          LPCSTR lpString2, int cchCount2);
int WINAPI lstrlenA(LPCSTR lpString);
int WINAPI lstrlenW(LPCWSTR lpString);
LPSTR WINAPI lstrcpynA(LPSTR lpString1, LPCSTR lpString2, int iMaxLength);
UINT WINAPI GetACP(void);
}
