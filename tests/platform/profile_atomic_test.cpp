// Our layer's promise beyond Windows: a profile write replaces the file as a whole. A writer killed
// at any moment leaves the old file or the new one, and a reader never sees a file half-written.
// Writers take turns, so concurrent edits of one file do not lose each other.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "scratch.h"

#if defined(_WIN32)

TEST(ProfileAtomic, OurLayerOnly) { GTEST_SKIP() << "whole-file replacement is our layer's promise, not Windows'"; }

#else

#include <dirent.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <random>

namespace {

// A profile of some hundreds of kilobytes and every complete file a write of one of `values` to
// [gen] value= makes of it.
struct Versions {
  std::string folder;
  std::string path;
  std::vector<std::string> values;
  std::vector<std::string> files;
  bool Holds(const std::string& bytes) const {
    return std::find(files.begin(), files.end(), bytes) != files.end();
  }
  bool HasValue(const std::string& value) const {
    return std::find(values.begin(), values.end(), value) != values.end();
  }
};

Versions Prepare(const std::string& hint) {
  Versions v;
  v.folder = zov::test::NewScratchFolder(hint);
  v.path = v.folder + "big.ini";
  std::string base;
  for (int i = 0; i < 3000; ++i)
    base += "[section" + std::to_string(i) + "]\r\nkey=" + std::string(60, static_cast<char>('a' + i % 26)) + "\r\n";
  EXPECT_TRUE(zov::test::WriteFileBytes(v.path, base));
  v.values = {"short", std::string(20000, 'L'), "", std::string(200000, 'H')};
  for (const auto& value : v.values) {
    EXPECT_TRUE(WritePrivateProfileStringA("gen", "value", value.c_str(), v.path.c_str()));
    std::string bytes;
    EXPECT_TRUE(zov::test::ReadFileBytes(v.path, &bytes));
    v.files.push_back(bytes);
  }
  return v;
}

// A child that rewrites the profile over and over, cycling through the values. It says when it
// has started through the pipe.
pid_t StartWriter(const Versions& v, int* readyFd) {
  int fds[2];
  if (::pipe(fds) != 0) return -1;
  pid_t pid = ::fork();
  if (pid == 0) {
    ::close(fds[0]);
    if (::write(fds[1], "x", 1) != 1) ::_exit(2);
    for (size_t i = 0;; ++i)
      if (!WritePrivateProfileStringA("gen", "value", v.values[i % v.values.size()].c_str(), v.path.c_str()))
        ::_exit(1);
  }
  ::close(fds[1]);
  *readyFd = fds[0];
  char c;
  if (pid > 0 && ::read(fds[0], &c, 1) != 1) return -1;
  return pid;
}

void Kill(pid_t pid) {
  ::kill(pid, SIGKILL);
  ::waitpid(pid, nullptr, 0);
}

std::string ReadValue(const Versions& v) {
  std::string buffer(300000, 'Z');
  DWORD n = GetPrivateProfileStringA("gen", "value", "<default>", buffer.data(), static_cast<DWORD>(buffer.size()),
                                     v.path.c_str());
  return buffer.substr(0, n);
}

// The names in the folder other than the profile itself.
std::vector<std::string> Others(const Versions& v) {
  zov::platform::ResolvedPath resolved;
  EXPECT_EQ(0u, zov::platform::ResolveWindowsPath(v.folder.c_str(), zov::platform::PathUse::Existing, &resolved));
  std::vector<std::string> others;
  DIR* dir = ::opendir(resolved.hostPath.c_str());
  while (dirent* e = dir ? ::readdir(dir) : nullptr) {
    std::string name = e->d_name;
    if (name != "." && name != ".." && name != "big.ini") others.push_back(name);
  }
  if (dir) ::closedir(dir);
  return others;
}

TEST(ProfileAtomic, KilledWriterLeavesACompleteFile) {
  Versions v = Prepare("killed");
  std::mt19937 random(12345);
  size_t interrupted = 0;
  for (int round = 0; round < 40; ++round) {
    int ready = -1;
    pid_t pid = StartWriter(v, &ready);
    ASSERT_GT(pid, 0);
    ::usleep(1000 + random() % 20000);
    Kill(pid);
    ::close(ready);
    std::string bytes;
    ASSERT_TRUE(zov::test::ReadFileBytes(v.path, &bytes));
    EXPECT_TRUE(v.Holds(bytes)) << "round " << round << ": a torn file of " << bytes.size() << " bytes";
    EXPECT_TRUE(v.HasValue(ReadValue(v))) << "round " << round;
    for (const auto& name : Others(v)) {
      EXPECT_EQ(0u, name.rfind(".big.ini.zovtmp-", 0)) << name;
      ++interrupted;
    }
  }
  EXPECT_GT(interrupted, 0u) << "no kill landed in the middle of a write";

  // A temporary file is never taken for the profile, and the next write clears them away.
  ASSERT_TRUE(DeleteFileA(v.path.c_str()));
  EXPECT_EQ("<default>", ReadValue(v));
  EXPECT_TRUE(WritePrivateProfileStringA("gen", "value", "again", v.path.c_str()));
  EXPECT_EQ("[gen]\r\nvalue=again\r\n", [&] {
    std::string bytes;
    zov::test::ReadFileBytes(v.path, &bytes);
    return bytes;
  }());
  EXPECT_TRUE(Others(v).empty());
}

TEST(ProfileAtomic, ReaderNeverSeesATornFile) {
  Versions v = Prepare("reader");
  int ready = -1;
  pid_t pid = StartWriter(v, &ready);
  ASSERT_GT(pid, 0);
  std::vector<bool> seen(v.files.size(), false);
  for (int i = 0; i < 200; ++i) {
    std::string bytes;
    ASSERT_TRUE(zov::test::ReadFileBytes(v.path, &bytes));
    auto at = std::find(v.files.begin(), v.files.end(), bytes);
    EXPECT_TRUE(at != v.files.end()) << "read " << i << ": a torn file of " << bytes.size() << " bytes";
    if (at != v.files.end()) seen[static_cast<size_t>(at - v.files.begin())] = true;
    EXPECT_TRUE(v.HasValue(ReadValue(v))) << "read " << i;
  }
  Kill(pid);
  ::close(ready);
  EXPECT_GE(std::count(seen.begin(), seen.end(), true), 2) << "the writer made no progress";
}

TEST(ProfileAtomic, ConcurrentWritersLoseNothing) {
  std::string path = zov::test::NewScratchFolder("writers") + "shared.ini";
  pid_t writers[2];
  for (int w = 0; w < 2; ++w) {
    writers[w] = ::fork();
    if (writers[w] == 0) {
      for (int i = 0; i < 100; ++i) {
        std::string key = std::string(1, static_cast<char>('a' + w)) + std::to_string(i);
        if (!WritePrivateProfileStringA("s", key.c_str(), std::to_string(i).c_str(), path.c_str())) ::_exit(1);
      }
      ::_exit(0);
    }
    ASSERT_GT(writers[w], 0);
  }
  for (pid_t pid : writers) {
    int status = 0;
    ::waitpid(pid, &status, 0);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  }
  for (int w = 0; w < 2; ++w)
    for (int i = 0; i < 100; ++i) {
      std::string key = std::string(1, static_cast<char>('a' + w)) + std::to_string(i);
      EXPECT_EQ(static_cast<UINT>(i), GetPrivateProfileIntA("s", key.c_str(), -1, path.c_str())) << key;
    }
}

}  // namespace

#endif
