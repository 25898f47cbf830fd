// Profile (INI) files, read and edited as Windows reads and edits them: as text, line by line,
// leaving every line a write does not change byte for byte (NUL bytes, CR or LF line ends, comments
// and lines without '=' included). File names are Windows paths inside the machine; a name without
// a path separator or drive is looked up in the Windows directory (C:\WINDOWS).
//
// Kept from Windows: the parsing (lines ending in CRLF, LF or CR; keys and values trimmed of
// spaces, tabs and vertical tabs; one pair of enclosing quotes taken off a value; ';' comments;
// headers ending at the first ']' or the line end; the first of duplicate keys and sections;
// names matched without regard to case; keys before the first header unreadable), the buffer
// rules (a value cut to nSize-1 characters, a list cut to nSize-2 and two NULs, ERROR_MORE_DATA
// when cut), the default (NULL is "", trailing spaces dropped), where writes put new keys and
// sections, and UTF-16LE files (byte-order mark FF FE), which are read and written as UTF-16LE;
// their text reaches the caller as Windows' ANSI functions hand it over (1252, best fit, '?').
//
// Beyond Windows: every write replaces the file atomically (a temporary file in the same folder,
// flushed, then renamed over the file), so a reader or a crash sees the old file or the new one,
// never a mixture; the replaced file keeps its permission bits. Writers in one folder take turns.
//
// Left out, each failing rather than doing something else:
// - Windows' cache and its mapping of some profiles to the registry (IniFileMapping): a NULL file
//   name (win.ini) gives the default or an empty list, FALSE for writes, and ERROR_INVALID_PARAMETER.
// - Sharing violations (ERROR_SHARING_VIOLATION) cannot occur: files here are not locked.
// - A file whose folder may not be written cannot be replaced: FALSE, ERROR_ACCESS_DENIED, where
//   Windows would edit a writable file in such a folder in place.
// Not imitated: Windows 10 returns a value of length L as L mod 65536 characters; here the whole
// value is returned (cut to nSize as above), as Wine does. Callers use 1024-byte buffers.
#pragma once

#include "zov/platform/types.h"

extern "C" {
// The value of a key; with lpAppName NULL the section names, with lpKeyName NULL the key names of
// the section, each followed by NUL, plus a final NUL. Returns the characters copied without the
// final NUL. A missing file, section or key gives lpDefault (a missing file: last error 2); a
// listing of a missing section or file gives the default too, a listing of sections "".
DWORD WINAPI GetPrivateProfileStringA(LPCSTR lpAppName, LPCSTR lpKeyName, LPCSTR lpDefault,
                                      LPSTR lpReturnedString, DWORD nSize, LPCSTR lpFileName);
// The value as a number: blanks, one sign, a lowercase 0x/0o/0b prefix, digits up to the first
// that does not belong, wrapping modulo 2^32. An empty or missing value gives nDefault.
UINT WINAPI GetPrivateProfileIntA(LPCSTR lpAppName, LPCSTR lpKeyName, INT nDefault,
                                  LPCSTR lpFileName);
// Sets a key (created after the section's last key, or in a new section at the end of the file),
// deletes it (lpString NULL) or deletes a section (lpKeyName NULL: its comments stay). A missing
// file is created (last error 2 after success). lpAppName NULL: FALSE and error 2, unless all three
// names are NULL (Windows' cache flush: TRUE). Missing folder: FALSE, error 3; a folder or "" as
// the name: FALSE, error 5.
BOOL WINAPI WritePrivateProfileStringA(LPCSTR lpAppName, LPCSTR lpKeyName, LPCSTR lpString,
                                       LPCSTR lpFileName);
}
