// Modules: loading, reference counts, DllMain, exports and names, with the tests' own module
// (zovtestmod.dll). The same cases run natively and under Wine; each case works on copies of the
// module in a scratch folder of its own.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <string>

#include "scratch.h"
#include "zov/win32.h"

#if !defined(_WIN32)
#include <fstream>
#include <sstream>
#endif

namespace {

using zov::test::NewScratchFolder;
using zov::test::WriteFileBytes;

const std::string& ModuleBytes() {
  static const std::string bytes = [] {
    std::string data;
#if defined(_WIN32)
    zov::test::ReadFileBytes(zov::test::ExecutableDir() + "zovtestmod.dll", &data);
#else
    std::ifstream in(ZOV_TEST_MODULE_BUILD_PATH, std::ios::binary);
    std::ostringstream out;
    out << in.rdbuf();
    data = out.str();
#endif
    return data;
  }();
  return bytes;
}

// An export of the test module as the function it is.
template <typename Function>
Function Export(HMODULE module, const char* name) {
  return reinterpret_cast<Function>(reinterpret_cast<void (*)(void)>(GetProcAddress(module, name)));
}
int Attaches(HMODULE module) { return Export<int (*)()>(module, "ZovTestModuleAttaches")(); }
void CountDetaches(HMODULE module, int* counter) {
  Export<void (*)(int*)>(module, "ZovTestModuleCountDetaches")(counter);
}

// Frees a module when the case ends, however it ends.
class Loaded {
 public:
  explicit Loaded(HMODULE module) : module_(module) {}
  ~Loaded() {
    if (module_) FreeLibrary(module_);
  }
  Loaded(const Loaded&) = delete;
  Loaded& operator=(const Loaded&) = delete;
  HMODULE get() const { return module_; }

 private:
  HMODULE module_;
};

// Sets the current directory for one case.
class InDirectory {
 public:
  explicit InDirectory(const std::string& folder) {
    char previous[MAX_PATH];
    DWORD n = GetCurrentDirectoryA(MAX_PATH, previous);
    previous_.assign(previous, n < MAX_PATH ? n : 0);
    changed_ = SetCurrentDirectoryA(folder.c_str()) != FALSE;
  }
  ~InDirectory() {
    if (!previous_.empty()) SetCurrentDirectoryA(previous_.c_str());
  }
  InDirectory(const InDirectory&) = delete;
  InDirectory& operator=(const InDirectory&) = delete;
  bool changed() const { return changed_; }

 private:
  std::string previous_;
  bool changed_ = false;
};

std::string FileName(HMODULE module) {
  char name[MAX_PATH];
  DWORD n = GetModuleFileNameA(module, name, MAX_PATH);
  return std::string(name, n < MAX_PATH ? n : 0);
}

class Modules : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_FALSE(ModuleBytes().empty()) << "the test module was not found";
    folder_ = NewScratchFolder("mod");
    ASSERT_TRUE(Copy("zovtestmod.dll"));
  }
  bool Copy(const std::string& name) { return WriteFileBytes(folder_ + name, ModuleBytes()); }

  std::string folder_;
};

TEST_F(Modules, LoadByFullPathAttachesOnceAndKnowsItsName) {
  std::string path = folder_ + "zovtestmod.dll";
  Loaded module(LoadLibraryA(path.c_str()));
  ASSERT_NE(module.get(), nullptr) << GetLastError();
  EXPECT_EQ(Attaches(module.get()), 1);
  // DllMain got the module's own handle, under which its name was already known.
  EXPECT_EQ(Export<HINSTANCE (*)()>(module.get(), "ZovTestModuleInstance")(),
            reinterpret_cast<HINSTANCE>(module.get()));
  EXPECT_STREQ(Export<const char* (*)()>(module.get(), "ZovTestModuleNameInDllMain")(),
               path.c_str());
  SetLastError(0xdead);
  EXPECT_EQ(FileName(module.get()), path);
  EXPECT_EQ(GetLastError(), DWORD(ERROR_SUCCESS));
}

TEST_F(Modules, BareNameIsFoundInTheCurrentDirectory) {
  // A name found nowhere else: under Wine the executable's folder is searched first.
  ASSERT_TRUE(Copy("zovtestcwd.dll"));
  InDirectory here(folder_);
  ASSERT_TRUE(here.changed());
  Loaded module(LoadLibraryA("zovtestcwd"));  // ".dll" is added
  ASSERT_NE(module.get(), nullptr) << GetLastError();
  EXPECT_EQ(FileName(module.get()), folder_ + "zovtestcwd.dll");
}

