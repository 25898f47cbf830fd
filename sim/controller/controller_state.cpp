#include "controller_state.h"

#include <cctype>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace zov::sim {

const char kDomainPrefix[] = "TESK://domain";

namespace {

constexpr DWORD kValueSize = 1024;

char Lower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

// Splits at '/' and '\', skipping empty components.
std::vector<std::string> SplitComponents(const std::string& text) {
  std::vector<std::string> parts;
  std::string current;
  for (char c : text) {
    if (c == '/' || c == '\\') {
      if (!current.empty()) parts.push_back(current);
      current.clear();
    } else {
      current += c;
    }
  }
  if (!current.empty()) parts.push_back(current);
  return parts;
}

bool AllSafe(const std::vector<std::string>& components) {
  for (const std::string& c : components)
    if (!IsSafeComponent(c)) return false;
  return true;
}

std::string Join(const std::vector<std::string>& components, char separator) {
  std::string out;
  for (size_t i = 0; i < components.size(); ++i) {
    if (i) out += separator;
    out += components[i];
  }
  return out;
}

std::string ProfileString(const std::string& file, const char* section, const char* key,
                          const char* fallback) {
  char buffer[kValueSize];
  DWORD n = GetPrivateProfileStringA(section, key, fallback, buffer, kValueSize, file.c_str());
  return std::string(buffer, n);
}

// An integer filling the whole text: hexadecimal after "0x" (or "0X", behind an optional sign),
// decimal otherwise; a leading 0 does not make it octal ("010" is ten).
bool ParseInteger(const std::string& text, long long* out) {
  if (text.empty() || std::isspace(static_cast<unsigned char>(text[0]))) return false;
  const size_t digits = (text[0] == '-' || text[0] == '+') ? 1 : 0;
  const bool hex = text.size() > digits + 1 && text[digits] == '0' &&
                   (text[digits + 1] == 'x' || text[digits + 1] == 'X');
  errno = 0;
  char* end = nullptr;
  long long value = std::strtoll(text.c_str(), &end, hex ? 16 : 10);
  if (errno != 0 || end != text.c_str() + text.size()) return false;
  *out = value;
  return true;
}

// A double filling the whole text; false for a value too large for a double (which strtod gives as
// HUGE_VAL, an infinity) and for the spellings of infinity and NaN, which no NC variable holds. A
// value too small for a double reads as the nearest one the type has.
bool ParseReal(const std::string& text, double* out) {
  if (text.empty() || std::isspace(static_cast<unsigned char>(text[0]))) return false;
  char* end = nullptr;
  double value = std::strtod(text.c_str(), &end);
  if (end != text.c_str() + text.size() || !std::isfinite(value)) return false;
  *out = value;
  return true;
}

}  // namespace

bool EqualNoCase(const std::string& a, const std::string& b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i)
    if (Lower(a[i]) != Lower(b[i])) return false;
  return true;
}

bool StartsWithNoCase(const std::string& text, const std::string& prefix) {
  return text.size() >= prefix.size() && EqualNoCase(text.substr(0, prefix.size()), prefix);
}

std::string ControllerFolder() {
#if defined(_WIN32)
  char machine[MAX_PATH];
  DWORD n = GetEnvironmentVariableA("ZOV_MACHINE", machine, MAX_PATH);
  if (n == 0 || n >= MAX_PATH) return {};
  std::string folder(machine, n);
  if (folder.back() != '\\' && folder.back() != '/') folder += '\\';
  return folder + "drive_c\\controller\\";
#else
  return "C:\\controller\\";
#endif
}

