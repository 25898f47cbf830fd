// VARIANT management and the coercions between the types the server exchanges with its clients.
#include "zov/platform/variant.h"

#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <string>

#include "zov/platform/bstr.h"
#include "zov/platform/dispatch.h"
#include "zov/platform/errors.h"
#include "zov/platform/guid.h"
#include "zov/platform/safearray.h"
#include "zov/platform/text.h"
#include "zov/platform/unknown.h"

namespace {

// ---------------------------------------------------------------------------------------------
// Types

bool IsKnownBaseType(VARTYPE base) {
  return (base <= VT_DECIMAL) || (base >= VT_I1 && base <= VT_UINT) || base == VT_RECORD;
}

// Whether Windows accepts vt in a VARIANT at all (DISP_E_BADVARTYPE otherwise).
bool IsValidType(VARTYPE vt) {
  const VARTYPE base = vt & VT_TYPEMASK;
  const VARTYPE extra = vt & ~VT_TYPEMASK;
  if (extra & ~(VT_ARRAY | VT_BYREF)) return false;
  if (!IsKnownBaseType(base)) return false;
  if ((base == VT_EMPTY || base == VT_NULL) && extra) return false;
  return true;
}

// Bytes a VT_BYREF of this base type points to, for plain values; 0 for the others.
std::size_t PlainSize(VARTYPE base) {
  switch (base) {
    case VT_I1: case VT_UI1: return 1;
    case VT_I2: case VT_UI2: case VT_BOOL: return 2;
    case VT_I4: case VT_UI4: case VT_INT: case VT_UINT: case VT_ERROR: case VT_R4: return 4;
    case VT_R8: case VT_CY: case VT_DATE: case VT_I8: case VT_UI8: return 8;
    default: return 0;
  }
}

HRESULT CopyBstr(BSTR source, BSTR* copy) {
  // A null BSTR copies as an empty one, as oleaut32 does.
  *copy = SysAllocStringByteLen(reinterpret_cast<LPCSTR>(source), SysStringByteLen(source));
  return *copy ? S_OK : E_OUTOFMEMORY;
}

// Gives `to` its own copy of what `from` (not by reference) owns; `to` already holds from's bits.
HRESULT DeepenCopy(VARIANT* to, const VARIANT* from) {
  const VARTYPE vt = from->vt;
  if (vt & VT_BYREF) return S_OK;
  if (vt & VT_ARRAY) return SafeArrayCopy(from->parray, &to->parray);
  switch (vt) {
    case VT_BSTR:
      return CopyBstr(from->bstrVal, &to->bstrVal);
    case VT_UNKNOWN:
    case VT_DISPATCH:
      if (to->punkVal) to->punkVal->AddRef();
      return S_OK;
    default:
      return S_OK;
  }
}

// ---------------------------------------------------------------------------------------------
// Numbers in text

bool IsBlank(WCHAR c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f' || c == 0xA0; }
bool IsDigit(WCHAR c) { return c >= '0' && c <= '9'; }

// A number as written in a string: either decimal (digits x 10^exponent, with a sign), or
// hexadecimal/octal ("&H1F", "&O17") as an unsigned value.
struct TextNumber {
  bool radix = false;
  unsigned long long radixValue = 0;
  bool radixTooBig = false;
  bool negative = false;
  std::string digits;  // without leading zeros; empty for zero
  long exponent = 0;
};

// The number grammar of locale 0x409 as oleaut32 reads it: blanks around; a sign before ("-",
// "+", blanks may follow it) or after ("12-") or parentheses; "$" before the digits; ","
// between digits; a decimal point; an exponent. Forms the layer does not recognise are refused.
bool ParseNumber(const WCHAR* s, std::size_t n, TextNumber* out) {
  std::size_t i = 0;
  auto skipBlanks = [&] {
    while (i < n && IsBlank(s[i])) ++i;
  };
  skipBlanks();
  if (i < n && s[i] == '&') {
    ++i;
    if (i >= n) return false;
    const WCHAR kind = s[i++];
    unsigned base;
    if (kind == 'H' || kind == 'h') base = 16;
    else if (kind == 'O' || kind == 'o') base = 8;
    else return false;
    std::size_t start = i;
    for (; i < n; ++i) {
      unsigned d;
      if (IsDigit(s[i])) d = s[i] - '0';
      else if (base == 16 && s[i] >= 'a' && s[i] <= 'f') d = s[i] - 'a' + 10;
      else if (base == 16 && s[i] >= 'A' && s[i] <= 'F') d = s[i] - 'A' + 10;
      else break;
      if (d >= base) return false;
      if (out->radixValue > (~0ull - d) / base) out->radixTooBig = true;
      out->radixValue = out->radixValue * base + d;
    }
    if (i == start) return false;
    skipBlanks();
    out->radix = true;
    return i == n;
  }

  bool leadingSign = false, parenthesis = false;
  if (i < n && (s[i] == '+' || s[i] == '-')) {
    leadingSign = true;
    out->negative = s[i] == '-';
    ++i;
    skipBlanks();
  } else if (i < n && s[i] == '(') {
    parenthesis = true;
    out->negative = true;
    ++i;
    skipBlanks();
  }
  if (i < n && s[i] == '$') ++i;

  std::string mantissa;
  long fractionDigits = 0;
  bool sawDigit = false;
  for (; i < n && (IsDigit(s[i]) || (s[i] == ',' && sawDigit)); ++i) {
    if (s[i] == ',') continue;
    sawDigit = true;
    mantissa += static_cast<char>(s[i]);
  }
  if (i < n && s[i] == '.') {
    for (++i; i < n && IsDigit(s[i]); ++i) {
      sawDigit = true;
      mantissa += static_cast<char>(s[i]);
      ++fractionDigits;
    }
  }
  if (!sawDigit) return false;
  long exponent = 0;
  if (i < n && (s[i] == 'e' || s[i] == 'E')) {
    ++i;
    bool negativeExponent = false;
    if (i < n && (s[i] == '+' || s[i] == '-')) negativeExponent = s[i++] == '-';
    if (i >= n || !IsDigit(s[i])) return false;
    for (; i < n && IsDigit(s[i]); ++i) {
      if (exponent < 100000) exponent = exponent * 10 + (s[i] - '0');
    }
    if (negativeExponent) exponent = -exponent;
  }
  skipBlanks();
  if (parenthesis) {
    if (i >= n || s[i] != ')') return false;
    ++i;
  } else if (!leadingSign && i < n && (s[i] == '-' || s[i] == '+')) {
    out->negative = s[i] == '-';
    ++i;
  }
  skipBlanks();
  if (i != n) return false;

  std::size_t firstNonZero = mantissa.find_first_not_of('0');
  out->digits = firstNonZero == std::string::npos ? std::string() : mantissa.substr(firstNonZero);
  // Trailing zeros move into the exponent so that the digits stay short.
  while (!out->digits.empty() && out->digits.back() == '0') {
    out->digits.pop_back();
    ++exponent;
  }
  out->exponent = exponent - fractionDigits;
  if (out->digits.empty()) out->negative = false;
  return true;
}

// The decimal number rounded to an integer, half to even, as oleaut32 rounds. False when it
// does not fit in 64 bits.
bool RoundToInteger(const TextNumber& number, long long* value) {
  const std::string& d = number.digits;  // no leading or trailing zeros
  const long length = static_cast<long>(d.size());
  const long integerDigits = length + number.exponent;  // digits before the decimal point
  if (integerDigits > 18) return false;
  unsigned long long magnitude = 0;
  for (long k = 0; k < integerDigits; ++k) magnitude = magnitude * 10 + (k < length ? d[k] - '0' : 0);
  // The first digit after the point decides, and a 5 that is the last digit is a tie.
  if (integerDigits >= 0 && integerDigits < length) {
    const int first = d[integerDigits] - '0';
    const bool tie = first == 5 && integerDigits + 1 == length;
    if (first > 5 || (first == 5 && !tie) || (tie && (magnitude & 1))) ++magnitude;
  }
  *value = number.negative ? -static_cast<long long>(magnitude) : static_cast<long long>(magnitude);
  return true;
}

// The decimal number as a double, for the zero test of booleans; false when it overflows.
bool ToDouble(const TextNumber& number, double* value) {
  if (number.digits.empty()) {
    *value = 0;
    return true;
  }
  const std::string text = number.digits + "e" + std::to_string(number.exponent);
  errno = 0;
  const double v = std::strtod(text.c_str(), nullptr);
  if (errno == ERANGE && std::isinf(v)) return false;
  *value = number.negative ? -v : v;
  return true;
}

// ---------------------------------------------------------------------------------------------
// Coercion

// The locales whose number and boolean text the layer knows: U.S. English and the defaults that
// stand for it on this system.
bool IsKnownLocale(LCID lcid) {
  const LCID language = lcid & 0xFFFF;
  return language == 0 || language == LOCALE_USER_DEFAULT || language == LOCALE_SYSTEM_DEFAULT ||
         language == LOCALE_INVARIANT || language == 0x0409;
}

struct Range {
  long long min, max;
  unsigned long long radixLimit;  // "&H" values up to this reinterpret at the target's width
};

bool IntegerTarget(VARTYPE vt, Range* range) {
  switch (vt) {
    case VT_I2: *range = {-32768, 32767, 0xFFFFull}; return true;
    case VT_I4: *range = {-2147483648ll, 2147483647ll, 0xFFFFFFFFull}; return true;
    case VT_UI1: *range = {0, 255, 0xFFull}; return true;
    default: return false;
  }
}

void StoreInteger(VARIANT* out, VARTYPE vt, long long v) {
  out->vt = vt;
  if (vt == VT_I2) out->iVal = static_cast<SHORT>(v);
  else if (vt == VT_I4) out->lVal = static_cast<LONG>(v);
  else out->bVal = static_cast<BYTE>(v);
}

HRESULT FromInteger(long long v, VARTYPE vt, VARIANT* out) {
  Range range = {0, 0, 0};
  if (IntegerTarget(vt, &range)) {
    if (v < range.min || v > range.max) return DISP_E_OVERFLOW;
    StoreInteger(out, vt, v);
    return S_OK;
  }
  if (vt == VT_BOOL) {
    out->vt = VT_BOOL;
    out->boolVal = v ? VARIANT_TRUE : VARIANT_FALSE;
    return S_OK;
  }
  if (vt == VT_BSTR) {
    const std::string text = std::to_string(v);
    BSTR b = SysAllocStringLen(nullptr, static_cast<UINT>(text.size()));
    if (!b) return E_OUTOFMEMORY;
    for (std::size_t k = 0; k < text.size(); ++k) b[k] = static_cast<OLECHAR>(text[k]);
    out->vt = VT_BSTR;
    out->bstrVal = b;
    return S_OK;
  }
  return DISP_E_TYPEMISMATCH;
}

HRESULT FromReal(double v, VARTYPE vt, VARIANT* out) {
  if (vt == VT_BOOL) {
    out->vt = VT_BOOL;
    out->boolVal = v != 0 ? VARIANT_TRUE : VARIANT_FALSE;
    return S_OK;
  }
  Range range = {0, 0, 0};
  if (!IntegerTarget(vt, &range)) return DISP_E_TYPEMISMATCH;  // text from reals: not supported
  if (std::isnan(v)) return DISP_E_OVERFLOW;
  const double rounded = std::nearbyint(v);  // the default rounding: half to even
  if (rounded < static_cast<double>(range.min) || rounded > static_cast<double>(range.max)) return DISP_E_OVERFLOW;
  StoreInteger(out, vt, static_cast<long long>(rounded));
  return S_OK;
}

HRESULT BoolToText(VARIANT_BOOL b, USHORT flags, LCID lcid, VARIANT* out) {
  if (!(flags & (VARIANT_ALPHABOOL | VARIANT_LOCALBOOL))) return FromInteger(b, VT_BSTR, out);
  if ((flags & VARIANT_LOCALBOOL) && !IsKnownLocale(lcid)) return DISP_E_TYPEMISMATCH;
  out->vt = VT_BSTR;
  out->bstrVal = SysAllocString(b ? OLESTR("True") : OLESTR("False"));
  return out->bstrVal ? S_OK : E_OUTOFMEMORY;
}

bool Equals(const WCHAR* s, std::size_t n, const char* word, bool ignoreCase) {
  if (std::strlen(word) != n) return false;
  for (std::size_t k = 0; k < n; ++k) {
    WCHAR c = s[k];
    char w = word[k];
    if (ignoreCase && c >= 'a' && c <= 'z') c = static_cast<WCHAR>(c - 'a' + 'A');
    if (ignoreCase && w >= 'a' && w <= 'z') w = static_cast<char>(w - 'a' + 'A');
    if (c != static_cast<WCHAR>(w)) return false;
  }
  return true;
}

HRESULT FromText(BSTR text, VARTYPE vt, LCID lcid, VARIANT* out) {
  const WCHAR* s = text ? text : OLESTR("");
  const std::size_t n = SysStringLen(text);
  if (vt == VT_BOOL) {
    if (Equals(s, n, "True", true) || Equals(s, n, "#TRUE#", false)) return FromInteger(1, VT_BOOL, out);
    if (Equals(s, n, "False", true) || Equals(s, n, "#FALSE#", false)) return FromInteger(0, VT_BOOL, out);
  } else if (vt != VT_I2 && vt != VT_I4 && vt != VT_UI1) {
    return DISP_E_TYPEMISMATCH;
  }
  if (!IsKnownLocale(lcid)) return DISP_E_TYPEMISMATCH;  // other separators and currency signs
  TextNumber number;
  if (!ParseNumber(s, n, &number)) return DISP_E_TYPEMISMATCH;
  if (number.radix) {
    if (number.radixTooBig) return DISP_E_OVERFLOW;
    if (vt == VT_BOOL) {
      if (number.radixValue > 0x7FFFFFFFull) return DISP_E_OVERFLOW;
      return FromInteger(number.radixValue != 0, VT_BOOL, out);
    }
    Range range = {0, 0, 0};
    if (!IntegerTarget(vt, &range)) return DISP_E_TYPEMISMATCH;
    if (number.radixValue > range.radixLimit) return DISP_E_OVERFLOW;
    // Hexadecimal and octal values fill the target's width: "&HFFFF" is -1 as a VT_I2.
    long long v = static_cast<long long>(number.radixValue);
    if (range.min < 0 && v > range.max) v -= static_cast<long long>(range.radixLimit) + 1;
    StoreInteger(out, vt, v);
    return S_OK;
  }
  if (vt == VT_BOOL) {
    double v;
    if (!ToDouble(number, &v)) return DISP_E_OVERFLOW;
    return FromInteger(v != 0, VT_BOOL, out);
  }
  long long v;
  if (!RoundToInteger(number, &v)) return DISP_E_OVERFLOW;
  return FromInteger(v, vt, out);
}

HRESULT Coerce(const VARIANT* src, LCID lcid, USHORT flags, VARTYPE vt, VARIANT* out, int depth);

// The value a dispatch object stands for: its default member (DISPID_VALUE), read as a property.
HRESULT FromDispatch(IDispatch* dispatch, LCID lcid, USHORT flags, VARTYPE vt, VARIANT* out, int depth) {
  if (!dispatch) return DISP_E_BADVARTYPE;
  if ((flags & VARIANT_NOVALUEPROP) || depth > 0) return DISP_E_TYPEMISMATCH;
  DISPPARAMS none = {nullptr, nullptr, 0, 0};
  VARIANT value;
  VariantInit(&value);
  HRESULT hr = dispatch->Invoke(DISPID_VALUE, IID_NULL, lcid, DISPATCH_PROPERTYGET, &none, &value, nullptr, nullptr);
  if (FAILED(hr)) return DISP_E_TYPEMISMATCH;
  hr = Coerce(&value, lcid, flags, vt, out, depth + 1);
  VariantClear(&value);
  return hr;
}

// Converts a value that is not by reference into `out` (empty on entry; filled only on success).
HRESULT Coerce(const VARIANT* src, LCID lcid, USHORT flags, VARTYPE vt, VARIANT* out, int depth) {
  const VARTYPE from = src->vt;
  if (from == vt) return VariantCopy(out, src);
  if ((from & VT_ARRAY) || (vt & (VT_ARRAY | VT_BYREF))) return DISP_E_TYPEMISMATCH;

  switch (vt) {
    case VT_EMPTY:
    case VT_NULL:
      if (from == VT_ERROR || (from == VT_NULL && vt == VT_EMPTY)) return DISP_E_TYPEMISMATCH;
      out->vt = vt;
      return S_OK;
    case VT_DISPATCH:
    case VT_UNKNOWN: {
      if (from != VT_DISPATCH && from != VT_UNKNOWN) return DISP_E_TYPEMISMATCH;
      out->vt = vt;
      out->punkVal = nullptr;
      if (!src->punkVal) return S_OK;
      void* p = nullptr;
      const HRESULT hr = src->punkVal->QueryInterface(vt == VT_DISPATCH ? IID_IDispatch : IID_IUnknown, &p);
      if (FAILED(hr)) {
        out->vt = VT_EMPTY;
        return hr;
      }
      out->punkVal = static_cast<IUnknown*>(p);
      return S_OK;
    }
    case VT_I2:
    case VT_I4:
    case VT_UI1:
    case VT_BOOL:
    case VT_BSTR:
      break;
    default:
      return DISP_E_TYPEMISMATCH;  // floating, currency, date, decimal and other integer targets
  }

  switch (from) {
    case VT_EMPTY:
      if (vt == VT_BSTR) {
        out->vt = VT_BSTR;
        out->bstrVal = SysAllocStringLen(nullptr, 0);
        return out->bstrVal ? S_OK : E_OUTOFMEMORY;
      }
      return FromInteger(0, vt, out);
    case VT_I2: return FromInteger(src->iVal, vt, out);
    case VT_I4: return FromInteger(src->lVal, vt, out);
    case VT_UI1: return FromInteger(src->bVal, vt, out);
    case VT_BOOL:
      if (vt == VT_BSTR) return BoolToText(src->boolVal, flags, lcid, out);
      if (vt == VT_UI1) {
        StoreInteger(out, VT_UI1, static_cast<BYTE>(src->boolVal));  // VARIANT_TRUE is 255
        return S_OK;
      }
      return FromInteger(src->boolVal, vt, out);
    case VT_R4: return FromReal(src->fltVal, vt, out);
    case VT_R8: return FromReal(src->dblVal, vt, out);
    case VT_BSTR: return FromText(src->bstrVal, vt, lcid, out);
    case VT_DISPATCH: return FromDispatch(src->pdispVal, lcid, flags, vt, out, depth);
    default:
      return DISP_E_TYPEMISMATCH;  // null, error, unknown, and the types the layer does not convert
  }
}

}  // namespace

extern "C" {

void WINAPI VariantInit(VARIANTARG* pvarg) { pvarg->vt = VT_EMPTY; }

HRESULT WINAPI VariantClear(VARIANTARG* pvarg) {
  if (!pvarg) return E_INVALIDARG;
  const VARTYPE vt = pvarg->vt;
  if (!IsValidType(vt)) return DISP_E_BADVARTYPE;
  if (!(vt & VT_BYREF)) {
    if (vt & VT_ARRAY) {
      const HRESULT hr = SafeArrayDestroy(pvarg->parray);
      if (FAILED(hr)) return hr;
    } else if (vt == VT_BSTR) {
      SysFreeString(pvarg->bstrVal);
    } else if (vt == VT_UNKNOWN || vt == VT_DISPATCH) {
      if (pvarg->punkVal) pvarg->punkVal->Release();
    } else if (vt == VT_RECORD) {
      return DISP_E_BADVARTYPE;  // records need IRecordInfo, which the layer does not have
    }
  }
  pvarg->vt = VT_EMPTY;
  return S_OK;
}

HRESULT WINAPI VariantCopy(VARIANTARG* pvargDest, const VARIANTARG* pvargSrc) {
  if (!pvargDest || !pvargSrc) return E_INVALIDARG;
  if (!IsValidType(pvargSrc->vt) || pvargSrc->vt == VT_RECORD) return DISP_E_BADVARTYPE;
  if (pvargDest == pvargSrc) return S_OK;
  HRESULT hr = VariantClear(pvargDest);
  if (FAILED(hr)) return hr;
  std::memcpy(static_cast<void*>(pvargDest), pvargSrc, sizeof(VARIANT));
  hr = DeepenCopy(pvargDest, pvargSrc);
  if (FAILED(hr)) pvargDest->vt = VT_EMPTY;
  return hr;
}

HRESULT WINAPI VariantCopyInd(VARIANT* pvarDest, const VARIANTARG* pvargSrc) {
  if (!pvarDest || !pvargSrc) return E_INVALIDARG;
  const VARTYPE vt = pvargSrc->vt;
  if (!IsValidType(vt) || (vt & VT_TYPEMASK) == VT_RECORD) return DISP_E_BADVARTYPE;
  if (!(vt & VT_BYREF)) return VariantCopy(pvarDest, pvargSrc);
  if (!pvargSrc->byref) return E_INVALIDARG;

  // The value referred to, as a VARIANT of its own; then it replaces the destination.
  VARIANT value;
  VariantInit(&value);
  const VARTYPE base = vt & ~VT_BYREF;
  HRESULT hr = S_OK;
  if (base == VT_VARIANT) {
    const VARIANT* inner = pvargSrc->pvarVal;
    if (inner->vt == (VT_VARIANT | VT_BYREF)) return E_INVALIDARG;
    hr = VariantCopyInd(&value, inner);
  } else if (base & VT_ARRAY) {
    hr = SafeArrayCopy(*pvargSrc->pparray, &value.parray);
    if (SUCCEEDED(hr)) value.vt = base;
  } else if (base == VT_BSTR) {
    hr = CopyBstr(*pvargSrc->pbstrVal, &value.bstrVal);
    if (SUCCEEDED(hr)) value.vt = VT_BSTR;
  } else if (base == VT_UNKNOWN || base == VT_DISPATCH) {
    value.punkVal = *pvargSrc->ppunkVal;
    if (value.punkVal) value.punkVal->AddRef();
    value.vt = base;
  } else if (base == VT_DECIMAL) {
    value.decVal = *pvargSrc->pdecVal;
    value.vt = VT_DECIMAL;  // after the copy: the decimal's first field shares the type's place
  } else {
    std::memcpy(&value.llVal, pvargSrc->byref, PlainSize(base));
    value.vt = base;
  }
  if (FAILED(hr)) return hr;
  hr = VariantClear(pvarDest);  // a by-reference source is never cleared with it
  if (FAILED(hr)) {
    VariantClear(&value);
    return hr;
  }
  std::memcpy(static_cast<void*>(pvarDest), &value, sizeof(VARIANT));
  return S_OK;
}

HRESULT WINAPI VariantChangeTypeEx(VARIANTARG* pvargDest, const VARIANTARG* pvarSrc, LCID lcid,
                                   USHORT wFlags, VARTYPE vt) {
  if (!pvargDest || !pvarSrc) return E_INVALIDARG;
  if (!IsValidType(pvarSrc->vt) || !IsValidType(vt)) return DISP_E_BADVARTYPE;
  if ((pvarSrc->vt & VT_BYREF) && !pvarSrc->byref) return DISP_E_TYPEMISMATCH;
  if (vt == VT_VARIANT || vt == VT_RECORD) return DISP_E_TYPEMISMATCH;

  VARIANT value;  // the source, dereferenced
  VariantInit(&value);
  HRESULT hr = VariantCopyInd(&value, pvarSrc);
  if (FAILED(hr)) return hr;
  VARIANT result;
  VariantInit(&result);
  hr = Coerce(&value, lcid, wFlags, vt, &result, 0);
  VariantClear(&value);
  if (FAILED(hr)) {
    VariantClear(&result);
    return hr;  // the destination stays as it was
  }
  hr = VariantClear(pvargDest);
  if (FAILED(hr)) {
    VariantClear(&result);
    return hr;
  }
  std::memcpy(static_cast<void*>(pvargDest), &result, sizeof(VARIANT));
  return S_OK;
}

HRESULT WINAPI VariantChangeType(VARIANTARG* pvargDest, const VARIANTARG* pvarSrc, USHORT wFlags, VARTYPE vt) {
  return VariantChangeTypeEx(pvargDest, pvarSrc, LOCALE_USER_DEFAULT, wFlags, vt);
}

}  // extern "C"