TEST_F(Modules, OneFileUnderAnySpellingIsOneCountedModule) {
  HMODULE first = LoadLibraryA((folder_ + "ZOVTESTMOD.DLL").c_str());
  ASSERT_NE(first, nullptr) << GetLastError();
  int detaches = 0;
  CountDetaches(first, &detaches);
  for (const std::string& other :
       {folder_ + "zovtestmod.dll", folder_ + "zovtestmod", std::string("ZovTestMod.dll")})
    EXPECT_EQ(LoadLibraryA(other.c_str()), first) << other;
  EXPECT_EQ(Attaches(first), 1);
  // The name stays that of the first load, in the spelling it asked for.
  EXPECT_EQ(FileName(first), folder_ + "ZOVTESTMOD.DLL");

  for (int i = 0; i < 3; ++i) {
    EXPECT_TRUE(FreeLibrary(first));
    EXPECT_EQ(detaches, 0);
    EXPECT_EQ(GetModuleHandleA("zovtestmod.dll"), first);
  }
  EXPECT_TRUE(FreeLibrary(first));
  EXPECT_EQ(detaches, 1);
  SetLastError(0);
  EXPECT_EQ(GetModuleHandleA("zovtestmod.dll"), nullptr);
  EXPECT_EQ(GetLastError(), DWORD(ERROR_MOD_NOT_FOUND));
  SetLastError(0);
  EXPECT_FALSE(FreeLibrary(first));
  EXPECT_EQ(GetLastError(), DWORD(ERROR_MOD_NOT_FOUND));
  SetLastError(0);
  EXPECT_EQ(GetProcAddress(first, "ZovTestModuleAttaches"), nullptr);
  EXPECT_EQ(GetLastError(), DWORD(ERROR_MOD_NOT_FOUND));
}

TEST_F(Modules, GetProcAddressFindsOnlyTheModulesOwnExports) {
  Loaded module(LoadLibraryA((folder_ + "zovtestmod.dll").c_str()));
  ASSERT_NE(module.get(), nullptr) << GetLastError();
  struct Case {
    const char* name;
    bool found;
  } cases[] = {
      {"ZovTestModuleAttaches", true},
      {"zovtestmoduleattaches", false},  // names are case-sensitive
      {"NoSuchExport", false},
      {"malloc", false},  // the C library's, not the module's
  };
  for (const auto& c : cases) {
    SetLastError(0xdead);
    FARPROC proc = GetProcAddress(module.get(), c.name);
    EXPECT_EQ(proc != nullptr, c.found) << c.name;
    EXPECT_EQ(GetLastError(), c.found ? DWORD(0xdead) : DWORD(ERROR_PROC_NOT_FOUND)) << c.name;
  }
}

TEST_F(Modules, GetModuleHandleFindsLoadedModulesWithoutCounting) {
  Loaded module(LoadLibraryA((folder_ + "zovtestmod.dll").c_str()));
  ASSERT_NE(module.get(), nullptr) << GetLastError();
  struct Case {
    std::string name;
    bool found;
  } cases[] = {
      {"zovtestmod.dll", true},
      {"ZOVTESTMOD", true},
      {folder_ + "ZovTestMod.DLL", true},
      {"zovtestmod.", false},  // a final '.' means no extension: "zovtestmod" is not loaded
      {"C:\\elsewhere\\zovtestmod.dll", false},
      {"zovtestother.dll", false},
  };
  for (const auto& c : cases) {
    SetLastError(0xdead);
    HMODULE found = GetModuleHandleA(c.name.c_str());
    EXPECT_EQ(found, c.found ? module.get() : nullptr) << c.name;
    EXPECT_EQ(GetLastError(), c.found ? DWORD(0xdead) : DWORD(ERROR_MOD_NOT_FOUND)) << c.name;
  }
}

