// The profile functions against the rules Windows follows: natively against our layer, under Wine
// against Wine's kernel32. Each case sets up a file byte for byte, makes one call and checks the
// result, the buffer (up to the guard bytes after nSize), the last error where Windows sets one and,
// for writes, every byte of the file afterwards.
#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "scratch.h"

#if !defined(_WIN32)
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#endif

using namespace std::string_literals;

namespace {

const std::string kNoFile = "<no file>";  // as "before": the file does not exist; as "after": must not
const DWORD kUnset = 0xDEADu;             // the last error before each call
const size_t kGuard = 8;                  // bytes after nSize that must stay untouched

// A UTF-16LE file: the byte-order mark, then each unit as two bytes.
std::string Utf16(const std::u16string& text) {
  std::string bytes = "\xFF\xFE";
  for (char16_t u : text) bytes += static_cast<char>(u & 0xFF), bytes += static_cast<char>(u >> 8);
  return bytes;
}

// Arguments are passed in writable copies: Windows writes into empty name strings.
struct Arg {
  explicit Arg(const char* s) : null(!s), text(s ? s : "") {}
  char* get() { return null ? nullptr : text.data(); }
  bool null;
  std::string text;
};

struct Got {
  DWORD ret;
  std::string buffer;
  DWORD error;
  bool guardsIntact;
};

Got Get(const char* section, const char* key, const char* def, DWORD size, const std::string& file) {
  Arg s(section), k(key);
  std::string buffer(size + kGuard, 'Z');
  SetLastError(kUnset);
  Got got;
  got.ret = GetPrivateProfileStringA(s.get(), k.get(), def, buffer.data(), size, file.c_str());
  got.error = GetLastError();
  got.guardsIntact = buffer.substr(size) == std::string(kGuard, 'Z');
  got.buffer = buffer.substr(0, size);
  return got;
}

std::string NewFile(const std::string& hint, const std::string& bytes) {
  std::string path = zov::test::NewScratchFolder(hint) + "test.ini";
  if (bytes != kNoFile) {
    EXPECT_TRUE(zov::test::WriteFileBytes(path, bytes));
  }
  return path;
}

std::string FileBytes(const std::string& path) {
  std::string bytes;
  return zov::test::ReadFileBytes(path, &bytes) ? bytes : kNoFile;
}

// ---------------------------------------------------------------------------------------------
// GetPrivateProfileStringA

struct ReadCase {
  const char* name;
  std::string file;
  const char* section;
  const char* key;
  const char* def;
  DWORD size;
  DWORD ret;
  std::string expected;  // the buffer's first bytes
  DWORD error;           // 0: not checked
  const char* wine;      // why Wine differs, or null
};
void PrintTo(const ReadCase& c, std::ostream* os) { *os << c.name; }

const std::string kHello = "[s]\r\nk=hello\r\n";
const std::string kTwoSections = "[section1]\r\nname1=val1\r\nname2=\"val2\"\r\nname3\r\nname4=a\r\n[section2]\r\n";
const std::string kKeys = "[s]\r\nname1=val1\r\nname2=\r\nname3\r\n;c=1\r\n  ;d=2\r\nname4=val4\r\nname1=dup\r\n";

const ReadCase kReadCases[] = {
    // A: return value, buffer, default
    {"Value", kHello, "s", "k", "def", 100, 5, "hello\0"s, 0, nullptr},
    {"ValueCut", kHello, "s", "k", "def", 5, 4, "hell\0"s, 0, nullptr},
    {"ValueCutSetsMoreData", kHello, "s", "k", "def", 5, 4, "hell\0"s, ERROR_MORE_DATA, "Wine sets no error"},
    {"ValueExactFit", kHello, "s", "k", "def", 6, 5, "hello\0"s, 0, nullptr},
    {"ValueSize1", kHello, "s", "k", "def", 1, 0, "\0"s, 0, nullptr},
    {"ValueSize0TouchesNothing", kHello, "s", "k", "def", 0, 0, "", 0, nullptr},
    {"ValueSize0SetsMoreData", kHello, "s", "k", "def", 0, 0, "", ERROR_MORE_DATA, "Wine sets no error"},
    {"SectionsCut", kTwoSections, nullptr, "x", "def", 16, 14, "section1\0secti\0\0"s, 0, "Wine ends a cut list with one NUL"},
    {"SectionsCutCount", kTwoSections, nullptr, "x", "def", 16, 14, "section1\0"s, 0, nullptr},
    {"KeysCut", kTwoSections, "section1", nullptr, "def", 16, 14, "name1\0name2\0na\0\0"s, 0, "Wine ends a cut list with one NUL"},
    {"SectionsNeedOneSpareUnit", kTwoSections, nullptr, nullptr, "", 19, 17, "section1\0section2\0\0"s, 0, "Wine ends a cut list with one NUL"},
    {"SectionsWithSpareUnit", kTwoSections, nullptr, nullptr, "", 20, 18, "section1\0section2\0\0"s, 0, nullptr},
    {"ListSize2", kTwoSections, nullptr, nullptr, "", 2, 0, "\0"s, 0, nullptr},
    {"ListSize1", kTwoSections, nullptr, nullptr, "", 1, 0, "\0"s, 0, nullptr},
    {"DefaultNull", kHello, "s", "none", nullptr, 10, 0, "\0"s, 0, nullptr},
    {"DefaultTrailingSpaces", kHello, "s", "none", "abc   ", 10, 3, "abc\0"s, 0, nullptr},
    {"DefaultLeadingSpaces", kHello, "s", "none", "  abc", 10, 5, "  abc\0"s, 0, nullptr},
    {"DefaultTrailingTab", kHello, "s", "none", "abc\t", 10, 4, "abc\t\0"s, 0, nullptr},
    {"DefaultCut", kHello, "s", "none", "default", 4, 3, "def\0"s, 0, nullptr},
    {"DefaultKeepsQuotes", kHello, "s", "none", "\"q\"", 10, 3, "\"q\"\0"s, 0, "Wine strips quotes from the default"},
    {"MissingSection", kHello, "t", "k", "def", 10, 3, "def\0"s, 0, nullptr},
    {"MissingFile", kNoFile, "s", "k", "def", 10, 3, "def\0"s, ERROR_FILE_NOT_FOUND, nullptr},
    {"EmptyValueIsNotDefault", "[s]\r\nk=\r\n", "s", "k", "def", 10, 0, "\0"s, 0, nullptr},
    // B: parsing
    {"LfLines", "[s]\nk=lf\n", "s", "k", "", 10, 2, "lf\0"s, 0, nullptr},
    {"CrLines", "[s]\rk=cr\r", "s", "k", "", 10, 2, "cr\0"s, 0, nullptr},
    {"BlankLinesIgnored", "\r\n[s]\r\n\r\n  \r\nk=v\r\n", "s", "k", "", 10, 1, "v\0"s, 0, nullptr},
    {"KeyAndValueTrimmed", "[s]\r\n  k1  =  v  v  \r\n", "s", "k1", "", 10, 4, "v  v\0"s, 0, nullptr},
    {"TabsAndVtTrimmed", "[s]\r\n\tk\v=\t v\v\r\n", "s", "k", "", 10, 1, "v\0"s, 0, nullptr},
    {"SplitAtFirstEquals", "[s]\r\nk=a=b\r\n", "s", "k", "", 10, 3, "a=b\0"s, 0, nullptr},
    {"EmptyKeyName", "[s]\r\n=v\r\n", "s", "", "def", 10, 1, "v\0"s, 0, nullptr},
    {"ArgumentSpacesIgnored", "[s1]\r\nk1=v\r\n", " s1 ", " k1 ", "", 10, 1, "v\0"s, 0, nullptr},
    {"ArgumentTabsKept", "[s]\r\nk1=v\r\n", "s", "\tk1", "def", 10, 3, "def\0"s, 0, "Wine strips tabs from arguments"},
    {"DoubleQuotes", "[s]\r\nk=\"hello\"\r\n", "s", "k", "", 20, 5, "hello\0"s, 0, nullptr},
    {"SingleQuotes", "[s]\r\nk='hello'\r\n", "s", "k", "", 20, 5, "hello\0"s, 0, nullptr},
    {"QuotesKeepInnerSpaces", "[s]\r\nk=  \"  sp  \"  \r\n", "s", "k", "", 20, 6, "  sp  \0"s, 0, nullptr},
    {"OpeningQuoteOnly", "[s]\r\nk=\"hello\r\n", "s", "k", "", 20, 6, "\"hello\0"s, 0, nullptr},
    {"ClosingQuoteOnly", "[s]\r\nk=hello\"\r\n", "s", "k", "", 20, 6, "hello\"\0"s, 0, nullptr},
    {"InnerQuoteStays", "[s]\r\nk=\"a\"b\"\r\n", "s", "k", "", 20, 3, "a\"b\0"s, 0, nullptr},
    {"LoneQuote", "[s]\r\nk=\"\r\n", "s", "k", "", 20, 1, "\"\0"s, 0, nullptr},
    {"EmptyQuotes", "[s]\r\nk=\"\"\r\n", "s", "k", "def", 20, 0, "\0"s, 0, nullptr},
    {"OnePairOnly", "[s]\r\nk=\"\"dbl\"\"\r\n", "s", "k", "", 20, 5, "\"dbl\"\0"s, 0, nullptr},
    {"MixedQuotes", "[s]\r\nk='mixed\"\r\n", "s", "k", "", 20, 7, "'mixed\"\0"s, 0, nullptr},
    {"QuotesInside", "[s]\r\nk=x \"y\"\r\n", "s", "k", "", 20, 5, "x \"y\"\0"s, 0, nullptr},
    {"CommentNeverFound", "[s]\r\n;k=1\r\n", "s", ";k", "def", 10, 3, "def\0"s, 0, "Wine finds a comment by its text"},
    {"IndentedComment", "[s]\r\n \t;k=1\r\n", "s", ";k", "def", 10, 3, "def\0"s, 0, "Wine finds a comment by its text"},
    {"NoCommentAfterValue", "[s]\r\nm=v ; x\r\n", "s", "m", "", 10, 5, "v ; x\0"s, 0, nullptr},
    {"SemicolonValue", "[s]\r\nn=;semi\r\n", "s", "n", "", 10, 5, ";semi\0"s, 0, nullptr},
    {"HashIsAKey", "[s]\r\n#h=1\r\n", "s", "#h", "", 10, 1, "1\0"s, 0, nullptr},
    {"LineWithoutEquals", "[s]\r\nname3\r\n", "s", "name3", "def", 10, 3, "def\0"s, 0, nullptr},
    {"IndentedHeader", "  [s]\r\nk=1\r\n", "s", "k", "", 10, 1, "1\0"s, 0, nullptr},
    {"TextAfterHeader", "[s] junk=2\r\nk=1\r\n", "s", "k", "", 10, 1, "1\0"s, 0, nullptr},
    {"HeaderWithoutBracket", "[open   \r\nk=1\r\n", "open", "k", "def", 10, 1, "1\0"s, 0, "Wine ignores a header without ']'"},
    {"HeaderTrimmed", "[ sp ]\r\nk=1\r\n", "sp", "k", "", 10, 1, "1\0"s, 0, nullptr},
    {"HeaderEndsAtFirstBracket", "[a]b]\r\nk=1\r\n", "a", "k", "def", 10, 1, "1\0"s, 0, "Wine ends the name at the last ']'"},
    {"KeysBeforeHeaderUnreadable", "k=0\r\n[s]\r\n", "", "k", "def", 10, 3, "def\0"s, 0, "Wine reads them as section \"\""},
    {"EmptySectionName", "k=0\r\n[]\r\nk=1\r\n", "", "k", "def", 10, 1, "1\0"s, 0, "Wine reads the keys before the first header"},
    {"CaseInsensitive", "[SeC]\r\nKeY=VaL\r\n", "sec", "KEY", "", 10, 3, "VaL\0"s, 0, nullptr},
    {"CaseInsensitive1252", "[\xC4rger]\r\n\xE9t\xE9=1\r\n", "\xE4RGER", "\xC9T\xC9", "", 10, 1, "1\0"s, 0, "Wine folds ASCII letters only"},
    {"FirstDuplicateKey", "[s]\r\nk=1\r\nk=2\r\n", "s", "k", "", 10, 1, "1\0"s, 0, nullptr},
    {"FirstSectionOnly", "[s]\r\nk=1\r\n[S]\r\nj=4\r\n", "s", "j", "def", 10, 3, "def\0"s, 0, nullptr},
    // C: listing
    {"Sections", "[a]\r\n[bb]\r\nk=1\r\n[c]\r\n", nullptr, "k", "def", 20, 7, "a\0bb\0c\0\0"s, 0, nullptr},
    {"SectionDuplicatesListed", "[s]\r\n[S]\r\n", nullptr, nullptr, "", 20, 4, "s\0S\0\0"s, 0, nullptr},
    {"SectionsOfMissingFile", kNoFile, nullptr, nullptr, "def", 10, 0, "\0"s, ERROR_FILE_NOT_FOUND, nullptr},
    {"Keys", kKeys, "S", nullptr, "def", 40, 24, "name1\0name2\0name4\0name1\0\0"s, 0, nullptr},
    {"KeysOfMissingSection", kKeys, "t", nullptr, "def", 40, 3, "def\0"s, 0, nullptr},
    // D.11: encodings
    {"Utf16Value", Utf16(u"[s]\r\nk=v\u00E9\r\n"), "s", "k", "", 10, 2, "v\xE9\0"s, 0, nullptr},
    {"Utf16BestFit", Utf16(u"[s]\r\nk=\u0100\u4E00\r\n"), "s", "k", "", 10, 2, "A?\0"s, 0, nullptr},
    {"Utf16NamesMatchExactly", Utf16(u"[s]\r\n\u0100=1\r\n"), "s", "A", "def", 10, 3, "def\0"s, 0, nullptr},
    {"Utf16Sections", Utf16(u"[a]\r\n[b]\r\n"), nullptr, nullptr, "", 10, 4, "a\0b\0\0"s, 0, nullptr},
    {"Utf8MarkBreaksFirstHeader", "\xEF\xBB\xBF[s]\r\nk=1\r\n", "s", "k", "def", 10, 3, "def\0"s, 0, "Wine reads UTF-8"},
    {"Utf8MarkLaterHeaders", "\xEF\xBB\xBF[s]\r\nk=1\r\n[t]\r\nj=2\r\n", "t", "j", "def", 10, 1, "2\0"s, 0, nullptr},
};

class ReadRule : public ::testing::TestWithParam<ReadCase> {};

TEST_P(ReadRule, ReturnsAsWindows) {
  const ReadCase& c = GetParam();
  if (c.wine) ZOV_WINE_DEVIATION(c.wine);
  std::string path = NewFile(c.name, c.file);
  Got got = Get(c.section, c.key, c.def, c.size, path);
  EXPECT_EQ(c.ret, got.ret);
  EXPECT_EQ(c.expected, got.buffer.substr(0, c.expected.size()));
  EXPECT_TRUE(got.guardsIntact) << "written past nSize";
  if (c.error) {
    EXPECT_EQ(c.error, got.error);
  }
  EXPECT_EQ(c.file, FileBytes(path)) << "a read changed the file";
}

INSTANTIATE_TEST_SUITE_P(Profile, ReadRule, ::testing::ValuesIn(kReadCases),
                         [](const auto& info) { return std::string(info.param.name); });

// ---------------------------------------------------------------------------------------------
// WritePrivateProfileStringA

struct WriteCase {
  const char* name;
  std::string before;
  const char* section;
  const char* key;
  const char* value;
  BOOL ret;
  std::string after;
  DWORD error;  // 0: not checked
  const char* wine;
};
void PrintTo(const WriteCase& c, std::ostream* os) { *os << c.name; }

const std::string kApps = "[App1]\r\nkey1=string1\r\nkey2=string2\r\n[App2]\r\nkey4=string4\r\n";

const WriteCase kWriteCases[] = {
    {"CreatesFile", kNoFile, "s", "k", "v", TRUE, "[s]\r\nk=v\r\n", 0, nullptr},
    {"CreatingSetsFileNotFound", kNoFile, "s", "k", "v", TRUE, "[s]\r\nk=v\r\n", ERROR_FILE_NOT_FOUND, "Wine clears the error"},
    {"EmptyFile", "", "s", "k", "v", TRUE, "[s]\r\nk=v\r\n", 0, nullptr},
    {"EmptyValue", kNoFile, "App", "key", "", TRUE, "[App]\r\nkey=\r\n", 0, nullptr},
    {"NewSectionAtEnd", kApps, "App3", "key5", "string5", TRUE, kApps + "[App3]\r\nkey5=string5\r\n", 0, nullptr},
    {"NewSectionAfterLineBreak", "[a]\r\nx=1", "b", "k", "v", TRUE, "[a]\r\nx=1\r\n[b]\r\nk=v\r\n", 0, nullptr},
    {"NewKeyAfterLastKey", kApps, "app1", "key3", "string3", TRUE, "[App1]\r\nkey1=string1\r\nkey2=string2\r\nkey3=string3\r\n[App2]\r\nkey4=string4\r\n", 0, nullptr},
    {"NewKeyBeforeTrailingComment", "[s]\r\nk=1\r\n;c\r\n[t]\r\n", "s", "j", "2", TRUE, "[s]\r\nk=1\r\nj=2\r\n;c\r\n[t]\r\n", 0, "Wine adds after the comment"},
    {"NewKeyInEmptySection", "[s]\r\n[t]\r\n", "s", "j", "2", TRUE, "[s]\r\nj=2\r\n[t]\r\n", 0, nullptr},
    {"NewKeyAfterUnendedLine", "[s]\r\nk=1", "s", "j", "2", TRUE, "[s]\r\nk=1\r\nj=2\r\n", 0, nullptr},
    {"ChangeKeepsSpelling", "[Sec]\r\nKey=old\r\n", "SEC", "key", "new", TRUE, "[Sec]\r\nKey=new\r\n", 0, nullptr},
    {"ChangeFirstDuplicate", "[s]\r\nk=1\r\nk=2\r\n", "s", "k", "3", TRUE, "[s]\r\nk=3\r\nk=2\r\n", 0, nullptr},
    {"ChangeEndsUnendedLine", "[s]\r\nk=1", "s", "k", "2", TRUE, "[s]\r\nk=2\r\n", 0, nullptr},
    {"OtherLinesUntouched", "; top\n  [s]  x\n  a  =  1  \n\r\n;c\rk=old\r\nnoeq\n", "s", "k", "new", TRUE,
     "; top\n  [s]  x\n  a  =  1  \n\r\n;c\rk=new\r\nnoeq\n", 0, "Wine rewrites the whole file"},
    {"NulBytesKept", "Data \0 before \0 first \0 section"s, "section1", "key1", "string1", TRUE,
     "Data \0 before \0 first \0 section\r\n[section1]\r\nkey1=string1\r\n"s, 0, "Wine drops all after a NUL byte"},
    {"ValueAsGiven", kNoFile, "s", "k", "\"quoted\" ; x", TRUE, "[s]\r\nk=\"quoted\" ; x\r\n", 0, nullptr},
    {"NamesLoseSpacesOnly", kNoFile, "   sec   ", "  key  ", " value ", TRUE, "[sec]\r\nkey= value \r\n", 0, "Wine trims names and value its own way"},
    {"DeleteKey", kApps, "App1", "key2", nullptr, TRUE, "[App1]\r\nkey1=string1\r\n[App2]\r\nkey4=string4\r\n", 0, nullptr},
    {"DeleteMissingKey", kApps, "App1", "nokey", nullptr, TRUE, kApps, 0, nullptr},
    {"DeleteInMissingSection", kApps, "App9", "key1", nullptr, TRUE, kApps, 0, nullptr},
    {"DeleteLastKeyKeepsHeader", "[App3]\r\nkey5=string5\r\n", "App3", "key5", nullptr, TRUE, "[App3]\r\n", 0, nullptr},
    {"DeleteSection", kApps, "App1", nullptr, "ignored", TRUE, "[App2]\r\nkey4=string4\r\n", 0, nullptr},
    {"DeleteSectionKeepsComments", "[a]\r\nk=1\r\n;keep\r\nnoeq\r\n[b]\r\nx=1\r\n", "A", nullptr, nullptr, TRUE, ";keep\r\n[b]\r\nx=1\r\n", 0, "Wine drops the comments"},
    {"DeleteMissingSection", kApps, "App9", nullptr, nullptr, TRUE, kApps, 0, nullptr},
    {"DeleteOnMissingFileCreatesIt", kNoFile, "s", "k", nullptr, TRUE, "", 0, "Wine creates no file"},
    {"NullSectionFails", kApps, nullptr, "k", "v", FALSE, kApps, ERROR_FILE_NOT_FOUND, nullptr},
    {"NullSectionCreatesNothing", kNoFile, nullptr, "k", "v", FALSE, kNoFile, ERROR_FILE_NOT_FOUND, nullptr},
    {"AllNullFlushes", kApps, nullptr, nullptr, nullptr, TRUE, kApps, 0, "Wine fails the flush"},
    {"Utf16ChangeValue", Utf16(u"[s]\r\nk=1\r\n"), "s", "k", "\xE9", TRUE, Utf16(u"[s]\r\nk=\u00E9\r\n"), 0, nullptr},
    {"Utf16NewKey", Utf16(u"[s]\r\nk=1\r\n"), "s", "j", "2", TRUE, Utf16(u"[s]\r\nk=1\r\nj=2\r\n"), 0, nullptr},
    {"Utf16MarkOnly", Utf16(u""), "s", "k", "v", TRUE, Utf16(u"\r\n[s]\r\nk=v\r\n"), 0, "Wine adds no line break after the mark"},
};

class WriteRule : public ::testing::TestWithParam<WriteCase> {};

TEST_P(WriteRule, EditsAsWindows) {
  const WriteCase& c = GetParam();
  if (c.wine) ZOV_WINE_DEVIATION(c.wine);
  std::string path = NewFile(c.name, c.before);
  Arg s(c.section), k(c.key);
  SetLastError(kUnset);
  EXPECT_EQ(c.ret, WritePrivateProfileStringA(s.get(), k.get(), c.value, path.c_str()));
  if (c.error) {
    EXPECT_EQ(c.error, GetLastError());
  }
  EXPECT_EQ(c.after, FileBytes(path));
}

INSTANTIATE_TEST_SUITE_P(Profile, WriteRule, ::testing::ValuesIn(kWriteCases),
                         [](const auto& info) { return std::string(info.param.name); });

// ---------------------------------------------------------------------------------------------
// GetPrivateProfileIntA

struct IntCase {
  const char* name;
  std::string file;
  const char* section;
  const char* key;
  UINT expected;
};
void PrintTo(const IntCase& c, std::ostream* os) { *os << c.name; }

std::string IntFile(const char* value) { return "[s]\r\nk="s + value + "\r\n"; }

const IntCase kIntCases[] = {
    {"MinusOne", IntFile("-1"), "s", "k", 4294967295u},
    {"PlusOne", IntFile("+1"), "s", "k", 1},
    {"WrapsAt2To32", IntFile("4294967296"), "s", "k", 0},
    {"WrapsNegative", IntFile("-4294967297"), "s", "k", 4294967295u},
    {"StopsAtLetter", IntFile("42A94967297"), "s", "k", 42},
    {"LetterFirst", IntFile("B4294967297"), "s", "k", 0},
    {"TrailingLetters", IntFile("102abc"), "s", "k", 102},
    {"Blanks", IntFile("  42"), "s", "k", 42},
    {"Hex", IntFile("0x1F"), "s", "k", 31},
    {"UppercaseXIsNoPrefix", IntFile("0X1f"), "s", "k", 0},
    {"Octal", IntFile("0o17"), "s", "k", 15},
    {"Binary", IntFile("0b102"), "s", "k", 2},
    {"NegativeHex", IntFile("-0x10"), "s", "k", 4294967280u},
    {"LeadingZeroIsDecimal", IntFile("012"), "s", "k", 12},
    {"NotANumber", IntFile("abc"), "s", "k", 0},
    {"Fraction", IntFile("3.7"), "s", "k", 3},
    {"SpaceEnds", IntFile("1 2"), "s", "k", 1},
    {"SpaceAfterSign", IntFile(" - 5"), "s", "k", 0},
    {"Quoted", IntFile("\"42\""), "s", "k", 42},
    {"EmptyValueIsDefault", IntFile(""), "s", "k", 4294967294u},
    {"MissingKeyIsDefault", IntFile("1"), "s", "j", 4294967294u},
    {"MissingSectionIsDefault", IntFile("1"), "t", "k", 4294967294u},
    {"MissingFileIsDefault", kNoFile, "s", "k", 4294967294u},
    {"LineWithoutEqualsIsDefault", "[s]\r\nk\r\n", "s", "k", 4294967294u},
    {"ListingGivesFirstName", "[77]\r\n[5]\r\n", nullptr, "k", 77},
};

class IntRule : public ::testing::TestWithParam<IntCase> {};

TEST_P(IntRule, ParsesAsWindows) {
  const IntCase& c = GetParam();
  std::string path = NewFile(c.name, c.file);
  EXPECT_EQ(c.expected, GetPrivateProfileIntA(c.section, c.key, -2, path.c_str()));
}

INSTANTIATE_TEST_SUITE_P(Profile, IntRule, ::testing::ValuesIn(kIntCases),
                         [](const auto& info) { return std::string(info.param.name); });

// ---------------------------------------------------------------------------------------------
// File names, failures, freshness

TEST(Profile, BareNameIsInWindowsDirectory) {
  std::string name = "zovprofile-" + std::to_string(std::hash<std::string>()(zov::test::ScratchDir()) % 1000000) + ".ini";
  std::string inWindows = "C:\\WINDOWS\\" + name;
  DeleteFileA(inWindows.c_str());
  // A file of that name in the current directory is not the one read.
  std::string folder = zov::test::NewScratchFolder("bare");
  ASSERT_TRUE(zov::test::WriteFileBytes(folder + name, "[s]\r\nk=current\r\n"));
  char previous[MAX_PATH];
  GetCurrentDirectoryA(MAX_PATH, previous);
  ASSERT_TRUE(SetCurrentDirectoryA(folder.c_str()));
  EXPECT_EQ("def", Get("s", "k", "def", 10, name).buffer.substr(0, 3));
  EXPECT_TRUE(WritePrivateProfileStringA("s", "k", "windows", name.c_str()));
  SetCurrentDirectoryA(previous);
  EXPECT_EQ("[s]\r\nk=windows\r\n", FileBytes(inWindows));
  EXPECT_EQ("[s]\r\nk=current\r\n", FileBytes(folder + name));
  EXPECT_EQ(7u, Get("s", "k", "def", 10, name).ret);
  DeleteFileA(inWindows.c_str());
}

TEST(Profile, FailedWritesTouchNothing) {
  std::string folder = zov::test::NewScratchFolder("fail");
  SetLastError(kUnset);
  EXPECT_FALSE(WritePrivateProfileStringA("s", "k", "v", (folder + "nodir\\x.ini").c_str()));
  EXPECT_EQ(ERROR_PATH_NOT_FOUND, GetLastError());
  EXPECT_FALSE(zov::test::FileExists(folder + "nodir"));
  EXPECT_FALSE(WritePrivateProfileStringA("s", "k", "v", ""));
  EXPECT_EQ(ERROR_ACCESS_DENIED, GetLastError());
  EXPECT_FALSE(WritePrivateProfileStringA("s", "k", "v", folder.c_str()));
  EXPECT_EQ(ERROR_ACCESS_DENIED, GetLastError());
  // Climbing above the drive's root ends inside it (Windows) or nowhere (our layer): either way
  // there is no folder C:\etc and nothing is made.
  EXPECT_FALSE(WritePrivateProfileStringA("s", "k", "v", "C:\\..\\..\\etc\\zovprofile.ini"));
  EXPECT_EQ(ERROR_PATH_NOT_FOUND, GetLastError());
  Got got = Get("s", "k", "def", 10, "C:\\..\\..\\etc\\zovprofile.ini");
  EXPECT_EQ(3u, got.ret);
  EXPECT_EQ(ERROR_PATH_NOT_FOUND, got.error);
#if !defined(_WIN32)
  EXPECT_FALSE(std::filesystem::exists(std::string(ZovGetMachineFolder()) + "/../etc/zovprofile.ini"));
#endif
}

TEST(Profile, ReadsSeeTheFileAsItIsNow) {
  std::string path = NewFile("fresh", "[s]\r\nk=123\r\n");
  EXPECT_EQ(123u, GetPrivateProfileIntA("s", "k", 0, path.c_str()));
  ASSERT_TRUE(zov::test::WriteFileBytes(path, "[s]\r\nk=124\r\n"));
  EXPECT_EQ(124u, GetPrivateProfileIntA("s", "k", 0, path.c_str()));
  ASSERT_TRUE(DeleteFileA(path.c_str()));
  EXPECT_EQ(421u, GetPrivateProfileIntA("s", "k", 421, path.c_str()));
}

TEST(Profile, LongValueCutExactly) {
  std::string value(100000, 'x');
  value[1022] = 'y';
  std::string path = NewFile("long", "[s]\r\nk=" + value + "\r\n");
  Got got = Get("s", "k", "", 1024, path);
  EXPECT_EQ(1023u, got.ret);
  EXPECT_EQ(value.substr(0, 1023) + '\0', got.buffer);
  EXPECT_TRUE(got.guardsIntact);
}

TEST(Profile, KeysAddedInCallOrder) {
  std::string path = NewFile("order", "[s]\r\nb=value\r\na=value\r\n");
  for (const char* key : {"z", "b", "y", "a"}) ASSERT_TRUE(WritePrivateProfileStringA("s", key, "", path.c_str()));
  EXPECT_EQ("[s]\r\nb=\r\na=\r\nz=\r\ny=\r\n", FileBytes(path));
}

#if !defined(_WIN32)
// Our layer's own guarantees, beyond Windows.

// A link inside the machine never leads out of it, neither to a file nor to a folder.
TEST(ProfileLayer, LinksOutOfTheMachineAreNotFollowed) {
  std::string folder = zov::test::NewScratchFolder("links");
  zov::platform::ResolvedPath resolved;
  ASSERT_EQ(0u, zov::platform::ResolveWindowsPath(folder.c_str(), zov::platform::PathUse::Existing, &resolved));
  const std::string outside = std::string(ZovGetMachineFolder()) + "-outside";
  std::filesystem::create_directories(outside);
  const std::string secret = "[s]\r\nk=secret\r\n";
  {
    FILE* f = std::fopen((outside + "/secret.ini").c_str(), "wb");
    ASSERT_TRUE(f);
    std::fputs(secret.c_str(), f);
    std::fclose(f);
  }
  std::filesystem::create_symlink(outside + "/secret.ini", resolved.hostPath + "/link.ini");
  std::filesystem::create_symlink(outside, resolved.hostPath + "/linkdir");
  Got got = Get("s", "k", "def", 10, folder + "link.ini");
  EXPECT_EQ("def\0"s, got.buffer.substr(0, 4));
  EXPECT_EQ(ERROR_FILE_NOT_FOUND, got.error);
  EXPECT_FALSE(WritePrivateProfileStringA("s", "k", "v", (folder + "link.ini").c_str()));
  EXPECT_FALSE(WritePrivateProfileStringA("s", "k", "v", (folder + "linkdir\\new.ini").c_str()));
  EXPECT_EQ(ERROR_PATH_NOT_FOUND, GetLastError());
  EXPECT_EQ(std::filesystem::directory_iterator(outside)->path().filename(), "secret.ini");
  EXPECT_EQ(secret.size(), std::filesystem::file_size(outside + "/secret.ini"));
  EXPECT_TRUE(std::filesystem::is_symlink(resolved.hostPath + "/link.ini"));
  std::filesystem::remove_all(outside);
}

// A file replaced by a write keeps its permission bits; a read-only file is not replaced.
TEST(ProfileLayer, PermissionsKept) {
  std::string path = NewFile("mode", "[s]\r\nk=1\r\n");
  zov::platform::ResolvedPath resolved;
  ASSERT_EQ(0u, zov::platform::ResolveWindowsPath(path.c_str(), zov::platform::PathUse::Existing, &resolved));
  ASSERT_EQ(0, ::chmod(resolved.hostPath.c_str(), 0640));
  ASSERT_TRUE(WritePrivateProfileStringA("s", "k", "2", path.c_str()));
  struct stat st;
  ASSERT_EQ(0, ::stat(resolved.hostPath.c_str(), &st));
  EXPECT_EQ(0640u, st.st_mode & 07777);
  if (::geteuid() != 0) {  // the superuser may write anything
    ASSERT_EQ(0, ::chmod(resolved.hostPath.c_str(), 0440));
    EXPECT_FALSE(WritePrivateProfileStringA("s", "k", "3", path.c_str()));
    EXPECT_EQ(ERROR_ACCESS_DENIED, GetLastError());
    EXPECT_EQ("[s]\r\nk=2\r\n", FileBytes(path));
  }
}

#endif

}  // namespace
