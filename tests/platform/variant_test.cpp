// VARIANT: the coercions the server relies on, with the results oleaut32 gives (each row was
// checked under Wine), and who owns what after copies and clears. The raw functions are called on
// purpose: these tests are about them.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "counted_object.h"
#include "scratch.h"
#include "zov/win32.h"

namespace {

using WString = std::basic_string<WCHAR>;
using zov::test::CountedObject;

// A value for a table row: the type and, depending on it, the integer, text or real.
struct Val {
  VARTYPE vt;
  long long i = 0;
  const WCHAR* s = nullptr;
  double r = 0;
};
Val Empty() { return {VT_EMPTY}; }
Val Null() { return {VT_NULL}; }
Val I2(SHORT v) { return {VT_I2, v}; }
Val I4(LONG v) { return {VT_I4, v}; }
Val UI1(BYTE v) { return {VT_UI1, v}; }
Val Bool(SHORT v) { return {VT_BOOL, v}; }
Val Err(SCODE v) { return {VT_ERROR, v}; }
Val Str(const WCHAR* s) { return {VT_BSTR, 0, s}; }
Val R8(double v) { return {VT_R8, 0, nullptr, v}; }
Val R4(float v) { return {VT_R4, 0, nullptr, v}; }
Val Type(VARTYPE vt) { return {vt}; }  // a type with no value worth checking

VARIANT Make(const Val& v) {
  VARIANT out;
  VariantInit(&out);
  out.vt = v.vt;
  switch (v.vt) {
    case VT_I2: out.iVal = static_cast<SHORT>(v.i); break;
    case VT_I4: out.lVal = static_cast<LONG>(v.i); break;
    case VT_UI1: out.bVal = static_cast<BYTE>(v.i); break;
    case VT_BOOL: out.boolVal = static_cast<VARIANT_BOOL>(v.i); break;
    case VT_ERROR: out.scode = static_cast<SCODE>(v.i); break;
    case VT_BSTR: out.bstrVal = SysAllocString(v.s); break;
    case VT_R8: out.dblVal = v.r; break;
    case VT_R4: out.fltVal = static_cast<float>(v.r); break;
    default: out.llVal = 0; break;
  }
  return out;
}

::testing::AssertionResult Holds(const VARIANT& actual, const Val& expected) {
  if (actual.vt != expected.vt)
    return ::testing::AssertionFailure() << "type " << actual.vt << ", expected " << expected.vt;
  long long i = 0;
  switch (actual.vt) {
    case VT_I2: i = actual.iVal; break;
    case VT_I4: i = actual.lVal; break;
    case VT_UI1: i = actual.bVal; break;
    case VT_BOOL: i = actual.boolVal; break;
    case VT_ERROR: i = actual.scode; break;
    case VT_BSTR: {
      if (!actual.bstrVal) return ::testing::AssertionFailure() << "null BSTR";
      const WString got(actual.bstrVal, SysStringLen(actual.bstrVal));
      if (got != WString(expected.s))
        return ::testing::AssertionFailure() << "text of " << got.size() << " characters differs";
      return ::testing::AssertionSuccess();
    }
    default:
      return ::testing::AssertionSuccess();
  }
  if (i != expected.i) return ::testing::AssertionFailure() << "value " << i << ", expected " << expected.i;
  return ::testing::AssertionSuccess();
}

struct Coercion {
  const char* name;
  Val source;
  VARTYPE target;
  HRESULT hr;
  Val result;  // when hr is S_OK
  USHORT flags = 0;
};

void RunTable(const Coercion* rows, std::size_t count) {
  for (std::size_t k = 0; k < count; ++k) {
    const Coercion& c = rows[k];
    SCOPED_TRACE(c.name);
    VARIANT source = Make(c.source);
    VARIANT dest = Make(I4(777));
    EXPECT_EQ(VariantChangeTypeEx(&dest, &source, 0x409, c.flags, c.target), c.hr);
    if (c.hr == S_OK) {
      EXPECT_TRUE(Holds(dest, c.result));
    } else {
      EXPECT_TRUE(Holds(dest, I4(777))) << "the destination must stay as it was";
    }
    EXPECT_EQ(VariantClear(&dest), S_OK);
    if (source.vt == VT_BSTR) VariantClear(&source);
  }
}

const HRESULT kMismatch = DISP_E_TYPEMISMATCH;
const HRESULT kOverflow = DISP_E_OVERFLOW;

TEST(VariantChangeType, TextToIntegers) {
  const Coercion rows[] = {
      {"plain", Str(OLESTR("12")), VT_I2, S_OK, I2(12)},
      {"blanks around", Str(OLESTR(" 12 ")), VT_I4, S_OK, I4(12)},
      {"tabs around", Str(OLESTR("\t12\t")), VT_I4, S_OK, I4(12)},
      {"leading zeros", Str(OLESTR("00012")), VT_I4, S_OK, I4(12)},
      {"plus", Str(OLESTR("+12")), VT_I4, S_OK, I4(12)},
      {"minus", Str(OLESTR("-12")), VT_I2, S_OK, I2(-12)},
      {"minus, blank", Str(OLESTR("- 12")), VT_I4, S_OK, I4(-12)},
      {"trailing minus", Str(OLESTR("12-")), VT_I4, S_OK, I4(-12)},
      {"trailing minus after blank", Str(OLESTR("12 -")), VT_I4, S_OK, I4(-12)},
      {"parentheses", Str(OLESTR("(12)")), VT_I4, S_OK, I4(-12)},
      {"parentheses with blanks", Str(OLESTR("( 12 )")), VT_I4, S_OK, I4(-12)},
      {"currency sign", Str(OLESTR("$12")), VT_I4, S_OK, I4(12)},
      {"minus, currency sign", Str(OLESTR("-$12")), VT_I4, S_OK, I4(-12)},
      {"thousands", Str(OLESTR("1,000")), VT_I4, S_OK, I4(1000)},
      {"half rounds to even, down", Str(OLESTR("2.5")), VT_I4, S_OK, I4(2)},
      {"half rounds to even, up", Str(OLESTR("3.5")), VT_I4, S_OK, I4(4)},
      {"1.5", Str(OLESTR("1.5")), VT_UI1, S_OK, UI1(2)},
      {"negative half", Str(OLESTR("-2.5")), VT_I2, S_OK, I2(-2)},
      {"below half", Str(OLESTR("0.5")), VT_I4, S_OK, I4(0)},
      {"no integer digits", Str(OLESTR(".5")), VT_I4, S_OK, I4(0)},
      {"no fraction digits", Str(OLESTR("12.")), VT_I4, S_OK, I4(12)},
      {"long fraction", Str(OLESTR("1.23456789012345678901234567890")), VT_I4, S_OK, I4(1)},
      {"exponent", Str(OLESTR("1e3")), VT_I4, S_OK, I4(1000)},
      {"signed exponent", Str(OLESTR("1E+2")), VT_I2, S_OK, I2(100)},
      {"fraction and exponent", Str(OLESTR("12.5e1")), VT_I4, S_OK, I4(125)},
      {"hexadecimal", Str(OLESTR("&H1F")), VT_I4, S_OK, I4(31)},
      {"hexadecimal, lower case", Str(OLESTR("&h1f")), VT_I2, S_OK, I2(31)},
      {"hexadecimal with blanks", Str(OLESTR(" &H1F ")), VT_I4, S_OK, I4(31)},
      {"octal", Str(OLESTR("&O17")), VT_I4, S_OK, I4(15)},
      {"hexadecimal fills a short", Str(OLESTR("&HFFFF")), VT_I2, S_OK, I2(-1)},
      {"and a long", Str(OLESTR("&HFFFF")), VT_I4, S_OK, I4(65535)},
      {"sign bit of a short", Str(OLESTR("&H8000")), VT_I2, S_OK, I2(-32768)},
      {"all bits of a long", Str(OLESTR("&HFFFFFFFF")), VT_I4, S_OK, I4(-1)},
      {"short range top", Str(OLESTR("32767")), VT_I2, S_OK, I2(32767)},
      {"short range bottom", Str(OLESTR("-32768")), VT_I2, S_OK, I2(-32768)},
      {"long range bottom", Str(OLESTR("-2147483648")), VT_I4, S_OK, I4(-2147483647 - 1)},
      {"byte top", Str(OLESTR("255")), VT_UI1, S_OK, UI1(255)},
      {"above a short", Str(OLESTR("32768")), VT_I2, kOverflow, {}},
      {"below a short", Str(OLESTR("-32769")), VT_I2, kOverflow, {}},
      {"70000 as a short", Str(OLESTR("70000")), VT_I2, kOverflow, {}},
      {"above a long", Str(OLESTR("2147483648")), VT_I4, kOverflow, {}},
      {"above a byte", Str(OLESTR("256")), VT_UI1, kOverflow, {}},
      {"negative byte", Str(OLESTR("-1")), VT_UI1, kOverflow, {}},
      {"large exponent", Str(OLESTR("1e10")), VT_I4, kOverflow, {}},
      {"hexadecimal beyond a short", Str(OLESTR("&H10000")), VT_I2, kOverflow, {}},
      {"hexadecimal beyond a byte", Str(OLESTR("&HFFFF")), VT_UI1, kOverflow, {}},
      {"hexadecimal beyond 64 bits", Str(OLESTR("&H10000000000000000")), VT_I4, kOverflow, {}},
      {"letters", Str(OLESTR("abc")), VT_I4, kMismatch, {}},
      {"empty", Str(OLESTR("")), VT_I4, kMismatch, {}},
      {"only blanks", Str(OLESTR(" ")), VT_I4, kMismatch, {}},
      {"trailing letters", Str(OLESTR("12abc")), VT_I4, kMismatch, {}},
      {"blank inside", Str(OLESTR("1 2")), VT_I4, kMismatch, {}},
      {"two points", Str(OLESTR("1.2.3")), VT_I4, kMismatch, {}},
      {"exponent without digits", Str(OLESTR("1e")), VT_I4, kMismatch, {}},
      {"leading comma", Str(OLESTR(",12")), VT_I4, kMismatch, {}},
      {"unclosed parenthesis", Str(OLESTR("(12")), VT_I4, kMismatch, {}},
      {"C hexadecimal", Str(OLESTR("0x1F")), VT_I4, kMismatch, {}},
      {"no hexadecimal digits", Str(OLESTR("&H")), VT_I4, kMismatch, {}},
      {"not a hexadecimal digit", Str(OLESTR("&H1G")), VT_I4, kMismatch, {}},
      {"not an octal digit", Str(OLESTR("&O8")), VT_I4, kMismatch, {}},
      {"binary", Str(OLESTR("&B101")), VT_I4, kMismatch, {}},
      {"boolean word", Str(OLESTR("True")), VT_I4, kMismatch, {}},
  };
  RunTable(rows, sizeof(rows) / sizeof(rows[0]));
}

TEST(VariantChangeType, TextToBoolean) {
  const Coercion rows[] = {
      {"True", Str(OLESTR("True")), VT_BOOL, S_OK, Bool(VARIANT_TRUE)},
      {"any case", Str(OLESTR("tRUE")), VT_BOOL, S_OK, Bool(VARIANT_TRUE)},
      {"False", Str(OLESTR("FALSE")), VT_BOOL, S_OK, Bool(VARIANT_FALSE)},
      {"#TRUE#", Str(OLESTR("#TRUE#")), VT_BOOL, S_OK, Bool(VARIANT_TRUE)},
      {"#FALSE#", Str(OLESTR("#FALSE#")), VT_BOOL, S_OK, Bool(VARIANT_FALSE)},
      {"zero", Str(OLESTR("0")), VT_BOOL, S_OK, Bool(VARIANT_FALSE)},
      {"zero with a fraction", Str(OLESTR("0.0")), VT_BOOL, S_OK, Bool(VARIANT_FALSE)},
      {"number", Str(OLESTR("12")), VT_BOOL, S_OK, Bool(VARIANT_TRUE)},
      {"minus one", Str(OLESTR("-1")), VT_BOOL, S_OK, Bool(VARIANT_TRUE)},
      {"fraction", Str(OLESTR("0.5")), VT_BOOL, S_OK, Bool(VARIANT_TRUE)},
      {"beyond a long", Str(OLESTR("1e10")), VT_BOOL, S_OK, Bool(VARIANT_TRUE)},
      {"too small to be a double", Str(OLESTR("1e-400")), VT_BOOL, S_OK, Bool(VARIANT_FALSE)},
      {"hexadecimal", Str(OLESTR("&H10000")), VT_BOOL, S_OK, Bool(VARIANT_TRUE)},
      {"too large for a double", Str(OLESTR("1e400")), VT_BOOL, kOverflow, {}},
      {"hexadecimal, all bits", Str(OLESTR("&HFFFFFFFF")), VT_BOOL, kOverflow, {}},
      {"#True# is case-sensitive", Str(OLESTR("#True#")), VT_BOOL, kMismatch, {}},
      {"no blanks around words", Str(OLESTR(" True ")), VT_BOOL, kMismatch, {}},
      {"Yes", Str(OLESTR("Yes")), VT_BOOL, kMismatch, {}},
      {"empty", Str(OLESTR("")), VT_BOOL, kMismatch, {}},
  };
  RunTable(rows, sizeof(rows) / sizeof(rows[0]));
}

TEST(VariantChangeType, BetweenNumbersBooleansAndText) {
  const Coercion rows[] = {
      {"long to short", I4(123), VT_I2, S_OK, I2(123)},
      {"long to byte", I4(123), VT_UI1, S_OK, UI1(123)},
      {"long to text", I4(123), VT_BSTR, S_OK, Str(OLESTR("123"))},
      {"negative long to text", I4(-1234567), VT_BSTR, S_OK, Str(OLESTR("-1234567"))},
      {"long to boolean", I4(123), VT_BOOL, S_OK, Bool(VARIANT_TRUE)},
      {"zero to boolean", I4(0), VT_BOOL, S_OK, Bool(VARIANT_FALSE)},
      {"short to long", I2(-5), VT_I4, S_OK, I4(-5)},
      {"short to text", I2(-5), VT_BSTR, S_OK, Str(OLESTR("-5"))},
      {"byte to short", UI1(200), VT_I2, S_OK, I2(200)},
      {"byte to text", UI1(200), VT_BSTR, S_OK, Str(OLESTR("200"))},
      {"70000 to short", I4(70000), VT_I2, kOverflow, {}},
      {"-1 to byte", I4(-1), VT_UI1, kOverflow, {}},
      {"short -5 to byte", I2(-5), VT_UI1, kOverflow, {}},
      {"true to long", Bool(VARIANT_TRUE), VT_I4, S_OK, I4(-1)},
      {"true to short", Bool(VARIANT_TRUE), VT_I2, S_OK, I2(-1)},
      {"true to byte", Bool(VARIANT_TRUE), VT_UI1, S_OK, UI1(255)},
      {"false to long", Bool(VARIANT_FALSE), VT_I4, S_OK, I4(0)},
      {"true to text", Bool(VARIANT_TRUE), VT_BSTR, S_OK, Str(OLESTR("-1"))},
      {"false to text", Bool(VARIANT_FALSE), VT_BSTR, S_OK, Str(OLESTR("0"))},
      {"true to words", Bool(VARIANT_TRUE), VT_BSTR, S_OK, Str(OLESTR("True")), VARIANT_ALPHABOOL},
      {"false to words", Bool(VARIANT_FALSE), VT_BSTR, S_OK, Str(OLESTR("False")), VARIANT_ALPHABOOL},
      {"true to local words", Bool(VARIANT_TRUE), VT_BSTR, S_OK, Str(OLESTR("True")), VARIANT_LOCALBOOL},
      {"odd boolean keeps its value", Bool(5), VT_I4, S_OK, I4(5)},
      {"odd boolean to text", Bool(5), VT_BSTR, S_OK, Str(OLESTR("5"))},
      {"odd boolean to words", Bool(5), VT_BSTR, S_OK, Str(OLESTR("True")), VARIANT_ALPHABOOL},
      {"double half to even", R8(2.5), VT_I4, S_OK, I4(2)},
      {"negative double half", R8(-1.5), VT_I4, S_OK, I4(-2)},
      {"double rounds out of a short", R8(32767.5), VT_I2, kOverflow, {}},
      {"double rounds down into a byte", R8(255.4), VT_UI1, S_OK, UI1(255)},
      {"small double to boolean", R8(0.1), VT_BOOL, S_OK, Bool(VARIANT_TRUE)},
      {"float", R4(1.5f), VT_I2, S_OK, I2(2)},
      {"same type", I4(5), VT_I4, S_OK, I4(5)},
  };
  RunTable(rows, sizeof(rows) / sizeof(rows[0]));
}

TEST(VariantChangeType, EmptyNullAndError) {
  const Coercion rows[] = {
      {"empty to short", Empty(), VT_I2, S_OK, I2(0)},
      {"empty to long", Empty(), VT_I4, S_OK, I4(0)},
      {"empty to byte", Empty(), VT_UI1, S_OK, UI1(0)},
      {"empty to boolean", Empty(), VT_BOOL, S_OK, Bool(VARIANT_FALSE)},
      {"empty to text", Empty(), VT_BSTR, S_OK, Str(OLESTR(""))},
      {"empty to null", Empty(), VT_NULL, S_OK, Null()},
      {"empty to empty", Empty(), VT_EMPTY, S_OK, Empty()},
      {"empty to error", Empty(), VT_ERROR, kMismatch, {}},
      {"empty to dispatch", Empty(), VT_DISPATCH, kMismatch, {}},
      {"empty to unknown", Empty(), VT_UNKNOWN, kMismatch, {}},
      {"null to long", Null(), VT_I4, kMismatch, {}},
      {"null to text", Null(), VT_BSTR, kMismatch, {}},
      {"null to empty", Null(), VT_EMPTY, kMismatch, {}},
      {"null to null", Null(), VT_NULL, S_OK, Null()},
      {"error to error", Err(DISP_E_PARAMNOTFOUND), VT_ERROR, S_OK, Err(DISP_E_PARAMNOTFOUND)},
      {"error to long", Err(DISP_E_PARAMNOTFOUND), VT_I4, kMismatch, {}},
      {"error to text", Err(DISP_E_PARAMNOTFOUND), VT_BSTR, kMismatch, {}},
      {"error to empty", Err(DISP_E_PARAMNOTFOUND), VT_EMPTY, kMismatch, {}},
      {"long to error", I4(5), VT_ERROR, kMismatch, {}},
      {"long to empty", I4(5), VT_EMPTY, S_OK, Empty()},
      {"long to null", I4(5), VT_NULL, S_OK, Null()},
      {"long to dispatch", I4(5), VT_DISPATCH, kMismatch, {}},
      {"text to unknown", Str(OLESTR("x")), VT_UNKNOWN, kMismatch, {}},
  };
  RunTable(rows, sizeof(rows) / sizeof(rows[0]));
}

TEST(VariantChangeType, TargetsAndSourcesNotConverted) {
  const Coercion rows[] = {
      {"to VARIANT", I4(1), VT_VARIANT, kMismatch, {}},
      {"to an unknown type", I4(1), 0x7F, DISP_E_BADVARTYPE, {}},
      {"from an unknown type", Type(0x7F), VT_I4, DISP_E_BADVARTYPE, {}},
      {"to an array", I4(1), VT_I4 | VT_ARRAY, kMismatch, {}},
      {"to a reference", I4(1), VT_I2 | VT_BYREF, kMismatch, {}},
      {"to a vector", I4(1), VT_I4 | VT_VECTOR, DISP_E_BADVARTYPE, {}},
  };
  RunTable(rows, sizeof(rows) / sizeof(rows[0]));
}

TEST(VariantChangeType, InPlace) {
  VARIANT v = Make(I4(123));
  EXPECT_EQ(VariantChangeType(&v, &v, 0, VT_BSTR), S_OK);
  EXPECT_TRUE(Holds(v, Str(OLESTR("123"))));
  EXPECT_EQ(VariantChangeType(&v, &v, 0, VT_I2), S_OK);
  EXPECT_TRUE(Holds(v, I2(123)));
}

TEST(VariantChangeType, DereferencesTheSource) {
  LONG five = 5;
  VARIANT byRef;
  byRef.vt = VT_I4 | VT_BYREF;
  byRef.plVal = &five;
  VARIANT dest = Make(Empty());
  EXPECT_EQ(VariantChangeType(&dest, &byRef, 0, VT_BSTR), S_OK);
  EXPECT_TRUE(Holds(dest, Str(OLESTR("5"))));
  EXPECT_EQ(VariantClear(&dest), S_OK);

  byRef.plVal = nullptr;
  EXPECT_EQ(VariantChangeType(&dest, &byRef, 0, VT_I4), DISP_E_TYPEMISMATCH);

  VARIANT inner = Make(Str(OLESTR("9")));
  VARIANT toVariant;
  toVariant.vt = VT_VARIANT | VT_BYREF;
  toVariant.pvarVal = &inner;
  EXPECT_EQ(VariantChangeType(&toVariant, &toVariant, 0, VT_I4), S_OK);
  EXPECT_TRUE(Holds(toVariant, I4(9)));
  EXPECT_TRUE(Holds(inner, Str(OLESTR("9")))) << "the referenced VARIANT is left alone";
  EXPECT_EQ(VariantClear(&inner), S_OK);
}

TEST(VariantChangeType, DispatchObjectsGiveTheirDefaultValue) {
  CountedObject object;
  VARIANT source;
  source.vt = VT_DISPATCH;
  source.pdispVal = &object;

  const struct {
    const char* name;
    VARTYPE target;
    USHORT flags;
    HRESULT hr;
    Val result;
    int invocations;
  } rows[] = {
      {"to long", VT_I4, 0, S_OK, I4(42), 1},
      {"to short", VT_I2, 0, S_OK, I2(42), 1},
      {"to text", VT_BSTR, 0, S_OK, Str(OLESTR("42")), 1},
      {"to boolean", VT_BOOL, 0, S_OK, Bool(VARIANT_TRUE), 1},
      {"not asked for the value", VT_I4, VARIANT_NOVALUEPROP, kMismatch, {}, 0},
      {"to empty", VT_EMPTY, 0, S_OK, Empty(), 0},
      {"to error", VT_ERROR, 0, kMismatch, {}, 0},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    const int before = object.invocations();
    VARIANT dest = Make(I4(777));
    EXPECT_EQ(VariantChangeTypeEx(&dest, &source, 0x409, row.flags, row.target), row.hr);
    EXPECT_TRUE(Holds(dest, row.hr == S_OK ? row.result : I4(777)));
    EXPECT_EQ(object.invocations() - before, row.invocations);
    EXPECT_EQ(VariantClear(&dest), S_OK);
  }

  object.hasValue = false;
  VARIANT dest = Make(I4(777));
  EXPECT_EQ(VariantChangeType(&dest, &source, 0, VT_I4), DISP_E_TYPEMISMATCH);
  EXPECT_EQ(object.references(), 1);
}

TEST(VariantChangeType, BetweenInterfacesByQueryInterface) {
  CountedObject object;
  VARIANT dest = Make(Empty());

  VARIANT asDispatch;
  asDispatch.vt = VT_DISPATCH;
  asDispatch.pdispVal = &object;
  EXPECT_EQ(VariantChangeType(&dest, &asDispatch, 0, VT_UNKNOWN), S_OK);
  EXPECT_EQ(dest.vt, VT_UNKNOWN);
  EXPECT_EQ(dest.punkVal, static_cast<IUnknown*>(&object));
  EXPECT_EQ(object.references(), 2);
  EXPECT_EQ(VariantClear(&dest), S_OK);
  EXPECT_EQ(object.references(), 1);

  VARIANT asUnknown;
  asUnknown.vt = VT_UNKNOWN;
  asUnknown.punkVal = &object;
  EXPECT_EQ(VariantChangeType(&dest, &asUnknown, 0, VT_DISPATCH), S_OK);
  EXPECT_EQ(dest.vt, VT_DISPATCH);
  EXPECT_EQ(object.references(), 2);
  EXPECT_EQ(VariantClear(&dest), S_OK);

  // An unknown is not asked for a value.
  dest = Make(I4(777));
  EXPECT_EQ(VariantChangeType(&dest, &asUnknown, 0, VT_I4), DISP_E_TYPEMISMATCH);
  EXPECT_EQ(object.invocations(), 0);

  CountedObject notDispatch(false);
  asUnknown.punkVal = &notDispatch;
  EXPECT_EQ(VariantChangeType(&dest, &asUnknown, 0, VT_DISPATCH), E_NOINTERFACE);
  EXPECT_TRUE(Holds(dest, I4(777)));
  EXPECT_EQ(notDispatch.references(), 1);
  EXPECT_EQ(object.references(), 1);
}

TEST(VariantChangeType, NullInterfaces) {
  VARIANT nullDispatch;
  nullDispatch.vt = VT_DISPATCH;
  nullDispatch.pdispVal = nullptr;
  VARIANT dest = Make(I4(777));
  EXPECT_EQ(VariantChangeType(&dest, &nullDispatch, 0, VT_I4), DISP_E_BADVARTYPE);
  EXPECT_EQ(VariantChangeType(&dest, &nullDispatch, 0, VT_UNKNOWN), S_OK);
  EXPECT_EQ(dest.vt, VT_UNKNOWN);
  EXPECT_EQ(dest.punkVal, nullptr);

  VARIANT nullUnknown;
  nullUnknown.vt = VT_UNKNOWN;
  nullUnknown.punkVal = nullptr;
  EXPECT_EQ(VariantChangeType(&dest, &nullUnknown, 0, VT_DISPATCH), S_OK);
  EXPECT_EQ(dest.vt, VT_DISPATCH);
  EXPECT_EQ(dest.pdispVal, nullptr);
  EXPECT_EQ(VariantChangeType(&dest, &nullUnknown, 0, VT_I4), DISP_E_TYPEMISMATCH);
}

TEST(VariantCopy, TextIsCopiedWithItsByteLength) {
  VARIANT source;
  source.vt = VT_BSTR;
  source.bstrVal = SysAllocStringByteLen("abc", 3);
  VARIANT dest = Make(Empty());
  EXPECT_EQ(VariantCopy(&dest, &source), S_OK);
  EXPECT_EQ(dest.vt, VT_BSTR);
  EXPECT_NE(dest.bstrVal, source.bstrVal);
  EXPECT_EQ(SysStringByteLen(dest.bstrVal), 3u);
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(dest.bstrVal), 3), "abc");
  EXPECT_EQ(VariantClear(&dest), S_OK);
  EXPECT_EQ(VariantClear(&source), S_OK);
}

