// GUID string forms, and the IIDs the layer declares pinned to their string forms: under Wine the
// same table checks them against the real SDK's values.
#include <gtest/gtest.h>

#include <string>

#include "scratch.h"
#include "zov/win32.h"

namespace {

using WString = std::basic_string<WCHAR>;

WString ToString(REFGUID g) {
  WCHAR buffer[64];
  const int n = StringFromGUID2(g, buffer, 64);
  EXPECT_EQ(n, 39);
  return n > 0 ? WString(buffer) : WString();
}

const GUID kSample = {0x12345678, 0x9ABC, 0xDEF0, {0x01, 0x23, 0x45, 0x67, 0x89, 0xAB, 0xCD, 0xEF}};

TEST(Guid, StringFormIsBracedUpperCase) {
  EXPECT_EQ(ToString(kSample), WString(OLESTR("{12345678-9ABC-DEF0-0123-456789ABCDEF}")));
  EXPECT_EQ(ToString(GUID_NULL), WString(OLESTR("{00000000-0000-0000-0000-000000000000}")));
}

TEST(Guid, StringFormNeedsRoomForTheNul) {
  WCHAR buffer[40];
  for (WCHAR& c : buffer) c = 'x';
  EXPECT_EQ(StringFromGUID2(kSample, buffer, 39), 39);
  EXPECT_EQ(buffer[38], 0);
  for (WCHAR& c : buffer) c = 'x';
  EXPECT_EQ(StringFromGUID2(kSample, buffer, 38), 0);
  EXPECT_EQ(StringFromGUID2(kSample, buffer, 0), 0);
}

struct ParseCase {
  const char* name;
  const WCHAR* text;
  HRESULT clsidResult;
  HRESULT iidResult;
};

TEST(Guid, ParsingTable) {
  const HRESULT ok = S_OK;
  const ParseCase cases[] = {
      {"upper case", OLESTR("{12345678-9ABC-DEF0-0123-456789ABCDEF}"), ok, ok},
      {"lower case", OLESTR("{12345678-9abc-def0-0123-456789abcdef}"), ok, ok},
      {"empty", OLESTR(""), CO_E_CLASSSTRING, E_INVALIDARG},
      {"no braces", OLESTR("12345678-9ABC-DEF0-0123-456789ABCDEF"), CO_E_CLASSSTRING, E_INVALIDARG},
      {"no closing brace", OLESTR("{12345678-9ABC-DEF0-0123-456789ABCDEF"), CO_E_CLASSSTRING, E_INVALIDARG},
      {"text after it", OLESTR("{12345678-9ABC-DEF0-0123-456789ABCDEF}x"), CO_E_CLASSSTRING, E_INVALIDARG},
      {"one digit short", OLESTR("{12345678-9ABC-DEF0-0123-456789ABCDE}"), CO_E_CLASSSTRING, E_INVALIDARG},
      {"hyphen moved", OLESTR("{12345678-9ABC-DEF0-01234-56789ABCDEF}"), CO_E_CLASSSTRING, CO_E_IIDSTRING},
      {"not a digit", OLESTR("{1234567G-9ABC-DEF0-0123-456789ABCDEF}"), CO_E_CLASSSTRING, CO_E_IIDSTRING},
      {"blank inside", OLESTR("{ 2345678-9ABC-DEF0-0123-456789ABCDEF}"), CO_E_CLASSSTRING, CO_E_IIDSTRING},
      {"parentheses", OLESTR("(12345678-9ABC-DEF0-0123-456789ABCDEF)"), CO_E_CLASSSTRING, CO_E_IIDSTRING},
  };
  for (const ParseCase& c : cases) {
    SCOPED_TRACE(c.name);
    CLSID clsid = GUID_NULL;
    EXPECT_EQ(CLSIDFromString(c.text, &clsid), c.clsidResult);
    IID iid = GUID_NULL;
    EXPECT_EQ(IIDFromString(c.text, &iid), c.iidResult);
    if (c.clsidResult == S_OK) {
      EXPECT_TRUE(IsEqualGUID(clsid, kSample));
      EXPECT_TRUE(IsEqualGUID(iid, kSample));
    }
  }
}

TEST(Guid, NullTextIsTheNullGuid) {
  CLSID clsid = kSample;
  EXPECT_EQ(CLSIDFromString(nullptr, &clsid), S_OK);
  EXPECT_TRUE(IsEqualGUID(clsid, GUID_NULL));
  IID iid = kSample;
  EXPECT_EQ(IIDFromString(nullptr, &iid), S_OK);
  EXPECT_TRUE(IsEqualGUID(iid, GUID_NULL));
  EXPECT_EQ(CLSIDFromString(OLESTR("{12345678-9ABC-DEF0-0123-456789ABCDEF}"), nullptr), E_INVALIDARG);
}

struct KnownIid {
  const char* name;
  const IID* iid;
  const WCHAR* text;
};

// The interface identifiers the layer declares, with the values Windows gives them.
TEST(Guid, DeclaredInterfaceIds) {
  const KnownIid known[] = {
      {"IUnknown", &IID_IUnknown, OLESTR("{00000000-0000-0000-C000-000000000046}")},
      {"IClassFactory", &IID_IClassFactory, OLESTR("{00000001-0000-0000-C000-000000000046}")},
      {"IBindCtx", &IID_IBindCtx, OLESTR("{0000000E-0000-0000-C000-000000000046}")},
      {"IMoniker", &IID_IMoniker, OLESTR("{0000000F-0000-0000-C000-000000000046}")},
      {"IPersistStream", &IID_IPersistStream, OLESTR("{00000109-0000-0000-C000-000000000046}")},
      {"IPersist", &IID_IPersist, OLESTR("{0000010C-0000-0000-C000-000000000046}")},
      {"IParseDisplayName", &IID_IParseDisplayName, OLESTR("{0000011A-0000-0000-C000-000000000046}")},
      {"IDispatch", &IID_IDispatch, OLESTR("{00020400-0000-0000-C000-000000000046}")},
      {"ITypeInfo", &IID_ITypeInfo, OLESTR("{00020401-0000-0000-C000-000000000046}")},
      {"ITypeLib", &IID_ITypeLib, OLESTR("{00020402-0000-0000-C000-000000000046}")},
      {"ISupportErrorInfo", &IID_ISupportErrorInfo, OLESTR("{DF0B3D60-548F-101B-8E65-08002B2BD119}")},
      {"IConnectionPointContainer", &IID_IConnectionPointContainer,
       OLESTR("{B196B284-BAB4-101A-B69C-00AA00341D07}")},
      {"IEnumConnectionPoints", &IID_IEnumConnectionPoints, OLESTR("{B196B285-BAB4-101A-B69C-00AA00341D07}")},
      {"IConnectionPoint", &IID_IConnectionPoint, OLESTR("{B196B286-BAB4-101A-B69C-00AA00341D07}")},
      {"IEnumConnections", &IID_IEnumConnections, OLESTR("{B196B287-BAB4-101A-B69C-00AA00341D07}")},
  };
  for (const KnownIid& k : known) {
    EXPECT_EQ(ToString(*k.iid), WString(k.text)) << k.name;
  }
}

}  // namespace
