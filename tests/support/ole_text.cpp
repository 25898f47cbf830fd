#include "ole_text.h"

namespace zov::test {

OleString Ole(const std::string& text) {
  OleString wide;
  wide.reserve(text.size());
  for (char c : text) wide += static_cast<OLECHAR>(static_cast<unsigned char>(c));
  return wide;
}

zov::unique_bstr Bstr(const std::string& text) {
  const OleString wide = Ole(text);
  return zov::unique_bstr(SysAllocStringLen(wide.data(), static_cast<UINT>(wide.size())));
}

std::string Narrow(BSTR text) {
  std::string out;
  const UINT length = SysStringLen(text);
  for (UINT i = 0; text && i < length; ++i) out += static_cast<char>(text[i]);
  return out;
}

}  // namespace zov::test
