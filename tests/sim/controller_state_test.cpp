// The controller's state functions: names of the namespace taken apart, the spelling of variables
// in the NCU files, and the names zovctl writes.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "controller_state.h"

namespace {

using zov::sim::DomainName;
using zov::sim::ParseResult;
using zov::sim::View;

TEST(ControllerStateTest, DomainNamesAreTakenApart) {
  const struct {
    const char* text;
    ParseResult result;
    DomainName::Kind kind;
    View view;
    const char* root;
    std::vector<std::string> components;
    const char* canonical;
  } cases[] = {
      {"TESK://domain/hd-nc/WKS.DIR/X.ZOV", ParseResult::Ok, DomainName::Kind::Store, View::HdNc,
       "", {"WKS.DIR", "X.ZOV"}, "TESK://domain/hd-nc/WKS.DIR/X.ZOV"},
      {"tesk://Domain/NC//A\\B/", ParseResult::Ok, DomainName::Kind::Store, View::Nc, "",
       {"A", "B"}, "TESK://domain/nc/A/B"},
      {"TESK://domain/hd", ParseResult::Ok, DomainName::Kind::Store, View::Hd, "", {},
       "TESK://domain/hd"},
      {"TESK://domain/c:/DATA/X.MPF", ParseResult::Ok, DomainName::Kind::Drive, View::HdNc, "c:",
       {"DATA", "X.MPF"}, "TESK://domain/c:/DATA/X.MPF"},
      {"TESK://domain//SRV/SHARE/X.MPF", ParseResult::Ok, DomainName::Kind::Share, View::HdNc,
       "SRV\\SHARE", {"X.MPF"}, "TESK://domain//SRV/SHARE/X.MPF"},
      {"TESK://domain//SRV", ParseResult::NotFound, {}, {}, "", {}, ""},
      {"TESK://domain/", ParseResult::Syntax, {}, {}, "", {}, ""},
      {"TESK://domain", ParseResult::Syntax, {}, {}, "", {}, ""},
      {"TESK://domainx/hd", ParseResult::Syntax, {}, {}, "", {}, ""},
      {"TESK:/domain/hd", ParseResult::Syntax, {}, {}, "", {}, ""},
      {"TESK://domain/hdnc/X", ParseResult::NotFound, {}, {}, "", {}, ""},
      {"TESK://domain/hd/../X", ParseResult::NotFound, {}, {}, "", {}, ""},
      {"TESK://domain/hd/A/...", ParseResult::NotFound, {}, {}, "", {}, ""},
      {"TESK://domain/hd/A /B", ParseResult::NotFound, {}, {}, "", {}, ""},
      {"TESK://domain/hd/A*B", ParseResult::NotFound, {}, {}, "", {}, ""},
      {"TESK://domain/hd/A:B", ParseResult::NotFound, {}, {}, "", {}, ""},
      {"TESK://domain/c:/../X", ParseResult::NotFound, {}, {}, "", {}, ""},
      {"TESK://domain//SRV/../X", ParseResult::NotFound, {}, {}, "", {}, ""},
      // Device names lead to the device, not to a file of the folder.
      {"TESK://domain/hd/CON", ParseResult::NotFound, {}, {}, "", {}, ""},
      {"TESK://domain/hd/WKS.DIR/nul.txt", ParseResult::NotFound, {}, {}, "", {}, ""},
      {"TESK://domain/nc/Com1.tar.gz", ParseResult::NotFound, {}, {}, "", {}, ""},
      {"TESK://domain/hd/LPT9 .MPF", ParseResult::NotFound, {}, {}, "", {}, ""},
      {"TESK://domain/hd/conout$", ParseResult::NotFound, {}, {}, "", {}, ""},
      {"TESK://domain/hd/COM\xB9.MPF", ParseResult::NotFound, {}, {}, "", {}, ""},
      {"TESK://domain/c:/AUX", ParseResult::NotFound, {}, {}, "", {}, ""},
      {"TESK://domain//SRV/PRN/X", ParseResult::NotFound, {}, {}, "", {}, ""},
      {"TESK://domain/hd/CONSOLE.MPF/COM10/XNUL.SPF/LPT", ParseResult::Ok,
       DomainName::Kind::Store, View::Hd, "", {"CONSOLE.MPF", "COM10", "XNUL.SPF", "LPT"},
       "TESK://domain/hd/CONSOLE.MPF/COM10/XNUL.SPF/LPT"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.text);
    DomainName name;
    ASSERT_EQ(zov::sim::ParseDomainName(c.text, &name), c.result);
    if (c.result != ParseResult::Ok) continue;
    EXPECT_EQ(name.kind, c.kind);
    if (c.kind == DomainName::Kind::Store) {
      EXPECT_EQ(name.view, c.view);
    }
    EXPECT_EQ(name.root, c.root);
    EXPECT_EQ(name.components, c.components);
    EXPECT_EQ(zov::sim::CanonicalDomainName(name), c.canonical);
  }
}

TEST(ControllerStateTest, NamesMapToTheStoresAndHostPaths) {
  EXPECT_EQ(zov::sim::StorePath("C:\\controller\\", View::Hd, {"WKS.DIR", "X.ZOV"}),
            "C:\\controller\\hd\\WKS.DIR\\X.ZOV");
  EXPECT_EQ(zov::sim::StorePath("C:\\controller\\", View::Nc, {}), "C:\\controller\\nc");
  DomainName drive;
  ASSERT_EQ(zov::sim::ParseDomainName("TESK://domain/c:/DATA/X.MPF", &drive), ParseResult::Ok);
  EXPECT_EQ(zov::sim::HostPathOf(drive), "C:\\DATA\\X.MPF");
  DomainName share;
  ASSERT_EQ(zov::sim::ParseDomainName("TESK://domain//SRV/SHARE", &share), ParseResult::Ok);
  EXPECT_EQ(zov::sim::HostPathOf(share), "\\\\SRV\\SHARE\\");
}

TEST(ControllerStateTest, VariableSpellings) {
  using Type = zov::sim::VariableValue::Type;
  const struct {
    const char* spelling;
    bool ok;
    Type type;
    bool inVariants;
    long long integer;
    const char* text;
  } cases[] = {
      {"I2:1", true, Type::I2, false, 1, ""},
      {"i2:-32768", true, Type::I2, false, -32768, ""},
      {"I2:32768", false, {}, false, 0, ""},
      {"I2:", false, {}, false, 0, ""},
      {"I2:1x", false, {}, false, 0, ""},
      {"I4:70000", true, Type::I4, false, 70000, ""},
      {"I4:0x10", true, Type::I4, false, 16, ""},
      {"I4:2147483648", false, {}, false, 0, ""},
      {"I4:99999999999999999999", false, {}, false, 0, ""},
      // Decimal unless written 0x: a leading 0 is no octal.
      {"I2:010", true, Type::I2, false, 10, ""},
      {"I2:08", true, Type::I2, false, 8, ""},
      {"I4:-0x10", true, Type::I4, false, -16, ""},
      {"I4:0X7fffffff", true, Type::I4, false, 2147483647, ""},
      {"I2:0x", false, {}, false, 0, ""},
      {"I4:0x1g", false, {}, false, 0, ""},
      {"I2: 1", false, {}, false, 0, ""},
      {"V:I2:7", true, Type::I2, true, 7, ""},
      {"V:S:_N_MAIN_MPF", true, Type::String, true, 0, "_N_MAIN_MPF"},
      {"S:/_N_WKS_DIR:x", true, Type::String, false, 0, "/_N_WKS_DIR:x"},
      {"S:", true, Type::String, false, 0, ""},
      {"R8:1.5", true, Type::R8, false, 0, ""},
      {"R8:1e999", false, {}, false, 0, ""},
      {"R8:-1e999", false, {}, false, 0, ""},
      {"R8:inf", false, {}, false, 0, ""},
      {"R8:nan", false, {}, false, 0, ""},
      {"R8:", false, {}, false, 0, ""},
      {"R8: 1.5", false, {}, false, 0, ""},
      {"X9:1", false, {}, false, 0, ""},
      {"17", false, {}, false, 0, ""},
      {"V:V:I2:1", false, {}, false, 0, ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.spelling);
    zov::sim::VariableValue value;
    ASSERT_EQ(zov::sim::ParseVariableValue(c.spelling, &value), c.ok);
    if (!c.ok) continue;
    EXPECT_EQ(value.type, c.type);
    EXPECT_EQ(value.inVariantArray, c.inVariants);
    if (c.type == Type::I2 || c.type == Type::I4) {
      EXPECT_EQ(value.integer, c.integer);
    } else if (c.type == Type::String) {
      EXPECT_EQ(value.text, c.text);
    } else {
      EXPECT_DOUBLE_EQ(value.real, 1.5);
    }
  }
}

TEST(ControllerStateTest, StorePathsAndNcNames) {
  std::vector<std::string> components;
  ASSERT_TRUE(zov::sim::SplitStorePath("\\WKS.DIR\\PART1.ZOV\\MAIN.MPF", &components));
  EXPECT_EQ(zov::sim::NcNameOf(components), "/_N_WKS_DIR/_N_PART1_ZOV/_N_MAIN_MPF");
  EXPECT_FALSE(zov::sim::SplitStorePath("\\WKS.DIR\\..\\..\\X", &components));
  EXPECT_FALSE(zov::sim::SplitStorePath("", &components));
  EXPECT_FALSE(zov::sim::SplitStorePath("C:\\X", &components));
  EXPECT_FALSE(zov::sim::SplitStorePath("\\WKS.DIR\\AUX.MPF", &components));
  EXPECT_FALSE(zov::sim::IsValidNcuName("NUL"));
  EXPECT_FALSE(zov::sim::IsValidNcuName("com1"));
  EXPECT_TRUE(zov::sim::IsValidNcuName("CONSOLE"));
  EXPECT_TRUE(zov::sim::IsValidNcuName("NCU2"));
  EXPECT_FALSE(zov::sim::IsValidNcuName("NCU2.ini"));
  EXPECT_FALSE(zov::sim::IsValidNcuName("..\\X"));
  EXPECT_FALSE(zov::sim::IsValidNcuName(""));
}

}  // namespace
