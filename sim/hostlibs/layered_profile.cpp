#include "layered_profile.h"

#include <cstring>

namespace zov::hostlibs {
namespace {

// The layers below the installation root, most particular first; the root itself comes last.
constexpr const char* kLayers[] = {"USER", "OEM", "ADD_ON", "KOR_VEL", "HUX2"};

// Listings are read whole; a buffer grows up to this size (a listing that still does not fit is
// taken as far as it came).
constexpr size_t kLargestListing = 16u << 20;

// Whether the file at `path` has the key: the system function is asked twice with two defaults
// that no value can equal both of. A value that differs from the first default, or equals it
// when the second is asked, is the file's own.
bool HasKey(LPCSTR section, LPCSTR key, const std::string& path) {
  char probe[4];
  DWORD n = GetPrivateProfileStringA(section, key, "\x01", probe, sizeof probe, path.c_str());
  if (n != 1 || probe[0] != '\x01') return true;
  n = GetPrivateProfileStringA(section, key, "\x02", probe, sizeof probe, path.c_str());
  return n != 1 || probe[0] != '\x02';
}

// The whole listing of `path` (section names, or the key names of `section`): names each
// followed by NUL, without the final NUL; empty when the file or section has none.
std::string ReadListing(LPCSTR section, LPCSTR key, const std::string& path) {
  std::vector<char> buffer(1024);
  for (;;) {
    const DWORD n = GetPrivateProfileStringA(section, key, "", buffer.data(),
                                             static_cast<DWORD>(buffer.size()), path.c_str());
    // A listing that fills all but its last two characters may have been cut.
    if (static_cast<size_t>(n) + 2 < buffer.size() || buffer.size() >= kLargestListing)
      return std::string(buffer.data(), n);
    buffer.resize(buffer.size() * 2);
  }
}

std::string UpperCase(std::string text) {
  if (!text.empty()) CharUpperBuffA(&text[0], static_cast<DWORD>(text.size()));
  return text;
}

}  // namespace

std::string InstallationRoot(const std::string& modulePath) {
  // The last two backslashes, found by characters (CharNextA) so that the second byte of a
  // double-byte character is never taken for one.
  const char* text = modulePath.c_str();
  const char* last = nullptr;
  const char* beforeLast = nullptr;
  for (const char* p = text; *p; p = CharNextA(p)) {
    if (*p != '\\') continue;
    beforeLast = last;
    last = p;
  }
  if (!beforeLast) return {};
  return modulePath.substr(0, static_cast<size_t>(beforeLast - text));
}

bool IsBareFileName(const char* fileName) {
  if (!fileName || !*fileName) return false;
  for (const char* p = fileName; *p; p = CharNextA(p)) {
    if (*p == '\\' || *p == '/' || *p == ':') return false;
  }
  return true;
}

std::vector<std::string> LayerFiles(const std::string& root, const std::string& fileName) {
  std::vector<std::string> files;
  for (const char* layer : kLayers) files.push_back(root + "\\" + layer + "\\" + fileName);
  files.push_back(root + "\\" + fileName);
  return files;
}

void MergeNames(std::string* merged, const std::string& list) {
  std::vector<std::string> known;
  for (size_t at = 0; at < merged->size();) {
    size_t end = merged->find('\0', at);
    if (end == std::string::npos) end = merged->size();
    known.push_back(UpperCase(merged->substr(at, end - at)));
    at = end + 1;
  }
  for (size_t at = 0; at < list.size();) {
    size_t end = list.find('\0', at);
    if (end == std::string::npos) end = list.size();
    std::string name = list.substr(at, end - at);
    std::string folded = UpperCase(name);
    bool seen = false;
    for (const std::string& k : known) seen = seen || k == folded;
    if (!seen) {
      merged->append(name);
      merged->push_back('\0');
      known.push_back(std::move(folded));
    }
    at = end + 1;
  }
}

DWORD CopyNameList(const std::string& names, LPSTR buffer, DWORD size) {
  if (names.size() + 2 <= size) {
    std::memcpy(buffer, names.data(), names.size());
    buffer[names.size()] = '\0';
    return static_cast<DWORD>(names.size());
  }
  if (size <= 2) {
    if (size >= 1) buffer[0] = '\0';
    if (size == 2) buffer[1] = '\0';
    if (!names.empty()) SetLastError(ERROR_MORE_DATA);
    return 0;
  }
  std::memcpy(buffer, names.data(), size - 2);
  buffer[size - 2] = '\0';
  buffer[size - 1] = '\0';
  SetLastError(ERROR_MORE_DATA);
  return size - 2;
}

DWORD LayeredProfileString(const std::string& root, LPCSTR section, LPCSTR key, LPCSTR def,
                           LPSTR buffer, DWORD size, LPCSTR file) {
  if (root.empty() || !IsBareFileName(file))
    return GetPrivateProfileStringA(section, key, def, buffer, size, file);
  const std::vector<std::string> layers = LayerFiles(root, file);
  if (section && key) {
    for (const std::string& path : layers) {
      if (HasKey(section, key, path))
        return GetPrivateProfileStringA(section, key, def, buffer, size, path.c_str());
    }
    return GetPrivateProfileStringA(section, key, def, buffer, size, layers.back().c_str());
  }
  std::string merged;
  for (const std::string& path : layers) MergeNames(&merged, ReadListing(section, key, path));
  if (merged.empty())
    return GetPrivateProfileStringA(section, key, def, buffer, size, layers.back().c_str());
  // The system's own check: no buffer with a size is an invalid parameter.
  if (!buffer) {
    if (size != 0) SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  return CopyNameList(merged, buffer, size);
}

UINT LayeredProfileInt(const std::string& root, LPCSTR section, LPCSTR key, INT def, LPCSTR file) {
  if (root.empty() || !IsBareFileName(file))
    return GetPrivateProfileIntA(section, key, def, file);
  const std::vector<std::string> layers = LayerFiles(root, file);
  if (section && key) {
    for (const std::string& path : layers) {
      if (HasKey(section, key, path)) return GetPrivateProfileIntA(section, key, def, path.c_str());
    }
  }
  return GetPrivateProfileIntA(section, key, def, layers.back().c_str());
}

}  // namespace zov::hostlibs
