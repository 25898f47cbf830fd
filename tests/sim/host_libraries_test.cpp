// The host libraries qm32.dll and Wrk32dll.dll, installed as the host installs them and loaded by
// full path: qm32's profile functions over the layers of the installation tree, compared with the
// system's profile functions on the file that should answer; Wrk32dll's InterpretJob.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "layered_profile.h"
#include "module_install.h"
#include "scratch.h"
#include "zov/unique_hmodule.h"
#include "zov/win32.h"

using namespace std::string_literals;

namespace zov::test {
namespace {

using ProfileStringFn = DWORD(WINAPI*)(LPCSTR, LPCSTR, LPCSTR, LPSTR, DWORD, LPCSTR);
using ProfileIntFn = UINT(WINAPI*)(LPCSTR, LPCSTR, INT, LPCSTR);
using InterpretJobFn = int(WINAPI*)(LONG, LONG, LONG, LPCSTR, LPCSTR, LPCSTR, LONG*);


#if defined(_WIN32)
#define ZOV_QM32_BUILD_PATH ""
#define ZOV_WRK32_BUILD_PATH ""
#define ZOV_WRK32_NOEXPORT_BUILD_PATH ""
#endif

// Where a file of a case lies: one of the layer folders, or "" for the installation root.
struct LayerText {
  const char* layer;
  std::string text;
};

// An installation tree C:\...\hux-N with qm32.dll in its kor_vel folder, loaded by full path.
// The layer folders are spelt as the host spells them on disk; qm32 asks for KOR_VEL in capitals.
class HostTree : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    std::string folder = NewScratchFolder("hux");
    root_ = folder.substr(0, folder.size() - 1);
    for (const char* layer : {"USER", "OEM", "ADD_ON", "kor_vel", "HUX2"})
      ASSERT_TRUE(CreateDirectoryA((root_ + "\\" + layer).c_str(), nullptr)) << layer;
    const std::string library = root_ + "\\kor_vel\\qm32.dll";
    ASSERT_TRUE(CopyModuleTo(ZOV_QM32_BUILD_PATH, "qm32.dll", library));
    qm32_.reset(LoadLibraryA(library.c_str()));
    ASSERT_TRUE(qm32_) << "LoadLibraryA " << library << ": " << GetLastError();
    getString_ = ModuleProc<ProfileStringFn>(qm32_.get(), "PvGetPrivateProfileString");
    getInt_ = ModuleProc<ProfileIntFn>(qm32_.get(), "PvGetPrivateProfileInt");
  }
  static void TearDownTestSuite() { qm32_.reset(); }
  void SetUp() override {
    ASSERT_NE(getString_, nullptr);
    ASSERT_NE(getInt_, nullptr);
  }

  // The Windows path of `file` in `layer` ("" the root; KOR_VEL as it lies on disk).
  static std::string LayerPath(const std::string& layer, const std::string& file) {
    if (layer.empty()) return root_ + "\\" + file;
    return root_ + "\\" + (layer == "KOR_VEL" ? "kor_vel"s : layer) + "\\" + file;
  }
  // Writes the files of one case under a file name of its own (so that no profile cache of the
  // system can hand out an earlier case's file) and returns that name.
  static std::string WriteCase(const std::string& name, const std::vector<LayerText>& files) {
    for (const LayerText& f : files) {
      EXPECT_TRUE(WriteFileBytes(LayerPath(f.layer, name), f.text)) << f.layer;
    }
    return name;
  }

  static std::string root_;
  static unique_hmodule qm32_;
  static ProfileStringFn getString_;
  static ProfileIntFn getInt_;
};

std::string HostTree::root_;
unique_hmodule HostTree::qm32_;
ProfileStringFn HostTree::getString_ = nullptr;
ProfileIntFn HostTree::getInt_ = nullptr;

const char* const kNoLayer = nullptr;  // no file has it: the default (from the root's file)

struct StringCase {
  const char* what;
  std::vector<LayerText> files;
  const char* section;
  const char* key;
  const char* def;
  DWORD size;
  DWORD result;
  std::string bytes;   // the buffer's start, terminating NULs included
  const char* answers;  // the layer whose file the system function is compared with
};

