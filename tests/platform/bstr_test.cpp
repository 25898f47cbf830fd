// BSTR allocation: lengths, the length prefix, the terminator, null handling and reallocation,
// the same against our layer and, under Wine, against oleaut32. Raw SysFreeString is used here on
// purpose: these tests are about the allocator itself.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "scratch.h"
#include "zov/win32.h"

namespace {

using WString = std::basic_string<WCHAR>;

UINT PrefixOf(BSTR b) {
  UINT prefix;
  std::memcpy(&prefix, reinterpret_cast<const char*>(b) - 4, sizeof(prefix));
  return prefix;
}

// Checks the layout of a BSTR: the byte length in the 4 bytes before the first character and two
// zero bytes right after the last byte.
void ExpectLayout(BSTR b, UINT bytes) {
  ASSERT_NE(b, nullptr);
  EXPECT_EQ(PrefixOf(b), bytes);
  EXPECT_EQ(SysStringByteLen(b), bytes);
  EXPECT_EQ(SysStringLen(b), bytes / 2);
  const char* raw = reinterpret_cast<const char*>(b);
  EXPECT_EQ(raw[bytes], '\0');
  EXPECT_EQ(raw[bytes + 1], '\0');
}

struct AllocCase {
  const char* name;
  const WCHAR* text;
  int count;        // -1: SysAllocString, else SysAllocStringLen(text, count)
  UINT bytes;
  WString content;  // checked when text is not null
};

TEST(Bstr, AllocationTable) {
  const AllocCase cases[] = {
      {"empty", OLESTR(""), -1, 0, WString()},
      {"word", OLESTR("hello"), -1, 10, OLESTR("hello")},
      {"prefix of a longer string", OLESTR("abcdef"), 3, 6, OLESTR("abc")},
      {"embedded NUL kept", OLESTR("ab\0cd"), 5, 10, WString(OLESTR("ab\0cd"), 5)},
      {"no characters", OLESTR("abc"), 0, 0, WString()},
      {"no source", nullptr, 4, 8, WString()},
  };
  for (const AllocCase& c : cases) {
    SCOPED_TRACE(c.name);
    BSTR b = c.count < 0 ? SysAllocString(c.text) : SysAllocStringLen(c.text, static_cast<UINT>(c.count));
    ExpectLayout(b, c.bytes);
    if (c.text) {
      EXPECT_EQ(WString(b, SysStringLen(b)), c.content);
    }
    SysFreeString(b);
  }
}

struct ByteLenCase {
  const char* name;
  const char* bytes;
  UINT length;
};

// Byte-length strings keep exactly the bytes given; an odd length still ends in two zero bytes.
TEST(Bstr, ByteLengthTable) {
  const ByteLenCase cases[] = {
      {"odd", "abc", 3},
      {"even", "abcd", 4},
      {"one byte", "x", 1},
      {"empty", "", 0},
      {"stops at the length, not at NUL", "ab\0cd", 5},
      {"no source", nullptr, 5},
  };
  for (const ByteLenCase& c : cases) {
    SCOPED_TRACE(c.name);
    BSTR b = SysAllocStringByteLen(c.bytes, c.length);
    ExpectLayout(b, c.length);
    if (c.bytes) {
      EXPECT_EQ(std::memcmp(b, c.bytes, c.length), 0);
    }
    SysFreeString(b);
  }
}

TEST(Bstr, NullMeansEmpty) {
  EXPECT_EQ(SysAllocString(nullptr), nullptr);
  EXPECT_EQ(SysStringLen(nullptr), 0u);
  EXPECT_EQ(SysStringByteLen(nullptr), 0u);
  SysFreeString(nullptr);  // ignored
}

TEST(Bstr, TooLongFails) {
  EXPECT_EQ(SysAllocStringLen(nullptr, 0x80000000u), nullptr);
  EXPECT_EQ(SysAllocStringLen(nullptr, 0x7FFFFFFEu), nullptr);
  EXPECT_EQ(SysAllocStringByteLen(nullptr, 0xFFFFFFFEu), nullptr);
}

struct ReAllocCase {
  const char* name;
  const WCHAR* initial;  // null: start from a null BSTR
  const WCHAR* source;
  int count;             // -1: SysReAllocString, else SysReAllocStringLen
  bool resultIsNull;
  WString content;
};

TEST(Bstr, ReAllocationTable) {
  const ReAllocCase cases[] = {
      {"longer", OLESTR("ab"), OLESTR("abcdefgh"), -1, false, OLESTR("abcdefgh")},
      {"shorter", OLESTR("abcdefgh"), OLESTR("x"), -1, false, OLESTR("x")},
      {"from null", nullptr, OLESTR("new"), -1, false, OLESTR("new")},
      {"to null", OLESTR("old"), nullptr, -1, true, WString()},
      {"counted", OLESTR("old"), OLESTR("xyz"), 2, false, OLESTR("xy")},
      {"counted from null", nullptr, OLESTR("abc"), 2, false, OLESTR("ab")},
      {"counted, no source, shorter: keeps the start", OLESTR("hello"), nullptr, 3, false, OLESTR("hel")},
  };
  for (const ReAllocCase& c : cases) {
    SCOPED_TRACE(c.name);
    BSTR b = c.initial ? SysAllocString(c.initial) : nullptr;
    const INT ok = c.count < 0 ? SysReAllocString(&b, c.source)
                               : SysReAllocStringLen(&b, c.source, static_cast<UINT>(c.count));
    EXPECT_TRUE(ok);
    if (c.resultIsNull) {
      EXPECT_EQ(b, nullptr);
    } else {
      ExpectLayout(b, static_cast<UINT>(c.content.size() * 2));
      EXPECT_EQ(WString(b, SysStringLen(b)), c.content);
    }
    SysFreeString(b);
  }
}

TEST(Bstr, ReAllocationFromItsOwnCharacters) {
  BSTR b = SysAllocString(OLESTR("abcdef"));
  EXPECT_TRUE(SysReAllocString(&b, b + 2));
  EXPECT_EQ(WString(b, SysStringLen(b)), WString(OLESTR("cdef")));
  EXPECT_TRUE(SysReAllocStringLen(&b, b + 1, 2));
  EXPECT_EQ(WString(b, SysStringLen(b)), WString(OLESTR("de")));
  SysFreeString(b);
}

TEST(Bstr, ReAllocationNeedsTheOutParameter) {
  EXPECT_FALSE(SysReAllocString(nullptr, OLESTR("x")));
}

}  // namespace
