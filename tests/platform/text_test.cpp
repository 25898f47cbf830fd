// ANSI text: the 1252 and UTF-8 conversions, the 1252 case mapping and the comparisons, checked the
// same way against our layer and, under Wine, against the real functions.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "scratch.h"
#include "zov/win32.h"

namespace {

using WString = std::basic_string<WCHAR>;

constexpr UINT kCp1252 = 1252;

WString ToWide(UINT cp, const std::string& bytes, DWORD flags = 0) {
  const int n = MultiByteToWideChar(cp, flags, bytes.data(), static_cast<int>(bytes.size()), nullptr, 0);
  WString out(static_cast<std::size_t>(n), WCHAR(0));
  if (n > 0) MultiByteToWideChar(cp, flags, bytes.data(), static_cast<int>(bytes.size()), &out[0], n);
  return out;
}

std::string ToBytes(UINT cp, const WString& text, DWORD flags = 0, BOOL* usedDefault = nullptr) {
  const int n = WideCharToMultiByte(cp, flags, text.data(), static_cast<int>(text.size()), nullptr, 0,
                                    nullptr, usedDefault);
  std::string out(static_cast<std::size_t>(n), '\0');
  if (n > 0)
    WideCharToMultiByte(cp, flags, text.data(), static_cast<int>(text.size()), &out[0], n, nullptr,
                        usedDefault);
  return out;
}

// The characters of 0x80..0x9F in Windows-1252 (the undefined bytes map to C1 controls).
constexpr WCHAR kHighControls1252[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

TEST(Cp1252, EveryByteMapsToItsWindowsCharacter) {
  for (int b = 1; b < 256; ++b) {
    const WString w = ToWide(kCp1252, std::string(1, static_cast<char>(b)));
    ASSERT_EQ(w.size(), 1u) << "byte " << b;
    const WCHAR expected = (b >= 0x80 && b < 0xA0) ? kHighControls1252[b - 0x80] : static_cast<WCHAR>(b);
    EXPECT_EQ(w[0], expected) << "byte 0x" << std::hex << b;
  }
}

TEST(Cp1252, EveryByteRoundTripsWithoutBestFit) {
  std::string all;
  for (int b = 1; b < 256; ++b) all += static_cast<char>(b);
  BOOL usedDefault = TRUE;
  EXPECT_EQ(ToBytes(kCp1252, ToWide(kCp1252, all), WC_NO_BEST_FIT_CHARS, &usedDefault), all);
  EXPECT_FALSE(usedDefault);
}

TEST(Cp1252, AnsiCodePageIs1252) {
  EXPECT_EQ(GetACP(), 1252u);
  EXPECT_EQ(ToWide(CP_ACP, "\x80\x9f"), WString({0x20AC, 0x0178}));
}

struct NarrowCase {
  WCHAR in;
  DWORD flags;
  BYTE out;
  bool usedDefault;
};

// What 1252 makes of characters it has, has not, and has a best-fit character for.
TEST(Cp1252, WideToAnsiCharacters) {
  const NarrowCase cases[] = {
      {0x20AC, 0, 0x80, false},                     // euro: a real 1252 character
      {0x0081, 0, 0x81, false},                     // undefined byte maps back
      {0x00E9, 0, 0xE9, false},                     // e acute
      {0x0080, 0, '?', true},                       // C1 control that 1252 has no byte for
      {0x009F, 0, '?', true},
      {0x0100, 0, 'A', false},                      // A macron: best fit drops the accent
      {0x0100, WC_NO_BEST_FIT_CHARS, '?', true},
      {0x0110, 0, 0xD0, false},                     // D stroke -> Eth
      {0x0191, 0, 0x83, false},                     // capital F hook -> small f hook
      {0x03BC, 0, 0xB5, false},                     // Greek mu -> micro sign
      {0x0391, 0, '?', true},                       // Greek capital alpha has no best fit
      {0x221E, 0, '8', false},                      // infinity
      {0x2264, 0, '=', false},                      // less-than or equal
      {0x3000, 0, ' ', false},                      // ideographic space
      {0xFF21, 0, 'A', false},                      // fullwidth A
      {0xFF5E, 0, '~', false},                      // fullwidth tilde, the last of the range
      {0xFF5F, 0, '?', true},                       // just past it
      {0xFF21, WC_NO_BEST_FIT_CHARS, '?', true},
      {0x4E2D, 0, '?', true},                       // CJK
      {0xD800, 0, '?', true},                       // unpaired surrogate
  };
  for (const NarrowCase& c : cases) {
    BOOL usedDefault = -5;
    char out[4] = {'x', 'x', 'x', 'x'};
    const int n = WideCharToMultiByte(kCp1252, c.flags, &c.in, 1, out, 4, nullptr, &usedDefault);
    EXPECT_EQ(n, 1) << std::hex << c.in;
    EXPECT_EQ(static_cast<BYTE>(out[0]), c.out) << std::hex << c.in;
    EXPECT_EQ(out[1], 'x');
    EXPECT_EQ(usedDefault != FALSE, c.usedDefault) << std::hex << c.in;
  }
}

TEST(Cp1252, DefaultCharacterIsTheFirstByteGiven) {
  const WCHAR text[] = {'a', 0x4E2D, 'b', 0};
  char out[8] = {};
  BOOL usedDefault = FALSE;
  EXPECT_EQ(WideCharToMultiByte(kCp1252, 0, text, -1, out, 8, "*#", &usedDefault), 4);
  EXPECT_STREQ(out, "a*b");
  EXPECT_TRUE(usedDefault);
}

struct SizeCase {
  const char* name;
  int inLength;   // -1: NUL-terminated
  int outSize;
  int result;
  DWORD error;    // checked when result is 0
  const char* written;
};

// "abc" through both directions: the NUL is counted with -1 and only then; a zero size asks for
// the size; too small a buffer fails.
TEST(Cp1252, BufferSizes) {
  const SizeCase cases[] = {
      {"terminated, size query", -1, 0, 4, 0, nullptr},
      {"counted, size query", 3, 0, 3, 0, nullptr},
      {"terminated, exact", -1, 4, 4, 0, "abc"},
      {"counted, exact", 3, 3, 3, 0, "abc"},
      {"terminated, one short", -1, 3, 0, ERROR_INSUFFICIENT_BUFFER, nullptr},
      {"counted, one short", 3, 2, 0, ERROR_INSUFFICIENT_BUFFER, nullptr},
      {"zero-length input", 0, 10, 0, ERROR_INVALID_PARAMETER, nullptr},
      {"negative output size", -1, -1, 0, ERROR_INVALID_PARAMETER, nullptr},
  };
  for (const SizeCase& c : cases) {
    SCOPED_TRACE(c.name);
    {
      WCHAR wide[8];
      for (WCHAR& w : wide) w = 'x';
      SetLastError(0);
      const int n = MultiByteToWideChar(kCp1252, 0, "abc", c.inLength, c.outSize ? wide : nullptr, c.outSize);
      EXPECT_EQ(n, c.result);
      if (n == 0) {
        EXPECT_EQ(GetLastError(), c.error);
      }
      if (c.written) {
        EXPECT_EQ(WString(wide, wide + 3), WString(OLESTR("abc")));
        EXPECT_EQ(wide[3], c.inLength < 0 ? 0 : 'x');
      }
    }
    {
      char narrow[8] = "xxxxxxx";
      SetLastError(0);
      const int n = WideCharToMultiByte(kCp1252, 0, OLESTR("abc"), c.inLength, c.outSize ? narrow : nullptr,
                                        c.outSize, nullptr, nullptr);
      EXPECT_EQ(n, c.result);
      if (n == 0) {
        EXPECT_EQ(GetLastError(), c.error);
      }
      if (c.written) {
        EXPECT_EQ(std::string(narrow, 3), "abc");
        EXPECT_EQ(narrow[3], c.inLength < 0 ? '\0' : 'x');
      }
    }
  }
}

TEST(Cp1252, BadArguments) {
  WCHAR wide[4];
  char narrow[4];
  SetLastError(0);
  EXPECT_EQ(MultiByteToWideChar(kCp1252, 0, nullptr, -1, wide, 4), 0);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
  SetLastError(0);
  EXPECT_EQ(WideCharToMultiByte(kCp1252, 0, nullptr, -1, narrow, 4, nullptr, nullptr), 0);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
  SetLastError(0);
  EXPECT_EQ(MultiByteToWideChar(12345, 0, "a", -1, wide, 4), 0);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
  SetLastError(0);
  EXPECT_EQ(WideCharToMultiByte(12345, 0, OLESTR("a"), -1, narrow, 4, nullptr, nullptr), 0);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
}

// Windows documents that WC_ERR_INVALID_CHARS is for UTF-8 only and that UTF-8 takes no other
// flags; Wine accepts them.
TEST(Cp1252, FlagsOnlyUtf8Takes) {
  ZOV_WINE_DEVIATION("Wine accepts any conversion flag with any code page");
  char narrow[4];
  WCHAR wide[4];
  SetLastError(0);
  EXPECT_EQ(WideCharToMultiByte(kCp1252, WC_ERR_INVALID_CHARS, OLESTR("a"), -1, narrow, 4, nullptr, nullptr), 0);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_FLAGS));
  SetLastError(0);
  EXPECT_EQ(MultiByteToWideChar(CP_UTF8, MB_PRECOMPOSED, "a", -1, wide, 4), 0);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_FLAGS));
}

