// GUID string forms: "{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}".
#include "zov/platform/guid.h"

#include "zov/platform/errors.h"

namespace {

constexpr int kBracedLength = 38;  // without the NUL

int HexValue(OLECHAR c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// Reads `digits` hexadecimal digits at s[*pos]; false on anything else.
bool ReadHex(LPCOLESTR s, int* pos, int digits, std::uint32_t* value) {
  std::uint32_t v = 0;
  for (int i = 0; i < digits; ++i) {
    const int d = HexValue(s[*pos + i]);
    if (d < 0) return false;
    v = (v << 4) | static_cast<std::uint32_t>(d);
  }
  *pos += digits;
  *value = v;
  return true;
}

bool Expect(LPCOLESTR s, int* pos, OLECHAR c) {
  if (s[*pos] != c) return false;
  ++*pos;
  return true;
}

int Length(LPCOLESTR s) {
  int n = 0;
  while (s[n] && n <= kBracedLength) ++n;
  return n;
}

// The braced form and nothing after it; hex digits of either case.
bool ParseBraced(LPCOLESTR s, GUID* out) {
  if (Length(s) != kBracedLength) return false;
  int pos = 0;
  std::uint32_t d1, d2, d3, v;
  GUID g;
  if (!Expect(s, &pos, '{') || !ReadHex(s, &pos, 8, &d1) || !Expect(s, &pos, '-') ||
      !ReadHex(s, &pos, 4, &d2) || !Expect(s, &pos, '-') || !ReadHex(s, &pos, 4, &d3) ||
      !Expect(s, &pos, '-'))
    return false;
  for (int i = 0; i < 8; ++i) {
    if (i == 2 && !Expect(s, &pos, '-')) return false;
    if (!ReadHex(s, &pos, 2, &v)) return false;
    g.Data4[i] = static_cast<BYTE>(v);
  }
  if (!Expect(s, &pos, '}')) return false;
  g.Data1 = d1;
  g.Data2 = static_cast<WORD>(d2);
  g.Data3 = static_cast<WORD>(d3);
  *out = g;
  return true;
}

void PutHex(LPOLESTR* p, std::uint32_t value, int digits) {
  static const char kDigits[] = "0123456789ABCDEF";
  for (int i = digits - 1; i >= 0; --i) *(*p)++ = static_cast<OLECHAR>(kDigits[(value >> (4 * i)) & 0xF]);
}

}  // namespace

extern "C" {

int WINAPI StringFromGUID2(REFGUID rguid, LPOLESTR lpsz, int cchMax) {
  if (!lpsz || cchMax < kBracedLength + 1) return 0;
  LPOLESTR p = lpsz;
  *p++ = '{';
  PutHex(&p, rguid.Data1, 8);
  *p++ = '-';
  PutHex(&p, rguid.Data2, 4);
  *p++ = '-';
  PutHex(&p, rguid.Data3, 4);
  *p++ = '-';
  for (int i = 0; i < 8; ++i) {
    if (i == 2) *p++ = '-';
    PutHex(&p, rguid.Data4[i], 2);
  }
  *p++ = '}';
  *p = 0;
  return kBracedLength + 1;
}

HRESULT WINAPI CLSIDFromString(LPCOLESTR lpsz, LPCLSID pclsid) {
  if (!pclsid) return E_INVALIDARG;
  if (!lpsz) {
    *pclsid = GUID_NULL;
    return S_OK;
  }
  return ParseBraced(lpsz, pclsid) ? S_OK : CO_E_CLASSSTRING;
}

HRESULT WINAPI IIDFromString(LPCOLESTR lpsz, LPIID lpiid) {
  if (!lpiid) return E_INVALIDARG;
  if (!lpsz) {
    *lpiid = GUID_NULL;
    return S_OK;
  }
  if (Length(lpsz) != kBracedLength) return E_INVALIDARG;
  return ParseBraced(lpsz, lpiid) ? S_OK : CO_E_IIDSTRING;
}

}  // extern "C"
