// A module's resources and its registration from them: zovregtest.dll carries a registry script,
// a malformed one, the server's script, a type library (Windows) and string table entries. Under
// Wine the module lies beside the test executable; natively the test copies it into its scratch
// machine, and also registers it through zovctl.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <set>
#include <sstream>
#include <string>

#include "class_keys.h"
#include "module_install.h"
#include "regtest.h"
#include "registrar.h"
#include "registry_script.h"
#include "scratch.h"
#include "zovserver.h"

#if !defined(_WIN32)
#include <sys/wait.h>
#endif

namespace {

using zov::registration::RegisterTypeLibrary;
using zov::registration::UpdateRegistryFromResource;
using zov::test::ClassesValue;
using zov::test::KeyExists;

constexpr char kModuleName[] = "zovregtest.dll";
constexpr char kClassKey[] = "CLSID\\{A191D084-CEEE-4073-9F7A-A6336C009701}";
constexpr char kProgId[] = "ZovRegTest.Object.1";
constexpr char kTypeLibKey[] = "TypeLib\\{C5086B3F-8B13-46A1-B5CF-6694CACB0740}";

// The Windows path of the test module (natively copied into the machine on the first call).
const std::string& ModulePath() {
  static const std::string path =
      zov::test::InstallModule(ZOV_REGTEST_MODULE_BUILD_PATH, kModuleName);
  return path;
}

// The test module, loaded once.
HMODULE TestModule() {
  static HMODULE module = ModulePath().empty() ? HMODULE{} : LoadLibraryA(ModulePath().c_str());
  return module;
}

using RegistrationFn = HRESULT(STDAPICALLTYPE*)();
RegistrationFn Entry(const char* name) {
  return zov::test::ModuleProc<RegistrationFn>(TestModule(), name);
}

std::string GuidText(const GUID& g) {
  char text[40];
  std::snprintf(text, sizeof text, "{%08lX-%04X-%04X-%02X%02X-%02X%02X%02X%02X%02X%02X}",
                static_cast<unsigned long>(g.Data1), g.Data2, g.Data3, g.Data4[0], g.Data4[1],
                g.Data4[2], g.Data4[3], g.Data4[4], g.Data4[5], g.Data4[6], g.Data4[7]);
  return text;
}

// A source file of the project: under Wine through its drive Z:, which shows the host's root.
bool ReadSource(const std::string& path, std::string* text) {
#if defined(_WIN32)
  std::ifstream in("Z:" + path, std::ios::binary);
#else
  std::ifstream in(path, std::ios::binary);
#endif
  if (!in) return false;
  text->assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  return true;
}

// The REGISTRY resource as text; empty when missing.
std::string RegistryResource(UINT id) {
  HRSRC found = FindResourceA(TestModule(), MAKEINTRESOURCEA(id), "REGISTRY");
  if (!found) return {};
  const void* data = LockResource(LoadResource(TestModule(), found));
  return data ? std::string(static_cast<const char*>(data), SizeofResource(TestModule(), found))
              : std::string();
}

class ModuleRegistrationTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_NE(nullptr, TestModule()); }
  void TearDown() override {
    UpdateRegistryFromResource(TestModule(), 101, false);
    RegisterTypeLibrary(TestModule(), false);
  }
};

// ---------------------------------------------------------------------------------------------
// Resources

TEST_F(ModuleRegistrationTest, FindsResourcesByNumberNameAndTypeInAnyCase) {
  std::string expected;
  ASSERT_TRUE(ReadSource(ZOV_REGTEST_RGS_PATH, &expected));
  struct Lookup {
    const char* what;
    LPCSTR name;
    LPCSTR type;
  };
  const Lookup lookups[] = {
      {"number, type as declared", MAKEINTRESOURCEA(101), "REGISTRY"},
      {"number, type in lower case", MAKEINTRESOURCEA(101), "registry"},
      {"number written as \"#101\"", "#101", "Registry"},
  };
  for (const Lookup& l : lookups) {
    HRSRC found = FindResourceA(TestModule(), l.name, l.type);
    ASSERT_NE(nullptr, found) << l.what;
    HGLOBAL loaded = LoadResource(TestModule(), found);
    ASSERT_NE(nullptr, loaded) << l.what;
    const char* data = static_cast<const char*>(LockResource(loaded));
    ASSERT_NE(nullptr, data) << l.what;
    EXPECT_EQ(expected, std::string(data, SizeofResource(TestModule(), found))) << l.what;
  }
}

TEST_F(ModuleRegistrationTest, MissingResourcesSayWhatIsMissing) {
  struct Missing {
    const char* what;
    LPCSTR name;
    LPCSTR type;
    DWORD error;
  };
  const Missing cases[] = {
      {"no such number", MAKEINTRESOURCEA(104), "REGISTRY", ERROR_RESOURCE_NAME_NOT_FOUND},
      {"no such name", "ZOVSERVER", "REGISTRY", ERROR_RESOURCE_NAME_NOT_FOUND},
      {"no such type", MAKEINTRESOURCEA(101), "NOPE", ERROR_RESOURCE_TYPE_NOT_FOUND},
      {"a numbered type the module lacks", MAKEINTRESOURCEA(101), MAKEINTRESOURCEA(10),
       ERROR_RESOURCE_TYPE_NOT_FOUND},
  };
  for (const Missing& c : cases) {
    SetLastError(0);
    EXPECT_EQ(nullptr, FindResourceA(TestModule(), c.name, c.type)) << c.what;
    EXPECT_EQ(c.error, GetLastError()) << c.what;
  }
}