TEST(VariantCopy, InterfacesAreReferencedAndTheDestinationCleared) {
  CountedObject held, copied;
  VARIANT dest;
  dest.vt = VT_UNKNOWN;
  dest.punkVal = &held;
  held.AddRef();  // the reference dest owns

  VARIANT source;
  source.vt = VT_DISPATCH;
  source.pdispVal = &copied;
  EXPECT_EQ(VariantCopy(&dest, &source), S_OK);
  EXPECT_EQ(held.references(), 1) << "the old contents are released";
  EXPECT_EQ(copied.references(), 2);
  EXPECT_EQ(VariantCopy(&dest, &dest), S_OK);
  EXPECT_EQ(copied.references(), 2) << "copying onto itself changes nothing";
  EXPECT_EQ(VariantClear(&dest), S_OK);
  EXPECT_EQ(dest.vt, VT_EMPTY);
  EXPECT_EQ(copied.references(), 1);
}

TEST(VariantCopy, ReferencesStayReferencesUnlessDereferenced) {
  BSTR text = SysAllocString(OLESTR("hey"));
  VARIANT byRef;
  byRef.vt = VT_BSTR | VT_BYREF;
  byRef.pbstrVal = &text;

  VARIANT dest = Make(Empty());
  EXPECT_EQ(VariantCopy(&dest, &byRef), S_OK);
  EXPECT_EQ(dest.vt, VT_BSTR | VT_BYREF);
  EXPECT_EQ(dest.pbstrVal, &text);
  EXPECT_EQ(VariantClear(&dest), S_OK);
  EXPECT_EQ(dest.vt, VT_EMPTY);

  EXPECT_EQ(VariantCopyInd(&dest, &byRef), S_OK);
  EXPECT_EQ(dest.vt, VT_BSTR);
  EXPECT_NE(dest.bstrVal, text);
  EXPECT_TRUE(Holds(dest, Str(OLESTR("hey"))));
  EXPECT_EQ(VariantClear(&dest), S_OK);
  SysFreeString(text);

  CountedObject object;
  IUnknown* pointer = &object;
  byRef.vt = VT_UNKNOWN | VT_BYREF;
  byRef.ppunkVal = &pointer;
  EXPECT_EQ(VariantCopy(&dest, &byRef), S_OK);
  EXPECT_EQ(object.references(), 1);
  EXPECT_EQ(VariantClear(&dest), S_OK);
  EXPECT_EQ(object.references(), 1) << "clearing a reference leaves what it refers to";
  EXPECT_EQ(VariantCopyInd(&dest, &byRef), S_OK);
  EXPECT_EQ(object.references(), 2);
  EXPECT_EQ(VariantClear(&dest), S_OK);
  EXPECT_EQ(object.references(), 1);
}