namespace {

// True for a name Windows opens as a device in every folder (see IsSafeComponent).
bool IsDeviceName(const std::string& name) {
  // Windows takes the part before the first dot, without the spaces that end it.
  std::string base = name.substr(0, name.find('.'));
  while (!base.empty() && base.back() == ' ') base.pop_back();
  for (const char* device : {"CON", "PRN", "AUX", "NUL", "CONIN$", "CONOUT$"})
    if (EqualNoCase(base, device)) return true;
  if (base.size() != 4 || !(StartsWithNoCase(base, "COM") || StartsWithNoCase(base, "LPT")))
    return false;
  // COM0-COM9 and LPT0-LPT9, and with the superscript digits 1, 2 and 3 of the ANSI code page.
  const unsigned char digit = static_cast<unsigned char>(base[3]);
  return (digit >= '0' && digit <= '9') || digit == 0xB9 || digit == 0xB2 || digit == 0xB3;
}

}  // namespace

bool IsSafeComponent(const std::string& name) {
  if (name.empty()) return false;
  if (name.back() == '.' || name.back() == ' ') return false;  // also "." and ".."
  for (unsigned char c : name) {
    if (c < 0x20 || std::strchr("<>:\"/\\|?*", c)) return false;
  }
  return !IsDeviceName(name);
}

ParseResult ParseDomainName(const std::string& text, DomainName* out) {
  *out = DomainName();
  const size_t prefix = sizeof kDomainPrefix - 1;
  if (!StartsWithNoCase(text, kDomainPrefix)) return ParseResult::Syntax;
  std::string rest = text.substr(prefix);
  if (rest.empty() || (rest[0] != '/' && rest[0] != '\\')) return ParseResult::Syntax;
  // A share: "//SERVER/SHARE/...".
  if (rest.size() >= 2 && (rest[1] == '/' || rest[1] == '\\')) {
    std::vector<std::string> parts = SplitComponents(rest);
    if (parts.size() < 2 || !AllSafe(parts)) return ParseResult::NotFound;
    out->kind = DomainName::Kind::Share;
    out->root = parts[0] + "\\" + parts[1];
    out->components.assign(parts.begin() + 2, parts.end());
    return ParseResult::Ok;
  }
  std::vector<std::string> parts = SplitComponents(rest);
  if (parts.empty()) return ParseResult::Syntax;
  const std::string& first = parts[0];
  std::vector<std::string> below(parts.begin() + 1, parts.end());
  if (!AllSafe(below)) return ParseResult::NotFound;
  if (first.size() == 2 && first[1] == ':') {
    char letter = Lower(first[0]);
    if (letter < 'a' || letter > 'z') return ParseResult::NotFound;
    out->kind = DomainName::Kind::Drive;
    out->root = first;
  } else if (EqualNoCase(first, "hd")) {
    out->view = View::Hd;
  } else if (EqualNoCase(first, "nc")) {
    out->view = View::Nc;
  } else if (EqualNoCase(first, "hd-nc")) {
    out->view = View::HdNc;
  } else {
    return ParseResult::NotFound;
  }
  out->components = std::move(below);
  return ParseResult::Ok;
}

std::string CanonicalDomainName(const DomainName& name) {
  std::string out = kDomainPrefix;
  switch (name.kind) {
    case DomainName::Kind::Share: {
      std::string root = name.root;
      for (char& c : root)
        if (c == '\\') c = '/';
      out += "//" + root;
      break;
    }
    case DomainName::Kind::Drive:
      out += "/" + name.root;
      break;
    case DomainName::Kind::Store:
      out += name.view == View::Hd ? "/hd" : name.view == View::Nc ? "/nc" : "/hd-nc";
      break;
  }
  if (!name.components.empty()) out += "/" + Join(name.components, '/');
  return out;
}

std::string StorePath(const std::string& folder, View store,
                      const std::vector<std::string>& components) {
  std::string path = folder + (store == View::Nc ? "nc" : "hd");
  if (!components.empty()) path += "\\" + Join(components, '\\');
  return path;
}

std::string HostPathOf(const DomainName& name) {
  std::string root;
  if (name.kind == DomainName::Kind::Share) {
    root = "\\\\" + name.root;
  } else {
    root = name.root;
    if (!root.empty()) root[0] = static_cast<char>(std::toupper(static_cast<unsigned char>(root[0])));
  }
  if (name.components.empty()) return root + "\\";
  return root + "\\" + Join(name.components, '\\');
}

