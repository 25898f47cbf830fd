// The directory namespace "TESK://domain" of the virtual controller: the objects of the hard-disk
// store (view "hd"), of the NC (view "nc"), of both (view "hd-nc"), and of drives and shares, with
// IADs (properties "Size", "Date", "WinPath", "Persist") and, for folders, IADsContainer
// (Create on the hard-disk store).
#pragma once

#include <string>

#include "zov/win32.h"

namespace zov::sim {

// {8125BC58-12A0-4AB4-9028-EE814E05E07E}, ProgID "TESK".
extern const CLSID CLSID_VirtualNamespace;

// True for a display name the namespace's parser takes: one that begins with "TESK://domain".
bool IsNamespaceName(const std::string& displayName);

// Looks the name up in the controller's state and returns interface riid of its object.
// Failures: MK_E_SYNTAX (not a name of the namespace), HRESULT_FROM_WIN32(ERROR_ENVVAR_NOT_FOUND)
// (a name of the views without a controller folder: ZOV_MACHINE unset on Windows; drive and share
// names do not need it), HRESULT_FROM_WIN32(ERROR_PATH_NOT_FOUND)
// (unknown view, malformed drive or share, or a component that is not a plain name, such as ".."),
// HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND) (no such object in the view).
HRESULT BindNamespaceObject(const std::string& displayName, REFIID riid, void** ppv);

}  // namespace zov::sim
