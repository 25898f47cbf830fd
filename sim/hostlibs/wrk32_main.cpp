// Wrk32dll.dll: the host software's job interpreter, as the server loads it at construction and
// calls it for a job list. Built twice: with its export "InterpretJob" (zov_wrk32) and, for the
// tests of a library that lacks it, without (zov_wrk32_noexport, ZOV_WRK32_WITHOUT_INTERPRET_JOB).
#include "job_interpreter.h"
#include "zov/win32.h"

#if defined(_WIN32)
// Exported by name through wrk32dll.def.
#define WRK32_API(type) extern "C" type WINAPI
#else
// The module is linked with hidden symbols; only these are exported.
#define WRK32_API(type) extern "C" __attribute__((visibility("default"))) type WINAPI
#endif

WRK32_API(BOOL) DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
  if (reason == DLL_PROCESS_ATTACH) DisableThreadLibraryCalls(instance);
  return TRUE;
}

#if !defined(ZOV_WRK32_WITHOUT_INTERPRET_JOB)
WRK32_API(int) InterpretJob(LONG first, LONG phase, LONG third, LPCSTR jobPath, LPCSTR workpiece,
                            LPCSTR baseName, LONG* state) {
  zov::hostlibs::JobRequest request;
  request.first = first;
  request.phase = phase;
  request.third = third;
  request.jobPath = jobPath;
  request.workpiece = workpiece;
  request.baseName = baseName;
  request.state = state;
  try {
    return zov::hostlibs::InterpretJob(request);
  } catch (...) {
    return zov::hostlibs::kJobNotInterpreted;
  }
}
#endif
