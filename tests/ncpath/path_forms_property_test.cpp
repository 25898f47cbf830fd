// Thousands of generated names (NC names, host paths, domain paths in each view, drives and
// shares, over-long and odd ones with high 1252 bytes, "_N_" fragments and repeated slashes) through
// every conversion. Each result is compared with a literal rendering of the conversions in one
// 1024-byte C buffer (single-byte code pages only), and the invariants between the forms are
// checked. The generator is seeded: every run sees the same names.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include "ncpath/code_page.h"
#include "ncpath/path_forms.h"
#include "zov/win32.h"

namespace {

using namespace zov::ncpath;

constexpr size_t kBuffer = kPathBufferSize;
constexpr size_t kPrefixLength = sizeof(kDomainPrefix) - 1;

// ---- The conversions as C-string work in one fixed buffer --------------------------------------

int AsciiUpper(int c) { return c >= 'a' && c <= 'z' ? c - 'a' + 'A' : c; }

bool StartsIgnoringCase(const char* text, const char* prefix) {
  for (; *prefix; ++text, ++prefix) {
    if (!*text || AsciiUpper(static_cast<unsigned char>(*text)) !=
                      AsciiUpper(static_cast<unsigned char>(*prefix))) {
      return false;
    }
  }
  return true;
}

void ReplaceAll(char* text, char from, char to) {
  for (; *text; ++text) {
    if (*text == from) *text = to;
  }
}

void Upper(char* text) { CharUpperBuffA(text, static_cast<DWORD>(std::strlen(text))); }

// False where the name does not fit the buffer.
bool ReferenceHostPath(const std::string& input, std::string* out) {
  const char* name = input.c_str();
  if (std::strlen(name) >= kBuffer) return false;
  char buffer[kBuffer] = "";
  if (StartsIgnoringCase(name, kDomainPrefix)) {
    const char* rest = name + kPrefixLength;
    if (std::strlen(rest) >= 3) {
      if (rest[2] == ':' || rest[1] == '/') {
        std::strcpy(buffer, rest);
      } else {
        const char* slash = std::strchr(rest, '/');
        if (slash) slash = std::strchr(slash + 1, '/');
        if (slash) std::strcpy(buffer, slash);
      }
      ReplaceAll(buffer, '/', '\\');
    }
  } else if (name[0] == '\\') {
    std::strcpy(buffer, name);
  } else {
    std::strcpy(buffer, name);
    bool hadSlash = std::strchr(buffer, '/') != nullptr;
    for (char* p = std::strstr(buffer, "/_N_"); p; p = std::strstr(buffer, "/_N_")) {
      std::memmove(p + 1, p + 4, std::strlen(p + 4) + 1);
      char* component = p + 1;
      char* end = std::strchr(component, '/');
      if (end && end - component >= 4 && end[-4] == '_') end[-4] = '.';
    }
    ReplaceAll(buffer, '/', '\\');
    if (StartsIgnoringCase(buffer, "_N_")) {
      std::memmove(buffer, buffer + 3, std::strlen(buffer + 3) + 1);
      hadSlash = true;
    }
    const size_t length = std::strlen(buffer);
    if (hadSlash && length > 4 && buffer[length - 4] == '_') buffer[length - 4] = '.';
  }
  Upper(buffer);
  *out = buffer;
  return true;
}

bool ReferenceDomainPath(const std::string& input, const char* view, std::string* out) {
  const char* path = input.c_str();
  if (!*path) {
    out->clear();
    return true;
  }
  if (std::strlen(path) >= kBuffer) return false;
  char buffer[kBuffer];
  if (StartsIgnoringCase(path, kDomainPrefix)) {
    std::strcpy(buffer, path);
    const char* rest = std::strlen(path) > kPrefixLength ? path + kPrefixLength + 1 : "";
    const size_t viewLength = std::strlen(view);
    const bool inAView = StartsIgnoringCase(rest, "hd-nc/") || StartsIgnoringCase(rest, "hd/") ||
                         StartsIgnoringCase(rest, "nc/");
    const bool inThisView = StartsIgnoringCase(rest, view) && rest[viewLength] == '/';
    if (inAView && !inThisView) {
      const char* tail = std::strchr(rest, '/');
      if (kPrefixLength + 1 + viewLength + std::strlen(tail) >= kBuffer) return false;
      std::snprintf(buffer, kBuffer, "%s/%s%s", kDomainPrefix, view, tail);
    }
  } else {
    std::string part;
    if (StartsIgnoringCase(path, "/_N_")) {
      if (!ReferenceHostPath(path, &part)) part.clear();
    } else {
      part = path;
    }
    std::string built = kDomainPrefix;
    if (!(!part.empty() && (part[1] == '\\' || part[1] == ':'))) built += std::string("/") + view;
    if (part.empty() || part[0] != '\\') built += "/";
    built += part;
    if (built.size() >= kBuffer) return false;
    std::strcpy(buffer, built.c_str());
    ReplaceAll(buffer, '\\', '/');
  }
  if (std::strlen(buffer) > kPrefixLength) {
    char* slash = std::strchr(buffer + kPrefixLength + 1, '/');
    if (slash) Upper(slash);
  }
  *out = buffer;
  return true;
}

// ---- Generated names ---------------------------------------------------------------------------

class Names {
 public:
  explicit Names(uint32_t seed) : random_(seed) {}

