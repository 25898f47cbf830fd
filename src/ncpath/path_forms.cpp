#include "ncpath/path_forms.h"

#include "ncpath/code_page.h"

namespace zov::ncpath {

namespace {

constexpr size_t npos = std::string_view::npos;
constexpr size_t kPrefixLength = sizeof(kDomainPrefix) - 1;
constexpr size_t kMaxText = kPathBufferSize - 1;
constexpr std::string_view kPrefix(kDomainPrefix, kPrefixLength);
constexpr std::string_view kNcMarker = "_N_";

std::string_view UpToNul(std::string_view text) {
  return text.substr(0, text.find('\0'));
}

bool Fits(size_t bytes) { return bytes <= kMaxText; }

// The first "/" followed by "_N_" (case-sensitive) at or after `from`.
size_t FindNcComponent(const CodePage& cp, std::string_view text, size_t from) {
  for (size_t slash = cp.Find(text, '/', from); slash != npos; slash = cp.Find(text, '/', slash + 1)) {
    if (text.compare(slash + 1, kNcMarker.size(), kNcMarker) == 0) return slash;
  }
  return npos;
}

// Turns the "_" four characters before `end` into "." (the extension separator of an NC name).
void MarkExtension(const CodePage& cp, std::string& text, size_t begin, size_t end) {
  const size_t separator = cp.NthCharFromEnd(text, begin, end, 4);
  if (separator != npos && text[separator] == '_') text[separator] = '.';
}

// The host path of a domain path: `rest` is what follows the prefix.
std::string HostPathOfDomainPath(const CodePage& cp, std::string_view rest) {
  // Where the second and third characters of rest begin.
  const size_t second = rest.empty() ? npos : cp.CharSize(rest, 0);
  const size_t third = second < rest.size() ? second + cp.CharSize(rest, second) : npos;
  if (third == npos || third >= rest.size()) return std::string();  // fewer than three characters
  std::string text;
  if (rest[third] == ':' || rest[second] == '/') {
    text.assign(rest);  // a drive ("/C:/...") or a share ("//SERVER/...") keeps all of it
  } else {
    const size_t first = cp.Find(rest, '/');
    const size_t next = first == npos ? npos : cp.Find(rest, '/', first + 1);
    if (next == npos) return std::string();  // only a view
    text.assign(rest.substr(next));           // the view dropped
  }
  cp.Replace(text, '/', '\\');
  return text;
}

// The host path of an NC name, a relative host path or a bare file name.
std::string HostPathOfNcName(const CodePage& cp, std::string_view name) {
  std::string text(name);
  bool hadSlash = cp.Find(text, '/') != npos;
  // Each "/_N_" loses its "_N_"; a middle component that carried it gets its extension separator.
  // The search goes on from the "/" just handled: the text before it holds no "/_N_", and a
  // removal cannot make one that begins earlier.
  for (size_t slash = FindNcComponent(cp, text, 0); slash != npos;
       slash = FindNcComponent(cp, text, slash)) {
    text.erase(slash + 1, kNcMarker.size());
    const size_t begin = slash + 1;
    const size_t end = cp.Find(text, '/', begin);
    if (end != npos) MarkExtension(cp, text, begin, end);
  }
  cp.Replace(text, '/', '\\');
  if (cp.StartsWithIgnoringCase(text, kNcMarker)) {
    text.erase(0, kNcMarker.size());
    hadSlash = true;
  }
  // The last component's extension, when the name was an NC name or a path (more than four
  // characters, so that a name that is only an extension keeps its "_").
  if (hadSlash && cp.NthCharFromEnd(text, 0, text.size(), 5) != npos) {
    MarkExtension(cp, text, 0, text.size());
  }
  return text;
}

}  // namespace

std::optional<std::string> MakeHostPath(std::string_view name) {
  name = UpToNul(name);
  if (!Fits(name.size())) return std::nullopt;
  const CodePage& cp = CodePage::Current();
  std::string text;
  if (cp.StartsWithIgnoringCase(name, kPrefix)) {
    text = HostPathOfDomainPath(cp, name.substr(kPrefixLength));
  } else if (!name.empty() && name[0] == '\\') {
    text.assign(name);
  } else {
    text = HostPathOfNcName(cp, name);
  }
  cp.UpperCase(text);
  return text;
}

std::optional<std::string> MakeDomainPathInView(std::string_view path, std::string_view view) {
  path = UpToNul(path);
  view = UpToNul(view);
  if (path.empty()) return std::string();
  if (!Fits(path.size())) return std::nullopt;
  const CodePage& cp = CodePage::Current();
  std::string buffer;
  if (cp.StartsWithIgnoringCase(path, kPrefix)) {
    // rest: what follows the prefix and the one character after it (the "/").
    const size_t restBegin =
        path.size() > kPrefixLength ? kPrefixLength + cp.CharSize(path, kPrefixLength) : path.size();
    const std::string_view rest = path.substr(restBegin);
    const bool inAView = cp.StartsWithIgnoringCase(rest, "hd-nc/") ||
                         cp.StartsWithIgnoringCase(rest, "hd/") ||
                         cp.StartsWithIgnoringCase(rest, "nc/");
    const bool inThisView = cp.StartsWithIgnoringCase(rest, view) && rest.size() > view.size() &&
                            rest[view.size()] == '/';
    if (inAView && !inThisView) {
      const std::string_view tail = rest.substr(cp.Find(rest, '/'));
      if (!Fits(kPrefixLength + 1 + view.size() + tail.size())) return std::nullopt;
      buffer.reserve(kPrefixLength + 1 + view.size() + tail.size());
      buffer.append(kPrefix).append(1, '/').append(view).append(tail);
    } else {
      buffer.assign(path);
    }
  } else {
    std::optional<std::string> hostPath;
    std::string_view part = path;
    if (cp.StartsWithIgnoringCase(path, "/_N_")) {
      hostPath = MakeHostPath(path);
      part = hostPath ? std::string_view(*hostPath) : std::string_view();
    }
    // A drive ("C:...") or a share ("\\SERVER...") gets no view.
    const size_t second = part.empty() ? npos : cp.CharSize(part, 0);
    const bool withView =
        !(second < part.size() && (part[second] == '\\' || part[second] == ':'));
    const bool withSlash = part.empty() || part[0] != '\\';
    const size_t size = kPrefixLength + (withView ? 1 + view.size() : 0) + (withSlash ? 1 : 0) +
                        part.size();
    if (!Fits(size)) return std::nullopt;
    buffer.reserve(size);
    buffer.append(kPrefix);
    if (withView) buffer.append(1, '/').append(view);
    if (withSlash) buffer.append(1, '/');
    buffer.append(part);
    cp.Replace(buffer, '\\', '/');
  }
  // Upper-case from the end of the first component after the prefix on: the prefix and the view
  // (or drive) keep the case in which they were written.
  if (buffer.size() > kPrefixLength) {
    const size_t from = kPrefixLength + cp.CharSize(buffer, kPrefixLength);
    const size_t slash = cp.Find(buffer, '/', from);
    if (slash != npos) cp.UpperCase(buffer, slash);
  }
  return buffer;
}

std::optional<std::string> JoinPath(std::string_view directory, std::string_view name,
                                    std::string_view extension) {
  directory = UpToNul(directory);
  name = UpToNul(name);
  extension = UpToNul(extension);
  const size_t size =
      directory.size() + 1 + name.size() + (extension.empty() ? 0 : 1 + extension.size());
  if (!Fits(size)) return std::nullopt;
  std::string result;
  result.reserve(size);
  result.append(directory).append(1, '/').append(name);
  if (!extension.empty()) result.append(1, '.').append(extension);
  return result;
}

std::optional<std::string> MakeNcSelectPath(std::string_view hostPath) {
  constexpr std::string_view kNcRoot = "/NC";
  hostPath = UpToNul(hostPath);
  if (!Fits(kNcRoot.size() + hostPath.size())) return std::nullopt;
  std::string result;
  result.reserve(kNcRoot.size() + hostPath.size());
  result.append(kNcRoot).append(hostPath);
  CodePage::Current().Replace(result, '\\', '/', kNcRoot.size());
  return result;
}

std::optional<PathParts> SplitPath(std::string_view path) {
  path = UpToNul(path);
  if (!Fits(path.size())) return std::nullopt;
  const CodePage& cp = CodePage::Current();
  PathParts parts;
  const size_t slash = cp.FindLast(path, '/');
  std::string_view name = slash == npos ? path : path.substr(slash + 1);
  if (name.size() >= kNameBufferSize) return std::nullopt;
  if (slash != npos) parts.directory.assign(path.substr(0, slash));
  const size_t dot = cp.Find(name, '.');
  if (dot != npos) {
    parts.extension.assign(name.substr(dot + 1));
    name = name.substr(0, dot);
  }
  parts.name.assign(name);
  return parts;
}

}  // namespace zov::ncpath