TEST_F(ModuleRegistrationTest, TheTypeLibraryIsAResourceOnWindowsOnly) {
  HRSRC found = FindResourceA(TestModule(), MAKEINTRESOURCEA(1), "TYPELIB");
#if defined(_WIN32)
  ASSERT_NE(nullptr, found);
  const char* data = static_cast<const char*>(LockResource(LoadResource(TestModule(), found)));
  ASSERT_NE(nullptr, data);
  ASSERT_GE(SizeofResource(TestModule(), found), 4u);
  EXPECT_EQ("MSFT", std::string(data, 4));  // a type library file
#else
  EXPECT_EQ(nullptr, found);
  EXPECT_EQ(static_cast<DWORD>(ERROR_RESOURCE_TYPE_NOT_FOUND), GetLastError());
#endif
}

TEST_F(ModuleRegistrationTest, LoadsStringTableEntries) {
  struct StringCase {
    const char* what;
    UINT id;
    int room;
    const char* expected;
  };
  const StringCase cases[] = {
      {"the module's name", 100, 64, "ZovRegTest"},
      {"cut to the room, one for the NUL", 100, 4, "Zov"},
      {"room for the NUL only", 100, 1, ""},
      {"quote and backslash kept", 7, 64, "Say \"hi\" \\ there"},
      {"the highest number", 65535, 64, "Last"},
      {"missing entry", 99, 64, ""},
      {"missing entry of a block that has others", 101, 64, ""},
  };
  for (const StringCase& c : cases) {
    char buffer[64];
    std::memset(buffer, 'x', sizeof buffer);
    int n = LoadStringA(TestModule(), c.id, buffer, c.room);
    EXPECT_EQ(static_cast<int>(std::strlen(c.expected)), n) << c.what;
    if (*c.expected) {
      EXPECT_EQ(c.expected, std::string(buffer)) << c.what;
    }
  }
  WCHAR wide[64];
  EXPECT_EQ(10, LoadStringW(TestModule(), 100, wide, 64));
  EXPECT_TRUE(std::basic_string<WCHAR>(wide) == std::basic_string<WCHAR>(OLESTR("ZovRegTest")));
  const WCHAR* readOnly = nullptr;
  EXPECT_EQ(10, LoadStringW(TestModule(), 100, reinterpret_cast<LPWSTR>(&readOnly), 0));
  ASSERT_NE(nullptr, readOnly);
  EXPECT_EQ('t', readOnly[9]);
}

// ---------------------------------------------------------------------------------------------
// Registration

TEST_F(ModuleRegistrationTest, RegistersTheScriptWithTheModulesPathAndTakesItBack) {
  char path[MAX_PATH];
  DWORD length = GetModuleFileNameA(TestModule(), path, MAX_PATH);
  ASSERT_GT(length, 0u);

  ASSERT_EQ(S_OK, UpdateRegistryFromResource(TestModule(), 101, true));
  EXPECT_EQ("ZovRegTest Object", ClassesValue(kProgId, nullptr));
  const std::string server = std::string(kClassKey) + "\\InprocServer32";
  EXPECT_EQ(std::string(path, length), ClassesValue(server, nullptr));
  EXPECT_EQ("Apartment", ClassesValue(server, "ThreadingModel"));
  EXPECT_EQ("{C5086B3F-8B13-46A1-B5CF-6694CACB0740}",
            ClassesValue(std::string(kClassKey) + "\\TypeLib", nullptr));

  ASSERT_EQ(S_OK, UpdateRegistryFromResource(TestModule(), 101, false));
  EXPECT_FALSE(KeyExists(kProgId));
  EXPECT_FALSE(KeyExists(kClassKey));
  EXPECT_TRUE(KeyExists("CLSID"));
  EXPECT_EQ(S_OK, UpdateRegistryFromResource(TestModule(), 101, false));
}

TEST_F(ModuleRegistrationTest, ResourceFailuresAreReportedAndTouchNothing) {
  EXPECT_EQ(zov::registration::kScriptSyntaxError,
            UpdateRegistryFromResource(TestModule(), 102, true));
  EXPECT_FALSE(KeyExists("ZovRegTest.Broken"));
  EXPECT_EQ(HRESULT_FROM_WIN32(ERROR_RESOURCE_NAME_NOT_FOUND),
            UpdateRegistryFromResource(TestModule(), 104, true));
}

