// zovctl register / unregister: loads an in-process server module and calls its DllRegisterServer
// or DllUnregisterServer, as regsvr32 does.
#pragma once

#include <string>
#include <vector>

namespace zovctl {

// words: what follows "register" or "unregister" on the command line, the module's Windows path
// (natively a path inside the machine, where our loader finds modules). Prints what was done or
// why not; returns 0 on success, 1 when the module cannot be loaded, has no such export or
// reports a failure. A wrong number of words is a UsageError.
int RunRegisterCommand(bool doRegister, const std::vector<std::string>& words);

}  // namespace zovctl
