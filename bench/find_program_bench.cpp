// FindProgram walking the whole chain and finding nothing, on a scratch copy of the demo machine
// with the virtual controller: the working directory, the four standard directories and both
// program-store roots. The reference in the same run is one bind of a missing name through the
// DomainFile, the unit of work each candidate costs; the counter "candidates" gives the number of
// binds one search makes, so time per candidate = time per search / candidates.
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include <unistd.h>

#include "server/zov_server.h"
#include "services/domain_file.h"
#include "zov/unique_bstr.h"
#include "zov/unique_hmodule.h"
#include "zov/win32.h"

namespace {

namespace fs = std::filesystem;

class BenchServer final : public zov::server::CZOVServer {
 public:
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID, void** ppv) override {
    *ppv = nullptr;
    return E_NOINTERFACE;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
  ULONG STDMETHODCALLTYPE Release() override { return 1; }
};

// A scratch copy of the demo machine with the controller registered and the host libraries in
// C:\HUX\kor_vel; the current directory is the host program's folder C:\HUX\bin.
bool PrepareMachine() {
  static int ready = -1;
  if (ready >= 0) return ready == 1;
  ready = 0;
  const char* tmp = std::getenv("TMPDIR");
  const fs::path machine =
      fs::path(tmp && *tmp ? tmp : "/tmp") / ("zov-bench-machine-" + std::to_string(getpid()));
  std::error_code ec;
  fs::remove_all(machine, ec);
  fs::copy(ZOV_DEMO_MACHINE, machine, fs::copy_options::recursive, ec);
  if (ec) return false;
  const fs::path install = machine / "drive_c" / "Program Files" / "ZOVServer";
  const fs::path korVel = machine / "drive_c" / "HUX" / "kor_vel";
  fs::create_directories(install, ec);
  fs::copy_file(ZOV_CONTROLLER_BUILD_PATH, install / "VirtualController.dll", ec);
  if (ec) return false;
  fs::copy_file(ZOV_QM32_BUILD_PATH, korVel / "qm32.dll", ec);
  if (ec || !ZovSetMachineFolder(machine.c_str())) return false;
  zov::unique_hmodule controller(
      LoadLibraryA("C:\\Program Files\\ZOVServer\\VirtualController.dll"));
  if (!controller) return false;
  using RegisterFn = HRESULT(STDAPICALLTYPE*)();
  auto registerServer = reinterpret_cast<RegisterFn>(
      reinterpret_cast<void*>(GetProcAddress(controller.get(), "DllRegisterServer")));
  const bool registered = registerServer && registerServer() == S_OK;
  controller.reset();
  if (!registered || !SetCurrentDirectoryA("C:\\HUX\\bin")) return false;
  if (FAILED(CoInitializeEx(nullptr, COINIT_MULTITHREADED))) return false;
  ready = 1;
  return true;
}

void FindProgramNowhere(benchmark::State& state) {
  if (!PrepareMachine()) {
    state.SkipWithError("the demo machine could not be prepared");
    return;
  }
  BenchServer server;
  if (server.Configuration().directories.size() != 2) {
    state.SkipWithError("the demo machine's connection list was not read");
    return;
  }
  zov::unique_bstr working(SysAllocString(OLESTR("\\WKS.DIR\\PART1.ZOV")));
  zov::unique_bstr name(SysAllocString(OLESTR("NOWHERE")));
  for (auto _ : state) {
    zov::unique_bstr found;
    server.FindProgram(working.get(), name.get(), 0, found.put());
    if (!found.get() || found.length() != 0) state.SkipWithError("found something");
  }
  // The working directory and both roots: name, .SPF, .MPF; the standard directories: name, .SPF.
  constexpr int kCandidates = 3 + 4 * 2 + 2 * 3;
  state.counters["candidates"] = kCandidates;
  state.SetItemsProcessed(state.iterations() * kCandidates);
}
BENCHMARK(FindProgramNowhere)->Unit(benchmark::kMicrosecond);

// The reference: one bind of a missing name, as each candidate is tried.
void BindOneMissingCandidate(benchmark::State& state) {
  if (!PrepareMachine()) {
    state.SkipWithError("the demo machine could not be prepared");
    return;
  }
  zov::services::DomainFile file;
  zov::unique_bstr candidate(
      SysAllocString(OLESTR("TESK://domain/hd-nc/WKS.DIR/PART1.ZOV/NOWHERE.SPF")));
  for (auto _ : state) {
    benchmark::DoNotOptimize(file.Open(candidate.get()));
  }
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BindOneMissingCandidate)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
