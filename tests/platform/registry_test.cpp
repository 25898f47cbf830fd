// The registry below HKEY_CLASSES_ROOT: the same cases natively (the machine's registry.reg) and
// under Wine (the throw-away prefix's registry), each in a scratch key of its own that is removed
// afterwards. Natively also the file itself: its exact text, hand-edited input, and a second
// process seeing what the first wrote and the other way round.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "scratch.h"
#include "zov/win32.h"

#if !defined(_WIN32)
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#endif

namespace {

std::string UniqueKeyName() {
  static int counter = 0;
  return "ZovRegTest-" + std::to_string(zov::test::ProcessId()) + "-" + std::to_string(++counter);
}

// Deletes a key and everything below it.
void DeleteTree(HKEY parent, const std::string& name) {
  HKEY key = nullptr;
  if (RegOpenKeyExA(parent, name.c_str(), 0, KEY_ALL_ACCESS, &key) != ERROR_SUCCESS) return;
  for (;;) {
    char child[256];
    DWORD size = sizeof child;
    if (RegEnumKeyExA(key, 0, child, &size, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS)
      break;
    DeleteTree(key, child);
  }
  RegCloseKey(key);
  RegDeleteKeyA(parent, name.c_str());
}

// Closes a key when the case ends.
class Key {
 public:
  Key() = default;
  ~Key() { Reset(); }
  Key(const Key&) = delete;
  Key& operator=(const Key&) = delete;
  HKEY get() const { return key_; }
  HKEY release() {
    HKEY key = key_;
    key_ = nullptr;
    return key;
  }
  HKEY* out() {
    Reset();
    return &key_;
  }

 private:
  void Reset() {
    if (key_ && key_ != HKEY_CLASSES_ROOT) RegCloseKey(key_);
    key_ = nullptr;
  }
  HKEY key_ = nullptr;
};

LONG Create(HKEY parent, const char* name, Key* key, DWORD* disposition = nullptr) {
  return RegCreateKeyExA(parent, name, 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS, nullptr,
                         key->out(), disposition);
}

LONG SetString(HKEY key, const char* name, const std::string& text) {
  return RegSetValueExA(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                        static_cast<DWORD>(text.size() + 1));
}

LONG SetDword(HKEY key, const char* name, DWORD value) {
  return RegSetValueExA(key, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value), 4);
}

// A value's type and bytes as RegQueryValueExA gives them, or an empty string on failure.
std::string QueryA(HKEY key, const char* name, DWORD* type = nullptr) {
  BYTE data[512];
  DWORD size = sizeof data;
  if (RegQueryValueExA(key, name, nullptr, type, data, &size) != ERROR_SUCCESS) return "<none>";
  return std::string(reinterpret_cast<const char*>(data), size);
}

std::vector<std::string> SubkeysA(HKEY key) {
  std::vector<std::string> names;
  for (DWORD i = 0;; ++i) {
    char name[256];
    DWORD size = sizeof name;
    LONG error = RegEnumKeyExA(key, i, name, &size, nullptr, nullptr, nullptr, nullptr);
    if (error != ERROR_SUCCESS) {
      EXPECT_EQ(error, ERROR_NO_MORE_ITEMS);
      return names;
    }
    names.emplace_back(name, size);
  }
}

class Registry : public ::testing::Test {
 protected:
  void SetUp() override {
    zov::test::ScratchDir();  // natively: the machine whose registry.reg is used
    name_ = UniqueKeyName();
    DWORD disposition = 0;
    ASSERT_EQ(Create(HKEY_CLASSES_ROOT, name_.c_str(), &base_, &disposition), ERROR_SUCCESS);
    ASSERT_EQ(disposition, DWORD(REG_CREATED_NEW_KEY));
  }
  void TearDown() override {
    base_.out();
    DeleteTree(HKEY_CLASSES_ROOT, name_);
    Key gone;
    EXPECT_EQ(RegOpenKeyExA(HKEY_CLASSES_ROOT, name_.c_str(), 0, KEY_READ, gone.out()),
              ERROR_FILE_NOT_FOUND);
  }