const std::vector<StringCase> kStringCases = {
    {"a key only in KOR_VEL", {{"KOR_VEL", "[S]\r\nK=kor\r\n"}}, "S", "K", "d", 64, 3,
     "kor\0"s, "KOR_VEL"},
    {"OEM over KOR_VEL", {{"OEM", "[S]\r\nK=oem\r\n"}, {"KOR_VEL", "[S]\r\nK=kor\r\n"}}, "S", "K",
     "d", 64, 3, "oem\0"s, "OEM"},
    {"USER over OEM and KOR_VEL",
     {{"USER", "[S]\r\nK=user\r\n"}, {"OEM", "[S]\r\nK=oem\r\n"}, {"KOR_VEL", "[S]\r\nK=kor\r\n"}},
     "S", "K", "d", 64, 4, "user\0"s, "USER"},
    {"an empty value in USER hides OEM", {{"USER", "[S]\r\nK=\r\n"}, {"OEM", "[S]\r\nK=oem\r\n"}},
     "S", "K", "d", 64, 0, "\0"s, "USER"},
    {"ADD_ON over KOR_VEL", {{"ADD_ON", "[S]\r\nK=add\r\n"}, {"KOR_VEL", "[S]\r\nK=kor\r\n"}}, "S",
     "K", "d", 64, 3, "add\0"s, "ADD_ON"},
    {"HUX2 over the root", {{"HUX2", "[S]\r\nK=h2\r\n"}, {"", "[S]\r\nK=root\r\n"}}, "S", "K", "d",
     64, 2, "h2\0"s, "HUX2"},
    {"the root's own file answers last", {{"", "[S]\r\nK=root\r\n"}}, "S", "K", "d", 64, 4,
     "root\0"s, ""},
    {"a key in another section of USER does not count",
     {{"USER", "[T]\r\nK=user\r\n"}, {"OEM", "[S]\r\nK=oem\r\n"}}, "S", "K", "d", 64, 3, "oem\0"s,
     "OEM"},
    {"names matched without regard to case across layers",
     {{"USER", "[s]\r\nk=user\r\n"}, {"OEM", "[S]\r\nK=oem\r\n"}}, "S", "K", "d", 64, 4,
     "user\0"s, "USER"},
    {"a comment line in USER does not hide OEM",
     {{"USER", "[S]\r\n;K=user\r\n"}, {"OEM", "[S]\r\nK=oem\r\n"}}, "S", "K", "d", 64, 3,
     "oem\0"s, "OEM"},
    {"a value equal to a probe character is the file's own",
     {{"USER", "[S]\r\nK=\x01\r\n"}, {"OEM", "[S]\r\nK=oem\r\n"}}, "S", "K", "\x01", 64, 1,
     "\x01\0"s, "USER"},
    {"quotes go as the system takes them off", {{"USER", "[S]\r\nK=\"quoted\"\r\n"}}, "S", "K",
     "d", 64, 6, "quoted\0"s, "USER"},
    {"a key missing everywhere gives the default", {{"USER", "[S]\r\nOther=1\r\n"}}, "S", "K",
     "dflt", 64, 4, "dflt\0"s, kNoLayer},
    {"the default loses its trailing blanks", {{"OEM", "[S]\r\nOther=1\r\n"}}, "S", "K",
     "dflt   ", 64, 4, "dflt\0"s, kNoLayer},
    {"no file at all gives the default", {}, "S", "K", "dflt", 64, 4, "dflt\0"s, kNoLayer},
    {"a null default gives the empty string", {}, "S", "K", nullptr, 64, 0, "\0"s, kNoLayer},
    {"a value cut to the buffer", {{"OEM", "[S]\r\nK=hello\r\n"}}, "S", "K", "d", 5, 4,
     "hell\0"s, "OEM"},
    {"a value that fits exactly", {{"OEM", "[S]\r\nK=hello\r\n"}}, "S", "K", "d", 6, 5,
     "hello\0"s, "OEM"},
    {"a buffer of one character", {{"OEM", "[S]\r\nK=hello\r\n"}}, "S", "K", "d", 1, 0, "\0"s,
     "OEM"},
    {"a default cut to the buffer", {}, "S", "K", "default", 4, 3, "def\0"s, kNoLayer},
    {"keys merged in layer order without duplicates",
     {{"USER", "[S]\r\nb=1\r\na=2\r\n"}, {"OEM", "[S]\r\nA=3\r\nc=4\r\n"}, {"", "[S]\r\nd=5\r\n"}},
     "S", nullptr, "d", 64, 8, "b\0a\0c\0d\0\0"s, kNoLayer},
    {"sections merged in layer order without duplicates",
     {{"USER", "[one]\r\n[Two]\r\n"}, {"KOR_VEL", "[two]\r\n[three]\r\n"}}, nullptr, nullptr, "d",
     64, 14, "one\0Two\0three\0\0"s, kNoLayer},
    {"a merged listing cut as the system cuts",
     {{"USER", "[S]\r\nalpha=1\r\n"}, {"OEM", "[S]\r\nbeta=1\r\ngamma=1\r\n"}}, "S", nullptr, "d",
     10, 8, "alpha\0be\0\0"s, kNoLayer},
    {"a listing of a section no layer has gives the default",
     {{"USER", "[T]\r\nk=1\r\n"}}, "S", nullptr, "none", 64, 4, "none\0"s, kNoLayer},
};

