// Registry scripts: the parser over good and malformed scripts, and registration and
// unregistration against HKEY_CLASSES_ROOT (natively the scratch machine's registry, under Wine
// the prefix's), always below key names of this process's own.
#include "registry_script.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <set>
#include <string>
#include <vector>

#include "class_keys.h"
#include "scratch.h"

namespace {

using zov::registration::ApplyRegistryScript;
using zov::registration::DeleteKeyTree;
using zov::registration::KeyFlag;
using zov::registration::ParseRegistryScript;
using zov::registration::RegistryScript;
using zov::registration::RegisterScript;
using zov::registration::Replacements;
using zov::registration::ScriptError;
using zov::registration::ScriptKey;
using zov::registration::UnregisterScript;
using zov::test::KeyExists;
using zov::test::ProcessId;

// ---------------------------------------------------------------------------------------------
// Parser

// One line per key, depth first: "path [flag] @=s:text Name=d:42".
void Describe(const std::vector<ScriptKey>& keys, const std::string& parent,
              std::vector<std::string>* lines) {
  for (const ScriptKey& key : keys) {
    std::string path = parent.empty() ? key.name : parent + "\\" + key.name;
    std::string line = path;
    if (key.flag == KeyFlag::NoRemove) line += " [NoRemove]";
    if (key.flag == KeyFlag::ForceRemove) line += " [ForceRemove]";
    for (const auto& value : key.values) {
      line += " " + (value.name.empty() ? std::string("@") : value.name) + "=";
      line += value.isNumber ? "d:" + std::to_string(value.number) : "s:" + value.text;
    }
    lines->push_back(line);
    Describe(key.subkeys, path, lines);
  }
}

std::vector<std::string> Describe(const RegistryScript& script) {
  std::vector<std::string> lines;
  Describe(script.keys, "", &lines);
  return lines;
}

std::string Repeat(const std::string& text, int times) {
  std::string out;
  for (int i = 0; i < times; ++i) out += text;
  return out;
}

struct GoodScript {
  const char* what;
  std::string text;
  std::vector<std::string> expected;
};

TEST(RegistryScriptParserTest, ReadsWellFormedScripts) {
  const Replacements replacements = {{"MODULE", "C:\\Program Files\\O'Brien\\z.dll"},
                                     {"Root", "ZovRoot"}};
  const GoodScript cases[] = {
      {"the server's shape: defaults, named values, flags, quoted names",
       "HKCR\n{\n"
       "\tA.B.1 = s 'A Class'\n\t{\n\t\tCLSID = s '{1}'\n\t}\n"
       "\tNoRemove CLSID\n\t{\n"
       "\t\tForceRemove {1} = s 'A Class'\n\t\t{\n"
       "\t\t\tForceRemove 'Programmable'\n"
       "\t\t\tInprocServer32 = s '%MODULE%'\n\t\t\t{\n"
       "\t\t\t\tval ThreadingModel = s 'Apartment'\n\t\t\t}\n"
       "\t\t\t'TypeLib' = s '{2}'\n\t\t}\n\t}\n}\n",
       {"A.B.1 @=s:A Class", "A.B.1\\CLSID @=s:{1}", "CLSID [NoRemove]",
        "CLSID\\{1} [ForceRemove] @=s:A Class", "CLSID\\{1}\\Programmable [ForceRemove]",
        "CLSID\\{1}\\InprocServer32 @=s:C:\\Program Files\\O'Brien\\z.dll ThreadingModel=s:Apartment",
        "CLSID\\{1}\\TypeLib @=s:{2}"}},
      {"CRLF line ends and keywords in any case",
       "hkcr\r\n{\r\n  noREMOVE K = S 'x'\r\n  {\r\n    VAL n = D '7'\r\n  }\r\n}\r\n",
       {"K [NoRemove] @=s:x n=d:7"}},
      {"quoted texts: blanks, doubled quotes, braces and equals signs stay text",
       "HKCR { 'a b' = s 'it''s { } =' { val 'x y' = s '' } }",
       {"a b @=s:it's { } = x y=s:"}},
      {"replacements in names and data, any case, %% as one percent",
       "HKCR { %root%.1 = s '100%% %ROOT%' }", {"ZovRoot.1 @=s:100% ZovRoot"}},
      {"numbers: decimal, hexadecimal, the whole 32-bit range",
       "HKCR { K { val a = d 0 val b = d '4294967295' val c = d 0x2A val e = d '0XfF' } }",
       {"K a=d:0 b=d:4294967295 c=d:42 e=d:255"}},
      {"keys without values or blocks, one after another", "HKCR { A B { C } D }",
       {"A", "B", "B\\C", "D"}},
      {"several root blocks, both spellings of the root",
       "HKCR { A }\nHKEY_CLASSES_ROOT { B }", {"A", "B"}},
      {"keywords quoted are names", "HKCR { 'val' 'NoRemove' { 'HKCR' } }",
       {"val", "NoRemove", "NoRemove\\HKCR"}},
      {"keys nested 64 levels deep", "HKCR {" + Repeat(" K {", 63) + Repeat(" }", 64),
       {[] {
          std::vector<std::string> lines;
          std::string path = "K";
          for (int i = 0; i < 63; ++i, path += "\\K") lines.push_back(path);
          return lines;
        }()}},
      {"empty text", "", {}},
      {"white space only", " \r\n\t ", {}},
      {"NULs at the end of resource data", std::string("HKCR { A }\0\0\0", 14), {"A"}},
  };
  for (const GoodScript& c : cases) {
    RegistryScript script;
    ScriptError error;
    ASSERT_TRUE(ParseRegistryScript(c.text, replacements, &script, &error))
        << c.what << ": " << error.line << ":" << error.column << " " << error.message;
    EXPECT_EQ(c.expected, Describe(script)) << c.what;
  }
}

struct BadScript {
  const char* what;
  std::string text;
  int line;
  int column;
  const char* message;  // a part of the message
};

TEST(RegistryScriptParserTest, RefusesMalformedScriptsSayingWhereAndWhy) {
  const Replacements replacements = {{"MODULE", "C:\\m.dll"}};
  const BadScript cases[] = {
      {"block not closed", "HKCR {\n  A {\n  }\n", 4, 1, "not closed"},
      {"quote not closed", "HKCR { 'abc }", 1, 8, "quoted text is not closed"},
      {"quote not closed on its line", "HKCR { 'a\nb' }", 1, 8, "quoted text is not closed"},
      {"another root", "HKLM { A }", 1, 1, "expected a root key"},
      {"no brace after the root", "HKCR A", 1, 6, "expected '{' after the root key"},
      {"stray closing brace", "HKCR { A } }", 1, 12, "expected a root key, HKCR or HKEY_CLASSES_ROOT, found '}'"},
      {"unknown replacement", "HKCR { %NOPE% }", 1, 8, "unknown replacement %NOPE%"},
      {"percent sign not closed", "HKCR { a%b }", 1, 8, "without its closing"},
      {"value directly below the root", "HKCR { val x = s 'y' }", 1, 8, "directly below the root"},
      {"val without '='", "HKCR { K { val x s 'y' } }", 1, 18, "expected '='"},
      {"val without a name", "HKCR { K { val } }", 1, 16, "expected the value's name"},
      {"binary values", "HKCR { K = b '00' }", 1, 12, "'b' is not supported"},
      {"multi-string values", "HKCR { K { val x = m 'a' } }", 1, 20, "'m' is not supported"},
      {"no type after '='", "HKCR { K = 'x' }", 1, 12, "expected a value type"},
      {"no data after the type", "HKCR { K = s }", 1, 14, "expected the value's data"},
      {"a number that is none", "HKCR { K = d 'abc' }", 1, 14, "no number"},
      {"a number too large", "HKCR { K = d 4294967296 }", 1, 14, "no number"},
      {"a negative number", "HKCR { K = d -1 }", 1, 14, "no number"},
      {"hexadecimal without digits", "HKCR { K = d 0x }", 1, 14, "no number"},
      {"the Delete flag", "HKCR { Delete K }", 1, 8, "Delete flag is not supported"},
      {"a flag without a key", "HKCR { NoRemove }", 1, 17, "expected a key name after NoRemove"},
      {"a key name that is a path", "HKCR { 'a\\b' }", 1, 8, "name one key per level"},
      {"an empty key name", "HKCR { '' }", 1, 8, "needs a name"},
      {"a replacement that empties a name", "HKCR { %EMPTY% }", 1, 8, "unknown replacement"},
      {"'=' without a key", "HKCR { = s 'x' }", 1, 8, "expected a key or 'val', found '='"},
      {"a brace where a key belongs", "HKCR { { A } }", 1, 8, "expected a key or 'val', found '{'"},
      {"a NUL inside", std::string("HKCR { A\0B }", 12), 1, 9, "NUL byte"},
      {"keys nested deeper than 64 levels", "HKCR {" + Repeat(" K {", 64), 1, 262, "nested too deeply"},
  };
  for (const BadScript& c : cases) {
    RegistryScript script;
    script.keys.push_back(ScriptKey{});  // must come back empty
    ScriptError error;
    EXPECT_FALSE(ParseRegistryScript(c.text, replacements, &script, &error)) << c.what;
    EXPECT_TRUE(script.keys.empty()) << c.what;
    EXPECT_EQ(c.line, error.line) << c.what;
    EXPECT_EQ(c.column, error.column) << c.what;
    EXPECT_NE(std::string::npos, error.message.find(c.message)) << c.what << ": " << error.message;
  }
}

// ---------------------------------------------------------------------------------------------
// Registry

// This process's own top-level key name, so that tests running at the same time never meet.
std::string TestRoot() { return "ZovRegTest.Script." + std::to_string(ProcessId()); }

// All keys below HKEY_CLASSES_ROOT\<path>, as paths relative to it ("" for the key itself); empty
// when the key is missing.
void CollectKeys(HKEY key, const std::string& relative, std::set<std::string>* keys) {
  keys->insert(relative);
  for (DWORD i = 0;; ++i) {
    char name[256];
    DWORD length = sizeof name;
    if (RegEnumKeyExA(key, i, name, &length, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS)
      break;
    std::string sub(name, length);
    HKEY child;
    if (RegOpenKeyExA(key, sub.c_str(), 0, KEY_READ, &child) != ERROR_SUCCESS) continue;
    CollectKeys(child, relative.empty() ? sub : relative + "\\" + sub, keys);
    RegCloseKey(child);
  }
}

std::set<std::string> KeysBelow(const std::string& path) {
  std::set<std::string> keys;
  HKEY key;
  if (RegOpenKeyExA(HKEY_CLASSES_ROOT, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS)
    return keys;
  CollectKeys(key, "", &keys);
  RegCloseKey(key);
  return keys;
}

// A value as text: "s:..." for a string, "d:N" for a number, "-" when missing.
std::string ValueOf(const std::string& path, const char* name) {
  HKEY key;
  if (RegOpenKeyExA(HKEY_CLASSES_ROOT, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS)
    return "-";
  char data[1024];
  DWORD size = sizeof data;
  DWORD type = 0;
  LONG rc = RegQueryValueExA(key, name, nullptr, &type, reinterpret_cast<BYTE*>(data), &size);
  RegCloseKey(key);
  if (rc != ERROR_SUCCESS) return "-";
  if (type == REG_DWORD && size == 4) {
    DWORD number;
    std::memcpy(&number, data, 4);
    return "d:" + std::to_string(number);
  }
  if (type == REG_SZ) return "s:" + std::string(data, size ? size - 1 : 0);
  return "?";
}

void SetString(const std::string& path, const char* name, const std::string& text) {
  HKEY key;
  ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExA(HKEY_CLASSES_ROOT, path.c_str(), 0, nullptr,
                                           REG_OPTION_NON_VOLATILE, KEY_WRITE, nullptr, &key,
                                           nullptr));
  if (name || !text.empty()) {
    EXPECT_EQ(ERROR_SUCCESS, RegSetValueExA(key, name, 0, REG_SZ,
                                            reinterpret_cast<const BYTE*>(text.c_str()),
                                            static_cast<DWORD>(text.size() + 1)));
  }
  RegCloseKey(key);
}

HRESULT Apply(const std::string& text, bool doRegister) {
  ScriptError error;
  HRESULT hr = ApplyRegistryScript(text, {{"R", TestRoot()}}, doRegister, &error);
  EXPECT_EQ("", error.message);
  return hr;
}

struct Expected {
  const char* key;   // relative to the test root
  const char* name;  // null: the default value
  const char* value; // as ValueOf gives it
};

struct RegistryCase {
  const char* what;
  std::vector<Expected> before;  // values (and so keys) there before registration
  std::string script;            // %R% is the test root
  std::set<std::string> keysRegistered;
  std::vector<Expected> valuesRegistered;
  std::set<std::string> keysUnregistered;
  std::vector<Expected> valuesUnregistered;
};

class RegistryScriptTest : public ::testing::Test {
 protected:
  void SetUp() override {
    zov::test::ScratchDir();  // natively: the process's own machine and registry
    ASSERT_EQ(ERROR_SUCCESS, DeleteKeyTree(HKEY_CLASSES_ROOT, TestRoot()));
  }
  void TearDown() override { DeleteKeyTree(HKEY_CLASSES_ROOT, TestRoot()); }

  static std::string Path(const char* relative) {
    return *relative ? TestRoot() + "\\" + relative : TestRoot();
  }
  static void CheckValues(const std::vector<Expected>& values, const char* what, const char* when) {
    for (const Expected& v : values)
      EXPECT_EQ(v.value, ValueOf(Path(v.key), v.name))
          << what << ", " << when << ": " << v.key << " " << (v.name ? v.name : "@");
  }
};

TEST_F(RegistryScriptTest, RegistersAndUnregistersWhatTheScriptNames) {
  const RegistryCase cases[] = {
      {"plain keys and values come and go",
       {},
       "HKCR { %R% = s 'root' { Sub = s 'sub' { val Named = s 'n' val Count = d 42 } } }",
       {"", "Sub"},
       {{"", nullptr, "s:root"}, {"Sub", nullptr, "s:sub"}, {"Sub", "Named", "s:n"},
        {"Sub", "Count", "d:42"}},
       {},
       {{"", nullptr, "-"}}},
      {"a ForceRemove key is replaced whole, then removed whole",
       {{"Forced\\Old", nullptr, ""}, {"Forced", "Stale", "x"}},
       "HKCR { NoRemove %R% { ForceRemove Forced = s 'new' { Fresh } } }",
       {"", "Forced", "Forced\\Fresh"},
       {{"Forced", nullptr, "s:new"}, {"Forced", "Stale", "-"}},
       {""},
       {}},
      {"a key that also holds keys of others stays, without what the script named",
       {{"Shared\\Foreign", "Theirs", "t"}},
       "HKCR { %R% { Shared = s 'ours' { Ours { Deeper } } } }",
       {"", "Shared", "Shared\\Foreign", "Shared\\Ours", "Shared\\Ours\\Deeper"},
       {{"Shared", nullptr, "s:ours"}, {"Shared\\Foreign", "Theirs", "s:t"}},
       {"", "Shared", "Shared\\Foreign"},
       {{"Shared\\Foreign", "Theirs", "s:t"}}},
      {"a NoRemove key stays with its default; its named values and subkeys go",
       {{"Kept", "Foreign", "f"}},
       "HKCR { NoRemove %R% { NoRemove Kept = s 'default' { val Mine = s 'm' Child } } }",
       {"", "Kept", "Kept\\Child"},
       {{"Kept", nullptr, "s:default"}, {"Kept", "Mine", "s:m"}, {"Kept", "Foreign", "s:f"}},
       {"", "Kept"},
       {{"Kept", nullptr, "s:default"}, {"Kept", "Mine", "-"}, {"Kept", "Foreign", "s:f"}}},
      {"an existing key keeps its other values while registered; deleted when empty",
       {{"Plain", "Other", "o"}},
       "HKCR { NoRemove %R% { Plain = s 'p' { val Named = d 0x10 } } }",
       {"", "Plain"},
       {{"Plain", nullptr, "s:p"}, {"Plain", "Named", "d:16"}, {"Plain", "Other", "s:o"}},
       {""},
       {{"Plain", "Other", "-"}}},
  };
  for (const RegistryCase& c : cases) {
    ASSERT_EQ(ERROR_SUCCESS, DeleteKeyTree(HKEY_CLASSES_ROOT, TestRoot()));
    for (const Expected& v : c.before) SetString(Path(v.key), v.name, v.value);
    EXPECT_EQ(S_OK, Apply(c.script, true)) << c.what;
    EXPECT_EQ(c.keysRegistered, KeysBelow(TestRoot())) << c.what;
    CheckValues(c.valuesRegistered, c.what, "registered");
    EXPECT_EQ(S_OK, Apply(c.script, false)) << c.what;
    EXPECT_EQ(c.keysUnregistered, KeysBelow(TestRoot())) << c.what;
    CheckValues(c.valuesUnregistered, c.what, "unregistered");
  }
}

TEST_F(RegistryScriptTest, RegisteringTwiceGivesTheSameKeysAndUnregisteringTwiceIsNoError) {
  const std::string script =
      "HKCR { %R% = s 'x' { ForceRemove F { G } N = s 'n' { val V = d 1 } } }";
  EXPECT_EQ(S_OK, Apply(script, false));  // nothing there yet
  EXPECT_FALSE(KeyExists(TestRoot()));
  ASSERT_EQ(S_OK, Apply(script, true));
  const std::set<std::string> once = KeysBelow(TestRoot());
  ASSERT_EQ(S_OK, Apply(script, true));
  EXPECT_EQ(once, KeysBelow(TestRoot()));
  EXPECT_EQ("d:1", ValueOf(TestRoot() + "\\N", "V"));
  EXPECT_EQ(S_OK, Apply(script, false));
  EXPECT_FALSE(KeyExists(TestRoot()));
  EXPECT_EQ(S_OK, Apply(script, false));
}

// The top-level keys and the class keys whose names start with the prefixes given: other tests
// running at the same time under Wine add and remove keys of their own.
std::set<std::string> TopLevelSnapshot(const std::string& prefix, const std::string& classPrefix) {
  std::set<std::string> names;
  for (const std::string& path : {std::string(), std::string("CLSID")}) {
    HKEY key = HKEY_CLASSES_ROOT;
    if (!path.empty() &&
        RegOpenKeyExA(HKEY_CLASSES_ROOT, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS)
      continue;
    for (DWORD i = 0;; ++i) {
      char name[256];
      DWORD length = sizeof name;
      if (RegEnumKeyExA(key, i, name, &length, nullptr, nullptr, nullptr, nullptr) !=
          ERROR_SUCCESS)
        break;
      std::string text(name, length);
      const std::string& wanted = path.empty() ? prefix : classPrefix;
      if (lstrcmpiA(text.substr(0, wanted.size()).c_str(), wanted.c_str()) == 0)
        names.insert(path + "\\" + text);
    }
    if (key != HKEY_CLASSES_ROOT) RegCloseKey(key);
  }
  return names;
}

TEST_F(RegistryScriptTest, RegistrationThenUnregistrationLeavesClassesRootAsBefore) {
  char clsid[64];
  std::snprintf(clsid, sizeof clsid, "{5A0E5A0E-0000-4000-8000-%012X}",
                static_cast<unsigned>(ProcessId()));
  // The server's own shape, with this process's names.
  const std::string script =
      "HKCR\n{\n"
      "  %R%.1 = s 'Test Class' { CLSID = s '%CLSID%' }\n"
      "  %R% = s 'Test Class' { CLSID = s '%CLSID%' CurVer = s '%R%.1' }\n"
      "  NoRemove CLSID\n  {\n"
      "    ForceRemove %CLSID% = s 'Test Class'\n    {\n"
      "      ProgID = s '%R%.1'\n      VersionIndependentProgID = s '%R%'\n"
      "      ForceRemove 'Programmable'\n"
      "      InprocServer32 = s 'C:\\x.dll' { val ThreadingModel = s 'Apartment' }\n"
      "      'TypeLib' = s '{5A0E5A0E-0000-4000-8000-000000000000}'\n    }\n  }\n}\n";
  const Replacements replacements = {{"R", TestRoot()}, {"CLSID", clsid}};
  const std::set<std::string> before = TopLevelSnapshot(TestRoot(), "{5A0E5A0E");

  ASSERT_EQ(S_OK, ApplyRegistryScript(script, replacements, true));
  std::set<std::string> registered = TopLevelSnapshot(TestRoot(), "{5A0E5A0E");
  EXPECT_EQ(1u, registered.count("\\" + TestRoot()));
  EXPECT_EQ(1u, registered.count("\\" + TestRoot() + ".1"));
  EXPECT_EQ(1u, registered.count(std::string("CLSID\\") + clsid));
  const std::string classKey = std::string("CLSID\\") + clsid;
  EXPECT_EQ((std::set<std::string>{"", "InprocServer32", "ProgID", "Programmable", "TypeLib",
                                   "VersionIndependentProgID"}),
            KeysBelow(classKey));
  EXPECT_EQ("s:Apartment", ValueOf(classKey + "\\InprocServer32", "ThreadingModel"));
  EXPECT_EQ("s:" + TestRoot() + ".1", ValueOf(TestRoot() + "\\CurVer", nullptr));

  ASSERT_EQ(S_OK, ApplyRegistryScript(script, replacements, false));
  EXPECT_EQ(before, TopLevelSnapshot(TestRoot(), "{5A0E5A0E"));
  EXPECT_TRUE(KeyExists("CLSID"));
}

TEST_F(RegistryScriptTest, AMalformedScriptTouchesNothing) {
  ScriptError error;
  EXPECT_EQ(zov::registration::kScriptSyntaxError,
            ApplyRegistryScript("HKCR { %R% = s 'first' }\nHKCR { %R%.2 = b '00' }",
                                {{"R", TestRoot()}}, true, &error));
  EXPECT_EQ(2, error.line);
  EXPECT_FALSE(KeyExists(TestRoot()));
}

TEST_F(RegistryScriptTest, AFailedRegistrationTakesBackWhatItWrote) {
#if defined(_WIN32)
  GTEST_SKIP() << "Windows takes any key name the script can spell; the failure is made natively";
#else
  // Our registry file cannot hold a key name with a line break: the second key fails.
  const Replacements replacements = {{"R", TestRoot()}, {"BAD", "a\nb"}};
  EXPECT_EQ(HRESULT_FROM_WIN32(ERROR_INVALID_PARAMETER),
            ApplyRegistryScript("HKCR { %R% { First = s 'x' } %R%.%BAD% }", replacements, true));
  EXPECT_FALSE(KeyExists(TestRoot()));
#endif
}

TEST_F(RegistryScriptTest, DeleteKeyTreeRemovesEverythingBelowAndAcceptsMissingKeys) {
  SetString(TestRoot() + "\\a\\b\\c", "v", "1");
  SetString(TestRoot() + "\\a\\d", nullptr, "2");
  SetString(TestRoot() + "\\e", nullptr, "");
  EXPECT_EQ(ERROR_SUCCESS, DeleteKeyTree(HKEY_CLASSES_ROOT, TestRoot() + "\\a"));
  EXPECT_EQ((std::set<std::string>{"", "e"}), KeysBelow(TestRoot()));
  EXPECT_EQ(ERROR_SUCCESS, DeleteKeyTree(HKEY_CLASSES_ROOT, TestRoot() + "\\a"));
  EXPECT_EQ(ERROR_INVALID_PARAMETER, DeleteKeyTree(HKEY_CLASSES_ROOT, ""));
  EXPECT_TRUE(KeyExists("CLSID"));
}

}  // namespace
