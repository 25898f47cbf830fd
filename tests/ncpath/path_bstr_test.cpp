// The path conversions at the BSTR edge: null BSTRs, text after an embedded NUL, results that do
// not fit, and the outs of SplitPath on every way out.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "ncpath/path_bstr.h"
#include "ole_text.h"

namespace {

using zov::unique_bstr;
using zov::test::Bstr;
using zov::test::Narrow;
namespace ncpath = zov::ncpath;

// A BSTR that holds `before`, a NUL character and `after`.
unique_bstr WithNul(const std::string& before, const std::string& after) {
  return Bstr(before + std::string(1, '\0') + after);
}

TEST(PathBstr, MakeHostPath) {
  struct Case {
    const char* what;
    unique_bstr input;
    bool present;
    std::string expected;
  };
  std::vector<Case> cases;
  cases.push_back({"an NC name", Bstr("/_N_WKS_DIR/_N_MAIN_MPF"), true, "\\WKS.DIR\\MAIN.MPF"});
  cases.push_back({"a null BSTR reads as empty", unique_bstr(), true, ""});
  cases.push_back({"an embedded NUL ends the name", WithNul("/_N_A_MPF", "/_N_B_SPF"), true,
                   "\\A.MPF"});
  cases.push_back({"1023 characters fit", Bstr("\\" + std::string(1022, 'a')), true,
                   "\\" + std::string(1022, 'A')});
  cases.push_back({"1024 characters do not", Bstr("\\" + std::string(1023, 'a')), false, ""});
  cases.push_back({"a 1252 letter", Bstr("\\m\xFCller"), true, "\\M\xDCLLER"});
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const unique_bstr result = ncpath::MakeHostPath(c.input.get());
    ASSERT_EQ(result.get() != nullptr, c.present);
    if (c.present) {
      EXPECT_EQ(Narrow(result.get()), c.expected);
    }
  }
}

TEST(PathBstr, JoinPath) {
  struct Case {
    const char* what;
    unique_bstr directory, name, extension;
    bool present;
    std::string expected;
  };
  std::vector<Case> cases;
  cases.push_back({"three parts", Bstr("WKS.DIR/A.ZOV"), Bstr("MAIN"), Bstr("MPF"), true,
                   "WKS.DIR/A.ZOV/MAIN.MPF"});
  cases.push_back({"a null extension", Bstr("D"), Bstr("N"), unique_bstr(), true, "D/N"});
  cases.push_back({"an empty extension", Bstr("D"), Bstr("N"), Bstr(""), true, "D/N"});
  cases.push_back({"all null", unique_bstr(), unique_bstr(), unique_bstr(), true, "/"});
  cases.push_back({"NULs end each part", WithNul("D", "x"), WithNul("N", "y"), WithNul("", "z"),
                   true, "D/N"});
  cases.push_back({"1024 bytes are refused, not cut", Bstr(std::string(1000, 'd')),
                   Bstr(std::string(19, 'n')), Bstr("MPF"), false, ""});
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const unique_bstr result =
        ncpath::JoinPath(c.directory.get(), c.name.get(), c.extension.get());
    ASSERT_EQ(result.get() != nullptr, c.present);
    if (c.present) {
      EXPECT_EQ(Narrow(result.get()), c.expected);
    }
  }
}

TEST(PathBstr, MakeNcSelectPathReplacesThePathOrLeavesItAlone) {
  unique_bstr path = Bstr("\\WKS.DIR\\X.ZOV\\MAIN.MPF");
  ASSERT_TRUE(ncpath::MakeNcSelectPath(path));
  EXPECT_EQ(Narrow(path.get()), "/NC/WKS.DIR/X.ZOV/MAIN.MPF");

  unique_bstr none;
  ASSERT_TRUE(ncpath::MakeNcSelectPath(none));
  EXPECT_EQ(Narrow(none.get()), "/NC");

  unique_bstr cut = WithNul("\\A", "\\B");
  ASSERT_TRUE(ncpath::MakeNcSelectPath(cut));
  EXPECT_EQ(Narrow(cut.get()), "/NC/A");

  // Too long a result: false, and the caller's string is the one it had.
  unique_bstr tooLong = Bstr("\\" + std::string(1020, 'a'));
  const BSTR before = tooLong.get();
  EXPECT_FALSE(ncpath::MakeNcSelectPath(tooLong));
  EXPECT_EQ(tooLong.get(), before);
  EXPECT_EQ(tooLong.length(), 1021u);
}

TEST(PathBstr, SplitPathFillsTheOutsAskedFor) {
  struct Case {
    const char* what;
    unique_bstr path;
    bool ok;
    std::string name, extension, directory;
  };
  std::vector<Case> cases;
  cases.push_back({"a domain path", Bstr("TESK://domain/hd/WKS.DIR/A.ZOV/MAIN.MPF"), true, "MAIN",
                   "MPF", "TESK://domain/hd/WKS.DIR/A.ZOV"});
  cases.push_back({"a bare name", Bstr("MAIN"), true, "MAIN", "", ""});
  cases.push_back({"a null path reads as empty", unique_bstr(), true, "", "", ""});
  cases.push_back({"an embedded NUL ends the path", WithNul("a/b.c", "/d.e"), true, "b", "c", "a"});
  cases.push_back({"a last component of 100 bytes", Bstr("D/" + std::string(100, 'n')), false, "",
                   "", ""});
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    // Stale contents of the outs are replaced on every way out.
    unique_bstr name = Bstr("stale"), extension = Bstr("stale"), directory = Bstr("stale");
    ASSERT_EQ(ncpath::SplitPath(c.path.get(), &name, &extension, &directory), c.ok);
    if (c.ok) {
      EXPECT_EQ(Narrow(name.get()), c.name);
      EXPECT_EQ(Narrow(extension.get()), c.extension);
      EXPECT_EQ(Narrow(directory.get()), c.directory);
      EXPECT_NE(name.get(), nullptr);
      EXPECT_NE(extension.get(), nullptr);
      EXPECT_NE(directory.get(), nullptr);
    } else {
      EXPECT_EQ(name.get(), nullptr);
      EXPECT_EQ(extension.get(), nullptr);
      EXPECT_EQ(directory.get(), nullptr);
    }
  }
}

TEST(PathBstr, SplitPathNeedsOnlyTheNameOut) {
  const unique_bstr path = Bstr("WKS.DIR/A.ZOV");
  unique_bstr name;
  ASSERT_TRUE(ncpath::SplitPath(path.get(), &name, nullptr, nullptr));
  EXPECT_EQ(Narrow(name.get()), "A");

  unique_bstr extension = Bstr("stale"), directory = Bstr("stale");
  EXPECT_FALSE(ncpath::SplitPath(path.get(), nullptr, &extension, &directory));
  EXPECT_EQ(extension.get(), nullptr);
  EXPECT_EQ(directory.get(), nullptr);
}

}  // namespace