class QmProfileString : public HostTree, public ::testing::WithParamInterface<size_t> {};

TEST_P(QmProfileString, AnswersFromTheFirstLayerThatHasIt) {
  const StringCase& c = kStringCases[GetParam()];
  const std::string file = WriteCase("STR" + std::to_string(GetParam()) + ".INI", c.files);
  std::string buffer(80, 'x');
  const DWORD result = getString_(c.section, c.key, c.def, &buffer[0], c.size, file.c_str());
  EXPECT_EQ(result, c.result) << c.what;
  EXPECT_EQ(buffer.substr(0, c.bytes.size()), c.bytes) << c.what;
  EXPECT_EQ(buffer.substr(c.size), std::string(buffer.size() - c.size, 'x'))
      << c.what << ": written beyond the buffer";
  // The system function on the file that answers gives the same (for a key none has: on the
  // root's file, where it is missing too).
  if (c.key && c.section) {
    std::string direct(80, 'x');
    const std::string path = LayerPath(c.answers ? c.answers : "", file);
    const DWORD expected = GetPrivateProfileStringA(c.section, c.key, c.def, &direct[0], c.size,
                                                    path.c_str());
    EXPECT_EQ(result, expected) << c.what;
    EXPECT_EQ(buffer, direct) << c.what;
  }
}

INSTANTIATE_TEST_SUITE_P(Cases, QmProfileString,
                         ::testing::Range<size_t>(0, kStringCases.size()));

// A merged listing is cut exactly as the system cuts the same names read from one file.
class QmListingCut : public HostTree, public ::testing::WithParamInterface<DWORD> {};

TEST_P(QmListingCut, AsTheSystemCutsTheSameNames) {
  const DWORD size = GetParam();
  // The merged names "alpha beta gamma delta", each with its NUL, fit from a size of 25 on.
  if (size >= 2 && size < 25)
    ZOV_WINE_DEVIATION("Wine leaves the last character of a cut listing's buffer alone; Windows "
                       "ends the buffer in two NULs");
  const std::string name = "CUT" + std::to_string(size) + ".INI";
  WriteCase(name, {{"USER", "[S]\r\nalpha=1\r\nbeta=2\r\n"},
                   {"OEM", "[S]\r\nBETA=3\r\ngamma=4\r\n"},
                   {"HUX2", "[S]\r\ndelta=5\r\n"}});
  const std::string reference = root_ + "\\REF-" + name;
  ASSERT_TRUE(WriteFileBytes(reference, "[S]\r\nalpha=1\r\nbeta=2\r\ngamma=4\r\ndelta=5\r\n"));

  std::string layered(40, 'x'), direct(40, 'x');
  const DWORD got = getString_("S", nullptr, "", &layered[0], size, name.c_str());
  const DWORD expected = GetPrivateProfileStringA("S", nullptr, "", &direct[0], size,
                                                  reference.c_str());
  EXPECT_EQ(got, expected) << "size " << size;
  EXPECT_EQ(layered, direct) << "size " << size;
}

