// The NC variable object "TeskVar.Var2": one per NCU ("@TeskVar.Var2" for the default NCU of
// controller.ini, "@TeskVar.Var2:NCU2" for a named one), reading the variables of the NCU's state
// file ncu\<NAME>.ini through ITeskVar::Read.
#pragma once

#include <string>

#include "zov/win32.h"

namespace zov::sim {

// {00C9E596-3885-4478-B878-FF58B9F8161D}, ProgID "TeskVar.Var2".
extern const CLSID CLSID_VirtualVariables;

// True for "@TeskVar.Var2" or "TeskVar.Var2", optionally followed by ":" and an NCU name.
bool IsVariablesName(const std::string& displayName);
// Binds the NCU the name names. An NCU without a state file (or an unusable name):
// HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND); no controller folder:
// HRESULT_FROM_WIN32(ERROR_PATH_NOT_FOUND).
HRESULT BindVariablesObject(const std::string& displayName, REFIID riid, void** ppv);

}  // namespace zov::sim