TEST(VariantCopyInd, FollowsAVariantReferenceOnce) {
  LONG seven = 7;
  VARIANT innermost;
  innermost.vt = VT_I4 | VT_BYREF;
  innermost.plVal = &seven;
  VARIANT toInnermost;
  toInnermost.vt = VT_VARIANT | VT_BYREF;
  toInnermost.pvarVal = &innermost;

  VARIANT dest = Make(Str(OLESTR("old")));
  EXPECT_EQ(VariantCopyInd(&dest, &toInnermost), S_OK);
  EXPECT_TRUE(Holds(dest, I4(7)));

  VARIANT twice;
  twice.vt = VT_VARIANT | VT_BYREF;
  twice.pvarVal = &toInnermost;
  EXPECT_EQ(VariantCopyInd(&dest, &twice), E_INVALIDARG);

  VARIANT self;
  self.vt = VT_I4 | VT_BYREF;
  self.plVal = &seven;
  EXPECT_EQ(VariantCopyInd(&self, &self), S_OK);
  EXPECT_TRUE(Holds(self, I4(7)));
}

TEST(VariantClear, ArraysAreDestroyedUnlessLocked) {
  CountedObject object;
  SAFEARRAY* array = SafeArrayCreateVector(VT_UNKNOWN, 0, 1);
  ASSERT_NE(array, nullptr);
  LONG index = 0;
  EXPECT_EQ(SafeArrayPutElement(array, &index, static_cast<IUnknown*>(&object)), S_OK);
  EXPECT_EQ(object.references(), 2);

  VARIANT v;
  v.vt = VT_ARRAY | VT_UNKNOWN;
  v.parray = array;
  VARIANT copy = Make(Empty());
  EXPECT_EQ(VariantCopy(&copy, &v), S_OK);
  EXPECT_NE(copy.parray, array);
  EXPECT_EQ(object.references(), 3);

  EXPECT_EQ(VariantClear(&copy), S_OK);
  EXPECT_EQ(copy.vt, VT_EMPTY);
  EXPECT_EQ(object.references(), 2);

  // A locked array is not destroyed. (What becomes of the VARIANT differs: the layer leaves it
  // as it was, Wine empties it; so the array is destroyed directly here.)
  EXPECT_EQ(SafeArrayLock(array), S_OK);
  EXPECT_EQ(VariantClear(&v), DISP_E_ARRAYISLOCKED);
  EXPECT_EQ(object.references(), 2);
  EXPECT_EQ(SafeArrayUnlock(array), S_OK);
  EXPECT_EQ(SafeArrayDestroy(array), S_OK);
  EXPECT_EQ(object.references(), 1);
}

