#include "ansi_text.h"

#include <climits>

namespace zov::services {

std::string AnsiFromWide(const OLECHAR* text, UINT length) {
  if (!text || length == 0 || length > static_cast<UINT>(INT_MAX)) return std::string();
  const int wide = static_cast<int>(length);
  const int bytes = WideCharToMultiByte(CP_ACP, 0, text, wide, nullptr, 0, nullptr, nullptr);
  if (bytes <= 0) return std::string();
  std::string result(static_cast<size_t>(bytes), '\0');
  const int written =
      WideCharToMultiByte(CP_ACP, 0, text, wide, &result[0], bytes, nullptr, nullptr);
  result.resize(written > 0 ? static_cast<size_t>(written) : 0);
  return result;
}

unique_bstr BstrFromAnsi(const std::string& text) {
  if (text.size() > static_cast<size_t>(INT_MAX)) return unique_bstr();
  const int bytes = static_cast<int>(text.size());
  if (bytes == 0) return unique_bstr(SysAllocStringLen(nullptr, 0));
  const int units = MultiByteToWideChar(CP_ACP, 0, text.data(), bytes, nullptr, 0);
  if (units <= 0) return unique_bstr();
  unique_bstr result(SysAllocStringLen(nullptr, static_cast<UINT>(units)));
  if (!result.get()) return result;
  if (MultiByteToWideChar(CP_ACP, 0, text.data(), bytes, result.get(), units) != units)
    result.reset();
  return result;
}

bool SameNameIgnoringCase(const std::string& a, const std::string& b) {
  if (a.size() > static_cast<size_t>(INT_MAX) || b.size() > static_cast<size_t>(INT_MAX))
    return false;
  if (a.empty() || b.empty()) return a.empty() && b.empty();
  return CompareStringA(LOCALE_SYSTEM_DEFAULT, NORM_IGNORECASE, a.data(), static_cast<int>(a.size()),
                        b.data(), static_cast<int>(b.size())) == CSTR_EQUAL;
}

}  // namespace zov::services
