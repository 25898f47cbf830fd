// ANSI text: Windows-1252 as the ANSI code page, UTF-8, and the 1252 case and comparison functions.
#include "zov/platform/text.h"

#include <cstring>
#include <string>

#include "zov/platform/errors.h"

namespace {

constexpr UINT kAnsiCodePage = 1252;
constexpr WCHAR kReplacementChar = 0xFFFD;

// The UTF-16 character of every 1252 byte. The five bytes 1252 leaves undefined (0x81, 0x8D,
// 0x8F, 0x90, 0x9D) map to the C1 control of the same value, as on Windows.
constexpr WCHAR kCp1252ToUnicode[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,  // 0x80
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,  // 0x88
    0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,  // 0x90
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,  // 0x98
};

WCHAR AnsiToWide(BYTE b) {
  if (b >= 0x80 && b < 0xA0) return kCp1252ToUnicode[b - 0x80];
  return b;
}

struct BestFit {
  WCHAR from;
  BYTE to;
};

// The characters Windows writes as a similar 1252 character when WC_NO_BEST_FIT_CHARS is not
// given (accents dropped, look-alike symbols, box drawing), as Windows' own code page 1252 table
// defines them. The fullwidth forms U+FF01..U+FF5E are handled as a range. Sorted by `from`.
constexpr BestFit kBestFit[] = {
    {0x0100, 0x41}, {0x0101, 0x61}, {0x0102, 0x41}, {0x0103, 0x61}, {0x0104, 0x41}, {0x0105, 0x61},
    {0x0106, 0x43}, {0x0107, 0x63}, {0x0108, 0x43}, {0x0109, 0x63}, {0x010A, 0x43}, {0x010B, 0x63},
    {0x010C, 0x43}, {0x010D, 0x63}, {0x010E, 0x44}, {0x010F, 0x64}, {0x0110, 0xD0}, {0x0111, 0x64},
    {0x0112, 0x45}, {0x0113, 0x65}, {0x0114, 0x45}, {0x0115, 0x65}, {0x0116, 0x45}, {0x0117, 0x65},
    {0x0118, 0x45}, {0x0119, 0x65}, {0x011A, 0x45}, {0x011B, 0x65}, {0x011C, 0x47}, {0x011D, 0x67},
    {0x011E, 0x47}, {0x011F, 0x67}, {0x0120, 0x47}, {0x0121, 0x67}, {0x0122, 0x47}, {0x0123, 0x67},
    {0x0124, 0x48}, {0x0125, 0x68}, {0x0126, 0x48}, {0x0127, 0x68}, {0x0128, 0x49}, {0x0129, 0x69},
    {0x012A, 0x49}, {0x012B, 0x69}, {0x012C, 0x49}, {0x012D, 0x69}, {0x012E, 0x49}, {0x012F, 0x69},
    {0x0130, 0x49}, {0x0131, 0x69}, {0x0134, 0x4A}, {0x0135, 0x6A}, {0x0136, 0x4B}, {0x0137, 0x6B},
    {0x0139, 0x4C}, {0x013A, 0x6C}, {0x013B, 0x4C}, {0x013C, 0x6C}, {0x013D, 0x4C}, {0x013E, 0x6C},
    {0x0141, 0x4C}, {0x0142, 0x6C}, {0x0143, 0x4E}, {0x0144, 0x6E}, {0x0145, 0x4E}, {0x0146, 0x6E},
    {0x0147, 0x4E}, {0x0148, 0x6E}, {0x014C, 0x4F}, {0x014D, 0x6F}, {0x014E, 0x4F}, {0x014F, 0x6F},
    {0x0150, 0x4F}, {0x0151, 0x6F}, {0x0154, 0x52}, {0x0155, 0x72}, {0x0156, 0x52}, {0x0157, 0x72},
    {0x0158, 0x52}, {0x0159, 0x72}, {0x015A, 0x53}, {0x015B, 0x73}, {0x015C, 0x53}, {0x015D, 0x73},
    {0x015E, 0x53}, {0x015F, 0x73}, {0x0162, 0x54}, {0x0163, 0x74}, {0x0164, 0x54}, {0x0165, 0x74},
    {0x0166, 0x54}, {0x0167, 0x74}, {0x0168, 0x55}, {0x0169, 0x75}, {0x016A, 0x55}, {0x016B, 0x75},
    {0x016C, 0x55}, {0x016D, 0x75}, {0x016E, 0x55}, {0x016F, 0x75}, {0x0170, 0x55}, {0x0171, 0x75},
    {0x0172, 0x55}, {0x0173, 0x75}, {0x0174, 0x57}, {0x0175, 0x77}, {0x0176, 0x59}, {0x0177, 0x79},
    {0x0179, 0x5A}, {0x017A, 0x7A}, {0x017B, 0x5A}, {0x017C, 0x7A}, {0x0180, 0x62}, {0x0189, 0xD0},
    {0x0191, 0x83}, {0x0197, 0x49}, {0x019A, 0x6C}, {0x019F, 0x4F}, {0x01A0, 0x4F}, {0x01A1, 0x6F},
    {0x01AB, 0x74}, {0x01AE, 0x54}, {0x01AF, 0x55}, {0x01B0, 0x75}, {0x01B6, 0x7A}, {0x01C0, 0x7C},
    {0x01C3, 0x21}, {0x01CD, 0x41}, {0x01CE, 0x61}, {0x01CF, 0x49}, {0x01D0, 0x69}, {0x01D1, 0x4F},
    {0x01D2, 0x6F}, {0x01D3, 0x55}, {0x01D4, 0x75}, {0x01D5, 0x55}, {0x01D6, 0x75}, {0x01D7, 0x55},
    {0x01D8, 0x75}, {0x01D9, 0x55}, {0x01DA, 0x75}, {0x01DB, 0x55}, {0x01DC, 0x75}, {0x01DE, 0x41},
    {0x01DF, 0x61}, {0x01E4, 0x47}, {0x01E5, 0x67}, {0x01E6, 0x47}, {0x01E7, 0x67}, {0x01E8, 0x4B},
    {0x01E9, 0x6B}, {0x01EA, 0x4F}, {0x01EB, 0x6F}, {0x01EC, 0x4F}, {0x01ED, 0x6F}, {0x01F0, 0x6A},
    {0x0261, 0x67}, {0x02B9, 0x27}, {0x02BA, 0x22}, {0x02BC, 0x27}, {0x02C4, 0x5E}, {0x02C8, 0x27},
    {0x02C9, 0xAF}, {0x02CA, 0xB4}, {0x02CB, 0x60}, {0x02CD, 0x5F}, {0x02DA, 0xB0}, {0x0300, 0x60},
    {0x0301, 0xB4}, {0x0302, 0x5E}, {0x0303, 0x7E}, {0x0304, 0xAF}, {0x0305, 0xAF}, {0x0308, 0xA8},
    {0x030A, 0xB0}, {0x030E, 0x22}, {0x0327, 0xB8}, {0x0331, 0x5F}, {0x0332, 0x5F}, {0x037E, 0x3B},
    {0x0393, 0x47}, {0x0398, 0x54}, {0x03A3, 0x53}, {0x03A6, 0x46}, {0x03A9, 0x4F}, {0x03B1, 0x61},
    {0x03B2, 0xDF}, {0x03B4, 0x64}, {0x03B5, 0x65}, {0x03BC, 0xB5}, {0x03C0, 0x70}, {0x03C3, 0x73},
    {0x03C4, 0x74}, {0x03C6, 0x66}, {0x04BB, 0x68}, {0x0589, 0x3A}, {0x066A, 0x25}, {0x2000, 0x20},
    {0x2001, 0x20}, {0x2002, 0x20}, {0x2003, 0x20}, {0x2004, 0x20}, {0x2005, 0x20}, {0x2006, 0x20},
    {0x2010, 0x2D}, {0x2011, 0x2D}, {0x2017, 0x3D}, {0x2024, 0xB7}, {0x2032, 0x27}, {0x2035, 0x60},
    {0x2044, 0x2F}, {0x2070, 0xB0}, {0x2074, 0x34}, {0x2075, 0x35}, {0x2076, 0x36}, {0x2077, 0x37},
    {0x2078, 0x38}, {0x207F, 0x6E}, {0x2080, 0x30}, {0x2081, 0x31}, {0x2082, 0x32}, {0x2083, 0x33},
    {0x2084, 0x34}, {0x2085, 0x35}, {0x2086, 0x36}, {0x2087, 0x37}, {0x2088, 0x38}, {0x2089, 0x39},
    {0x20A1, 0xA2}, {0x20A4, 0xA3}, {0x20A7, 0x50}, {0x2102, 0x43}, {0x2107, 0x45}, {0x210A, 0x67},
    {0x210B, 0x48}, {0x210C, 0x48}, {0x210D, 0x48}, {0x210E, 0x68}, {0x2110, 0x49}, {0x2111, 0x49},
    {0x2112, 0x4C}, {0x2113, 0x6C}, {0x2115, 0x4E}, {0x2118, 0x50}, {0x2119, 0x50}, {0x211A, 0x51},
    {0x211B, 0x52}, {0x211C, 0x52}, {0x211D, 0x52}, {0x2124, 0x5A}, {0x2128, 0x5A}, {0x212A, 0x4B},
    {0x212B, 0xC5}, {0x212C, 0x42}, {0x212D, 0x43}, {0x212E, 0x65}, {0x212F, 0x65}, {0x2130, 0x45},
    {0x2131, 0x46}, {0x2133, 0x4D}, {0x2134, 0x6F}, {0x2205, 0xD8}, {0x2212, 0x2D}, {0x2213, 0xB1},
    {0x2215, 0x2F}, {0x2216, 0x5C}, {0x2217, 0x2A}, {0x2218, 0xB0}, {0x2219, 0xB7}, {0x221A, 0x76},
    {0x221E, 0x38}, {0x2223, 0x7C}, {0x2229, 0x6E}, {0x2236, 0x3A}, {0x223C, 0x7E}, {0x2248, 0x98},
    {0x2261, 0x3D}, {0x2264, 0x3D}, {0x2265, 0x3D}, {0x226A, 0xAB}, {0x226B, 0xBB}, {0x22C5, 0xB7},
    {0x2302, 0xA6}, {0x2303, 0x5E}, {0x2310, 0xAC}, {0x2320, 0x28}, {0x2321, 0x29}, {0x2329, 0x3C},
    {0x232A, 0x3E}, {0x2500, 0x2D}, {0x2502, 0xA6}, {0x250C, 0x2B}, {0x2510, 0x2B}, {0x2514, 0x2B},
    {0x2518, 0x2B}, {0x251C, 0x2B}, {0x2524, 0xA6}, {0x252C, 0x2D}, {0x2534, 0x2D}, {0x253C, 0x2B},
    {0x2550, 0x2D}, {0x2551, 0xA6}, {0x2552, 0x2B}, {0x2553, 0x2B}, {0x2554, 0x2B}, {0x2555, 0x2B},
    {0x2556, 0x2B}, {0x2557, 0x2B}, {0x2558, 0x2B}, {0x2559, 0x2B}, {0x255A, 0x2B}, {0x255B, 0x2B},
    {0x255C, 0x2B}, {0x255D, 0x2B}, {0x255E, 0xA6}, {0x255F, 0xA6}, {0x2560, 0xA6}, {0x2561, 0xA6},
    {0x2562, 0xA6}, {0x2563, 0xA6}, {0x2564, 0x2D}, {0x2565, 0x2D}, {0x2566, 0x2D}, {0x2567, 0x2D},
    {0x2568, 0x2D}, {0x2569, 0x2D}, {0x256A, 0x2B}, {0x256B, 0x2B}, {0x256C, 0x2B}, {0x2580, 0xAF},
    {0x2584, 0x5F}, {0x2588, 0xA6}, {0x258C, 0xA6}, {0x2590, 0xA6}, {0x2591, 0xA6}, {0x2592, 0xA6},
    {0x2593, 0xA6}, {0x25A0, 0xA6}, {0x263C, 0xA4}, {0x2758, 0x7C}, {0x3000, 0x20}, {0x3008, 0x3C},
    {0x3009, 0x3E}, {0x300A, 0xAB}, {0x300B, 0xBB}, {0x301A, 0x5B}, {0x301B, 0x5D}, {0x30FB, 0xB7},
};

constexpr bool BestFitIsSorted() {
  for (std::size_t i = 1; i < sizeof(kBestFit) / sizeof(kBestFit[0]); ++i)
    if (!(kBestFit[i - 1].from < kBestFit[i].from)) return false;
  return true;
}
static_assert(BestFitIsSorted(), "the best-fit table is searched by bisection");

// The 1252 byte of a character that maps back and forth; -1 when there is none.
int WideToAnsiExact(WCHAR c) {
  if (c < 0x80 || (c >= 0xA0 && c <= 0xFF)) return c;
  for (int i = 0; i < 32; ++i)
    if (kCp1252ToUnicode[i] == c) return 0x80 + i;
  return -1;
}

int WideToAnsiBestFit(WCHAR c) {
  if (c >= 0xFF01 && c <= 0xFF5E) return c - 0xFF01 + 0x21;
  std::size_t lo = 0, hi = sizeof(kBestFit) / sizeof(kBestFit[0]);
  while (lo < hi) {
    const std::size_t mid = (lo + hi) / 2;
    if (kBestFit[mid].from == c) return kBestFit[mid].to;
    if (kBestFit[mid].from < c) lo = mid + 1; else hi = mid;
  }
  return -1;
}

// The code pages the layer converts: 1252 (also as CP_ACP and CP_THREAD_ACP) and UTF-8; 0 for any
// other.
UINT ResolveCodePage(UINT codePage) {
  if (codePage == CP_ACP || codePage == CP_THREAD_ACP || codePage == kAnsiCodePage) return kAnsiCodePage;
  if (codePage == CP_UTF8) return CP_UTF8;
  return 0;
}

// A growing output that counts what does not fit instead of writing it.
template <typename Char>
class Output {
 public:
  Output(Char* buffer, int capacity) : buffer_(buffer), capacity_(buffer ? capacity : 0) {}
  void Put(Char c) {
    if (capacity_ > 0) {
      if (count_ < capacity_) buffer_[count_] = c; else overflow_ = true;
    }
    ++count_;
  }
  int count() const { return count_; }
  bool overflow() const { return overflow_; }

