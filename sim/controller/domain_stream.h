// The domain object "KalTeskDomain.TeskDomain.1": streams one file of the NC's file system
// (controller folder nc\) in pieces through ITeskDomainFile, and carries the controller's control
// interface IVirtualController, through which a host program names the server whose Cancel the
// stream calls during the Read that controller.ini names.
#pragma once

#include <string>

#include "zov/win32.h"

namespace zov::sim {

// {72114E5A-61EC-4BF2-82EB-35C4F06D74E1}, ProgID "KalTeskDomain.TeskDomain.1" (version-independent
// "KalTeskDomain.TeskDomain").
extern const CLSID CLSID_VirtualDomain;

// True for "KalTeskDomain.TeskDomain.1:" and for the version-independent
// "KalTeskDomain.TeskDomain:" (any case), with nothing after the colon.
bool IsDomainName(const std::string& displayName);
// A new domain object; riid of it.
HRESULT BindDomainObject(const std::string& displayName, REFIID riid, void** ppv);

// Forgets the cancel target without releasing it, for DllMain when the module is unloaded (under
// the loader lock, with the target's module possibly gone already). While a target is set the
// module is held, so COM does not unload it then; only FreeLibrary by hand or the process ending
// does.
void AbandonCancelTarget();

}  // namespace zov::sim
