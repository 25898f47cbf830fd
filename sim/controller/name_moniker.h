// Binding by display name for the controller's three classes: the class object parses the whole
// display name into a NameMoniker, whose BindToObject resolves the name against the controller's
// state at that moment (the way the host's providers look an object up when it is bound).
#pragma once

#include <string>

#include "com_support.h"

namespace zov::sim {

// Resolves a display name (ANSI) to an object of the class and returns interface riid of it.
using BindFunction = HRESULT (*)(const std::string& displayName, REFIID riid, void** ppv);

// A moniker holding one display name and the class that parsed it. Only BindToObject and
// GetDisplayName do real work; the moniker cannot be saved, composed or reduced.
HRESULT CreateNameMoniker(const CLSID& provider, const std::string& displayName, BindFunction bind,
                          IMoniker** out);

// IParseDisplayName::ParseDisplayName of a class: the whole name is eaten when accept(name) is
// true, else MK_E_SYNTAX.
HRESULT ParseWholeName(const CLSID& provider, LPOLESTR name, bool (*accept)(const std::string&),
                       BindFunction bind, ULONG* pchEaten, IMoniker** ppmkOut);

}  // namespace zov::sim
