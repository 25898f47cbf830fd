// The profile reader of qm32.dll: INI files named by bare file name ("HUX.INI") are looked up in
// the host's installation tree, layer by layer, through the system's profile functions, so that
// user settings win over OEM settings and those over the defaults. Everything about parsing,
// buffers, truncation and defaults is the system functions' own: these functions only choose the
// file that answers, and merge listings.
#pragma once

#include <string>
#include <vector>

#include "zov/win32.h"

namespace zov::hostlibs {

// The installation root of a library loaded from `modulePath`: the folder above the library's
// own folder (C:\HUX\kor_vel\qm32.dll -> C:\HUX). Empty when the path has fewer than two
// backslashes (a library at a drive root has no folder above its own).
std::string InstallationRoot(const std::string& modulePath);

// A file name without folder or drive: not null, not empty, no '\', '/' or ':'.
bool IsBareFileName(const char* fileName);

// The files asked for a bare name, in this order: root\USER, root\OEM, root\ADD_ON,
// root\KOR_VEL, root\HUX2, and the root itself (the places the server looks for LOGDRIVE.INI).
std::vector<std::string> LayerFiles(const std::string& root, const std::string& fileName);

// Appends to `merged` (names each followed by NUL) every name of `list` (the same form; a last
// name without its NUL counts too) that `merged` does not hold yet, compared without regard to
// letter case. The first spelling stays.
void MergeNames(std::string* merged, const std::string& list);

// Copies names (each followed by NUL) and a final NUL into `buffer` as the system's listings do:
// when they do not fit with one character to spare they are cut to size - 2 characters and two
// NULs (ERROR_MORE_DATA); a size of 2 or less gives 0. Returns the characters copied without the
// final NUL.
DWORD CopyNameList(const std::string& names, LPSTR buffer, DWORD size);

// GetPrivateProfileStringA over the layers of `root` when `file` is a bare name and `root` is not
// empty; otherwise the system function with the arguments unchanged.
//   - a key: the first layer whose file has the key answers (an empty value counts), with the
//     system function called on that file; no layer has it: the system function on root\file,
//     which gives the default;
//   - a listing (section or key null): the names of every layer, merged in layer order without
//     duplicates, cut as the system cuts; no name anywhere: the system function on root\file.
DWORD LayeredProfileString(const std::string& root, LPCSTR section, LPCSTR key, LPCSTR def,
                           LPSTR buffer, DWORD size, LPCSTR file);

// GetPrivateProfileIntA with the same choice of file as LayeredProfileString for a key. A null
// section or key names no key: the system function on root\file.
UINT LayeredProfileInt(const std::string& root, LPCSTR section, LPCSTR key, INT def, LPCSTR file);

}  // namespace zov::hostlibs