  uint32_t Below(uint32_t n) { return static_cast<uint32_t>(random_() % n); }
  bool OneIn(uint32_t n) { return Below(n) == 0; }

  std::string Pick(const std::vector<std::string>& choices) { return choices[Below(choices.size())]; }

  // A file or directory name, sometimes with high 1252 letters or odd characters.
  std::string Component() {
    static const std::vector<std::string> stems = {
        "WKS", "main", "PART1", "x", "Teil\xE4", "m\xFCller", "A_B", "_N_", "n_", "\xFF\x9A",
        "ab", "a.b", "_", "N", "cycle800", "\xE9t\xE9", "_N_X", "CD"};
    static const std::vector<std::string> extensions = {"MPF", "SPF", "DIR", "ZOV", "JOB",
                                                        "DAT", "mpf", "ZO",  "",    "SPFX"};
    std::string name = Pick(stems);
    if (OneIn(3)) name += Pick(stems);
    const std::string extension = Pick(extensions);
    if (!extension.empty()) name += (OneIn(2) ? "." : "_") + extension;
    return name;
  }

  std::string Components(char separator, bool nc) {
    std::string path;
    const uint32_t count = 1 + Below(5);
    for (uint32_t i = 0; i < count; ++i) {
      if (i > 0 || OneIn(2)) path += separator;
      if (OneIn(12)) path += separator;  // a repeated separator
      if (nc && !OneIn(6)) path += OneIn(8) ? "_n_" : "_N_";
      path += Component();
    }
    return path;
  }

  std::string Next() {
    switch (Below(9)) {
      case 0: return "/" + Components('/', true).substr(Below(2));  // NC names
      case 1: return Components('/', true);                          // relative NC names
      case 2: return "\\" + Components('\\', false);                 // absolute host paths
      case 3: return Components(OneIn(2) ? '\\' : '/', false);       // relative paths
      case 4: {                                                      // domain paths
        static const std::vector<std::string> prefixes = {kDomainPrefix, "tesk://domain",
                                                          "TESK://DOMAIN", "TESK://domainx"};
        static const std::vector<std::string> views = {"hd", "hd-nc", "nc", "HD-NC", "Nc",
                                                       "other", "", "hd-ncx", "C:", "/srv"};
        std::string path = Pick(prefixes);
        if (!OneIn(10)) path += "/" + Pick(views);
        if (!OneIn(6)) path += "/" + Components('/', OneIn(4));
        return path;
      }
      case 5:  // drives and shares
        return (OneIn(2) ? std::string(OneIn(2) ? "c:" : "D:") : "\\\\srv" + std::string("\\share")) +
               "\\" + Components('\\', false);
      case 6: {  // over-long
        std::string path = OneIn(2) ? "/" : "TESK://domain/hd/";
        const size_t length = 900 + Below(2101);
        while (path.size() < length) path += Components('/', OneIn(2)) + "/";
        path.resize(length);
        return path;
      }
      case 7: {  // just over or under the buffer
        std::string path = Pick({"\\", "/_N_", "TESK://domain/nc/", "x"});
        path += std::string(1010 + Below(20) - path.size(), OneIn(2) ? 'a' : '_');
        return path;
      }
      default: {  // odd ones: fragments in any order
        static const std::vector<std::string> pieces = {
            "/", "\\", "_", "_N_", "/_N_", "_n_", ".", ":", "a", "Z", "\xE4", "\xFC", "\xFF",
            "\x9A", "\x80", "TESK://domain", "//", "hd-nc/", "nc/", "hd", "MPF"};
        std::string path;
        const uint32_t count = Below(24);
        for (uint32_t i = 0; i < count; ++i) path += Pick(pieces);
        return path;
      }
    }
  }

