// What every test shares: a scratch folder with a Windows path name (inside a throw-away machine
// folder natively, on the Wine prefix's drive C under Wine), raw file access for assertions, and
// the marking of the cases where Wine is known to differ from Windows.
#pragma once

#include <string>

#include "zov/win32.h"

namespace zov::test {

// The scratch folder of this test process, as a Windows path ending in a backslash. Created on the
// first call and removed when the process ends.
const std::string& ScratchDir();
// A fresh, empty subfolder of ScratchDir() (a Windows path ending in a backslash).
std::string NewScratchFolder(const std::string& hint);

bool RunningUnderWine();

// This process's id, for names (files, registry keys) that tests running at the same time must
// not share.
int ProcessId();

// Whole-file access by Windows path, for setting up and checking files byte for byte.
bool WriteFileBytes(const std::string& windowsPath, const std::string& bytes);
bool ReadFileBytes(const std::string& windowsPath, std::string* bytes);
bool FileExists(const std::string& windowsPath);

// The folder that holds the test executables (a Windows path), where test modules lie too.
std::string ExecutableDir();

}  // namespace zov::test

// A case where Wine's behaviour is known to differ from Windows: asserted natively (our layer
// follows Windows), reported as skipped under Wine rather than loosening the assertion.
#define ZOV_WINE_DEVIATION(why)                                   \
  do {                                                            \
    if (::zov::test::RunningUnderWine()) GTEST_SKIP() << "Wine deviation: " << (why); \
  } while (0)
