// The path conversions of path_forms.h at the BSTR edge, for the server's operations: a BSTR is
// read as ANSI text up to its first NUL character (a null BSTR reads as the empty string) and the
// result comes back as a new BSTR the caller owns. Nothing throws: a result that is absent (it would
// not fit the 1024-byte path buffer) or that memory does not suffice for gives null / false.
#pragma once

#include "zov/unique_bstr.h"
#include "zov/win32.h"

namespace zov::ncpath {

// The upper-case host path of `name`; null when absent or out of memory.
unique_bstr MakeHostPath(BSTR name) noexcept;

// "directory/name.extension", or "directory/name" when `extension` is null or empty.
unique_bstr JoinPath(BSTR directory, BSTR name, BSTR extension) noexcept;

// Replaces `path` (a host path) by its NC selection path ("/NC" and the path with "/" for "\");
// false, with `path` unchanged, when the new string cannot be made.
bool MakeNcSelectPath(unique_bstr& path) noexcept;

// Splits `path` into the name (required), the extension and the directory of its last component
// (see zov::ncpath::SplitPath). The outs are emptied first; on true every out given holds a new
// string, on false (no `name` out, the last component too long, out of memory) all are null.
bool SplitPath(BSTR path, unique_bstr* name, unique_bstr* extension,
               unique_bstr* directory) noexcept;

}  // namespace zov::ncpath
