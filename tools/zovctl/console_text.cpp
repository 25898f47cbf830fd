#include "console_text.h"

#include <climits>
#include <new>

namespace zovctl {
namespace {

std::string FromWide(UINT codePage, const WCHAR* text, UINT length) {
  if (length == 0 || text == nullptr) return {};
  if (length > INT_MAX / 4) throw std::bad_alloc();
  int n = WideCharToMultiByte(codePage, 0, text, static_cast<int>(length), nullptr, 0, nullptr, nullptr);
  if (n <= 0) return {};
  std::string out(static_cast<size_t>(n), '\0');
  WideCharToMultiByte(codePage, 0, text, static_cast<int>(length), &out[0], n, nullptr, nullptr);
  return out;
}

}  // namespace

UINT ConsoleCodePage() {
#if defined(_WIN32)
  return CP_ACP;
#else
  return CP_UTF8;
#endif
}

bool ConsoleToWide(const std::string& text, WideString* wide) {
  wide->clear();
  if (text.empty()) return true;
  if (text.size() > INT_MAX) return false;
  UINT codePage = ConsoleCodePage();
  DWORD flags = codePage == CP_UTF8 ? MB_ERR_INVALID_CHARS : 0;
  int size = static_cast<int>(text.size());
  int n = MultiByteToWideChar(codePage, flags, text.data(), size, nullptr, 0);
  if (n <= 0) return false;
  wide->resize(static_cast<size_t>(n));
  return MultiByteToWideChar(codePage, flags, text.data(), size, &(*wide)[0], n) == n;
}

std::string WideToConsole(const WCHAR* text, UINT length) { return FromWide(ConsoleCodePage(), text, length); }

std::string WideToUtf8(const WCHAR* text, UINT length) { return FromWide(CP_UTF8, text, length); }

}  // namespace zovctl
