// The virtual controller as the tests meet it: VirtualController.dll registered on the test's
// machine (natively copied into the machine and registered by its DllRegisterServer; under Wine
// registered by regsvr32 around the test), COM initialised on the test thread, and a controller
// folder of the process's own holding the sample state below.
//
//   hd\WKS.DIR\PART1.ZOV\MAIN.MPF   "hd main program\n" (16 bytes); also in nc\ with other text
//   hd\WKS.DIR\PART1.ZOV\HDONLY.SPF "hd" (2 bytes)
//   nc\WKS.DIR\PART1.ZOV\NCONLY.SPF "nc only" (7 bytes)
//   hd\MPF.DIR\ (empty), nc\MPF.DIR\ (empty)
//   ncu\NCU1.ini (default NCU, online), ncu\NCU2.ini (online), ncu\NCU3.ini (offline)
#pragma once

#include <string>

#include "zov/win32.h"

namespace zov::test {

// Sets everything above up once per process; false (with a message on stderr) when it cannot.
bool SetUpVirtualController();

// The controller folder (a Windows path ending in '\').
std::string Controller();

// Writes a file below the controller folder, creating its folders ("hd\A\B.MPF").
bool WriteControllerFile(const std::string& relative, const std::string& bytes);

// CoGetObject on an ANSI display name.
HRESULT BindName(const std::string& displayName, REFIID riid, void** ppv);

// For a test that hands the controller a cancel target or changes controller.ini's [Stream]: when
// the scope ends (after a failed ASSERT too) the target is cleared and controller.ini is back to
// the setup's, so that no later test meets a target that has gone or a Cancel it did not ask for.
// Declare it after the target, so that it goes first.
class CancelHookScope {
 public:
  CancelHookScope() = default;
  ~CancelHookScope();
  CancelHookScope(const CancelHookScope&) = delete;
  CancelHookScope& operator=(const CancelHookScope&) = delete;
};

extern const char kMainHd[];  // the text of hd\WKS.DIR\PART1.ZOV\MAIN.MPF
extern const char kMainNc[];  // the text of nc\WKS.DIR\PART1.ZOV\MAIN.MPF

}  // namespace zov::test
