// What the path conversions need to know of the process's ANSI code page: which bytes begin a
// double-byte character, and how the code page upper-cases. Text is scanned by characters, so the
// second byte of a double-byte character is never taken for a "/", "\" or "." (on a single-byte
// code page such as Windows-1252 every byte is a character and the scans are plain byte scans).
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace zov::ncpath {

class CodePage {
 public:
  static constexpr size_t npos = std::string_view::npos;

  // The code page of this process, read once (it does not change while the process runs).
  static const CodePage& Current();
  // The process's code page as if exactly the bytes in `leadBytes` began double-byte characters
  // (single-byte characters keep its case mapping), to check the scans where the process's own
  // code page has no double-byte characters.
  static CodePage WithLeadBytes(std::string_view leadBytes);

  bool HasLeadBytes() const noexcept { return hasLeadBytes_; }
  bool IsLeadByte(char c) const noexcept { return lead_[static_cast<unsigned char>(c)]; }

  // Bytes in the character that starts at `pos` (below text.size()): 2 for a lead byte with a byte
  // after it, else 1 (a lead byte at the end of the text stands alone, as CharNextA takes it).
  size_t CharSize(std::string_view text, size_t pos) const noexcept {
    return IsLeadByte(text[pos]) && pos + 1 < text.size() ? 2 : 1;
  }
  // The first character `c` (a single-byte character) at or after `from`, which must begin a
  // character; npos when there is none.
  size_t Find(std::string_view text, char c, size_t from = 0) const noexcept;
  // The last character `c` in the text; npos when there is none.
  size_t FindLast(std::string_view text, char c) const noexcept;
  // Replaces every character `from` by `to` (single-byte characters) at or after `begin`, which
  // must begin a character.
  void Replace(std::string& text, char from, char to, size_t begin = 0) const noexcept;
  // Whether the text begins with `prefix`, single-byte characters compared by their upper case
  // and double-byte characters byte for byte.
  bool StartsWithIgnoringCase(std::string_view text, std::string_view prefix) const noexcept;
  // Where the n-th character counted back from `end` begins, counting the characters of
  // [begin, end) (`begin` must begin a character); npos when there are fewer than n (n >= 1).
  size_t NthCharFromEnd(std::string_view text, size_t begin, size_t end, size_t n) const noexcept;
  // Upper-cases the text from `begin` (which must begin a character) with the code page's case
  // mapping (CharUpperBuffA).
  void UpperCase(std::string& text, size_t begin = 0) const noexcept;

 private:
  explicit CodePage(const bool* lead);

  bool lead_[256];
  unsigned char upper_[256];
  bool hasLeadBytes_ = false;
};

}  // namespace zov::ncpath
