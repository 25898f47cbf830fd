// The job interpreter of Wrk32dll.dll: turns a job file of a workpiece into a job list, the file
// <temporary directory>\<base name>.in that the server reads after a result of 0.
#pragma once

#include "zov/win32.h"

namespace zov::hostlibs {

// One call of InterpretJob, its arguments as the server passes them: 0; 0 on the first call and
// 10 on every call that repeats it; 2; the job file; the workpiece directory as a host path; the
// base name of the job list; a value the interpreter may write its state to.
struct JobRequest {
  LONG first = 0;
  LONG phase = 0;
  LONG third = 0;
  const char* jobPath = nullptr;
  const char* workpiece = nullptr;
  const char* baseName = nullptr;
  LONG* state = nullptr;
};

// Results: 0 the job list is written; 1 call again (phase 10); anything else a failure, which the
// server passes on as its own result.
constexpr int kJobListWritten = 0;
constexpr int kJobCallAgain = 1;
// The job file could not be interpreted (the server's errZovServerErrAccessingFile).
constexpr int kJobNotInterpreted = -5;

// Not yet interpreting: every call gives kJobNotInterpreted and writes nothing, neither a job
// list nor the state.
int InterpretJob(const JobRequest& request);

}  // namespace zov::hostlibs
