// Files by Windows path name: the same cases natively (inside the machine folder) and under Wine.
#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>
#include <string>

#include "scratch.h"
#include "zov/win32.h"

#if !defined(_WIN32)
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#endif

namespace {

using zov::test::FileExists;
using zov::test::NewScratchFolder;
using zov::test::ReadFileBytes;
using zov::test::WriteFileBytes;

// Spells a Windows path the other way round in letter case, so that only a case-insensitive
// lookup finds it.
std::string SwapCase(std::string s) {
  for (char& c : s) {
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    else if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return s;
}

TEST(Files, NamesResolveWithoutRegardToCase) {
  std::string dir = NewScratchFolder("Case");
  ASSERT_TRUE(CreateDirectoryA((dir + "WKS.DIR").c_str(), nullptr));
  ASSERT_TRUE(WriteFileBytes(dir + "WKS.DIR\\Part1.Mpf", "N10 G0\r\n"));
  std::string bytes;
  EXPECT_TRUE(ReadFileBytes(SwapCase(dir + "WKS.DIR\\Part1.Mpf"), &bytes));
  EXPECT_EQ(bytes, "N10 G0\r\n");
  EXPECT_EQ(GetFileAttributesA(SwapCase(dir + "wks.dir").c_str()), DWORD(FILE_ATTRIBUTE_DIRECTORY));
  // Writing through another spelling replaces the existing file; no second file appears.
  ASSERT_TRUE(WriteFileBytes(dir + "wks.dir\\PART1.MPF", "N20\r\n"));
  EXPECT_TRUE(ReadFileBytes(dir + "WKS.DIR\\Part1.Mpf", &bytes));
  EXPECT_EQ(bytes, "N20\r\n");
}

TEST(Files, SeparatorsDotsAndTrailingDotsFold) {
  std::string dir = NewScratchFolder("Fold");
  ASSERT_TRUE(CreateDirectoryA((dir + "A").c_str(), nullptr));
  ASSERT_TRUE(WriteFileBytes(dir + "A\\f.txt", "x"));
  struct Case {
    std::string path;
    bool found;
  } cases[] = {
      {dir + "A\\f.txt", true},
      {dir + "A/f.txt", true},
      {dir + "A\\.\\f.txt", true},
      {dir + "A\\B\\..\\f.txt", true},  // B does not exist: ".." is folded before the lookup
      {dir + "A\\\\f.txt", true},
      {dir + "A\\f.txt.", true},
      {dir + "A\\f.txt  ", true},
      {dir + "A\\g.txt", false},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(GetFileAttributesA(c.path.c_str()) != INVALID_FILE_ATTRIBUTES, c.found) << c.path;
  }
}

TEST(Files, AttributesAndErrors) {
  std::string dir = NewScratchFolder("Attr");
  ASSERT_TRUE(WriteFileBytes(dir + "file.dat", "[Recover]\r\n"));
  EXPECT_EQ(GetFileAttributesA((dir + "file.dat").c_str()) & FILE_ATTRIBUTE_DIRECTORY, 0u);
  SetLastError(0);
  EXPECT_EQ(GetFileAttributesA((dir + "missing.dat").c_str()), INVALID_FILE_ATTRIBUTES);
  EXPECT_EQ(GetLastError(), DWORD(ERROR_FILE_NOT_FOUND));
  SetLastError(0);
  EXPECT_EQ(GetFileAttributesA((dir + "nofolder\\file.dat").c_str()), INVALID_FILE_ATTRIBUTES);
  EXPECT_EQ(GetLastError(), DWORD(ERROR_PATH_NOT_FOUND));
}

TEST(Files, CreateAndRemoveDirectories) {
  std::string dir = NewScratchFolder("Dirs");
  EXPECT_TRUE(CreateDirectoryA((dir + "PART1.ZOV").c_str(), nullptr));
  SetLastError(0);
  EXPECT_FALSE(CreateDirectoryA((dir + "part1.zov").c_str(), nullptr));
  EXPECT_EQ(GetLastError(), DWORD(ERROR_ALREADY_EXISTS));
  SetLastError(0);
  EXPECT_FALSE(CreateDirectoryA((dir + "none\\PART2.ZOV").c_str(), nullptr));
  EXPECT_EQ(GetLastError(), DWORD(ERROR_PATH_NOT_FOUND));
  ASSERT_TRUE(WriteFileBytes(dir + "PART1.ZOV\\MAIN.MPF", ""));
  SetLastError(0);
  EXPECT_FALSE(RemoveDirectoryA((dir + "PART1.ZOV").c_str()));
  EXPECT_EQ(GetLastError(), DWORD(ERROR_DIR_NOT_EMPTY));
  EXPECT_TRUE(DeleteFileA((dir + "part1.zov\\main.mpf").c_str()));
  EXPECT_TRUE(RemoveDirectoryA((dir + "PART1.ZOV").c_str()));
  EXPECT_FALSE(FileExists(dir + "PART1.ZOV"));
}

TEST(Files, DeletesFilesNotFolders) {
  std::string dir = NewScratchFolder("Delete");
  ASSERT_TRUE(WriteFileBytes(dir + "ZovSvrDATtmp", "JOBLIST: SELECT 1\r\n"));
  EXPECT_TRUE(DeleteFileA((dir + "ZOVSVRDATTMP").c_str()));
  EXPECT_FALSE(FileExists(dir + "ZovSvrDATtmp"));
  SetLastError(0);
  EXPECT_FALSE(DeleteFileA((dir + "ZovSvrDATtmp").c_str()));
  EXPECT_EQ(GetLastError(), DWORD(ERROR_FILE_NOT_FOUND));
  ASSERT_TRUE(CreateDirectoryA((dir + "sub").c_str(), nullptr));
  SetLastError(0);
  EXPECT_FALSE(DeleteFileA((dir + "sub").c_str()));
  EXPECT_EQ(GetLastError(), DWORD(ERROR_ACCESS_DENIED));
}

TEST(Files, StatReportsSizeAndKind) {
  std::string dir = NewScratchFolder("Stat");
  ASSERT_TRUE(WriteFileBytes(dir + "LOGDRIVE.INI", "[CONNECTIONS]\r\n"));
  struct _stat st;
  ASSERT_EQ(_stat((dir + "logdrive.ini").c_str(), &st), 0);
  EXPECT_EQ(st.st_size, 15);
  EXPECT_EQ(st.st_mode & _S_IFMT, _S_IFREG);
  EXPECT_NE(st.st_mode & _S_IREAD, 0);
  ASSERT_EQ(_stat(dir.substr(0, dir.size() - 1).c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & _S_IFMT, _S_IFDIR);
  errno = 0;
  EXPECT_EQ(_stat((dir + "missing.ini").c_str(), &st), -1);
  EXPECT_EQ(errno, ENOENT);
}

TEST(Files, FsopenModes) {
  std::string dir = NewScratchFolder("Open");
  std::string file = dir + "MAIN.MPF";
  FILE* f = _fsopen(file.c_str(), "wt", _SH_DENYNO);
  ASSERT_NE(f, nullptr);
  std::fputs("INIT(1,\"/_N_WKS_DIR/_N_PART1_ZOV/_N_SUB_SPF\")\n", f);
  std::fclose(f);
  f = _fsopen(file.c_str(), "a", _SH_DENYNO);
  ASSERT_NE(f, nullptr);
  std::fputs("M30\n", f);
  std::fclose(f);
  f = _fsopen(file.c_str(), "rb", _SH_DENYNO);
  ASSERT_NE(f, nullptr);
  char line[128];
  ASSERT_NE(std::fgets(line, sizeof line, f), nullptr);
  EXPECT_EQ(std::string(line).substr(0, 5), "INIT(");
  std::fclose(f);
  errno = 0;
  EXPECT_EQ(_fsopen((dir + "missing.mpf").c_str(), "r", _SH_DENYNO), nullptr);
  EXPECT_EQ(errno, ENOENT);
  EXPECT_EQ(_fsopen((dir + "nofolder\\new.mpf").c_str(), "w", _SH_DENYNO), nullptr);
  EXPECT_FALSE(FileExists(dir + "nofolder"));
}

TEST(Files, CurrentDirectoryAndRelativePaths) {
  std::string dir = NewScratchFolder("Cwd");
  ASSERT_TRUE(CreateDirectoryA((dir + "host").c_str(), nullptr));
  ASSERT_TRUE(CreateDirectoryA((dir + "kor_vel").c_str(), nullptr));
  ASSERT_TRUE(WriteFileBytes(dir + "kor_vel\\qm32.dll", "x"));
  char saved[MAX_PATH];
  ASSERT_GT(GetCurrentDirectoryA(MAX_PATH, saved), 0u);
  ASSERT_TRUE(SetCurrentDirectoryA((dir + "HOST").c_str()));
  char now[MAX_PATH];
  DWORD n = GetCurrentDirectoryA(MAX_PATH, now);
  EXPECT_EQ(std::string(now, n), dir + "HOST");  // as it was given, no trailing backslash
  EXPECT_NE(GetFileAttributesA("..\\kor_vel\\qm32.dll"), INVALID_FILE_ATTRIBUTES);
  EXPECT_EQ(GetCurrentDirectoryA(3, now), n + 1);  // too short: the size needed, with the NUL
  char full[MAX_PATH];
  LPSTR filePart = nullptr;
  n = GetFullPathNameA("..\\kor_vel\\.\\qm32.dll", MAX_PATH, full, &filePart);
  EXPECT_EQ(std::string(full, n), dir + "kor_vel\\qm32.dll");
  ASSERT_NE(filePart, nullptr);
  EXPECT_STREQ(filePart, "qm32.dll");
  // The root of the current drive: "\X" is on the drive of the current directory.
  std::string rooted = dir.substr(2) + "kor_vel\\qm32.dll";
  EXPECT_NE(GetFileAttributesA(rooted.c_str()), INVALID_FILE_ATTRIBUTES) << rooted;
  SetLastError(0);
  EXPECT_FALSE(SetCurrentDirectoryA((dir + "kor_vel\\qm32.dll").c_str()));
  EXPECT_FALSE(SetCurrentDirectoryA((dir + "nowhere").c_str()));
  ASSERT_TRUE(SetCurrentDirectoryA(saved));
}

#if !defined(_WIN32)
// The machine folder is a jail: nothing reaches outside it (natively only; on Windows the drives
// are the real ones and ".." at a root stays at the root).
class MachineJail : public ::testing::Test {
 protected:
  void SetUp() override {
    namespace fs = std::filesystem;
    machine_ = ZovGetMachineFolder();
    outside_ = fs::path(machine_).parent_path() / ("outside-" + std::to_string(::getpid()));
    fs::create_directories(outside_);
    std::string secret = (outside_ / "secret.ini").string();
    FILE* f = std::fopen(secret.c_str(), "w");
    ASSERT_NE(f, nullptr);
    std::fputs("[s]\nk=outside\n", f);
    std::fclose(f);
    dir_ = NewScratchFolder("Jail");
    std::string hostDir = machine_ + "/drive_c/" + dir_.substr(3);
    for (char& c : hostDir)
      if (c == '\\') c = '/';
    fs::create_directory_symlink(outside_, hostDir + "link");
    fs::create_symlink(outside_ / "secret.ini", hostDir + "secret.ini");
  }
  void TearDown() override { std::filesystem::remove_all(outside_); }
  std::string machine_;
  std::filesystem::path outside_;
  std::string dir_;
};

TEST_F(MachineJail, NoPathLeadsOutside) {
  std::string up = "C:";
  for (int i = 0; i < 12; ++i) up += "\\..";
  const std::string paths[] = {
      up + "\\outside\\secret.ini",
      "C:\\..\\secret.ini",
      dir_ + "link\\secret.ini",
      dir_ + "secret.ini",
      "/etc/passwd",
      "\\\\..\\..\\secret.ini",
      "Z:\\secret.ini",
  };
  for (const auto& path : paths) {
    SetLastError(0);
    EXPECT_EQ(GetFileAttributesA(path.c_str()), INVALID_FILE_ATTRIBUTES) << path;
    EXPECT_EQ(_fsopen(path.c_str(), "r", _SH_DENYNO), nullptr) << path;
    EXPECT_FALSE(DeleteFileA(path.c_str())) << path;
  }
  // Writing through a link creates nothing outside.
  FILE* f = _fsopen((dir_ + "link\\new.ini").c_str(), "w", _SH_DENYNO);
  EXPECT_EQ(f, nullptr);
  f = _fsopen((dir_ + "secret.ini").c_str(), "w", _SH_DENYNO);
  EXPECT_EQ(f, nullptr);
  EXPECT_FALSE(CreateDirectoryA((dir_ + "link\\sub").c_str(), nullptr));
  EXPECT_FALSE(std::filesystem::exists(outside_ / "new.ini"));
  EXPECT_FALSE(std::filesystem::exists(outside_ / "sub"));
}

TEST_F(MachineJail, SharesAndDrivesMapToFolders) {
  namespace fs = std::filesystem;
  fs::create_directories(machine_ + "/unc/Server/Share/PROGS");
  fs::create_directories(machine_ + "/drive_d/DATA");
  EXPECT_EQ(GetFileAttributesA("\\\\SERVER\\SHARE\\progs"), DWORD(FILE_ATTRIBUTE_DIRECTORY));
  EXPECT_EQ(GetFileAttributesA("d:\\data"), DWORD(FILE_ATTRIBUTE_DIRECTORY));
  EXPECT_EQ(GetFileAttributesA("\\\\SERVER\\OTHER\\progs"), INVALID_FILE_ATTRIBUTES);
  EXPECT_EQ(GetFileAttributesA("\\\\SERVER\\SHARE\\..\\..\\drive_c"), INVALID_FILE_ATTRIBUTES);
  fs::remove_all(machine_ + "/unc");
  fs::remove_all(machine_ + "/drive_d");
}
#endif

}  // namespace
