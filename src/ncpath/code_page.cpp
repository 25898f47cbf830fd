#include "ncpath/code_page.h"

#include <algorithm>
#include <cstring>

#include "zov/win32.h"

namespace zov::ncpath {

CodePage::CodePage(const bool* lead) {
  for (int b = 0; b < 256; ++b) {
    const BYTE byte = static_cast<BYTE>(b);
    lead_[b] = b != 0 && lead[b];
    hasLeadBytes_ = hasLeadBytes_ || lead_[b];
    // A single-byte character upper-cases on its own; a lead byte is no character by itself.
    char one = static_cast<char>(byte);
    if (b != 0 && !lead_[b]) CharUpperBuffA(&one, 1);
    upper_[b] = static_cast<unsigned char>(one);
  }
}

const CodePage& CodePage::Current() {
  static const CodePage current = [] {
    bool lead[256];
    for (int b = 0; b < 256; ++b) lead[b] = IsDBCSLeadByte(static_cast<BYTE>(b)) != FALSE;
    return CodePage(lead);
  }();
  return current;
}

CodePage CodePage::WithLeadBytes(std::string_view leadBytes) {
  bool lead[256] = {};
  for (char c : leadBytes) lead[static_cast<unsigned char>(c)] = true;
  return CodePage(lead);
}

size_t CodePage::Find(std::string_view text, char c, size_t from) const noexcept {
  if (from >= text.size()) return npos;
  if (!hasLeadBytes_) {
    const void* hit = std::memchr(text.data() + from, c, text.size() - from);
    return hit ? static_cast<size_t>(static_cast<const char*>(hit) - text.data()) : npos;
  }
  for (size_t i = from; i < text.size(); i += CharSize(text, i)) {
    if (text[i] == c) return i;
  }
  return npos;
}

size_t CodePage::FindLast(std::string_view text, char c) const noexcept {
  if (!hasLeadBytes_) return text.rfind(c);
  size_t last = npos;
  for (size_t i = 0; i < text.size(); i += CharSize(text, i)) {
    if (text[i] == c) last = i;
  }
  return last;
}

void CodePage::Replace(std::string& text, char from, char to, size_t begin) const noexcept {
  if (begin >= text.size()) return;
  if (!hasLeadBytes_) {
    std::replace(text.begin() + static_cast<std::ptrdiff_t>(begin), text.end(), from, to);
    return;
  }
  for (size_t i = begin; i < text.size(); i += CharSize(text, i)) {
    if (text[i] == from) text[i] = to;
  }
}

bool CodePage::StartsWithIgnoringCase(std::string_view text,
                                      std::string_view prefix) const noexcept {
  if (text.size() < prefix.size()) return false;
  for (size_t i = 0; i < prefix.size();) {
    const size_t size = CharSize(prefix, i);
    if (size == 2) {
      if (text[i] != prefix[i] || text[i + 1] != prefix[i + 1]) return false;
    } else if (IsLeadByte(text[i]) && i + 1 < text.size()) {
      return false;  // a double-byte character where the prefix has a single-byte one
    } else if (upper_[static_cast<unsigned char>(text[i])] !=
               upper_[static_cast<unsigned char>(prefix[i])]) {
      return false;
    }
    i += size;
  }
  return true;
}

size_t CodePage::NthCharFromEnd(std::string_view text, size_t begin, size_t end,
                                size_t n) const noexcept {
  if (n == 0 || end > text.size() || begin > end) return npos;
  if (!hasLeadBytes_) return end - begin >= n ? end - n : npos;
  // Remember where the last n characters began (a ring of n starts).
  constexpr size_t kMaxRemembered = 8;
  if (n > kMaxRemembered) return npos;
  size_t starts[kMaxRemembered];
  size_t count = 0;
  const std::string_view part = text.substr(0, end);
  for (size_t i = begin; i < end; i += CharSize(part, i)) starts[count++ % n] = i;
  return count >= n ? starts[count % n] : npos;
}

void CodePage::UpperCase(std::string& text, size_t begin) const noexcept {
  if (begin >= text.size()) return;
  CharUpperBuffA(&text[begin], static_cast<DWORD>(text.size() - begin));
}

}  // namespace zov::ncpath