 private:
  std::mt19937 random_;
};

bool IsUpperCase(const std::string& text) {
  std::string upper = text;
  if (!upper.empty()) CharUpperBuffA(&upper[0], static_cast<DWORD>(upper.size()));
  return upper == text;
}

bool StartsWithPrefixIgnoringCase(const std::string& text) {
  return StartsIgnoringCase(text.c_str(), kDomainPrefix);
}

constexpr int kNames = 6000;

class PathFormsProperty : public ::testing::Test {
 protected:
  void SetUp() override {
    if (CodePage::Current().HasLeadBytes()) {
      GTEST_SKIP() << "the fixed-buffer rendering is byte-wise: a single-byte code page only";
    }
  }
};

TEST_F(PathFormsProperty, MakeHostPathIsTheFixedBufferConversion) {
  Names names(20240611);
  for (int i = 0; i < kNames; ++i) {
    const std::string name = names.Next();
    SCOPED_TRACE(name);
    std::string expected;
    const bool fits = ReferenceHostPath(name, &expected);
    const std::optional<std::string> host = MakeHostPath(name);
    ASSERT_EQ(host.has_value(), fits);
    if (!host) continue;
    ASSERT_EQ(*host, expected);
    EXPECT_LT(host->size(), kPathBufferSize);
    EXPECT_TRUE(IsUpperCase(*host));
    // Only a host path handed over as one keeps a "/".
    if (name[0] != '\\') {
      EXPECT_EQ(host->find('/'), std::string::npos);
    }
  }
}

TEST_F(PathFormsProperty, MakeDomainPathIsTheFixedBufferConversionAndIdempotent) {
  Names names(77);
  const char* const views[] = {kViewHd, kViewHdNc, kViewNc};
  for (int i = 0; i < kNames; ++i) {
    const std::string path = names.Next();
    for (const char* view : views) {
      SCOPED_TRACE(path + " in " + view);
      std::string expected;
      const bool fits = ReferenceDomainPath(path, view, &expected);
      const std::optional<std::string> domain = MakeDomainPathInView(path, view);
      ASSERT_EQ(domain.has_value(), fits);
      if (!domain) continue;
      ASSERT_EQ(*domain, expected);
      EXPECT_LT(domain->size(), kPathBufferSize);
      if (path.empty()) continue;
      EXPECT_TRUE(StartsWithPrefixIgnoringCase(*domain));
      // A domain path converted again in the same view stays as it is.
      EXPECT_EQ(MakeDomainPathInView(*domain, view), domain);
    }
  }
}

TEST_F(PathFormsProperty, HostAndNcNamesComeBackFromTheirDomainPaths) {
  Names names(4711);
  const char* const views[] = {kViewHd, kViewHdNc, kViewNc};
  for (int i = 0; i < kNames; ++i) {
    // An absolute host path of plain components, and an NC name of the same kind.
    const std::string host = "\\" + names.Components('\\', false);
    const std::string ncName = "/" + names.Components('/', true);
    if (host[1] == '\\' || host.find("\\\\") != std::string::npos) continue;
    for (const char* view : views) {
      SCOPED_TRACE(host + " | " + ncName + " in " + view);
      const std::optional<std::string> domain = MakeDomainPathInView(host, view);
      ASSERT_TRUE(domain.has_value());
      std::string upper = host;
      CharUpperBuffA(&upper[0], static_cast<DWORD>(upper.size()));
      EXPECT_EQ(MakeHostPath(*domain), upper);

      if (!CodePage::Current().StartsWithIgnoringCase(ncName, "/_N_")) continue;
      const std::optional<std::string> ncHost = MakeHostPath(ncName);
      ASSERT_TRUE(ncHost.has_value());
      if (ncHost->size() > 1 && ((*ncHost)[1] == '\\' || (*ncHost)[1] == ':')) continue;
      const std::optional<std::string> ncDomain = MakeDomainPathInView(ncName, view);
      ASSERT_TRUE(ncDomain.has_value());
      EXPECT_EQ(MakeHostPath(*ncDomain), ncHost);
    }
  }
}

TEST_F(PathFormsProperty, SplitJoinAndSelectPathsRecombine) {
  Names names(99);
  for (int i = 0; i < kNames; ++i) {
    const std::string path = names.Next();
    SCOPED_TRACE(path);
    const std::optional<PathParts> parts = SplitPath(path);
    const size_t slash = path.rfind('/');
    const size_t lastLength = slash == std::string::npos ? path.size() : path.size() - slash - 1;
    ASSERT_EQ(parts.has_value(), path.size() < kPathBufferSize && lastLength < kNameBufferSize);
    if (parts) {
      // The parts put together again give the path.
      const std::string last = path.substr(slash == std::string::npos ? 0 : slash + 1);
      const bool dot = last.find('.') != std::string::npos;
      const std::string rebuilt = (slash == std::string::npos ? "" : parts->directory + "/") +
                                  parts->name + (dot ? "." + parts->extension : "");
      EXPECT_EQ(rebuilt, path);
      EXPECT_EQ(parts->name.find_first_of("/."), std::string::npos);
      // JoinPath of the parts gives the path again where there were a "/" and a ".".
      if (slash != std::string::npos && dot && !parts->extension.empty()) {
        EXPECT_EQ(JoinPath(parts->directory, parts->name, parts->extension), path);
      }
    }
    const std::optional<std::string> host = MakeHostPath(path);
    if (!host) continue;
    const std::optional<std::string> select = MakeNcSelectPath(*host);
    ASSERT_EQ(select.has_value(), host->size() + 3 < kPathBufferSize);
    if (select) {
      EXPECT_EQ(select->compare(0, 3, "/NC"), 0);
      EXPECT_EQ(select->find('\\'), std::string::npos);
      EXPECT_EQ(select->size(), host->size() + 3);
    }
  }
}

}  // namespace
