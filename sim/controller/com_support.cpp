#include "com_support.h"

#include <vector>

namespace zov::sim {

bool ToAnsi(LPCOLESTR text, std::string* out) {
  out->clear();
  if (!text || !*text) return true;
  int n = WideCharToMultiByte(CP_ACP, 0, text, -1, nullptr, 0, nullptr, nullptr);
  if (n <= 0) return false;
  std::vector<char> buffer(static_cast<size_t>(n));
  if (WideCharToMultiByte(CP_ACP, 0, text, -1, buffer.data(), n, nullptr, nullptr) != n)
    return false;
  out->assign(buffer.data(), static_cast<size_t>(n - 1));
  return true;
}

BSTR ToBstr(const std::string& text) {
  if (text.empty()) return SysAllocString(OLESTR(""));
  int n = MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
  if (n <= 0) return nullptr;
  BSTR out = SysAllocStringLen(nullptr, static_cast<UINT>(n));
  if (!out) return nullptr;
  MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), out, n);
  return out;
}

HRESULT ReturnBstr(const std::string& text, BSTR* out) {
  *out = ToBstr(text);
  return *out ? S_OK : E_OUTOFMEMORY;
}

}  // namespace zov::sim