 private:
  Char* buffer_;
  int capacity_;  // 0: only count
  int count_ = 0;
  bool overflow_ = false;
};

int Finish(int count, bool overflow) {
  if (overflow) {
    SetLastError(ERROR_INSUFFICIENT_BUFFER);
    return 0;
  }
  return count;
}

// Decodes one UTF-8 sequence starting at s[i]. Returns the code point, or -1 for an ill-formed
// sequence; `len` is the number of bytes consumed: for an ill-formed sequence the longest prefix
// that could have begun a valid one (at least one byte), which becomes one U+FFFD.
int32_t DecodeUtf8(const BYTE* s, int n, int i, int* len) {
  const BYTE b0 = s[i];
  *len = 1;
  if (b0 < 0x80) return b0;
  int need;
  int32_t cp;
  BYTE lo = 0x80, hi = 0xBF;  // the range allowed for the second byte
  if (b0 >= 0xC2 && b0 <= 0xDF) { need = 1; cp = b0 & 0x1F; }
  else if (b0 >= 0xE0 && b0 <= 0xEF) {
    need = 2; cp = b0 & 0x0F;
    if (b0 == 0xE0) lo = 0xA0;       // no overlong forms
    if (b0 == 0xED) hi = 0x9F;       // no surrogates
  } else if (b0 >= 0xF0 && b0 <= 0xF4) {
    need = 3; cp = b0 & 0x07;
    if (b0 == 0xF0) lo = 0x90;       // no overlong forms
    if (b0 == 0xF4) hi = 0x8F;       // nothing above U+10FFFF
  } else {
    return -1;
  }
  for (int k = 1; k <= need; ++k) {
    if (i + k >= n) return -1;
    const BYTE b = s[i + k];
    const BYTE min = (k == 1) ? lo : 0x80;
    const BYTE max = (k == 1) ? hi : 0xBF;
    if (b < min || b > max) return -1;
    cp = (cp << 6) | (b & 0x3F);
    *len = k + 1;
  }
  return cp;
}

BYTE UpperAnsi(BYTE c) {
  if (c >= 'a' && c <= 'z') return c - 0x20;
  if (c >= 0xE0 && c <= 0xFE && c != 0xF7) return c - 0x20;
  switch (c) {
    case 0x9A: return 0x8A;
    case 0x9C: return 0x8C;
    case 0x9E: return 0x8E;
    case 0xFF: return 0x9F;
    default: return c;
  }
}

BYTE LowerAnsi(BYTE c) {
  if (c >= 'A' && c <= 'Z') return c + 0x20;
  if (c >= 0xC0 && c <= 0xDE && c != 0xD7) return c + 0x20;
  switch (c) {
    case 0x8A: return 0x9A;
    case 0x8C: return 0x9C;
    case 0x8E: return 0x9E;
    case 0x9F: return 0xFF;
    default: return c;
  }
}

// The unaccented letter of an accented 1252 letter (upper case), 0 for any other byte.
BYTE BaseLetter(BYTE upper) {
  static constexpr char kBase[] = "AAAAAA\0CEEEEIIII\0NOOOOO\0OUUUUY";  // 0xC0..0xDD
  if (upper >= 0xC0 && upper <= 0xDD) return static_cast<BYTE>(kBase[upper - 0xC0]);
  switch (upper) {
    case 0x8A: return 'S';
    case 0x8E: return 'Z';
    case 0x9F: return 'Y';
    case 0x83: return 'F';
    default: return 0;
  }
}

// The three levels Windows sorts by, for one 1252 character: the letter or symbol, then its
// accent, then its case. Symbols come before digits, digits before letters; an accented letter
// sorts with its base letter.
struct SortWeight {
  int primary;
  int accent;
  int upper;  // 1 for an upper-case letter: lower case sorts first
};

SortWeight WeightOf(BYTE c) {
  const BYTE upper = UpperAnsi(c);
  const bool hasCase = upper != LowerAnsi(c);
  SortWeight w{c, 0, hasCase && upper == c ? 1 : 0};
  if (c >= '0' && c <= '9') {
    w.primary = 0x100 + c;
  } else if (upper >= 'A' && upper <= 'Z') {
    w.primary = 0x200 + upper;
  } else if (const BYTE base = BaseLetter(upper)) {
    w.primary = 0x200 + base;
    w.accent = upper;
  } else if (hasCase || c == 0xDF) {
    w.primary = 0x300 + upper;  // letters without a base letter (ligatures, eth, thorn) after Z
  }
  return w;
}

// In the word sort Windows uses, '-' and '\'' do not count until the rest is equal.
bool IsWordSortSpecial(char c) { return c == '-' || c == '\''; }

std::string SortCharacters(const char* s, int n, bool* hadSpecial) {
  std::string out;
  for (int i = 0; i < n; ++i) {
    if (s[i] == '\0') continue;  // NUL has no weight in a counted string, as on Windows
    if (IsWordSortSpecial(s[i])) { *hadSpecial = true; continue; }
    out += s[i];
  }
  return out;
}

int Order(int a, int b) { return a < b ? CSTR_LESS_THAN : (a > b ? CSTR_GREATER_THAN : CSTR_EQUAL); }

int CompareAnsi(const char* s1, int n1, const char* s2, int n2, bool ignoreCase) {
  bool special1 = false, special2 = false;
  const std::string a = SortCharacters(s1, n1, &special1);
  const std::string b = SortCharacters(s2, n2, &special2);
  const std::size_t common = a.size() < b.size() ? a.size() : b.size();
  for (std::size_t i = 0; i < common; ++i) {
    const int r = Order(WeightOf(static_cast<BYTE>(a[i])).primary, WeightOf(static_cast<BYTE>(b[i])).primary);
    if (r != CSTR_EQUAL) return r;
  }
  if (a.size() != b.size()) return Order(static_cast<int>(a.size()), static_cast<int>(b.size()));
  for (std::size_t i = 0; i < common; ++i) {
    const int r = Order(WeightOf(static_cast<BYTE>(a[i])).accent, WeightOf(static_cast<BYTE>(b[i])).accent);
    if (r != CSTR_EQUAL) return r;
  }
  if (!ignoreCase) {
    for (std::size_t i = 0; i < common; ++i) {
      const int r = Order(WeightOf(static_cast<BYTE>(a[i])).upper, WeightOf(static_cast<BYTE>(b[i])).upper);
      if (r != CSTR_EQUAL) return r;
    }
  }
  if (special1 != special2) return special1 ? CSTR_GREATER_THAN : CSTR_LESS_THAN;
  if (!special1) return CSTR_EQUAL;
  // Both have hyphens or apostrophes: where they stand, and which they are, decides.
  auto specialAt = [](const char* s, int n, int i) {
    return i < n && IsWordSortSpecial(s[i]) ? static_cast<BYTE>(s[i]) : 0;
  };
  const int m = n1 > n2 ? n1 : n2;
  for (int i = 0; i < m; ++i) {
    const int r = Order(specialAt(s1, n1, i), specialAt(s2, n2, i));
    if (r != CSTR_EQUAL) return r;
  }
  return CSTR_EQUAL;
}

int StrictCompare(LPCSTR a, LPCSTR b, bool ignoreCase) {
  if (!a || !b) return (a ? 1 : 0) - (b ? 1 : 0);
  return CompareAnsi(a, static_cast<int>(std::strlen(a)), b, static_cast<int>(std::strlen(b)),
                     ignoreCase) - 2;
}

}  // namespace

