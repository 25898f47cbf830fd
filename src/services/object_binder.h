// How the adapters reach the host's components: by display name, for one interface. The default
// asks COM (CoGetObject); tests hand the adapters a binder of their own that gives out fakes.
#pragma once

#include "zov/win32.h"

namespace zov::services {

// Binds the object named by displayName and stores an interface of type riid in *ppv (null on
// failure). Returns the HRESULT of the binding.
using ObjectBinder = HRESULT (*)(LPCWSTR displayName, REFIID riid, void** ppv);

// CoGetObject(displayName, no bind options, riid, ppv).
HRESULT BindByDisplayName(LPCWSTR displayName, REFIID riid, void** ppv);

}  // namespace zov::services
