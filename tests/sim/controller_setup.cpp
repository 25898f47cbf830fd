#include "controller_setup.h"

#include <cstdio>

#include "controller_state.h"
#include "module_install.h"
#include "ole_text.h"
#include "scratch.h"
#include "virtual_controller.h"
#include "zov/com_ptr.h"

namespace zov::test {

const char kMainHd[] = "hd main program\n";
const char kMainNc[] = "N10 G0 X0\nN20 M30\n";

namespace {

const char kControllerIni[] = "[Controller]\r\nDefaultNcu=NCU1\r\n";

bool Fail(const char* what) {
  std::fprintf(stderr, "virtual controller setup: %s\n", what);
  return false;
}

#if !defined(_WIN32)
// Natively: the module copied into the machine and registered as a registration tool does.
bool InstallController() {
  const std::string path =
      InstallModule(ZOV_VIRTUAL_CONTROLLER_BUILD_PATH, "VirtualController.dll");
  if (path.empty()) return Fail("copying the module");
  return RegisterModule(path, true) == S_OK || Fail("DllRegisterServer");
}
#endif

bool WriteState() {
  bool ok = WriteControllerFile("hd\\WKS.DIR\\PART1.ZOV\\MAIN.MPF", kMainHd) &&
            WriteControllerFile("nc\\WKS.DIR\\PART1.ZOV\\MAIN.MPF", kMainNc) &&
            WriteControllerFile("hd\\WKS.DIR\\PART1.ZOV\\HDONLY.SPF", "hd") &&
            WriteControllerFile("nc\\WKS.DIR\\PART1.ZOV\\NCONLY.SPF", "nc only") &&
            zov::sim::CreateFolders(Controller() + "hd\\MPF.DIR") &&
            zov::sim::CreateFolders(Controller() + "nc\\MPF.DIR") &&
            WriteControllerFile("controller.ini", kControllerIni) &&
            WriteControllerFile("ncu\\NCU1.ini",
                                "[NCU]\r\nOnline=1\r\n[Variables]\r\n"
                                "/Bag/State/Opmode=I2:1\r\n"
                                "/NCK/Configuration/maxnumChannels=I2:2\r\n"
                                "/NCK/Configuration/chanAssignment[1]=I2:1\r\n"
                                "/NCK/Configuration/chanAssignment[2]=V:I2:0\r\n"
                                "/Channel/ProgramPointer/workPNameLong[u1]=S:/_N_WKS_DIR/_N_PART1_ZOV\r\n"
                                "/Channel/ProgramPointer/progName[u1]=V:S:_N_MAIN_MPF\r\n"
                                "/Test/Long=I4:70000\r\n"
                                "/Test/Broken=X9:1\r\n"
                                "/Test/Bad=I2:5\r\n"
                                "[Status]\r\n/Test/Bad=3\r\n") &&
            WriteControllerFile("ncu\\NCU2.ini",
                                "[NCU]\r\nOnline=1\r\n[Variables]\r\n"
                                "/Bag/State/Opmode=I2:2\r\n"
                                "/NCK/Configuration/maxnumChannels=I2:4\r\n") &&
            WriteControllerFile("ncu\\NCU3.ini",
                                "[NCU]\r\nOnline=0\r\n[Variables]\r\n/Bag/State/Opmode=I2:1\r\n");
  return ok || Fail("writing the controller state");
}

bool SetUpOnce() {
  if (FAILED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED))) return Fail("CoInitializeEx");
#if defined(_WIN32)
  // The controller lives in a machine folder of this process, named by ZOV_MACHINE.
  const std::string machine = ScratchDir() + "machine";
  if (!SetEnvironmentVariableA("ZOV_MACHINE", machine.c_str())) return Fail("ZOV_MACHINE");
#else
  if (!InstallController()) return false;
#endif
  if (!zov::sim::CreateFolders(Controller())) return Fail("controller folder");
  return WriteState();
}

}  // namespace

bool SetUpVirtualController() {
  static const bool ok = SetUpOnce();
  return ok;
}

std::string Controller() { return zov::sim::ControllerFolder(); }

bool WriteControllerFile(const std::string& relative, const std::string& bytes) {
  const std::string path = Controller() + relative;
  const size_t slash = path.find_last_of('\\');
  if (!zov::sim::CreateFolders(path.substr(0, slash))) return false;
  return WriteFileBytes(path, bytes);
}

CancelHookScope::~CancelHookScope() {
  zov::com_ptr<IVirtualController> control;
  if (SUCCEEDED(BindName("KalTeskDomain.TeskDomain.1:", IID_IVirtualController,
                         control.put_void())))
    control->SetCancelTarget(nullptr);
  else
    std::fprintf(stderr, "virtual controller: the cancel target could not be cleared\n");
  if (!WriteControllerFile("controller.ini", kControllerIni))
    std::fprintf(stderr, "virtual controller: controller.ini could not be restored\n");
}

HRESULT BindName(const std::string& displayName, REFIID riid, void** ppv) {
  return CoGetObject(Ole(displayName).c_str(), nullptr, riid, ppv);
}

}  // namespace zov::test