TEST_F(Modules, GetModuleFileNameCutsAShortBuffer) {
  std::string path = folder_ + "zovtestmod.dll";
  Loaded module(LoadLibraryA(path.c_str()));
  ASSERT_NE(module.get(), nullptr) << GetLastError();
  DWORD length = static_cast<DWORD>(path.size());
  struct Case {
    DWORD size;
    DWORD result;
    DWORD error;
    size_t kept;  // characters of the path in the buffer
  } cases[] = {
      {length + 1, length, ERROR_SUCCESS, length},
      {length, length, ERROR_INSUFFICIENT_BUFFER, length - 1},
      {5, 5, ERROR_INSUFFICIENT_BUFFER, 4},
      {0, 0, ERROR_INSUFFICIENT_BUFFER, 0},
  };
  for (const auto& c : cases) {
    std::string buffer(MAX_PATH, '#');
    SetLastError(0xdead);
    EXPECT_EQ(GetModuleFileNameA(module.get(), &buffer[0], c.size), c.result) << c.size;
    EXPECT_EQ(GetLastError(), c.error) << c.size;
    EXPECT_EQ(buffer.substr(0, c.kept), path.substr(0, c.kept)) << c.size;
    if (c.size == 0) {
      EXPECT_EQ(buffer[0], '#');
    }
  }
  std::string buffer(MAX_PATH, '#');
  SetLastError(0);
  EXPECT_EQ(GetModuleFileNameA(reinterpret_cast<HMODULE>(0x12340000), &buffer[0], MAX_PATH), 0u);
  EXPECT_EQ(GetLastError(), DWORD(ERROR_MOD_NOT_FOUND));
  EXPECT_EQ(buffer[0], '#');
}

TEST_F(Modules, GetModuleFileNameTerminatesACutName) {
  ZOV_WINE_DEVIATION("Wine fills a short buffer without the NUL, as Windows XP did");
  std::string path = folder_ + "zovtestmod.dll";
  Loaded module(LoadLibraryA(path.c_str()));
  ASSERT_NE(module.get(), nullptr) << GetLastError();
  for (DWORD size : {DWORD(1), DWORD(5), DWORD(path.size())}) {
    std::string buffer(MAX_PATH, '#');
    EXPECT_EQ(GetModuleFileNameA(module.get(), &buffer[0], size), size);
    EXPECT_EQ(buffer[size - 1], '\0') << size;
  }
}

TEST_F(Modules, FailuresTellWhy) {
  ASSERT_TRUE(WriteFileBytes(folder_ + "notamodule.dll", "This is a text file, not a module.\r\n"));
  ASSERT_TRUE(Copy("attachfails.dll"));
  struct Case {
    std::string name;
    DWORD error;
  } cases[] = {
      {folder_ + "missing.dll", ERROR_MOD_NOT_FOUND},
      {folder_ + "nofolder\\zovtestmod.dll", ERROR_MOD_NOT_FOUND},
      {"zovtest-no-such-module.dll", ERROR_MOD_NOT_FOUND},
      {"", ERROR_MOD_NOT_FOUND},
      {folder_ + "notamodule.dll", ERROR_BAD_EXE_FORMAT},
      {folder_ + "attachfails.dll", ERROR_DLL_INIT_FAILED},  // its DllMain says FALSE
  };
  for (const auto& c : cases) {
    SetLastError(0);
    Loaded module(LoadLibraryA(c.name.c_str()));
    EXPECT_EQ(module.get(), nullptr) << c.name;
    EXPECT_EQ(GetLastError(), c.error) << c.name;
  }
  EXPECT_EQ(GetModuleHandleA("attachfails.dll"), nullptr);
}

#if !defined(_WIN32)
// Natively the executable lives outside the machine: the host program's name comes from the
// environment.
TEST(ModuleHost, NullModuleIsTheHostProgramNamedByTheEnvironment) {
  const char* saved = std::getenv("ZOV_HOST_PROGRAM");
  std::string previous = saved ? saved : "";
  ::setenv("ZOV_HOST_PROGRAM", "C:\\Host\\Bin\\host.exe", 1);
  char name[MAX_PATH];
  EXPECT_EQ(GetModuleFileNameA(nullptr, name, MAX_PATH), 20u);
  EXPECT_STREQ(name, "C:\\Host\\Bin\\host.exe");
  ::unsetenv("ZOV_HOST_PROGRAM");
  SetLastError(0);
  EXPECT_EQ(GetModuleFileNameA(nullptr, name, MAX_PATH), 0u);
  EXPECT_EQ(GetLastError(), DWORD(ERROR_MOD_NOT_FOUND));
  if (saved) ::setenv("ZOV_HOST_PROGRAM", previous.c_str(), 1);
}
#endif

}  // namespace