bool SplitStorePath(const std::string& path, std::vector<std::string>* components) {
  *components = SplitComponents(path);
  return !components->empty() && AllSafe(*components);
}

FileFacts StatPath(const std::string& windowsPath) {
  FileFacts facts;
  struct _stat status;
  if (_stat(windowsPath.c_str(), &status) != 0) return facts;
  facts.exists = true;
  facts.isDirectory = (status.st_mode & _S_IFMT) == _S_IFDIR;
  facts.size = facts.isDirectory ? 0 : static_cast<long long>(status.st_size);
  facts.modified = static_cast<long long>(static_cast<LONG>(status.st_mtime));
  return facts;
}

std::string ControllerIni(const std::string& folder) { return folder + "controller.ini"; }

std::string DefaultNcu(const std::string& folder) {
  std::string name = ProfileString(ControllerIni(folder), "Controller", "DefaultNcu", "NCU1");
  return name.empty() ? "NCU1" : name;
}

StreamSettings ReadStreamSettings(const std::string& folder) {
  StreamSettings settings;
  const std::string ini = ControllerIni(folder);
  int piece = static_cast<int>(GetPrivateProfileIntA("Stream", "PieceSize", settings.pieceSize,
                                                     ini.c_str()));
  if (piece >= 1 && piece <= (1 << 20)) settings.pieceSize = piece;
  int cancel = static_cast<int>(GetPrivateProfileIntA("Stream", "CancelOnRead", 0, ini.c_str()));
  settings.cancelOnRead = cancel > 0 ? cancel : 0;
  return settings;
}

bool RecordCancelCall(const std::string& folder, long result) {
  const std::string ini = ControllerIni(folder);
  char text[32];
  std::snprintf(text, sizeof text, "%d", CancelCalls(folder) + 1);
  if (!WritePrivateProfileStringA("Stream", "CancelCalls", text, ini.c_str())) return false;
  std::snprintf(text, sizeof text, "0x%08lX", static_cast<unsigned long>(result) & 0xFFFFFFFFul);
  return WritePrivateProfileStringA("Stream", "LastCancelResult", text, ini.c_str()) != FALSE;
}

int CancelCalls(const std::string& folder) {
  return static_cast<int>(
      GetPrivateProfileIntA("Stream", "CancelCalls", 0, ControllerIni(folder).c_str()));
}

bool IsValidNcuName(const std::string& name) {
  return IsSafeComponent(name) && name.find('.') == std::string::npos;
}

std::string NcuIni(const std::string& folder, const std::string& ncu) {
  return folder + "ncu\\" + ncu + ".ini";
}

bool NcuExists(const std::string& folder, const std::string& ncu) {
  if (folder.empty() || !IsValidNcuName(ncu)) return false;
  FileFacts facts = StatPath(NcuIni(folder, ncu));
  return facts.exists && !facts.isDirectory;
}

bool NcuOnline(const std::string& folder, const std::string& ncu) {
  return GetPrivateProfileIntA("NCU", "Online", 1, NcuIni(folder, ncu).c_str()) != 0;
}

bool SetNcuOnline(const std::string& folder, const std::string& ncu, bool online) {
  if (!NcuExists(folder, ncu)) return false;
  return WritePrivateProfileStringA("NCU", "Online", online ? "1" : "0",
                                    NcuIni(folder, ncu).c_str()) != FALSE;
}

bool ParseVariableValue(const std::string& spelling, VariableValue* out) {
  *out = VariableValue();
  std::string text = spelling;
  if (text.size() >= 2 && (text[0] == 'V' || text[0] == 'v') && text[1] == ':') {
    out->inVariantArray = true;
    text = text.substr(2);
  }
  size_t colon = text.find(':');
  if (colon == std::string::npos) return false;
  std::string type = text.substr(0, colon);
  std::string value = text.substr(colon + 1);
  if (EqualNoCase(type, "S")) {
    out->type = VariableValue::Type::String;
    out->text = value;
    return true;
  }
  if (EqualNoCase(type, "R8")) {
    out->type = VariableValue::Type::R8;
    return ParseReal(value, &out->real);
  }
  long long number = 0;
  if (!ParseInteger(value, &number)) return false;
  out->integer = number;
  if (EqualNoCase(type, "I2")) {
    out->type = VariableValue::Type::I2;
    return number >= -32768 && number <= 32767;
  }
  if (EqualNoCase(type, "I4")) {
    out->type = VariableValue::Type::I4;
    return number >= -2147483647LL - 1 && number <= 2147483647LL;
  }
  return false;
}