  std::string name_;
  Key base_;
};

TEST_F(Registry, CreateMakesTheWholePathAndOpenFindsItInAnySpelling) {
  Key key;
  DWORD disposition = 0;
  ASSERT_EQ(Create(base_.get(), "Alpha\\Beta\\Gamma", &key, &disposition), ERROR_SUCCESS);
  EXPECT_EQ(disposition, DWORD(REG_CREATED_NEW_KEY));
  ASSERT_EQ(Create(base_.get(), "ALPHA\\beta\\gamma", &key, &disposition), ERROR_SUCCESS);
  EXPECT_EQ(disposition, DWORD(REG_OPENED_EXISTING_KEY));
  EXPECT_EQ(SubkeysA(base_.get()), std::vector<std::string>{"Alpha"});

  struct Case {
    HKEY parent;
    std::string path;
    LONG error;
  } cases[] = {
      {base_.get(), "alpha\\BETA\\Gamma", ERROR_SUCCESS},
      {base_.get(), "Alpha\\\\Beta\\", ERROR_SUCCESS},  // doubled and trailing '\' pass
      {base_.get(), "Alpha\\Missing", ERROR_FILE_NOT_FOUND},
      {base_.get(), "\\Alpha", ERROR_BAD_PATHNAME},  // a leading '\' only below the root
      {HKEY_CLASSES_ROOT, "\\" + name_ + "\\Alpha", ERROR_SUCCESS},
      {reinterpret_cast<HKEY>(0x1234), "x", ERROR_INVALID_HANDLE},
  };
  for (const auto& c : cases) {
    HKEY opened = reinterpret_cast<HKEY>(1);
    EXPECT_EQ(RegOpenKeyExA(c.parent, c.path.c_str(), 0, KEY_READ, &opened), c.error) << c.path;
    if (c.error == ERROR_SUCCESS) {
      RegCloseKey(opened);
    } else {
      EXPECT_EQ(opened, nullptr) << c.path;
    }
  }
  HKEY root = nullptr;
  EXPECT_EQ(RegOpenKeyExA(HKEY_CLASSES_ROOT, "", 0, KEY_READ, &root), ERROR_SUCCESS);
  EXPECT_EQ(root, HKEY_CLASSES_ROOT);
  EXPECT_EQ(RegCloseKey(HKEY_CLASSES_ROOT), ERROR_SUCCESS);
}

TEST_F(Registry, ValuesComeBackWithTheirTypeAndSize) {
  const char text[] = "abcd";
  const BYTE bytes[] = {1, 2, 0, 3};
  DWORD dword = 0x12345678;
  struct Case {
    const char* name;
    DWORD type;
    const void* data;
    DWORD size;
    std::string stored;  // the bytes RegQueryValueExA gives
    DWORD wideSize;      // the size RegQueryValueExW gives
  } cases[] = {
      {"WithNul", REG_SZ, text, 5, std::string("abcd\0", 5), 10},
      {"NulNotCounted", REG_SZ, text, 4, std::string("abcd\0", 5), 10},  // the NUL after counts
      {"Cut", REG_SZ, text, 2, "ab", 4},  // no NUL after the data: kept without one
      {"Empty", REG_SZ, text, 0, "", 0},
      {"Expand", REG_EXPAND_SZ, "%A%\\b", 6, std::string("%A%\\b\0", 6), 12},
      {"Dword", REG_DWORD, &dword, 4, std::string("\x78\x56\x34\x12", 4), 4},
      {"ShortDword", REG_DWORD, &dword, 2, std::string("\x78\x56", 2), 2},
      {"Binary", REG_BINARY, bytes, 4, std::string("\1\2\0\3", 4), 4},
      {nullptr, REG_SZ, "default", 8, std::string("default\0", 8), 16},
  };
  for (const auto& c : cases) {
    std::string label = c.name ? c.name : "(default)";
    ASSERT_EQ(RegSetValueExA(base_.get(), c.name, 0, c.type, static_cast<const BYTE*>(c.data),
                             c.size),
              ERROR_SUCCESS)
        << label;
    DWORD type = 99;
    DWORD size = 12345;
    EXPECT_EQ(RegQueryValueExA(base_.get(), c.name, nullptr, &type, nullptr, &size), ERROR_SUCCESS);
    EXPECT_EQ(type, c.type) << label;
    EXPECT_EQ(size, c.stored.size()) << label;
    EXPECT_EQ(QueryA(base_.get(), c.name), c.stored) << label;
    size = 12345;
    std::u16string wideName;
    for (const char* p = c.name ? c.name : ""; *p; ++p) wideName += static_cast<char16_t>(*p);
    EXPECT_EQ(RegQueryValueExW(base_.get(), reinterpret_cast<LPCWSTR>(wideName.c_str()), nullptr,
                               &type, nullptr, &size),
              ERROR_SUCCESS);
    EXPECT_EQ(size, c.wideSize) << label;
  }
  // A string kept without its NUL gets one after it when there is room (not counted).
  char buffer[8];
  std::memset(buffer, '#', sizeof buffer);
  DWORD size = sizeof buffer;
  EXPECT_EQ(RegQueryValueExA(base_.get(), "Cut", nullptr, nullptr, reinterpret_cast<BYTE*>(buffer),
                             &size),
            ERROR_SUCCESS);
  EXPECT_EQ(size, 2u);
  EXPECT_STREQ(buffer, "ab");
  // The empty name is the default value; a value set again is replaced.
  EXPECT_EQ(QueryA(base_.get(), ""), std::string("default\0", 8));
  ASSERT_EQ(SetString(base_.get(), "withnul", "new"), ERROR_SUCCESS);
  EXPECT_EQ(QueryA(base_.get(), "WITHNUL"), std::string("new\0", 4));
}

TEST_F(Registry, ShortBuffersAndSizeQueries) {
  ASSERT_EQ(SetString(base_.get(), "Text", "abc"), ERROR_SUCCESS);
  ASSERT_EQ(SetDword(base_.get(), "Number", 42), ERROR_SUCCESS);
  struct Case {
    bool wide;
    const char* name;
    bool withData;
    DWORD size;
    LONG error;
    DWORD sizeAfter;
  } cases[] = {
      {false, "Text", true, 3, ERROR_MORE_DATA, 4},
      {false, "Text", true, 0, ERROR_MORE_DATA, 4},
      {false, "Text", true, 4, ERROR_SUCCESS, 4},
      {false, "Text", false, 0, ERROR_SUCCESS, 4},
      {true, "Text", true, 7, ERROR_MORE_DATA, 8},
      {true, "Text", true, 8, ERROR_SUCCESS, 8},
      {true, "Text", false, 1, ERROR_SUCCESS, 8},
      {false, "Number", true, 3, ERROR_MORE_DATA, 4},
      {false, "Number", true, 4, ERROR_SUCCESS, 4},
      {false, "Missing", true, 16, ERROR_FILE_NOT_FOUND, 16},
  };
  for (const auto& c : cases) {
    BYTE data[16];
    DWORD size = c.size;
    DWORD type = 0;
    LONG error;
    if (c.wide) {
      std::u16string name(c.name, c.name + std::strlen(c.name));
      error = RegQueryValueExW(base_.get(), reinterpret_cast<LPCWSTR>(name.c_str()), nullptr,
                               &type, c.withData ? data : nullptr, &size);
    } else {
      error = RegQueryValueExA(base_.get(), c.name, nullptr, &type, c.withData ? data : nullptr,
                               &size);
    }
    std::string label = std::string(c.name) + (c.wide ? " W " : " A ") + std::to_string(c.size);
    EXPECT_EQ(error, c.error) << label;
    EXPECT_EQ(size, c.sizeAfter) << label;
    if (error != ERROR_FILE_NOT_FOUND) {
      EXPECT_EQ(type, DWORD(std::strcmp(c.name, "Text") == 0 ? REG_SZ : REG_DWORD)) << label;
    }
  }
  BYTE data[4];
  EXPECT_EQ(RegQueryValueExA(base_.get(), "Text", nullptr, nullptr, data, nullptr),
            ERROR_INVALID_PARAMETER);
  EXPECT_EQ(RegQueryValueExA(base_.get(), "Text", nullptr, nullptr, nullptr, nullptr),
            ERROR_SUCCESS);
}

TEST_F(Registry, DeletingKeysAndValues) {
  Key child;
  ASSERT_EQ(Create(base_.get(), "Parent\\Child", &child), ERROR_SUCCESS);
  ASSERT_EQ(SetString(base_.get(), "Value", "v"), ERROR_SUCCESS);
  struct Case {
    const char* what;
    LONG error;
    LONG (*act)(HKEY);
  } cases[] = {
      {"key with subkeys", ERROR_ACCESS_DENIED, [](HKEY k) { return RegDeleteKeyA(k, "Parent"); }},
      {"missing key", ERROR_FILE_NOT_FOUND, [](HKEY k) { return RegDeleteKeyA(k, "Nothing"); }},
      {"null subkey", ERROR_INVALID_PARAMETER, [](HKEY k) { return RegDeleteKeyA(k, nullptr); }},
      {"leaf key", ERROR_SUCCESS, [](HKEY k) { return RegDeleteKeyA(k, "parent\\child"); }},
      {"now empty parent", ERROR_SUCCESS, [](HKEY k) { return RegDeleteKeyA(k, "Parent"); }},
      {"value", ERROR_SUCCESS, [](HKEY k) { return RegDeleteValueA(k, "VALUE"); }},
      {"value again", ERROR_FILE_NOT_FOUND, [](HKEY k) { return RegDeleteValueA(k, "Value"); }},
      {"missing default", ERROR_FILE_NOT_FOUND, [](HKEY k) { return RegDeleteValueA(k, nullptr); }},
  };
  for (const auto& c : cases) EXPECT_EQ(c.act(base_.get()), c.error) << c.what;
  EXPECT_TRUE(SubkeysA(base_.get()).empty());
  EXPECT_EQ(QueryA(base_.get(), "Value"), "<none>");
}

TEST_F(Registry, AHandleToADeletedKeyStaysDeleted) {
  Key gone;
  ASSERT_EQ(Create(base_.get(), "Gone", &gone), ERROR_SUCCESS);
  ASSERT_EQ(RegDeleteKeyA(gone.get(), ""), ERROR_SUCCESS);  // an empty subkey: the key itself
  Key again;
  ASSERT_EQ(Create(base_.get(), "Gone", &again), ERROR_SUCCESS);  // a new key of the same name
  BYTE data[8];
  DWORD size = sizeof data;
  char name[8];
  DWORD nameSize = sizeof name;
  Key sub;
  EXPECT_EQ(RegQueryValueExA(gone.get(), "x", nullptr, nullptr, data, &size), ERROR_KEY_DELETED);
  EXPECT_EQ(SetString(gone.get(), "x", "y"), ERROR_KEY_DELETED);
  EXPECT_EQ(Create(gone.get(), "Sub", &sub), ERROR_KEY_DELETED);
  EXPECT_EQ(RegOpenKeyExA(gone.get(), "", 0, KEY_READ, sub.out()), ERROR_KEY_DELETED);
  EXPECT_EQ(RegEnumKeyExA(gone.get(), 0, name, &nameSize, nullptr, nullptr, nullptr, nullptr),
            ERROR_KEY_DELETED);
  EXPECT_EQ(RegDeleteValueA(gone.get(), "x"), ERROR_KEY_DELETED);
  EXPECT_EQ(RegDeleteKeyA(gone.get(), ""), ERROR_KEY_DELETED);
  EXPECT_EQ(QueryA(again.get(), "x"), "<none>");  // the new key was not touched
  HKEY raw = gone.release();
  EXPECT_EQ(RegCloseKey(raw), ERROR_SUCCESS);
  EXPECT_EQ(RegCloseKey(raw), ERROR_INVALID_HANDLE);
}

TEST_F(Registry, SubkeysEnumerateInOrderOfTheirNames) {
  for (const char* name : {"b", "A", "a1", "Z", "c10", "C9"}) {
    Key key;
    ASSERT_EQ(Create(base_.get(), name, &key), ERROR_SUCCESS) << name;
  }
  EXPECT_EQ(SubkeysA(base_.get()), (std::vector<std::string>{"A", "a1", "b", "c10", "C9", "Z"}));

  char name[8];
  char keyClass[8] = "zz";
  DWORD classSize = sizeof keyClass;
  DWORD size = 2;  // "a1" and its NUL need 3
  EXPECT_EQ(RegEnumKeyExA(base_.get(), 1, name, &size, nullptr, nullptr, nullptr, nullptr),
            ERROR_MORE_DATA);
  EXPECT_EQ(size, 2u);
  size = 3;
  FILETIME written{};
  EXPECT_EQ(RegEnumKeyExA(base_.get(), 1, name, &size, nullptr, keyClass, &classSize, &written),
            ERROR_SUCCESS);
  EXPECT_EQ(size, 2u);
  EXPECT_STREQ(name, "a1");
  EXPECT_STREQ(keyClass, "");
  EXPECT_EQ(classSize, 0u);
  EXPECT_NE(written.dwHighDateTime, 0u);
  size = sizeof name;
  EXPECT_EQ(RegEnumKeyExA(base_.get(), 6, name, &size, nullptr, nullptr, nullptr, nullptr),
            ERROR_NO_MORE_ITEMS);
}

TEST_F(Registry, SubkeysSortByUpperCaseNames) {
  ZOV_WINE_DEVIATION("Wine sorts subkeys by their lower-case names; Windows upper-cases them");
  for (const char* name : {"_x", "Z", "a"}) {
    Key key;
    ASSERT_EQ(Create(base_.get(), name, &key), ERROR_SUCCESS) << name;
  }
  EXPECT_EQ(SubkeysA(base_.get()), (std::vector<std::string>{"a", "Z", "_x"}));
}

TEST_F(Registry, WideAndAnsiFormsAgree) {
  Key wide;
  ASSERT_EQ(RegCreateKeyExW(base_.get(), reinterpret_cast<LPCWSTR>(u"Wide\u00C9"), 0, nullptr,
                            REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS, nullptr, wide.out(), nullptr),
            ERROR_SUCCESS);
  EXPECT_EQ(SubkeysA(base_.get()), std::vector<std::string>{"Wide\xC9"});
  Key narrow;
  EXPECT_EQ(RegOpenKeyExA(base_.get(), "WIDE\xC9", 0, KEY_ALL_ACCESS, narrow.out()), ERROR_SUCCESS);

  const char16_t text[] = u"caf\u00E9";
  ASSERT_EQ(RegSetValueExW(wide.get(), reinterpret_cast<LPCWSTR>(u"W"), 0, REG_SZ,
                           reinterpret_cast<const BYTE*>(text), sizeof text),
            ERROR_SUCCESS);
  EXPECT_EQ(QueryA(narrow.get(), "w"), std::string("caf\xE9\0", 5));
  ASSERT_EQ(SetString(narrow.get(), "A", "\xC0 la"), ERROR_SUCCESS);
  char16_t back[8] = {};
  DWORD size = sizeof back;
  DWORD type = 0;
  EXPECT_EQ(RegQueryValueExW(wide.get(), reinterpret_cast<LPCWSTR>(u"a"), nullptr, &type,
                             reinterpret_cast<BYTE*>(back), &size),
            ERROR_SUCCESS);
  EXPECT_EQ(type, DWORD(REG_SZ));
  EXPECT_EQ(size, 10u);
  EXPECT_EQ(std::u16string(back), u"\u00C0 la");

  char16_t name[8];
  DWORD nameSize = 5;  // five characters and no room for the NUL
  EXPECT_EQ(RegEnumKeyExW(base_.get(), 0, reinterpret_cast<LPWSTR>(name), &nameSize, nullptr,
                          nullptr, nullptr, nullptr),
            ERROR_MORE_DATA);
  nameSize = 8;
  EXPECT_EQ(RegEnumKeyExW(base_.get(), 0, reinterpret_cast<LPWSTR>(name), &nameSize, nullptr,
                          nullptr, nullptr, nullptr),
            ERROR_SUCCESS);
  EXPECT_EQ(nameSize, 5u);
  EXPECT_EQ(std::u16string(name), u"Wide\u00C9");

  EXPECT_EQ(RegDeleteValueW(narrow.get(), reinterpret_cast<LPCWSTR>(u"W")), ERROR_SUCCESS);
  EXPECT_EQ(QueryA(wide.get(), "W"), "<none>");
  EXPECT_EQ(RegDeleteKeyW(base_.get(), reinterpret_cast<LPCWSTR>(u"wide\u00E9")), ERROR_SUCCESS);
  EXPECT_TRUE(SubkeysA(base_.get()).empty());
}

TEST_F(Registry, AKeyDoesWhatItWasOpenedFor) {
  ASSERT_EQ(SetString(base_.get(), "v", "x"), ERROR_SUCCESS);
  Key sub;
  ASSERT_EQ(Create(base_.get(), "Sub", &sub), ERROR_SUCCESS);
  const LONG ok = ERROR_SUCCESS, denied = ERROR_ACCESS_DENIED;
  struct Case {
    REGSAM access;
    LONG query, set, enumerate;
  } cases[] = {
      {KEY_READ, ok, denied, ok},
      {KEY_WRITE, denied, ok, denied},
      {KEY_QUERY_VALUE, ok, denied, denied},
      {0x80000000 /* GENERIC_READ */, ok, denied, ok},
      {KEY_ALL_ACCESS, ok, ok, ok},
  };
  for (const auto& c : cases) {
    Key key;
    ASSERT_EQ(RegOpenKeyExA(HKEY_CLASSES_ROOT, name_.c_str(), 0, c.access, key.out()), ok);
    DWORD size = 0;
    char name[8];
    DWORD nameSize = sizeof name;
    EXPECT_EQ(RegQueryValueExA(key.get(), "v", nullptr, nullptr, nullptr, &size), c.query)
        << c.access;
    EXPECT_EQ(SetString(key.get(), "v", "y"), c.set) << c.access;
    EXPECT_EQ(RegEnumKeyExA(key.get(), 0, name, &nameSize, nullptr, nullptr, nullptr, nullptr),
              c.enumerate)
        << c.access;
  }
}

TEST_F(Registry, FailuresLeaveTheLastErrorAlone) {
  SetLastError(0xdead);
  Key key;
  EXPECT_EQ(RegOpenKeyExA(base_.get(), "Missing", 0, KEY_READ, key.out()), ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(RegDeleteValueA(base_.get(), "Missing"), ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(GetLastError(), 0xdeadu);
}

#if !defined(_WIN32)
// ---- Natively: the file itself ----------------------------------------------------------------

std::string ReadPosix(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream out;
  out << in.rdbuf();
  return out.str();
}

void WritePosix(const std::string& path, const std::string& text) {
  std::ofstream(path, std::ios::binary | std::ios::trunc) << text;
}

// A machine of its own for one case, so that the file holds nothing but what the case wrote.
class RegistryFile : public ::testing::Test {
 protected:
  void SetUp() override {
    previous_ = ZovGetMachineFolder();
    std::string folder = previous_ + "/registry-case-XXXXXX";
    ASSERT_NE(::mkdtemp(folder.data()), nullptr);
    std::filesystem::create_directories(folder + "/drive_c");
    ASSERT_TRUE(ZovSetMachineFolder(folder.c_str()));
    folder_ = folder;
    file_ = folder + "/registry.reg";
  }
  void TearDown() override { ZovSetMachineFolder(previous_.c_str()); }

  std::string previous_;
  std::string folder_;
  std::string file_;
};

TEST_F(RegistryFile, ChangesWriteASortedStableFile) {
  Key missing;
  EXPECT_EQ(RegOpenKeyExA(HKEY_CLASSES_ROOT, "Anything", 0, KEY_READ, missing.out()),
            ERROR_FILE_NOT_FOUND);
  EXPECT_FALSE(std::filesystem::exists(file_));  // reading makes no file

  Key zeta, alpha, gone;
  ASSERT_EQ(Create(HKEY_CLASSES_ROOT, "Zeta\\Inner", &zeta), ERROR_SUCCESS);
  ASSERT_EQ(SetString(zeta.get(), nullptr, "C:\\Program Files\\Z \"quoted\""), ERROR_SUCCESS);
  ASSERT_EQ(SetDword(zeta.get(), "Count", 42), ERROR_SUCCESS);
  ASSERT_EQ(Create(HKEY_CLASSES_ROOT, "alpha", &alpha), ERROR_SUCCESS);
  const char expand[] = "%A%";
  ASSERT_EQ(RegSetValueExA(alpha.get(), "Path", 0, REG_EXPAND_SZ,
                           reinterpret_cast<const BYTE*>(expand), sizeof expand),
            ERROR_SUCCESS);
  const BYTE bytes[] = {0x00, 0xFF, 0x10};
  ASSERT_EQ(RegSetValueExA(alpha.get(), "bytes", 0, REG_BINARY, bytes, sizeof bytes), ERROR_SUCCESS);
  ASSERT_EQ(SetString(alpha.get(), "ZLast", "z"), ERROR_SUCCESS);
  ASSERT_EQ(SetString(alpha.get(), "apple", "a"), ERROR_SUCCESS);
  ASSERT_EQ(SetString(alpha.get(), "APPLE", "b"), ERROR_SUCCESS);
  ASSERT_EQ(RegSetValueExA(alpha.get(), "cut", 0, REG_SZ, reinterpret_cast<const BYTE*>("abc"), 2),
            ERROR_SUCCESS);
  ASSERT_EQ(SetString(alpha.get(), "lines", "one\r\ntwo"), ERROR_SUCCESS);
  ASSERT_EQ(SetString(alpha.get(), "temp", "t"), ERROR_SUCCESS);
  ASSERT_EQ(RegDeleteValueA(alpha.get(), "temp"), ERROR_SUCCESS);
  ASSERT_EQ(Create(HKEY_CLASSES_ROOT, "Beta\\Gone", &gone), ERROR_SUCCESS);
  ASSERT_EQ(RegDeleteKeyA(HKEY_CLASSES_ROOT, "Beta\\Gone"), ERROR_SUCCESS);

  EXPECT_EQ(ReadPosix(file_),
            "REGEDIT4\r\n"
            "\r\n"
            "[HKEY_CLASSES_ROOT\\alpha]\r\n"
            "\"apple\"=\"b\"\r\n"
            "\"bytes\"=hex:00,ff,10\r\n"
            "\"cut\"=hex(1):61,62\r\n"
            "\"lines\"=hex(1):6f,6e,65,0d,0a,74,77,6f,00\r\n"
            "\"Path\"=hex(2):25,41,25,00\r\n"
            "\"ZLast\"=\"z\"\r\n"
            "\r\n"
            "[HKEY_CLASSES_ROOT\\Beta]\r\n"
            "\r\n"
            "[HKEY_CLASSES_ROOT\\Zeta]\r\n"
            "\r\n"
            "[HKEY_CLASSES_ROOT\\Zeta\\Inner]\r\n"
            "@=\"C:\\\\Program Files\\\\Z \\\"quoted\\\"\"\r\n"
            "\"Count\"=dword:0000002a\r\n"
            "\r\n");
  // No temporary file is left beside it.
  for (const auto& entry : std::filesystem::directory_iterator(folder_)) {
    std::string name = entry.path().filename().string();
    EXPECT_TRUE(name == "drive_c" || name == "registry.reg") << name;
  }
}

TEST_F(RegistryFile, HandEditedInputIsReadAndWrittenBackInItsOwnForm) {
  WritePosix(file_,
             "; made by hand\n"
             "REGEDIT4\r\n"
             "\n"
             "[hkey_classes_root\\HandKey]\r\n"
             "@ = \"default\"   ; a comment after the value\n"
             "\"Number\"=DWORD:0000002A\n"
             "\n"
             "  ; an indented comment\n"
             "[HandKey\\Sub]\n"
             "\"Bin\"=hex:01,02,\\\n"
             "  03\n"
             "\"Quote\"=\"a \\\"b\\\" \\\\c\"\r\n");
  Key sub;
  ASSERT_EQ(RegOpenKeyExA(HKEY_CLASSES_ROOT, "HANDKEY\\sub", 0, KEY_READ, sub.out()),
            ERROR_SUCCESS);
  Key hand;
  ASSERT_EQ(RegOpenKeyExA(HKEY_CLASSES_ROOT, "HandKey", 0, KEY_ALL_ACCESS, hand.out()),
            ERROR_SUCCESS);
  EXPECT_EQ(SubkeysA(hand.get()), std::vector<std::string>{"Sub"});
  DWORD type = 0;
  EXPECT_EQ(QueryA(hand.get(), nullptr), std::string("default\0", 8));
  EXPECT_EQ(QueryA(hand.get(), "Number", &type), std::string("\x2a\0\0\0", 4));
  EXPECT_EQ(type, DWORD(REG_DWORD));
  EXPECT_EQ(QueryA(sub.get(), "Bin", &type), "\x01\x02\x03");
  EXPECT_EQ(type, DWORD(REG_BINARY));
  EXPECT_EQ(QueryA(sub.get(), "Quote"), std::string("a \"b\" \\c\0", 9));

  ASSERT_EQ(SetDword(hand.get(), "Number", 7), ERROR_SUCCESS);
  EXPECT_EQ(ReadPosix(file_),
            "REGEDIT4\r\n"
            "\r\n"
            "[HKEY_CLASSES_ROOT\\HandKey]\r\n"
            "@=\"default\"\r\n"
            "\"Number\"=dword:00000007\r\n"
            "\r\n"
            "[HKEY_CLASSES_ROOT\\HandKey\\Sub]\r\n"
            "\"Bin\"=hex:01,02,03\r\n"
            "\"Quote\"=\"a \\\"b\\\" \\\\c\"\r\n"
            "\r\n");
}

TEST_F(RegistryFile, AMalformedFileIsNeitherGuessedAtNorOverwritten) {
  const char* cases[] = {
      "[HKEY_CLASSES_ROOT\\X]\r\n",                          // no REGEDIT4 line
      "REGEDIT4\r\n\"v\"=\"x\"\r\n",                          // a value before any key
      "REGEDIT4\r\n[X]\r\n@=\"C:\\dir\"\r\n",                 // '\' not doubled
      "REGEDIT4\r\n[X]\r\n@=\"open\r\n",                      // no closing quote
      "REGEDIT4\r\n[HKEY_LOCAL_MACHINE\\X]\r\n",              // another root
      "REGEDIT4\r\n[X]\r\n@=dword:123456789\r\n",             // nine digits
      "REGEDIT4\r\n[X]\r\n@=hex:01,zz\r\n",                   // not a byte
      "REGEDIT4\r\n[X]\r\njunk\r\n",                          // not a line of the format
      "REGEDIT4\r\n[X\r\n",                                   // no closing bracket
      "REGEDIT4\r\n[-X]\r\n",                                 // a deletion
  };
  for (const char* text : cases) {
    WritePosix(file_, text);
    Key key;
    EXPECT_EQ(RegOpenKeyExA(HKEY_CLASSES_ROOT, "X", 0, KEY_READ, key.out()), ERROR_BADDB) << text;
    EXPECT_EQ(SetString(HKEY_CLASSES_ROOT, "v", "x"), ERROR_BADDB) << text;
    EXPECT_EQ(ReadPosix(file_), text);
  }
}

// The second process: reads what the first wrote, writes an answer, exits 0 when all went well.
// It runs before main() when the test below starts this executable with ZOV_REGISTRY_CHILD set.
[[maybe_unused]] const bool g_registryChild = [] {
  const char* machine = std::getenv("ZOV_REGISTRY_CHILD");
  if (!machine) return false;
  int status = 1;
  HKEY key = nullptr;
  if (ZovSetMachineFolder(machine) &&
      RegOpenKeyExA(HKEY_CLASSES_ROOT, "Shared", 0, KEY_ALL_ACCESS, &key) == ERROR_SUCCESS) {
    char text[64];
    DWORD size = sizeof text;
    if (RegQueryValueExA(key, "FromFirst", nullptr, nullptr, reinterpret_cast<BYTE*>(text),
                         &size) == ERROR_SUCCESS &&
        std::string(text) == "hello" && SetString(key, "FromSecond", "answer") == ERROR_SUCCESS)
      status = 0;
    RegCloseKey(key);
  }
  std::_Exit(status);
}();

TEST_F(RegistryFile, AnotherProcessSeesWhatWasWrittenAndTheAnswerIsSeenHere) {
  Key shared;
  ASSERT_EQ(Create(HKEY_CLASSES_ROOT, "Shared", &shared), ERROR_SUCCESS);
  ASSERT_EQ(SetString(shared.get(), "FromFirst", "hello"), ERROR_SUCCESS);
  EXPECT_EQ(QueryA(shared.get(), "FromSecond"), "<none>");

  std::string machine = ZovGetMachineFolder();
  pid_t child = ::fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    ::setenv("ZOV_REGISTRY_CHILD", machine.c_str(), 1);
    ::execl("/proc/self/exe", "registry-child", static_cast<char*>(nullptr));
    std::_Exit(127);
  }
  int status = 0;
  ASSERT_EQ(::waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 0);
  EXPECT_EQ(QueryA(shared.get(), "FromSecond"), std::string("answer\0", 7));
}
#endif

}  // namespace