struct Utf8Case {
  const char* name;
  std::string bytes;
  WString text;
};

// Well-formed UTF-8, and what ill-formed input becomes (the counts of U+FFFD are those Windows 10
// gives).
TEST(Utf8, Decoding) {
  const WCHAR fffd = 0xFFFD;
  const Utf8Case cases[] = {
      {"ascii", "abc", OLESTR("abc")},
      {"two bytes", "\xC3\xA9", WString(1, 0xE9)},
      {"three bytes", "\xE2\x82\xAC", WString(1, 0x20AC)},
      {"four bytes", "\xF0\x9F\x98\x80", WString({0xD83D, 0xDE00})},
      {"largest", "\xF4\x8F\xBF\xBF", WString({0xDBFF, 0xDFFF})},
      {"lone continuations", std::string("\x82\xA0\x82\xA2\0", 5), WString({fffd, fffd, fffd, fffd, 0})},
      {"C0 is never a lead byte", std::string("\xC0\xC0\x80\0", 4), WString({fffd, fffd, fffd, 0})},
      {"lead byte, then a lead byte", std::string("\xE0\xC0\0", 3), WString({fffd, fffd, 0})},
      {"lead byte, then ascii", std::string("\xE0\x20\xC0\0", 4), WString({fffd, ' ', fffd, 0})},
      {"cut short", "\xE6", WString(1, fffd)},
      {"byte F8", "\xF8\xA3\xA3", WString({fffd, fffd, fffd})},
  };
  for (const Utf8Case& c : cases) {
    EXPECT_EQ(ToWide(CP_UTF8, c.bytes), c.text) << c.name;
  }
}