INSTANTIATE_TEST_SUITE_P(Sizes, QmListingCut,
                         ::testing::Values<DWORD>(0, 1, 2, 3, 7, 8, 11, 12, 13, 23, 24, 25, 40));

struct IntCase {
  const char* what;
  std::vector<LayerText> files;
  const char* key;
  INT def;
  INT result;
  const char* answers;
};

const std::vector<IntCase> kIntCases = {
    {"a negative value in OEM", {{"OEM", "[S]\r\nK=-5\r\n"}}, "K", 9, -5, "OEM"},
    {"USER over OEM", {{"USER", "[S]\r\nK=12\r\n"}, {"OEM", "[S]\r\nK=7\r\n"}}, "K", 9, 12, "USER"},
    {"an empty value in USER hides OEM", {{"USER", "[S]\r\nK=\r\n"}, {"OEM", "[S]\r\nK=7\r\n"}},
     "K", 9, 9, "USER"},
    {"a hexadecimal value in KOR_VEL", {{"KOR_VEL", "[S]\r\nK=0x10\r\n"}}, "K", 9, 16, "KOR_VEL"},
    {"HUX2 over the root", {{"HUX2", "[S]\r\nK=2\r\n"}, {"", "[S]\r\nK=1\r\n"}}, "K", 9, 2, "HUX2"},
    {"a missing key gives the default", {{"USER", "[S]\r\nOther=4\r\n"}}, "K", 9, 9, kNoLayer},
    {"a negative default", {}, "K", -3, -3, kNoLayer},
};

class QmProfileInt : public HostTree, public ::testing::WithParamInterface<size_t> {};

TEST_P(QmProfileInt, AnswersFromTheFirstLayerThatHasIt) {
  const IntCase& c = kIntCases[GetParam()];
  const std::string file = WriteCase("INT" + std::to_string(GetParam()) + ".INI", c.files);
  const UINT result = getInt_("S", c.key, c.def, file.c_str());
  EXPECT_EQ(static_cast<INT>(result), c.result) << c.what;
  const std::string path = LayerPath(c.answers ? c.answers : "", file);
  EXPECT_EQ(result, GetPrivateProfileIntA("S", c.key, c.def, path.c_str())) << c.what;
}

INSTANTIATE_TEST_SUITE_P(Cases, QmProfileInt, ::testing::Range<size_t>(0, kIntCases.size()));

TEST_F(HostTree, AFileNameWithAPathBypassesTheLayers) {
  WriteCase("PATH.INI", {{"USER", "[S]\r\nK=user\r\nN=1\r\n"}, {"OEM", "[S]\r\nK=oem\r\nN=2\r\n"}});
  char buffer[32];
  const std::string oem = LayerPath("OEM", "PATH.INI");
  EXPECT_EQ(getString_("S", "K", "d", buffer, sizeof buffer, oem.c_str()), 3u);
  EXPECT_STREQ(buffer, "oem");
  EXPECT_EQ(getInt_("S", "N", 9, oem.c_str()), 2u);
  // The same name bare goes through the layers.
  EXPECT_EQ(getString_("S", "K", "d", buffer, sizeof buffer, "PATH.INI"), 4u);
  EXPECT_STREQ(buffer, "user");
  EXPECT_EQ(getInt_("S", "N", 9, "PATH.INI"), 1u);
  // A path with forward slashes is a path too: a missing file there gives the default.
  const std::string slashed = root_ + "/HUX2/PATH.INI";
  EXPECT_EQ(getString_("S", "K", "d", buffer, sizeof buffer, slashed.c_str()), 1u);
  EXPECT_STREQ(buffer, "d");
}

