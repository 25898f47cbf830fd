// Any bytes through every path conversion. The input is split at its first two 0x01 bytes into up
// to three texts (path or directory, name, extension); a result that breaks an invariant of the
// conversions stops the fuzzer (abort), as does anything the sanitizers see.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <optional>
#include <string>
#include <string_view>

#include "ncpath/path_forms.h"

namespace {

using namespace zov::ncpath;

void Require(bool condition) {
  if (!condition) std::abort();
}

bool Fits(const std::optional<std::string>& text) {
  return !text || text->size() < kPathBufferSize;
}

bool StartsWithPrefixIgnoringCase(const std::string& text) {
  constexpr std::string_view prefix = kDomainPrefix;
  if (text.size() < prefix.size()) return false;
  for (size_t i = 0; i < prefix.size(); ++i) {
    const auto upper = [](char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 32) : c; };
    if (upper(text[i]) != upper(prefix[i])) return false;
  }
  return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view input(reinterpret_cast<const char*>(data), size);
  const size_t first = input.find('\x01');
  const size_t second = first == std::string_view::npos ? first : input.find('\x01', first + 1);
  const std::string_view path = input.substr(0, first);
  const std::string_view name =
      first == std::string_view::npos ? std::string_view() : input.substr(first + 1, second - first - 1);
  const std::string_view extension =
      second == std::string_view::npos ? std::string_view() : input.substr(second + 1);
  const std::string_view text = path.substr(0, path.find('\0'));

  const std::optional<std::string> host = MakeHostPath(path);
  Require(Fits(host) && host.has_value() == (text.size() < kPathBufferSize));

  for (const char* view : {kViewHd, kViewHdNc, kViewNc}) {
    const std::optional<std::string> domain = MakeDomainPathInView(path, view);
    Require(Fits(domain));
    if (domain && !domain->empty()) {
      Require(StartsWithPrefixIgnoringCase(*domain));
      Require(MakeDomainPathInView(*domain, view) == domain);
      Require(Fits(MakeHostPath(*domain)));
    }
  }

  const std::optional<std::string> joined = JoinPath(path, name, extension);
  Require(Fits(joined));
  if (host) Require(Fits(MakeNcSelectPath(*host)));
  Require(Fits(MakeNcSelectPath(path)));

  const std::optional<PathParts> parts = SplitPath(path);
  if (parts) {
    Require(parts->name.size() < kNameBufferSize);
    Require(parts->directory.size() + parts->name.size() + parts->extension.size() <= text.size());
  }
  return 0;
}