// Overlong forms, surrogates and code points above U+10FFFF are ill-formed.
TEST(Utf8, InvalidInputFailsWhenAsked) {
  const char* invalid[] = {"a\x80", "\xC0\xAF", "\xE0\x80\xAF", "\xED\xA0\x80", "\xF4\x90\x80\x80",
                           "\xF0\x8F\xBF\xBF", "\xE6\x97"};
  WCHAR wide[8];
  for (const char* bytes : invalid) {
    SetLastError(0);
    EXPECT_EQ(MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, bytes, -1, wide, 8), 0) << bytes;
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_NO_UNICODE_TRANSLATION)) << bytes;
  }
  EXPECT_EQ(MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, "\xED\x9F\xBF", 3, wide, 8), 1);
  EXPECT_EQ(wide[0], 0xD7FF);
  // A buffer too small is reported before invalid input.
  SetLastError(0);
  EXPECT_EQ(MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, "\xC0", 2, wide, 1), 0);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER));
}

TEST(Utf8, Encoding) {
  EXPECT_EQ(ToBytes(CP_UTF8, WString({'a', 0xE9, 0x20AC})), "a\xC3\xA9\xE2\x82\xAC");
  EXPECT_EQ(ToBytes(CP_UTF8, WString({0xD83D, 0xDE00})), "\xF0\x9F\x98\x80");
  EXPECT_EQ(ToBytes(CP_UTF8, WString({'a', 0xD800, 'b'})), "a\xEF\xBF\xBD" "b");
  EXPECT_EQ(ToBytes(CP_UTF8, WString({0xDC00})), "\xEF\xBF\xBD");

  char narrow[8];
  SetLastError(0);
  const WCHAR lone[] = {0xD800, 0};
  EXPECT_EQ(WideCharToMultiByte(CP_UTF8, WC_ERR_INVALID_CHARS, lone, -1, narrow, 8, nullptr, nullptr), 0);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_NO_UNICODE_TRANSLATION));
}