extern "C" {

int WINAPI MultiByteToWideChar(UINT CodePage, DWORD dwFlags, LPCSTR lpMultiByteStr, int cbMultiByte,
                               LPWSTR lpWideCharStr, int cchWideChar) {
  if (!lpMultiByteStr || cbMultiByte == 0 || cchWideChar < 0 || (!lpWideCharStr && cchWideChar) ||
      static_cast<const void*>(lpMultiByteStr) == static_cast<const void*>(lpWideCharStr)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  const UINT cp = ResolveCodePage(CodePage);
  if (cp == 0) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  const DWORD allowed = cp == CP_UTF8 ? MB_ERR_INVALID_CHARS : (MB_PRECOMPOSED | MB_ERR_INVALID_CHARS);
  if (dwFlags & ~allowed) {
    SetLastError(ERROR_INVALID_FLAGS);
    return 0;
  }
  const int n = cbMultiByte < 0 ? static_cast<int>(std::strlen(lpMultiByteStr)) + 1 : cbMultiByte;
  const BYTE* src = reinterpret_cast<const BYTE*>(lpMultiByteStr);
  Output<WCHAR> out(lpWideCharStr, cchWideChar);
  if (cp == kAnsiCodePage) {
    for (int i = 0; i < n; ++i) out.Put(AnsiToWide(src[i]));
    return Finish(out.count(), out.overflow());
  }
  bool invalid = false;
  for (int i = 0; i < n;) {
    int len;
    const int32_t c = DecodeUtf8(src, n, i, &len);
    i += len;
    if (c < 0) {
      invalid = true;
      out.Put(kReplacementChar);
    } else if (c >= 0x10000) {
      out.Put(static_cast<WCHAR>(0xD800 + ((c - 0x10000) >> 10)));
      out.Put(static_cast<WCHAR>(0xDC00 + ((c - 0x10000) & 0x3FF)));
    } else {
      out.Put(static_cast<WCHAR>(c));
    }
  }
  // Windows converts everything it can first: a full buffer is reported before invalid input.
  if (!out.overflow() && invalid && (dwFlags & MB_ERR_INVALID_CHARS)) {
    SetLastError(ERROR_NO_UNICODE_TRANSLATION);
    return 0;
  }
  return Finish(out.count(), out.overflow());
}

int WINAPI WideCharToMultiByte(UINT CodePage, DWORD dwFlags, LPCWSTR lpWideCharStr, int cchWideChar,
                               LPSTR lpMultiByteStr, int cbMultiByte, LPCSTR lpDefaultChar,
                               LPBOOL lpUsedDefaultChar) {
  if (!lpWideCharStr || cchWideChar == 0 || cbMultiByte < 0 || (!lpMultiByteStr && cbMultiByte) ||
      static_cast<const void*>(lpWideCharStr) == static_cast<const void*>(lpMultiByteStr)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  const UINT cp = ResolveCodePage(CodePage);
  if (cp == 0) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  const DWORD allowed = cp == CP_UTF8 ? WC_ERR_INVALID_CHARS : WC_NO_BEST_FIT_CHARS;
  if (dwFlags & ~allowed) {
    SetLastError(ERROR_INVALID_FLAGS);
    return 0;
  }
  if (cp == CP_UTF8 && (lpDefaultChar || lpUsedDefaultChar)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  const int n = cchWideChar < 0 ? lstrlenW(lpWideCharStr) + 1 : cchWideChar;
  Output<char> out(lpMultiByteStr, cbMultiByte);
  if (cp == kAnsiCodePage) {
    const char defaultChar = lpDefaultChar ? lpDefaultChar[0] : '?';
    bool usedDefault = false;
    for (int i = 0; i < n; ++i) {
      int b = WideToAnsiExact(lpWideCharStr[i]);
      if (b < 0 && !(dwFlags & WC_NO_BEST_FIT_CHARS)) b = WideToAnsiBestFit(lpWideCharStr[i]);
      if (b < 0) {
        usedDefault = true;
        out.Put(defaultChar);
      } else {
        out.Put(static_cast<char>(b));
      }
    }
    if (lpUsedDefaultChar) *lpUsedDefaultChar = usedDefault ? TRUE : FALSE;
    return Finish(out.count(), out.overflow());
  }
  for (int i = 0; i < n; ++i) {
    uint32_t c = lpWideCharStr[i];
    if (c >= 0xD800 && c <= 0xDBFF && i + 1 < n && lpWideCharStr[i + 1] >= 0xDC00 &&
        lpWideCharStr[i + 1] <= 0xDFFF) {
      c = 0x10000 + ((c - 0xD800) << 10) + (lpWideCharStr[i + 1] - 0xDC00);
      ++i;
    } else if (c >= 0xD800 && c <= 0xDFFF) {
      if (dwFlags & WC_ERR_INVALID_CHARS) {
        SetLastError(ERROR_NO_UNICODE_TRANSLATION);
        return 0;
      }
      c = kReplacementChar;
    }
    if (c < 0x80) {
      out.Put(static_cast<char>(c));
    } else if (c < 0x800) {
      out.Put(static_cast<char>(0xC0 | (c >> 6)));
      out.Put(static_cast<char>(0x80 | (c & 0x3F)));
    } else if (c < 0x10000) {
      out.Put(static_cast<char>(0xE0 | (c >> 12)));
      out.Put(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
      out.Put(static_cast<char>(0x80 | (c & 0x3F)));
    } else {
      out.Put(static_cast<char>(0xF0 | (c >> 18)));
      out.Put(static_cast<char>(0x80 | ((c >> 12) & 0x3F)));
      out.Put(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
      out.Put(static_cast<char>(0x80 | (c & 0x3F)));
    }
  }
  return Finish(out.count(), out.overflow());
}

LPSTR WINAPI CharUpperA(LPSTR lpsz) {
  const ULONG_PTR value = reinterpret_cast<ULONG_PTR>(lpsz);
  if ((value >> 16) == 0) {
    return reinterpret_cast<LPSTR>(static_cast<ULONG_PTR>(UpperAnsi(static_cast<BYTE>(value & 0xFF))));
  }
  for (char* p = lpsz; *p; ++p) *p = static_cast<char>(UpperAnsi(static_cast<BYTE>(*p)));
  return lpsz;
}

DWORD WINAPI CharUpperBuffA(LPSTR lpsz, DWORD cchLength) {
  if (!lpsz) return 0;
  for (DWORD i = 0; i < cchLength; ++i) lpsz[i] = static_cast<char>(UpperAnsi(static_cast<BYTE>(lpsz[i])));
  return cchLength;
}

LPSTR WINAPI CharLowerA(LPSTR lpsz) {
  const ULONG_PTR value = reinterpret_cast<ULONG_PTR>(lpsz);
  if ((value >> 16) == 0) {
    return reinterpret_cast<LPSTR>(static_cast<ULONG_PTR>(LowerAnsi(static_cast<BYTE>(value & 0xFF))));
  }
  for (char* p = lpsz; *p; ++p) *p = static_cast<char>(LowerAnsi(static_cast<BYTE>(*p)));
  return lpsz;
}

LPSTR WINAPI CharNextA(LPCSTR lpsz) {
  return const_cast<LPSTR>(*lpsz ? lpsz + 1 : lpsz);
}

LPSTR WINAPI CharPrevA(LPCSTR lpszStart, LPCSTR lpszCurrent) {
  return const_cast<LPSTR>(lpszCurrent > lpszStart ? lpszCurrent - 1 : lpszStart);
}

BOOL WINAPI IsDBCSLeadByte(BYTE) { return FALSE; }

BOOL WINAPI IsDBCSLeadByteEx(UINT, BYTE) { return FALSE; }

int WINAPI lstrcmpiA(LPCSTR lpString1, LPCSTR lpString2) { return StrictCompare(lpString1, lpString2, true); }

int WINAPI lstrcmpA(LPCSTR lpString1, LPCSTR lpString2) { return StrictCompare(lpString1, lpString2, false); }

int WINAPI CompareStringA(LCID, DWORD dwCmpFlags, LPCSTR lpString1, int cchCount1, LPCSTR lpString2,
                          int cchCount2) {
  if (!lpString1 || !lpString2) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  if (dwCmpFlags & ~static_cast<DWORD>(NORM_IGNORECASE)) {
    SetLastError(ERROR_INVALID_FLAGS);
    return 0;
  }
  if (cchCount1 < 0) cchCount1 = static_cast<int>(std::strlen(lpString1));
  if (cchCount2 < 0) cchCount2 = static_cast<int>(std::strlen(lpString2));
  return CompareAnsi(lpString1, cchCount1, lpString2, cchCount2, (dwCmpFlags & NORM_IGNORECASE) != 0);
}

int WINAPI lstrlenA(LPCSTR lpString) { return lpString ? static_cast<int>(std::strlen(lpString)) : 0; }

int WINAPI lstrlenW(LPCWSTR lpString) {
  if (!lpString) return 0;
  int n = 0;
  while (lpString[n]) ++n;
  return n;
}

LPSTR WINAPI lstrcpynA(LPSTR lpString1, LPCSTR lpString2, int iMaxLength) {
  if (!lpString1 || !lpString2) return nullptr;
  int i = 0;
  for (; i + 1 < iMaxLength && lpString2[i]; ++i) lpString1[i] = lpString2[i];
  if (iMaxLength > 0) lpString1[i] = '\0';
  return lpString1;
}

UINT WINAPI GetACP(void) { return kAnsiCodePage; }

}  // extern "C"