TEST_F(HostTree, FindsTheServersFilesByBareName) {
  ASSERT_TRUE(WriteFileBytes(LayerPath("USER", "LOGDRIVE.INI"),
                             "[CONNECTIONS]\r\nConnectionNum=2\r\nConnection1=D:\\PROGS\r\n"));
  ASSERT_TRUE(WriteFileBytes(LayerPath("", "LOGDRIVE.INI"),
                             "[CONNECTIONS]\r\nConnectionNum=5\r\nAccessProgram1=3\r\n"));
  ASSERT_TRUE(WriteFileBytes(LayerPath("KOR_VEL", "HUX.INI"),
                             "[DIRECTORIES]\r\nTempDir=C:\\HUX\\TEMP\r\n"));
  ASSERT_TRUE(WriteFileBytes(LayerPath("OEM", "HUX.INI"), "[GLOBAL]\r\nVaxoMachineName=local\r\n"));
  char buffer[1024];
  EXPECT_EQ(getInt_("CONNECTIONS", "ConnectionNum", 8, "LOGDRIVE.INI"), 2u);
  EXPECT_EQ(getInt_("CONNECTIONS", "AccessProgram1", 7, "LOGDRIVE.INI"), 3u);
  EXPECT_EQ(getString_("CONNECTIONS", "Connection1", "", buffer, sizeof buffer, "LOGDRIVE.INI"),
            8u);
  EXPECT_STREQ(buffer, "D:\\PROGS");
  EXPECT_EQ(getString_("DIRECTORIES", "TempDir", "c:\\tmp", buffer, sizeof buffer, "hux.ini"),
            11u);
  EXPECT_STREQ(buffer, "C:\\HUX\\TEMP");
  EXPECT_EQ(getString_("GLOBAL", "VaxoMachineName", "", buffer, sizeof buffer, "HUX.INI"), 5u);
  EXPECT_STREQ(buffer, "local");
}

// A library at a drive root has no installation tree above it: a bare name goes to the system
// function unchanged, which looks in the Windows directory.
TEST(Qm32WithoutRoot, PassesBareNamesToTheSystem) {
  const std::string id = std::to_string(ProcessId());
  const std::string library = "C:\\zovqm32-" + id + ".dll";
  const std::string iniName = "ZOVQM32-" + id + ".INI";
  const std::string inWindows = "C:\\windows\\" + iniName;
  ASSERT_TRUE(CopyModuleTo(ZOV_QM32_BUILD_PATH, "qm32.dll", library));
  ASSERT_TRUE(WriteFileBytes(inWindows, "[S]\r\nK=windows\r\n"));
  unique_hmodule module(LoadLibraryA(library.c_str()));
  ASSERT_TRUE(module);
  auto getString = ModuleProc<ProfileStringFn>(module.get(), "PvGetPrivateProfileString");
  auto getInt = ModuleProc<ProfileIntFn>(module.get(), "PvGetPrivateProfileInt");
  char buffer[32] = "";
  if (getString) {
    EXPECT_EQ(getString("S", "K", "d", buffer, sizeof buffer, iniName.c_str()), 7u);
    EXPECT_STREQ(buffer, "windows");
  }
  if (getInt) {
    EXPECT_EQ(static_cast<INT>(getInt("S", "K", -2, iniName.c_str())), 0);
  }
  EXPECT_NE(getString, nullptr);
  EXPECT_NE(getInt, nullptr);
  module.reset();
  DeleteFileA(library.c_str());
  DeleteFileA(inWindows.c_str());
}

// The plain functions behind qm32.
struct RootCase {
  const char* modulePath;
  const char* root;
};

TEST(LayeredProfile, InstallationRootIsTheFolderAboveTheLibrarysFolder) {
  const RootCase cases[] = {
      {"C:\\HUX\\kor_vel\\qm32.dll", "C:\\HUX"},
      {"D:\\A\\B\\kor_vel\\qm32.dll", "D:\\A\\B"},
      {"C:\\kor_vel\\qm32.dll", "C:"},
      {"\\\\SERVER\\SHARE\\kor_vel\\qm32.dll", "\\\\SERVER\\SHARE"},
      {"C:\\qm32.dll", ""},
      {"qm32.dll", ""},
      {"\\qm32.dll", ""},
      {"", ""},
  };
  for (const RootCase& c : cases)
    EXPECT_EQ(zov::hostlibs::InstallationRoot(c.modulePath), c.root) << c.modulePath;
}