// Which types a VARIANT may hold at all.
TEST(VariantClear, TypeValidity) {
  const struct {
    VARTYPE vt;
    HRESULT hr;
  } rows[] = {
      {VT_EMPTY, S_OK},
      {VT_I4, S_OK},
      {VT_DECIMAL, S_OK},
      {VT_I1, S_OK},
      {VT_UI8, S_OK},
      {VT_VARIANT, S_OK},
      {VT_I4 | VT_ARRAY | VT_BYREF, S_OK},
      {VT_BSTR | VT_BYREF, S_OK},
      {VT_EMPTY | VT_BYREF, DISP_E_BADVARTYPE},
      {VT_NULL | VT_BYREF, DISP_E_BADVARTYPE},
      {VT_EMPTY | VT_ARRAY, DISP_E_BADVARTYPE},
      {VT_I4 | VT_VECTOR, DISP_E_BADVARTYPE},
      {VT_I4 | VT_RESERVED, DISP_E_BADVARTYPE},
      {15, DISP_E_BADVARTYPE},
      {VT_VOID, DISP_E_BADVARTYPE},
      {VT_HRESULT, DISP_E_BADVARTYPE},
      {37, DISP_E_BADVARTYPE},
  };
  for (const auto& row : rows) {
    VARIANT v;
    std::memset(&v, 0, sizeof(v));
    v.vt = row.vt;
    VARIANT dest = Make(Empty());
    EXPECT_EQ(VariantCopy(&dest, &v), row.hr) << "vt " << row.vt;
    EXPECT_EQ(VariantClear(&v), row.hr) << "vt " << row.vt;
    EXPECT_EQ(v.vt, row.hr == S_OK ? static_cast<VARTYPE>(VT_EMPTY) : row.vt);
  }
}

}  // namespace