// Windows documents that UTF-8 has no default character: both arguments must be null.
TEST(Utf8, NoDefaultCharacter) {
  ZOV_WINE_DEVIATION("Wine ignores lpUsedDefaultChar for UTF-8");
  char narrow[8];
  BOOL used = FALSE;
  SetLastError(0);
  EXPECT_EQ(WideCharToMultiByte(CP_UTF8, 0, OLESTR("a"), -1, narrow, 8, nullptr, &used), 0);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
  SetLastError(0);
  EXPECT_EQ(WideCharToMultiByte(CP_UTF8, 0, OLESTR("a"), -1, narrow, 8, "?", nullptr), 0);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
}

// The upper case of every 1252 byte, as Windows maps it: ASCII letters, the accented letters
// (not the multiplication and division signs), the caron letters and y diaeresis, while sharp s,
// micro sign and f hook stay as they are.
BYTE ExpectedUpper(BYTE c) {
  if (c >= 'a' && c <= 'z') return c - 0x20;
  if (c >= 0xE0 && c <= 0xFE && c != 0xF7) return c - 0x20;
  if (c == 0x9A || c == 0x9C || c == 0x9E) return c - 0x10;
  if (c == 0xFF) return 0x9F;
  return c;
}

TEST(CaseMapping, UpperCaseOfEveryByte) {
  std::string all;
  for (int b = 1; b < 256; ++b) all += static_cast<char>(b);
  std::string upper = all;
  EXPECT_EQ(CharUpperBuffA(&upper[0], static_cast<DWORD>(upper.size())), upper.size());
  for (int b = 1; b < 256; ++b)
    EXPECT_EQ(static_cast<BYTE>(upper[b - 1]), ExpectedUpper(static_cast<BYTE>(b))) << "byte 0x" << std::hex << b;

  std::string viaString = all;
  EXPECT_EQ(CharUpperA(&viaString[0]), &viaString[0]);
  EXPECT_EQ(viaString, upper);
}

TEST(CaseMapping, LowerCaseInvertsTheLetters) {
  std::string all;
  for (int b = 1; b < 256; ++b) all += static_cast<char>(b);
  std::string lower = all;
  CharLowerA(&lower[0]);
  for (int b = 1; b < 256; ++b) {
    const BYTE c = static_cast<BYTE>(b);
    BYTE expected = c;
    for (int l = 1; l < 256; ++l)
      if (ExpectedUpper(static_cast<BYTE>(l)) == c && l != c) expected = static_cast<BYTE>(l);
    EXPECT_EQ(static_cast<BYTE>(lower[b - 1]), expected) << "byte 0x" << std::hex << b;
  }
}

TEST(CaseMapping, SingleCharacterForm) {
  const struct {
    BYTE in, upper, lower;
  } cases[] = {{'a', 'A', 'a'}, {'Z', 'Z', 'z'}, {'5', '5', '5'}, {0xE9, 0xC9, 0xE9},
               {0xC9, 0xC9, 0xE9}, {0xFF, 0x9F, 0xFF}, {0x9F, 0x9F, 0xFF}, {0xDF, 0xDF, 0xDF}};
  for (const auto& c : cases) {
    const LPSTR asPointer = reinterpret_cast<LPSTR>(static_cast<ULONG_PTR>(c.in));
    EXPECT_EQ(reinterpret_cast<ULONG_PTR>(CharUpperA(asPointer)), c.upper) << int(c.in);
    EXPECT_EQ(reinterpret_cast<ULONG_PTR>(CharLowerA(asPointer)), c.lower) << int(c.in);
  }
}

TEST(CaseMapping, BufferFormStopsAtTheCount) {
  char text[] = "abc\0def";
  EXPECT_EQ(CharUpperBuffA(text, 5), 5u);
  EXPECT_EQ(std::string(text, 7), std::string("ABC\0Def", 7));
}

TEST(Characters, NextAndPrevious) {
  const char text[] = "ab";
  EXPECT_EQ(CharNextA(text), text + 1);
  EXPECT_EQ(CharNextA(text + 2), text + 2);  // stays on the NUL
  EXPECT_EQ(CharPrevA(text, text + 2), text + 1);
  EXPECT_EQ(CharPrevA(text, text), text);
  for (int b = 0; b < 256; ++b) {
    EXPECT_FALSE(IsDBCSLeadByte(static_cast<BYTE>(b)));
    EXPECT_FALSE(IsDBCSLeadByteEx(kCp1252, static_cast<BYTE>(b)));
  }
}