TEST(LayeredProfile, BareFileNames) {
  const std::pair<const char*, bool> cases[] = {
      {"HUX.INI", true}, {"a b.ini", true},  {"OEM\\HUX.INI", false}, {"OEM/HUX.INI", false},
      {"C:HUX.INI", false}, {"", false}, {nullptr, false},
  };
  for (const auto& c : cases)
    EXPECT_EQ(zov::hostlibs::IsBareFileName(c.first), c.second) << (c.first ? c.first : "(null)");
}

TEST(LayeredProfile, LayerFilesInTheOrderAsked) {
  const std::vector<std::string> expected = {
      "C:\\HUX\\USER\\HUX.INI",    "C:\\HUX\\OEM\\HUX.INI",  "C:\\HUX\\ADD_ON\\HUX.INI",
      "C:\\HUX\\KOR_VEL\\HUX.INI", "C:\\HUX\\HUX2\\HUX.INI", "C:\\HUX\\HUX.INI"};
  EXPECT_EQ(zov::hostlibs::LayerFiles("C:\\HUX", "HUX.INI"), expected);
}

struct MergeCase {
  std::string merged;
  std::string list;
  std::string result;
};

TEST(LayeredProfile, MergeNamesKeepsTheFirstSpellingOfEachName) {
  const MergeCase cases[] = {
      {""s, "a\0b\0"s, "a\0b\0"s},
      {"a\0b\0"s, "B\0c\0"s, "a\0b\0c\0"s},
      {"a\0"s, "c\0C\0"s, "a\0c\0"s},        // duplicates within one layer go too
      {"x\0"s, "yy"s, "x\0yy\0"s},           // a last name without its NUL
      {"x\0"s, "\0"s, "x\0\0"s},             // the empty name is a name
      {"\xe4\0"s, "\xc4\0"s, "\xe4\0"s},     // letters of the ANSI code page fold too
  };
  for (const MergeCase& c : cases) {
    std::string merged = c.merged;
    zov::hostlibs::MergeNames(&merged, c.list);
    EXPECT_EQ(merged, c.result);
  }
}

// Wrk32dll.dll: loaded from where the host installs it.
class JobLibrary : public ::testing::Test {
 protected:
  static unique_hmodule Install(const char* nativeBuildPath, const char* besideTests,
                                const char* hint) {
    const std::string path = NewScratchFolder(hint) + "Wrk32dll.dll";
    if (!CopyModuleTo(nativeBuildPath, besideTests, path)) return unique_hmodule();
    return unique_hmodule(LoadLibraryA(path.c_str()));
  }
};

struct JobCall {
  LONG phase;
  const char* jobPath;
  const char* workpiece;
};

TEST_F(JobLibrary, InterpretJobDoesNotInterpretYet) {
  unique_hmodule module = Install(ZOV_WRK32_BUILD_PATH, "Wrk32dll.dll", "wrk32");
  ASSERT_TRUE(module);
  auto interpretJob = ModuleProc<InterpretJobFn>(module.get(), "InterpretJob");
  ASSERT_NE(interpretJob, nullptr);
  const JobCall calls[] = {
      {0, "TESK://domain/hd/WKS.DIR/A.ZOV/A.JOB", "\\WKS.DIR\\A.ZOV"},
      {10, "TESK://domain/hd/WKS.DIR/A.ZOV/A.JOB", "\\WKS.DIR\\A.ZOV"},
      {0, "", ""},
  };
  for (const JobCall& c : calls) {
    LONG state = 1234;
    EXPECT_EQ(interpretJob(0, c.phase, 2, c.jobPath, c.workpiece, "ZovSvrDATtmp", &state), -5)
        << c.jobPath << " phase " << c.phase;
    EXPECT_EQ(state, 1234) << "the state is left alone";
  }
}

TEST_F(JobLibrary, TheVariantWithoutTheExportLoadsButLacksIt) {
  unique_hmodule module =
      Install(ZOV_WRK32_NOEXPORT_BUILD_PATH, "noexport\\Wrk32dll.dll", "noexport");
  ASSERT_TRUE(module);
  SetLastError(0);
  EXPECT_EQ(GetProcAddress(module.get(), "InterpretJob"), nullptr);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_PROC_NOT_FOUND));
}

}  // namespace
}  // namespace zov::test