VariableRead ReadVariable(const std::string& folder, const std::string& ncu,
                          const std::string& name) {
  VariableRead read;
  if (name.empty()) return read;
  const std::string ini = NcuIni(folder, ncu);
  // A value no key can have tells a missing key from an empty value.
  static const char kAbsent[] = "\x01";
  std::string value = ProfileString(ini, "Variables", name.c_str(), kAbsent);
  read.found = value != kAbsent;
  if (read.found) read.spelling = value;
  read.status = static_cast<int>(GetPrivateProfileIntA(
      "Status", name.c_str(), read.found ? kStatusGood : kStatusMissing, ini.c_str()));
  return read;
}

bool WriteVariable(const std::string& folder, const std::string& ncu, const std::string& name,
                   const std::string& spelling) {
  if (!NcuExists(folder, ncu) || name.empty() || name.find('=') != std::string::npos) return false;
  return WritePrivateProfileStringA("Variables", name.c_str(),
                                    spelling.empty() ? nullptr : spelling.c_str(),
                                    NcuIni(folder, ncu).c_str()) != FALSE;
}

std::string NcNameOf(const std::vector<std::string>& components) {
  std::string out;
  for (const std::string& c : components) {
    std::string part = c;
    for (char& ch : part)
      if (ch == '.') ch = '_';
    out += "/_N_" + part;
  }
  return out;
}

bool CopyFileBytes(const std::string& from, const std::string& to) {
  FILE* in = _fsopen(from.c_str(), "rb", _SH_DENYWR);
  if (!in) return false;
  FILE* out = _fsopen(to.c_str(), "wb", _SH_DENYRW);
  if (!out) {
    std::fclose(in);
    return false;
  }
  bool ok = true;
  char buffer[4096];
  for (;;) {
    size_t n = std::fread(buffer, 1, sizeof buffer, in);
    if (n == 0) {
      ok = !std::ferror(in);
      break;
    }
    if (std::fwrite(buffer, 1, n, out) != n) {
      ok = false;
      break;
    }
  }
  std::fclose(in);
  if (std::fclose(out) != 0) ok = false;
  return ok;
}

bool CreateFolders(const std::string& windowsFolder) {
  // Walks the path from its root, creating what is missing.
  std::string path;
  size_t start = 0;
  if (windowsFolder.compare(0, 2, "\\\\") == 0) {
    // \\SERVER\SHARE is the root of a share.
    size_t server = windowsFolder.find('\\', 2);
    size_t share = server == std::string::npos ? server : windowsFolder.find('\\', server + 1);
    if (share == std::string::npos) return StatPath(windowsFolder).isDirectory;
    path = windowsFolder.substr(0, share);
    start = share + 1;
  } else if (windowsFolder.size() >= 2 && windowsFolder[1] == ':') {
    path = windowsFolder.substr(0, 2);
    start = 3;
  }
  while (start <= windowsFolder.size()) {
    size_t end = windowsFolder.find_first_of("\\/", start);
    if (end == std::string::npos) end = windowsFolder.size();
    if (end > start) {
      path += (path.empty() ? "" : "\\") + windowsFolder.substr(start, end - start);
      FileFacts facts = StatPath(path);
      if (!facts.exists) {
        if (!CreateDirectoryA(path.c_str(), nullptr)) return false;
      } else if (!facts.isDirectory) {
        return false;
      }
    }
    start = end + 1;
  }
  return true;
}

}  // namespace zov::sim