int Sign(int v) { return (v > 0) - (v < 0); }

struct CompareCase {
  const char* a;
  const char* b;
  int exact;       // sign of lstrcmpA
  int ignoreCase;  // sign of lstrcmpiA
};

// Names as the server compares them: letters, digits and the path punctuation.
TEST(Comparison, Table) {
  const CompareCase cases[] = {
      {"abc", "abc", 0, 0},
      {"abc", "ABC", -1, 0},           // lower case first when otherwise equal
      {"ABC", "abc", 1, 0},
      {"aBc", "AbC", -1, 0},
      {"abc", "abd", -1, -1},
      {"ABC", "abd", -1, -1},          // the letter decides before the case
      {"ab", "abc", -1, -1},
      {"", "a", -1, -1},
      {"a1", "a2", -1, -1},
      {"9", "a", -1, -1},              // digits before letters
      {"Z", "a", 1, 1},
      {"a_b", "ab", -1, -1},           // punctuation before letters
      {"_", "1", -1, -1},              // and before digits
      {"a b", "a_b", -1, -1},
      {"a.b", "a_b", -1, -1},
      {"a/b", "a\\b", -1, -1},
      {"a.b", "a:b", -1, -1},
      {"ab", "a-b", -1, -1},           // hyphen and apostrophe count only when all else is equal
      {"a-c", "ab", 1, 1},
      {"it's", "its", 1, 1},
      {"A-B", "a-b", 1, 0},
      {"e", "\xE9", -1, -1},            // an accented letter sorts with its letter
      {"\xE9", "f", -1, -1},
      {"\xE9" "a", "eb", -1, -1},       // the letters decide before the accents
      {"\xC9", "\xE9", 1, 0},
      {"C:\\DIR\\FILE.MPF", "c:\\dir\\file.mpf", 1, 0},
      {"\xC9t\xC9", "\xE9t\xE9", 1, 0},  // accented letters fold too
  };
  for (const CompareCase& c : cases) {
    SCOPED_TRACE(std::string(c.a) + " vs " + c.b);
    EXPECT_EQ(Sign(lstrcmpA(c.a, c.b)), c.exact);
    EXPECT_EQ(Sign(lstrcmpA(c.b, c.a)), -c.exact);
    EXPECT_EQ(Sign(lstrcmpiA(c.a, c.b)), c.ignoreCase);
    EXPECT_EQ(CompareStringA(LOCALE_USER_DEFAULT, 0, c.a, -1, c.b, -1), c.exact + 2);
    EXPECT_EQ(CompareStringA(LOCALE_USER_DEFAULT, NORM_IGNORECASE, c.a, -1, c.b, -1), c.ignoreCase + 2);
  }
}

TEST(Comparison, CountsAndNulls) {
  EXPECT_EQ(CompareStringA(LOCALE_USER_DEFAULT, NORM_IGNORECASE, "abcdef", 3, "ABCxyz", 3), CSTR_EQUAL);
  EXPECT_EQ(CompareStringA(LOCALE_USER_DEFAULT, 0, "abc", 2, "abc", -1), CSTR_LESS_THAN);
  EXPECT_EQ(lstrcmpA(nullptr, nullptr), 0);
  EXPECT_LT(lstrcmpA(nullptr, "a"), 0);
  EXPECT_GT(lstrcmpiA("a", nullptr), 0);
  SetLastError(0);
  EXPECT_EQ(CompareStringA(LOCALE_USER_DEFAULT, 0, nullptr, -1, "a", -1), 0);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
}

TEST(Strings, LengthAndBoundedCopy) {
  EXPECT_EQ(lstrlenA(nullptr), 0);
  EXPECT_EQ(lstrlenW(nullptr), 0);
  EXPECT_EQ(lstrlenA("abc"), 3);
  EXPECT_EQ(lstrlenW(OLESTR("abcd")), 4);

  const struct {
    int max;
    const char* result;
  } cases[] = {{10, "hello"}, {6, "hello"}, {5, "hell"}, {1, ""}};
  for (const auto& c : cases) {
    char buffer[10] = "#########";
    EXPECT_EQ(lstrcpynA(buffer, "hello", c.max), buffer);
    EXPECT_STREQ(buffer, c.result) << c.max;
  }
  char untouched[4] = "xyz";
  EXPECT_EQ(lstrcpynA(untouched, "hello", 0), untouched);
  EXPECT_STREQ(untouched, "xyz");
}

}  // namespace
