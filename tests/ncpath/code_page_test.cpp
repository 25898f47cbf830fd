// The character scans of the path conversions on a code page with double-byte characters: the
// second byte of such a character (in Shift-JIS often 0x5C, the "\") is never taken for a
// separator, and a double-byte character is compared byte for byte.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "ncpath/code_page.h"

namespace {

using zov::ncpath::CodePage;
constexpr size_t npos = CodePage::npos;

// Lead bytes 0x81 and 0x95 as in Shift-JIS: "\x95\x5C" is one character whose second byte is "\".
const CodePage& DoubleByte() {
  static const CodePage codePage = CodePage::WithLeadBytes("\x81\x95");
  return codePage;
}

TEST(CodePage, FindSkipsSecondBytes) {
  struct Case {
    const char* what;
    std::string text;
    char c;
    size_t from, expected;
  };
  const std::vector<Case> cases = {
      {"a second byte is no separator", "\x95\\a\\b", '\\', 0, 3},
      {"a plain separator", "ab/c", '/', 0, 2},
      {"from a later character", "a/b/c", '/', 2, 3},
      {"only second bytes", "\x95\\\x81/", '/', 0, npos},
      {"a lead byte at the end stands alone", "a\x95", '\x95', 0, 1},
      {"from past the end", "abc", 'a', 3, npos},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    EXPECT_EQ(DoubleByte().Find(c.text, c.c, c.from), c.expected);
  }
  EXPECT_EQ(DoubleByte().FindLast("a/\x95/", '/'), 1u);
  EXPECT_EQ(DoubleByte().FindLast("\x95/", '/'), npos);
}

TEST(CodePage, ReplaceLeavesSecondBytesAlone) {
  std::string text = "\\\x95\\x\\\x81\\";
  DoubleByte().Replace(text, '\\', '/');
  EXPECT_EQ(text, "/\x95\\x/\x81\\");
}

TEST(CodePage, NthCharFromEndCountsCharacters) {
  struct Case {
    const char* what;
    std::string text;
    size_t n, expected;
  };
  const std::vector<Case> cases = {
      {"single bytes", "AB_MPF", 4, 2},
      {"a double-byte character counts once", "\x95\x5C_MPF", 4, 2},
      {"it begins where its first byte is", "\x95\x5CMPF", 4, 0},
      {"fewer characters than asked", "\x95\x5CMP", 4, npos},
      {"exactly as many", "_MPF", 4, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    EXPECT_EQ(DoubleByte().NthCharFromEnd(c.text, 0, c.text.size(), c.n), c.expected);
  }
}

TEST(CodePage, StartsWithIgnoringCase) {
  const CodePage& cp = DoubleByte();
  EXPECT_TRUE(cp.StartsWithIgnoringCase("tesk://Domain/hd", "TESK://domain"));
  EXPECT_FALSE(cp.StartsWithIgnoringCase("TESK://domai", "TESK://domain"));
  EXPECT_TRUE(cp.StartsWithIgnoringCase("\x95\x5Cx", "\x95\x5C"));
  // The second bytes of double-byte characters are compared exactly.
  EXPECT_FALSE(cp.StartsWithIgnoringCase("\x95\x61", "\x95\x41"));
  // A double-byte character never matches a single-byte one.
  EXPECT_FALSE(cp.StartsWithIgnoringCase("\x95\x5C", "\x95"));
  EXPECT_TRUE(CodePage::Current().StartsWithIgnoringCase("_n_MAIN", "_N_"));
}

}  // namespace