TEST_F(ModuleRegistrationTest, SelfRegistrationIncludesTheTypeLibraryOnWindows) {
  RegistrationFn registerServer = Entry("DllRegisterServer");
  RegistrationFn unregisterServer = Entry("DllUnregisterServer");
  ASSERT_NE(nullptr, registerServer);
  ASSERT_NE(nullptr, unregisterServer);
  ASSERT_EQ(S_OK, registerServer());
  EXPECT_TRUE(KeyExists(kClassKey));
#if defined(_WIN32)
  EXPECT_TRUE(KeyExists(std::string(kTypeLibKey) + "\\1.0"));
  EXPECT_TRUE(KeyExists("Interface\\{AE4707AD-78F6-49AE-A6F9-69D61581AE88}"));
#else
  EXPECT_FALSE(KeyExists(kTypeLibKey));  // no type library on this platform
#endif
  ASSERT_EQ(S_OK, unregisterServer());
  EXPECT_FALSE(KeyExists(kClassKey));
  EXPECT_FALSE(KeyExists(std::string(kTypeLibKey) + "\\1.0"));
  EXPECT_FALSE(KeyExists("Interface\\{AE4707AD-78F6-49AE-A6F9-69D61581AE88}"));
  EXPECT_EQ(S_OK, unregisterServer());  // the library is no longer registered: still no error
}

// The server's script as its module carries it: the GUIDs are those of the interface definition,
// and the keys are the ones registration promises.
TEST_F(ModuleRegistrationTest, TheServerScriptNamesTheServersGuids) {
  const std::string text = RegistryResource(103);
  ASSERT_FALSE(text.empty());
  zov::registration::RegistryScript script;
  zov::registration::ScriptError error;
  ASSERT_TRUE(zov::registration::ParseRegistryScript(text, {{"MODULE", "C:\\ZOVServer.dll"}},
                                                     &script, &error))
      << error.line << ":" << error.column << " " << error.message;
  const std::string clsid = GuidText(CLSID_CZOVServer);
  const std::string libid = GuidText(LIBID_ZOVSERVERLib);

  ASSERT_EQ(3u, script.keys.size());
  const auto& versioned = script.keys[0];
  const auto& independent = script.keys[1];
  const auto& classes = script.keys[2];
  EXPECT_EQ("ZOVServer.CZOVServer.1", versioned.name);
  ASSERT_EQ(1u, versioned.subkeys.size());
  EXPECT_EQ(clsid, versioned.subkeys[0].values.at(0).text);
  EXPECT_EQ("ZOVServer.CZOVServer", independent.name);
  ASSERT_EQ(2u, independent.subkeys.size());
  EXPECT_EQ(clsid, independent.subkeys[0].values.at(0).text);
  EXPECT_EQ("ZOVServer.CZOVServer.1", independent.subkeys[1].values.at(0).text);
  EXPECT_EQ("CLSID", classes.name);
  EXPECT_EQ(zov::registration::KeyFlag::NoRemove, classes.flag);
  ASSERT_EQ(1u, classes.subkeys.size());
  const auto& classKey = classes.subkeys[0];
  EXPECT_EQ(clsid, classKey.name);
  EXPECT_EQ(zov::registration::KeyFlag::ForceRemove, classKey.flag);
  EXPECT_EQ("CZOVServer Class", classKey.values.at(0).text);
  std::set<std::string> names;
  for (const auto& key : classKey.subkeys) {
    names.insert(key.name);
    if (key.name == "TypeLib") {
      EXPECT_EQ(libid, key.values.at(0).text);
    }
    if (key.name == "InprocServer32") {
      EXPECT_EQ("C:\\ZOVServer.dll", key.values.at(0).text);
      ASSERT_EQ(2u, key.values.size());
      EXPECT_EQ("ThreadingModel", key.values[1].name);
      EXPECT_EQ("Apartment", key.values[1].text);
    }
    if (key.name == "Programmable") {
      EXPECT_EQ(zov::registration::KeyFlag::ForceRemove, key.flag);
    }
  }
  EXPECT_EQ((std::set<std::string>{"ProgID", "VersionIndependentProgID", "Programmable",
                                   "InprocServer32", "TypeLib"}),
            names);
}

// ---------------------------------------------------------------------------------------------
// zovctl

#if !defined(_WIN32)
// Runs zovctl on this process's machine; its exit status.
int Zovctl(const std::string& arguments) {
  std::string command = std::string("'") + ZOV_ZOVCTL_BUILD_PATH + "' --machine '" +
                        ZovGetMachineFolder() + "' " + arguments + " >/dev/null 2>&1";
  int status = std::system(command.c_str());
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

TEST_F(ModuleRegistrationTest, ZovctlRegistersAndUnregistersAModule) {
  const std::string module = "'" + ModulePath() + "'";
  EXPECT_EQ(0, Zovctl("register " + module));
  EXPECT_TRUE(KeyExists(kClassKey));
  EXPECT_EQ(ModulePath(), ClassesValue(std::string(kClassKey) + "\\InprocServer32", nullptr));
  EXPECT_EQ(0, Zovctl("unregister " + module));
  EXPECT_FALSE(KeyExists(kClassKey));
  EXPECT_EQ(0, Zovctl("unregister " + module));

  EXPECT_EQ(1, Zovctl("register 'C:\\no\\such.dll'"));
  EXPECT_EQ(2, Zovctl("register"));
  EXPECT_EQ(2, Zovctl("unregister " + module + " extra"));
}
#endif

}  // namespace
