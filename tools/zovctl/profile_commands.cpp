#include "profile_commands.h"

#include <cstdio>
#include <string>
#include <vector>

#include "win32_errors.h"
#include "zov/win32.h"

namespace zovctl {
namespace {

// The largest value zovctl reads; the server itself reads at most 1023 characters.
constexpr DWORD kMaxValue = 1 << 20;

int Fail(const std::string& file, const std::string& what) {
  std::fprintf(stderr, "zovctl: %s: %s\n", file.c_str(), what.c_str());
  return 1;
}

// A file that a read or a delete is about: it must exist and be a file, or nothing is done.
bool CheckExistingFile(const std::string& file, int* status) {
  DWORD attributes = GetFileAttributesA(file.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) {
    *status = Fail(file, DescribeError(GetLastError()));
    return false;
  }
  if (attributes & FILE_ATTRIBUTE_DIRECTORY) {
    *status = Fail(file, "is a folder, not a file");
    return false;
  }
  return true;
}

int Get(const std::string& file, const std::string& section, const std::string& key,
        const CommandLine& line) {
  int status = 0;
  if (!CheckExistingFile(file, &status)) return status;
  std::string fallback = line.option("default", "");
  std::vector<char> buffer(1024);
  DWORD n = 0;
  for (;;) {
    n = GetPrivateProfileStringA(section.c_str(), key.c_str(), fallback.c_str(), buffer.data(),
                                 static_cast<DWORD>(buffer.size()), file.c_str());
    if (n + 1 < buffer.size() || buffer.size() >= kMaxValue) break;
    buffer.resize(buffer.size() * 4);  // the value may have been cut: read again with more room
  }
  if (n + 1 >= kMaxValue) return Fail(file, "the value is longer than " + std::to_string(kMaxValue - 1) + " characters");
  std::fwrite(buffer.data(), 1, n, stdout);
  std::fputc('\n', stdout);
  return 0;
}

int GetInt(const std::string& file, const std::string& section, const std::string& key,
           const CommandLine& line) {
  int status = 0;
  if (!CheckExistingFile(file, &status)) return status;
  long fallback = line.integerOption("default", 0);
  UINT value = GetPrivateProfileIntA(section.c_str(), key.c_str(), static_cast<INT>(fallback), file.c_str());
  std::printf("%u\n", value);
  return 0;
}

int Set(const std::string& file, const char* section, const char* key, const char* value) {
  if (!WritePrivateProfileStringA(section, key, value, file.c_str()))
    return Fail(file, "cannot write: " + DescribeError(GetLastError()));
  return 0;
}

}  // namespace

int RunProfileCommand(const std::vector<std::string>& words, const CommandLine& line) {
  const std::string verb = words.empty() ? "" : words[0];
  auto need = [&](size_t min, size_t max, const char* usage) {
    if (words.size() < min || words.size() > max) throw UsageError{std::string("usage: zovctl profile ") + usage};
  };
  if (verb == "get") {
    need(4, 4, "get FILE SECTION KEY [--default TEXT]");
    line.refuseOptionsBut("profile get", {"default"});
    return Get(words[1], words[2], words[3], line);
  }
  if (verb == "int") {
    need(4, 4, "int FILE SECTION KEY [--default N]");
    line.refuseOptionsBut("profile int", {"default"});
    return GetInt(words[1], words[2], words[3], line);
  }
  if (verb == "set") {
    need(5, 5, "set FILE SECTION KEY VALUE");
    line.refuseOptionsBut("profile set", {});
    return Set(words[1], words[2].c_str(), words[3].c_str(), words[4].c_str());
  }
  if (verb == "delete") {
    need(3, 4, "delete FILE SECTION [KEY]");
    line.refuseOptionsBut("profile delete", {});
    int status = 0;
    if (!CheckExistingFile(words[1], &status)) return status;  // a delete never creates a file
    return Set(words[1], words[2].c_str(), words.size() == 4 ? words[3].c_str() : nullptr, nullptr);
  }
  throw UsageError{"usage: zovctl profile get|int|set|delete FILE SECTION ..."};
}

}  // namespace zovctl
