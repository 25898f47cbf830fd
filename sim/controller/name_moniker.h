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
// GetDisplayName do real work; the moniker cannot be saved, composed or reduced. With a
// `loggedName` (the display name as the parser was given it) each BindToObject records that name
// in the bind log (bind_log.h) before it binds.
HRESULT CreateNameMoniker(const CLSID& provider, const std::string& displayName, BindFunction bind,
                          LPCOLESTR loggedName, IMoniker** out);

// IParseDisplayName::ParseDisplayName of a class: the whole name is eaten when accept(name) is
// true, else MK_E_SYNTAX. With `logBinds` the class's binds go into the bind log: a name the parse
// refuses is recorded at once (its bind attempt ends there), a name it takes when its moniker is
// bound.
HRESULT ParseWholeName(const CLSID& provider, LPOLESTR name, bool (*accept)(const std::string&),
                       BindFunction bind, bool logBinds, ULONG* pchEaten, IMoniker** ppmkOut);

}  // namespace zov::sim
