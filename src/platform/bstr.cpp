// BSTR: a block of [4 bytes unused][4-byte byte length][characters][NUL character], handed out as
// the address of the first character, as on 64-bit Windows (the characters start 8 bytes into the
// block, so they keep the block's alignment).
#include "zov/platform/bstr.h"

#include <cstdlib>
#include <cstring>

namespace {

constexpr std::size_t kHeader = 8;                      // what lies before the first character
constexpr std::size_t kTerminator = sizeof(OLECHAR);    // the NUL character after the last
constexpr UINT kMaxBytes = 0xFFFFFFFFu - kHeader - kTerminator;

char* BlockOf(BSTR bstr) { return reinterpret_cast<char*>(bstr) - kHeader; }

// A new string of `bytes` bytes with its length prefix and terminator set and its characters
// zeroed; null when memory runs out or the length cannot be stored.
BSTR Allocate(UINT bytes) {
  if (bytes > kMaxBytes) return nullptr;
  char* block = static_cast<char*>(std::calloc(1, kHeader + bytes + kTerminator));
  if (!block) return nullptr;
  const DWORD length = bytes;
  std::memcpy(block + kHeader - sizeof(DWORD), &length, sizeof(length));
  return reinterpret_cast<BSTR>(block + kHeader);
}

UINT Length(const OLECHAR* psz) {
  UINT n = 0;
  while (psz[n]) ++n;
  return n;
}

// ui characters would need more bytes than a BSTR can count.
bool TooLong(UINT ui) { return ui > kMaxBytes / sizeof(OLECHAR); }

}  // namespace

extern "C" {

BSTR WINAPI SysAllocString(const OLECHAR* psz) {
  if (!psz) return nullptr;
  return SysAllocStringLen(psz, Length(psz));
}

BSTR WINAPI SysAllocStringLen(const OLECHAR* strIn, UINT ui) {
  if (TooLong(ui)) return nullptr;
  BSTR bstr = Allocate(ui * static_cast<UINT>(sizeof(OLECHAR)));
  if (bstr && strIn) std::memcpy(bstr, strIn, ui * sizeof(OLECHAR));
  return bstr;
}

BSTR WINAPI SysAllocStringByteLen(LPCSTR psz, UINT len) {
  BSTR bstr = Allocate(len);
  if (bstr && psz) std::memcpy(bstr, psz, len);
  return bstr;
}

INT WINAPI SysReAllocString(BSTR* pbstr, const OLECHAR* psz) {
  if (!pbstr) return FALSE;
  if (!psz) {
    SysFreeString(*pbstr);
    *pbstr = nullptr;
    return TRUE;
  }
  return SysReAllocStringLen(pbstr, psz, Length(psz));
}

INT WINAPI SysReAllocStringLen(BSTR* pbstr, const OLECHAR* psz, UINT len) {
  if (!pbstr || TooLong(len)) return FALSE;
  BSTR fresh = Allocate(len * static_cast<UINT>(sizeof(OLECHAR)));
  if (!fresh) return FALSE;
  if (psz) {
    // psz may point into the old string: copy before freeing it.
    std::memcpy(fresh, psz, len * sizeof(OLECHAR));
  } else if (*pbstr) {
    // Without a source Windows keeps what the old block held, as far as it reaches.
    const UINT keep = SysStringLen(*pbstr) < len ? SysStringLen(*pbstr) : len;
    std::memcpy(fresh, *pbstr, keep * sizeof(OLECHAR));
  }
  SysFreeString(*pbstr);
  *pbstr = fresh;
  return TRUE;
}

void WINAPI SysFreeString(BSTR bstrString) {
  if (bstrString) std::free(BlockOf(bstrString));
}

UINT WINAPI SysStringLen(BSTR pbstr) { return SysStringByteLen(pbstr) / sizeof(OLECHAR); }

UINT WINAPI SysStringByteLen(BSTR bstr) {
  if (!bstr) return 0;
  DWORD length;
  std::memcpy(&length, reinterpret_cast<const char*>(bstr) - sizeof(DWORD), sizeof(length));
  return length;
}

}  // extern "C"
