// HKEY_CLASSES_ROOT kept in the machine folder's "registry.reg" (the format is described in
// registry.h). The file is the truth: the in-memory tree is a cache of it, checked against the
// file's text at every call and parsed again when another process (or a hand) has changed it. Every change is made under an exclusive lock on the machine
// folder (so that two processes never lose each other's changes), on a freshly checked tree, and
// written back whole: a temporary file beside the target, then a rename over it, so that a reader
// sees the old file or the new one and never a torn one.
#include "zov/platform/registry.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <map>
#include <memory>
#include <mutex>
#include <new>
#include <string>
#include <unordered_map>
#include <vector>

#include "zov/platform/errors.h"
#include "zov/platform/machine.h"
#include "zov/platform/text.h"

namespace {

constexpr char kRootName[] = "HKEY_CLASSES_ROOT";
constexpr char kFileName[] = "/registry.reg";

bool IsStringType(DWORD type) {
  return type == REG_SZ || type == REG_EXPAND_SZ || type == REG_MULTI_SZ;
}

// The registry functions report through their return value only: the conversions they make on
// the way must not leave anything in the thread's last-error value.
class LastErrorKeeper {
 public:
  LastErrorKeeper() : saved_(GetLastError()) {}
  ~LastErrorKeeper() { SetLastError(saved_); }
  LastErrorKeeper(const LastErrorKeeper&) = delete;
  LastErrorKeeper& operator=(const LastErrorKeeper&) = delete;

 private:
  DWORD saved_;
};

// Runs the body of an exported function: nothing thrown inside leaves it.
template <typename Body>
LONG Guarded(Body&& body) noexcept {
  LastErrorKeeper keep;
  try {
    return body();
  } catch (const std::bad_alloc&) {
    return ERROR_OUTOFMEMORY;
  } catch (...) {
    return ERROR_INVALID_FUNCTION;
  }
}

// ---- Names ------------------------------------------------------------------------------------

// The key by which names are compared and sorted: the upper-case form in UTF-16 code units, as
// the registry compares key names (so "_x" sorts after "Z", as on Windows).
std::u16string Fold(const std::string& ansi) {
  if (ansi.empty()) return {};
  std::string upper = ansi;
  CharUpperBuffA(upper.data(), static_cast<DWORD>(upper.size()));
  std::u16string wide(upper.size(), u'\0');  // 1252 is single-byte: one code unit per byte
  int n = MultiByteToWideChar(CP_ACP, 0, upper.data(), static_cast<int>(upper.size()), wide.data(),
                              static_cast<int>(wide.size()));
  wide.resize(n > 0 ? static_cast<size_t>(n) : 0);
  return wide;
}

std::u16string Widen(const std::string& ansi) {
  if (ansi.empty()) return {};
  std::u16string wide(ansi.size(), u'\0');
  int n = MultiByteToWideChar(CP_ACP, 0, ansi.data(), static_cast<int>(ansi.size()), wide.data(),
                              static_cast<int>(wide.size()));
  wide.resize(n > 0 ? static_cast<size_t>(n) : 0);
  return wide;
}

// UTF-16 to the ANSI code page; false when a character has no exact equivalent there (the text
// cannot be kept, and a best-fit look-alike would silently be another name or value).
bool Narrow(const char16_t* wide, size_t count, std::string* ansi) {
  ansi->clear();
  if (count == 0) return true;
  BOOL usedDefault = FALSE;
  int n = WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, wide, static_cast<int>(count), nullptr,
                              0, nullptr, &usedDefault);
  if (n <= 0 || usedDefault) return false;
  ansi->resize(static_cast<size_t>(n));
  n = WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, wide, static_cast<int>(count), ansi->data(),
                          n, nullptr, &usedDefault);
  return n > 0 && !usedDefault;
}

size_t WideLength(const char16_t* wide) {
  size_t n = 0;
  while (wide[n]) ++n;
  return n;
}

// A wide name argument as an ANSI one. A null name stays null (a missing argument); *ok is false
// when the name cannot be held in the ANSI code page.
struct NarrowArg {
  explicit NarrowArg(const char16_t* wide) : isNull(wide == nullptr) {
    if (wide) ok = Narrow(wide, WideLength(wide), &text);
  }
  const char* get() const { return isNull ? nullptr : text.c_str(); }
  bool isNull;
  bool ok = true;
  std::string text;
};

// Characters a name cannot have because the file keeps one key or value per line.
bool Writable(const std::string& name) {
  return name.find_first_of("\r\n") == std::string::npos;
}

// ---- The tree ---------------------------------------------------------------------------------

struct Value {
  std::string name;
  DWORD type = REG_NONE;
  std::string data;  // the bytes as stored; strings in the ANSI code page, with their NULs
};

struct Key {
  std::string name;
  std::map<std::u16string, std::unique_ptr<Key>> children;  // by folded name: sorted
  std::map<std::u16string, Value> values;                   // "" (the default value) first

  Key* Child(const std::string& childName) const {
    auto it = children.find(Fold(childName));
    return it == children.end() ? nullptr : it->second.get();
  }
  Key* AddChild(const std::string& childName, bool* created) {
    auto& slot = children[Fold(childName)];
    *created = !slot;
    if (!slot) {
      slot = std::make_unique<Key>();
      slot->name = childName;
    }
    return slot.get();
  }
};

Key* Walk(Key* from, const std::vector<std::string>& path) {
  for (const auto& component : path) {
    if (!from) return nullptr;
    from = from->Child(component);
  }
  return from;
}

bool SamePath(const std::vector<std::string>& a, const std::vector<std::string>& b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i)
    if (Fold(a[i]) != Fold(b[i])) return false;
  return true;
}

// ---- The file: reading ------------------------------------------------------------------------

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

std::string Trim(const std::string& s) {
  size_t begin = 0;
  size_t end = s.size();
  while (begin < end && IsBlank(s[begin])) ++begin;
  while (end > begin && IsBlank(s[end - 1])) --end;
  return s.substr(begin, end - begin);
}

bool EqualsNoCase(const std::string& a, const char* b) {
  size_t n = std::strlen(b);
  if (a.size() != n) return false;
  for (size_t i = 0; i < n; ++i) {
    char x = a[i];
    char y = b[i];
    if (x >= 'a' && x <= 'z') x = static_cast<char>(x - 'a' + 'A');
    if (y >= 'a' && y <= 'z') y = static_cast<char>(y - 'a' + 'A');
    if (x != y) return false;
  }
  return true;
}

bool StartsWithNoCase(const std::string& s, size_t at, const char* prefix) {
  size_t n = std::strlen(prefix);
  return s.size() - at >= n && EqualsNoCase(s.substr(at, n), prefix);
}

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// Reads the text of a registry file into a tree. Tolerates CRLF and LF line ends, blank lines,
// lines starting with ';', blanks around '=' and a ';' comment after a value; key paths in any
// case, with or without the "HKEY_CLASSES_ROOT\" prefix. Anything else it does not understand is
// an error (with its line number), never skipped: the next rewrite would drop it.
class Parser {
 public:
  explicit Parser(const std::string& text) {
    size_t start = 0;
    if (text.compare(0, 3, "\xEF\xBB\xBF") == 0) start = 3;  // a UTF-8 mark left by an editor
    while (start <= text.size()) {
      size_t end = text.find('\n', start);
      if (end == std::string::npos) end = text.size();
      std::string line = text.substr(start, end - start);
      if (!line.empty() && line.back() == '\r') line.pop_back();
      lines_.push_back(line);
      start = end + 1;
    }
  }

  bool Parse(Key* root) {
    Key* current = nullptr;
    bool sawHeader = false;
    for (index_ = 0; index_ < lines_.size(); ++index_) {
      std::string line = Trim(lines_[index_]);
      if (line.empty() || line[0] == ';') continue;
      if (!sawHeader) {
        if (!EqualsNoCase(line, "REGEDIT4")) return Fail("the file does not start with REGEDIT4");
        sawHeader = true;
        continue;
      }
      if (line[0] == '[') {
        if (line.back() != ']') return Fail("a key line must end with ']'");
        current = KeyLine(root, line.substr(1, line.size() - 2));
        if (!current) return false;
      } else if (line[0] == '"' || line[0] == '@') {
        if (!current) return Fail("a value before the first key");
        if (!ValueLine(current, line)) return false;
      } else {
        return Fail("neither a key, a value nor a comment");
      }
    }
    return true;
  }

  size_t line() const { return index_ + 1; }
  const std::string& error() const { return error_; }

 private:
  bool Fail(const std::string& why) {
    error_ = why;
    return false;
  }

  Key* KeyLine(Key* root, const std::string& path) {
    if (!path.empty() && path[0] == '-') {
      Fail("key deletion ('[-...]') has no meaning in a stored registry");
      return nullptr;
    }
    std::vector<std::string> components;
    size_t start = 0;
    while (start <= path.size()) {
      size_t end = path.find('\\', start);
      if (end == std::string::npos) end = path.size();
      if (end > start) components.push_back(path.substr(start, end - start));
      start = end + 1;
    }
    if (!components.empty() && EqualsNoCase(components[0], kRootName)) {
      components.erase(components.begin());
    } else if (!components.empty() && StartsWithNoCase(components[0], 0, "HKEY_")) {
      Fail("only keys of HKEY_CLASSES_ROOT are kept here");
      return nullptr;
    }
    Key* key = root;
    bool created = false;
    for (const auto& component : components) key = key->AddChild(component, &created);
    return key;
  }

  // A quoted string at line[*at] ('"'); REGEDIT4 escapes only '\' and '"'.
  bool QuotedString(const std::string& line, size_t* at, std::string* out) {
    out->clear();
    for (size_t i = *at + 1; i < line.size(); ++i) {
      char c = line[i];
      if (c == '"') {
        *at = i + 1;
        return true;
      }
      if (c == '\\') {
        if (i + 1 >= line.size() || (line[i + 1] != '\\' && line[i + 1] != '"'))
          return Fail("in a quoted string '\\' must be written '\\\\'");
        c = line[++i];
      }
      out->push_back(c);
    }
    return Fail("a quoted string without its closing '\"'");
  }

  bool OnlyCommentFrom(const std::string& line, size_t at) {
    while (at < line.size() && IsBlank(line[at])) ++at;
    return at == line.size() || line[at] == ';' || Fail("unexpected text after the value");
  }

  bool ValueLine(Key* key, const std::string& line) {
    Value value;
    size_t at = 0;
    if (line[0] == '@') {
      at = 1;
    } else if (!QuotedString(line, &at, &value.name)) {
      return false;
    }
    while (at < line.size() && IsBlank(line[at])) ++at;
    if (at >= line.size() || line[at] != '=') return Fail("'=' expected after the value name");
    ++at;
    while (at < line.size() && IsBlank(line[at])) ++at;
    if (at < line.size() && line[at] == '"') {
      value.type = REG_SZ;
      if (!QuotedString(line, &at, &value.data) || !OnlyCommentFrom(line, at)) return false;
      value.data.push_back('\0');
    } else if (StartsWithNoCase(line, at, "dword:")) {
      at += 6;
      DWORD number = 0;
      size_t digits = 0;
      for (; at < line.size() && HexDigit(line[at]) >= 0; ++at, ++digits)
        number = number * 16 + static_cast<DWORD>(HexDigit(line[at]));
      if (digits == 0 || digits > 8) return Fail("dword: takes one to eight hexadecimal digits");
      if (!OnlyCommentFrom(line, at)) return false;
      value.type = REG_DWORD;
      for (int i = 0; i < 4; ++i) value.data.push_back(static_cast<char>((number >> (8 * i)) & 0xFF));
    } else if (StartsWithNoCase(line, at, "hex")) {
      if (!HexValue(line, at + 3, &value)) return false;
    } else {
      return Fail("a value must be \"text\", dword:, hex: or hex(type):");
    }
    key->values[Fold(value.name)] = std::move(value);
    return true;
  }

  // hex:bytes (REG_BINARY) or hex(type):bytes; a line ending in '\' continues on the next.
  bool HexValue(const std::string& first, size_t at, Value* value) {
    std::string text = first;
    value->type = REG_BINARY;
    if (at < text.size() && text[at] == '(') {
      DWORD type = 0;
      size_t digits = 0;
      for (++at; at < text.size() && HexDigit(text[at]) >= 0; ++at, ++digits)
        type = type * 16 + static_cast<DWORD>(HexDigit(text[at]));
      if (digits == 0 || digits > 8 || at >= text.size() || text[at] != ')')
        return Fail("hex(type): takes one to eight hexadecimal digits");
      ++at;
      value->type = type;
    }
    if (at >= text.size() || text[at] != ':') return Fail("':' expected after hex");
    ++at;
    for (;;) {
      while (at < text.size() && IsBlank(text[at])) ++at;
      if (at < text.size() && text[at] == '\\' && Trim(text.substr(at + 1)).empty()) {
        if (index_ + 1 >= lines_.size()) return Fail("a continued hex value at the end of the file");
        text = Trim(lines_[++index_]);
        at = 0;
        continue;
      }
      if (at >= text.size() || text[at] == ';') return true;
      int high = HexDigit(text[at]);
      if (high < 0) return Fail("hexadecimal bytes expected, separated by ','");
      int byte = high;
      ++at;
      if (at < text.size() && HexDigit(text[at]) >= 0) byte = byte * 16 + HexDigit(text[at++]);
      value->data.push_back(static_cast<char>(byte));
      while (at < text.size() && IsBlank(text[at])) ++at;
      if (at < text.size() && text[at] == ',') ++at;
      else if (at < text.size() && text[at] != '\\' && text[at] != ';')
        return Fail("hexadecimal bytes expected, separated by ','");
    }
  }

  std::vector<std::string> lines_;
  size_t index_ = 0;
  std::string error_;
};

// ---- The file: writing ------------------------------------------------------------------------

std::string Quoted(const std::string& text) {
  std::string out = "\"";
  for (char c : text) {
    if (c == '\\' || c == '"') out.push_back('\\');
    out.push_back(c);
  }
  return out + "\"";
}

// A string that the quoted form keeps exactly: text without NULs or line breaks, then one NUL.
bool PlainText(const std::string& data) {
  if (data.empty() || data.back() != '\0') return false;
  return data.find_first_of(std::string("\r\n\0", 3)) == data.size() - 1;
}

void WriteValue(const Value& value, std::string* out) {
  static const char kHex[] = "0123456789abcdef";
  *out += value.name.empty() ? std::string("@") : Quoted(value.name);
  *out += '=';
  if (value.type == REG_SZ && PlainText(value.data)) {
    *out += Quoted(value.data.substr(0, value.data.size() - 1));
  } else if (value.type == REG_DWORD && value.data.size() == 4) {
    DWORD number = 0;
    for (int i = 3; i >= 0; --i) number = (number << 8) | static_cast<unsigned char>(value.data[i]);
    char text[16];
    std::snprintf(text, sizeof text, "dword:%08x", static_cast<unsigned>(number));
    *out += text;
  } else {
    if (value.type == REG_BINARY) {
      *out += "hex:";
    } else {
      char text[24];
      std::snprintf(text, sizeof text, "hex(%x):", static_cast<unsigned>(value.type));
      *out += text;
    }
    for (size_t i = 0; i < value.data.size(); ++i) {
      unsigned char byte = static_cast<unsigned char>(value.data[i]);
      if (i) *out += ',';
      *out += kHex[byte >> 4];
      *out += kHex[byte & 0xF];
    }
  }
  *out += "\r\n";
}

// One block per key, parents before children, children and values in the order of their folded
// names: the same tree always gives the same bytes.
void WriteKey(const Key& key, const std::string& path, std::string* out) {
  if (!path.empty() || !key.values.empty()) {
    *out += "[" + (path.empty() ? std::string(kRootName) : std::string(kRootName) + "\\" + path) +
            "]\r\n";
    for (const auto& entry : key.values) WriteValue(entry.second, out);
    *out += "\r\n";
  }
  for (const auto& entry : key.children)
    WriteKey(*entry.second, path.empty() ? entry.second->name : path + "\\" + entry.second->name,
             out);
}

std::string Serialize(const Key& root) {
  std::string out = "REGEDIT4\r\n\r\n";
  WriteKey(root, std::string(), &out);
  return out;
}

// ---- The cache, the lock and the handles ------------------------------------------------------

// An open key below HKEY_CLASSES_ROOT: its path, in the spelling it was opened with. It is marked
// deleted when this process deletes the key, so that a key created again under the same name is
// not mistaken for it, as on Windows; a deletion by another process shows as the path missing.
struct KeyHandle {
  std::vector<std::string> path;
  REGSAM access = 0;  // the key-specific rights it was opened with
  bool deleted = false;
};

// The key-specific rights an access mask grants, the generic rights mapped as Windows maps them
// for keys (KEY_EXECUTE is KEY_READ).
REGSAM KeyRights(REGSAM desired) {
  constexpr REGSAM kGenericRead = 0x80000000, kGenericWrite = 0x40000000,
                   kGenericExecute = 0x20000000, kGenericAll = 0x10000000,
                   kMaximumAllowed = 0x02000000;
  REGSAM rights = desired;
  if (desired & (kGenericRead | kGenericExecute)) rights |= KEY_READ;
  if (desired & kGenericWrite) rights |= KEY_WRITE;
  if (desired & (kGenericAll | kMaximumAllowed)) rights |= KEY_ALL_ACCESS;
  return rights & 0xFFFF;
}

class FileDescriptor {
 public:
  explicit FileDescriptor(int fd) : fd_(fd) {}
  ~FileDescriptor() {
    if (fd_ >= 0) ::close(fd_);
  }
  FileDescriptor(const FileDescriptor&) = delete;
  FileDescriptor& operator=(const FileDescriptor&) = delete;
  int get() const { return fd_; }
  int release() {
    int fd = fd_;
    fd_ = -1;
    return fd;
  }

 private:
  int fd_;
};

struct Registry {
  std::mutex mutex;
  bool loaded = false;
  std::string path;  // the file the tree was read from
  bool exists = false;
  std::string text;  // and its text
  timespec modified{};
  std::unique_ptr<Key> root = std::make_unique<Key>();
  std::string reportedBad;  // the malformed text last reported on stderr
  std::unordered_map<KeyHandle*, std::unique_ptr<KeyHandle>> handles;
};

// Never destroyed: keys may still be closed by destructors that run after static destruction.
Registry& TheRegistry() {
  static Registry* registry = new Registry;
  return *registry;
}

std::string RegistryFile() {
  std::string folder = ZovGetMachineFolder();
  return folder.empty() ? std::string() : folder + kFileName;
}

bool ReadAll(int fd, std::string* text) {
  text->clear();
  char buffer[65536];
  for (;;) {
    ssize_t n = ::read(fd, buffer, sizeof buffer);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return false;
    if (n == 0) return true;
    text->append(buffer, static_cast<size_t>(n));
  }
}

// Brings the cached tree up to date with the file. The caller holds the registry's mutex.
LONG Refresh(Registry& reg) {
  std::string path = RegistryFile();
  if (path.empty()) return ERROR_CANTOPEN;
  FileDescriptor fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
  bool exists = fd.get() >= 0;
  if (!exists && errno != ENOENT) return ERROR_CANTOPEN;
  std::string text;
  struct stat st {};
  if (exists && (::fstat(fd.get(), &st) != 0 || !ReadAll(fd.get(), &text))) return ERROR_CANTREAD;
  if (reg.loaded && reg.path == path && reg.exists == exists && reg.text == text)
    return ERROR_SUCCESS;

  auto root = std::make_unique<Key>();
  Parser parser(text);
  if (exists && !parser.Parse(root.get())) {
    reg.loaded = false;
    if (reg.reportedBad != text) {
      reg.reportedBad = text;
      std::fprintf(stderr, "%s:%zu: %s\n", path.c_str(), parser.line(), parser.error().c_str());
    }
    return ERROR_BADDB;
  }
  reg.root = std::move(root);
  reg.path = path;
  reg.exists = exists;
  reg.text = std::move(text);
  reg.modified = st.st_mtim;
  reg.loaded = true;
  return ERROR_SUCCESS;
}

// Writes the tree to the file: a temporary file beside it, flushed to disk, renamed over it.
LONG Save(Registry& reg) {
  std::string text = Serialize(*reg.root);
  std::string temporary = reg.path + ".tmp-" + std::to_string(::getpid());
  bool ok = false;
  {
    FileDescriptor fd(::open(temporary.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666));
    if (fd.get() >= 0) {
      size_t done = 0;
      while (done < text.size()) {
        ssize_t n = ::write(fd.get(), text.data() + done, text.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        done += static_cast<size_t>(n);
      }
      ok = done == text.size() && ::fsync(fd.get()) == 0 && ::close(fd.release()) == 0;
    }
  }
  if (ok) ok = ::rename(temporary.c_str(), reg.path.c_str()) == 0;
  struct stat st;
  if (!ok || ::stat(reg.path.c_str(), &st) != 0) {
    ::unlink(temporary.c_str());
    reg.loaded = false;  // the tree holds a change the file does not: read the file again
    return ERROR_CANTWRITE;
  }
  reg.exists = true;
  reg.text = std::move(text);
  reg.modified = st.st_mtim;
  return ERROR_SUCCESS;
}

// Makes one change: under the machine folder's lock, on the tree as the file has it now, then
// written back when the change says it changed something.
template <typename Change>
LONG Modify(Registry& reg, Change&& change) {
  std::string folder = ZovGetMachineFolder();
  if (folder.empty()) return ERROR_CANTOPEN;
  FileDescriptor lock(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (lock.get() < 0) return ERROR_CANTWRITE;
  while (::flock(lock.get(), LOCK_EX) != 0)
    if (errno != EINTR) return ERROR_CANTWRITE;
  LONG result = Refresh(reg);
  if (result != ERROR_SUCCESS) return result;
  bool changed = false;
  result = change(&changed);
  if (changed) {
    LONG saved = Save(reg);
    if (saved != ERROR_SUCCESS) return saved;
  }
  return result;  // the lock goes with the descriptor
}

bool IsRoot(HKEY hKey) { return hKey == HKEY_CLASSES_ROOT; }

// The path of an open key, or an error for a key that is no handle of ours or was not opened with
// the rights the operation needs (HKEY_CLASSES_ROOT has them all).
LONG HandlePath(Registry& reg, HKEY hKey, REGSAM needed, std::vector<std::string>* path) {
  if (IsRoot(hKey)) {
    path->clear();
    return ERROR_SUCCESS;
  }
  auto it = reg.handles.find(reinterpret_cast<KeyHandle*>(hKey));
  if (it == reg.handles.end()) return ERROR_INVALID_HANDLE;
  if ((it->second->access & needed) != needed) return ERROR_ACCESS_DENIED;
  if (it->second->deleted) return ERROR_KEY_DELETED;
  *path = it->second->path;
  return ERROR_SUCCESS;
}

// The key an open handle stands for in the (refreshed) tree.
LONG Locate(Registry& reg, const std::vector<std::string>& path, Key** key) {
  *key = Walk(reg.root.get(), path);
  return *key ? ERROR_SUCCESS : ERROR_KEY_DELETED;
}

// The key an open handle stands for, in the tree as the file has it now.
LONG ReadKey(Registry& reg, HKEY hKey, REGSAM needed, Key** key) {
  std::vector<std::string> path;
  LONG error = HandlePath(reg, hKey, needed, &path);
  if (error == ERROR_SUCCESS) error = Refresh(reg);
  if (error == ERROR_SUCCESS) error = Locate(reg, path, key);
  return error;
}

// Modify, with the change made to the key at path (ERROR_KEY_DELETED when it is gone).
template <typename Change>
LONG ModifyKey(Registry& reg, const std::vector<std::string>& path, Change&& change) {
  return Modify(reg, [&](bool* changed) {
    Key* key = nullptr;
    LONG located = Locate(reg, path, &key);
    return located != ERROR_SUCCESS ? located : static_cast<LONG>(change(key, changed));
  });
}

// Splits a subkey path at '\'. Doubled and trailing separators are passed over, as Windows does;
// a leading one is allowed below HKEY_CLASSES_ROOT only (elsewhere ERROR_BAD_PATHNAME).
LONG SplitSubKey(HKEY hKey, const char* subKey, std::vector<std::string>* components) {
  components->clear();
  if (!subKey) return ERROR_SUCCESS;
  if (*subKey == '\\') {
    if (!IsRoot(hKey)) return ERROR_BAD_PATHNAME;
    ++subKey;
  }
  std::string path = subKey;
  size_t start = 0;
  while (start <= path.size()) {
    size_t end = path.find('\\', start);
    if (end == std::string::npos) end = path.size();
    if (end > start) components->push_back(path.substr(start, end - start));
    start = end + 1;
  }
  return ERROR_SUCCESS;
}

HKEY NewHandle(Registry& reg, std::vector<std::string> path, REGSAM desired) {
  auto handle = std::make_unique<KeyHandle>();
  handle->path = std::move(path);
  handle->access = KeyRights(desired);
  KeyHandle* raw = handle.get();
  reg.handles.emplace(raw, std::move(handle));
  return reinterpret_cast<HKEY>(raw);
}

FILETIME ToFileTime(const timespec& t) {
  // FILETIME counts 100 ns intervals since 1601-01-01; the Unix epoch is 11644473600 s later.
  ULONGLONG ticks = (static_cast<ULONGLONG>(t.tv_sec) + 11644473600ULL) * 10000000ULL +
                    static_cast<ULONGLONG>(t.tv_nsec) / 100;
  FILETIME ft;
  ft.dwLowDateTime = static_cast<DWORD>(ticks & 0xFFFFFFFFu);
  ft.dwHighDateTime = static_cast<DWORD>(ticks >> 32);
  return ft;
}

// ---- The operations, on ANSI names ------------------------------------------------------------

LONG OpenKey(HKEY hKey, const char* subKey, REGSAM desired, PHKEY result) {
  if (!result) return ERROR_INVALID_PARAMETER;
  *result = nullptr;
  Registry& reg = TheRegistry();
  std::lock_guard<std::mutex> guard(reg.mutex);
  std::vector<std::string> base;
  std::vector<std::string> components;
  LONG error = HandlePath(reg, hKey, 0, &base);
  if (error == ERROR_SUCCESS) error = SplitSubKey(hKey, subKey, &components);
  if (error == ERROR_SUCCESS) error = Refresh(reg);
  Key* key = nullptr;
  if (error == ERROR_SUCCESS) error = Locate(reg, base, &key);
  if (error != ERROR_SUCCESS) return error;
  if (IsRoot(hKey) && components.empty()) {
    *result = HKEY_CLASSES_ROOT;  // as Windows hands back a predefined key itself
    return ERROR_SUCCESS;
  }
  if (!Walk(key, components)) return ERROR_FILE_NOT_FOUND;
  base.insert(base.end(), components.begin(), components.end());
  *result = NewHandle(reg, std::move(base), desired);
  return ERROR_SUCCESS;
}

LONG CreateKey(HKEY hKey, const char* subKey, bool plainClass, DWORD options, REGSAM desired,
               const void* security, PHKEY result, LPDWORD disposition) {
  if (!result) return ERROR_INVALID_PARAMETER;
  // Classes, volatile keys, links and security descriptors have no place in the file.
  if (!plainClass || options != REG_OPTION_NON_VOLATILE || security) return ERROR_INVALID_PARAMETER;
  Registry& reg = TheRegistry();
  std::lock_guard<std::mutex> guard(reg.mutex);
  std::vector<std::string> base;
  std::vector<std::string> components;
  LONG error = HandlePath(reg, hKey, 0, &base);
  if (error == ERROR_SUCCESS) error = SplitSubKey(hKey, subKey, &components);
  if (error != ERROR_SUCCESS) return error;
  for (const auto& component : components)
    if (!Writable(component)) return ERROR_INVALID_PARAMETER;
  bool createdLast = false;
  error = ModifyKey(reg, base, [&](Key* key, bool* changed) {
    for (const auto& component : components) {
      key = key->AddChild(component, &createdLast);
      *changed = *changed || createdLast;
    }
    return ERROR_SUCCESS;
  });
  if (error != ERROR_SUCCESS) return error;
  base.insert(base.end(), components.begin(), components.end());
  *result = NewHandle(reg, std::move(base), desired);
  if (disposition) *disposition = createdLast ? REG_CREATED_NEW_KEY : REG_OPENED_EXISTING_KEY;
  return ERROR_SUCCESS;
}

LONG CloseKey(HKEY hKey) {
  if (IsRoot(hKey)) return ERROR_SUCCESS;
  Registry& reg = TheRegistry();
  std::lock_guard<std::mutex> guard(reg.mutex);
  return reg.handles.erase(reinterpret_cast<KeyHandle*>(hKey)) ? ERROR_SUCCESS
                                                                 : ERROR_INVALID_HANDLE;
}

LONG SetValue(HKEY hKey, const char* name, DWORD type, std::string data) {
  std::string valueName = name ? name : "";
  if (!Writable(valueName)) return ERROR_INVALID_PARAMETER;
  Registry& reg = TheRegistry();
  std::lock_guard<std::mutex> guard(reg.mutex);
  std::vector<std::string> path;
  LONG error = HandlePath(reg, hKey, KEY_SET_VALUE, &path);
  if (error != ERROR_SUCCESS) return error;
  return ModifyKey(reg, path, [&](Key* key, bool* changed) {
    Value& value = key->values[Fold(valueName)];
    if (value.name.empty()) value.name = valueName;  // an existing value keeps its spelling
    value.type = type;
    value.data = std::move(data);
    *changed = true;
    return ERROR_SUCCESS;
  });
}

LONG QueryValue(HKEY hKey, const char* name, Value* out) {
  Registry& reg = TheRegistry();
  std::lock_guard<std::mutex> guard(reg.mutex);
  Key* key = nullptr;
  LONG error = ReadKey(reg, hKey, KEY_QUERY_VALUE, &key);
  if (error != ERROR_SUCCESS) return error;
  auto it = key->values.find(Fold(name ? name : ""));
  if (it == key->values.end()) return ERROR_FILE_NOT_FOUND;
  *out = it->second;
  return ERROR_SUCCESS;
}

LONG DeleteValue(HKEY hKey, const char* name) {
  Registry& reg = TheRegistry();
  std::lock_guard<std::mutex> guard(reg.mutex);
  std::vector<std::string> path;
  LONG error = HandlePath(reg, hKey, KEY_SET_VALUE, &path);
  if (error != ERROR_SUCCESS) return error;
  return ModifyKey(reg, path, [&](Key* key, bool* changed) {
    *changed = key->values.erase(Fold(name ? name : "")) > 0;
    return *changed ? ERROR_SUCCESS : ERROR_FILE_NOT_FOUND;
  });
}

LONG DeleteKey(HKEY hKey, const char* subKey) {
  if (!subKey) return ERROR_INVALID_PARAMETER;
  Registry& reg = TheRegistry();
  std::lock_guard<std::mutex> guard(reg.mutex);
  std::vector<std::string> path;
  std::vector<std::string> components;
  LONG error = HandlePath(reg, hKey, 0, &path);
  if (error == ERROR_SUCCESS) error = SplitSubKey(hKey, subKey, &components);
  if (error != ERROR_SUCCESS) return error;
  std::vector<std::string> base = path;
  path.insert(path.end(), components.begin(), components.end());
  if (path.empty()) return ERROR_ACCESS_DENIED;  // HKEY_CLASSES_ROOT itself
  error = ModifyKey(reg, base, [&](Key*, bool* changed) {
    Key* parent = Walk(reg.root.get(), std::vector<std::string>(path.begin(), path.end() - 1));
    Key* target = parent ? parent->Child(path.back()) : nullptr;
    if (!target) return static_cast<LONG>(ERROR_FILE_NOT_FOUND);
    if (!target->children.empty()) return static_cast<LONG>(ERROR_ACCESS_DENIED);
    parent->children.erase(Fold(path.back()));
    *changed = true;
    return static_cast<LONG>(ERROR_SUCCESS);
  });
  if (error == ERROR_SUCCESS)
    for (auto& entry : reg.handles)
      if (SamePath(entry.second->path, path)) entry.second->deleted = true;
  return error;
}

LONG EnumKey(HKEY hKey, DWORD index, std::string* name, FILETIME* lastWrite) {
  Registry& reg = TheRegistry();
  std::lock_guard<std::mutex> guard(reg.mutex);
  Key* key = nullptr;
  LONG error = ReadKey(reg, hKey, KEY_ENUMERATE_SUB_KEYS, &key);
  if (error != ERROR_SUCCESS) return error;
  if (index >= key->children.size()) return ERROR_NO_MORE_ITEMS;
  auto it = key->children.begin();
  std::advance(it, index);
  *name = it->second->name;
  *lastWrite = ToFileTime(reg.modified);
  return ERROR_SUCCESS;
}

// The bytes RegSetValueEx stores. For strings whose count leaves out the terminating NUL, Windows
// counts it when the character right after the data is a NUL (the usual strlen mistake); so does
// the layer, reading that one character as Windows does.
LONG DataA(DWORD type, const BYTE* data, DWORD size, std::string* bytes) {
  if (!data && size) return ERROR_NOACCESS;
  if (IsStringType(type) && size && data[size - 1] && !data[size]) ++size;
  bytes->assign(reinterpret_cast<const char*>(data), data ? size : 0);
  return ERROR_SUCCESS;
}

LONG DataW(DWORD type, const BYTE* data, DWORD size, std::string* bytes) {
  if (!data && size) return ERROR_NOACCESS;
  if (!IsStringType(type)) return DataA(type, data, size, bytes);
  // Half a UTF-16 code unit cannot be kept in the ANSI code page.
  if (size % 2) return ERROR_INVALID_PARAMETER;
  const char16_t* text = reinterpret_cast<const char16_t*>(data);
  size_t count = size / 2;
  if (count && text[count - 1] && !text[count]) ++count;
  return Narrow(text, count, bytes) ? ERROR_SUCCESS : ERROR_NO_UNICODE_TRANSLATION;
}

// Hands value data to RegQueryValueEx's caller: ERROR_MORE_DATA with the size needed when the
// buffer is short (the buffer then untouched); a string that was stored without its NUL gets one
// after it when there is room (not counted), as Windows does.
LONG CopyData(const Value& value, const std::string& bytes, size_t unit, LPDWORD type, LPBYTE data,
              LPDWORD size) {
  if (data && !size) return ERROR_INVALID_PARAMETER;
  if (type) *type = value.type;
  if (!size) return ERROR_SUCCESS;
  DWORD needed = static_cast<DWORD>(bytes.size());
  if (data) {
    if (needed > *size) {
      *size = needed;
      return ERROR_MORE_DATA;
    }
    std::memcpy(data, bytes.data(), bytes.size());
    bool unterminated = needed >= unit && bytes.find_first_not_of('\0', needed - unit) !=
                                              std::string::npos;
    if (IsStringType(value.type) && unterminated && needed + unit <= *size)
      std::memset(data + needed, 0, unit);
  }
  *size = needed;
  return ERROR_SUCCESS;
}

}  // namespace

// ---- The exported functions -------------------------------------------------------------------

extern "C" LONG WINAPI RegOpenKeyExA(HKEY hKey, LPCSTR lpSubKey, DWORD ulOptions, REGSAM samDesired,
                                     PHKEY phkResult) {
  (void)ulOptions;
  return Guarded([&] { return OpenKey(hKey, lpSubKey, samDesired, phkResult); });
}

extern "C" LONG WINAPI RegOpenKeyExW(HKEY hKey, LPCWSTR lpSubKey, DWORD ulOptions, REGSAM samDesired,
                                     PHKEY phkResult) {
  (void)ulOptions;
  return Guarded([&] {
    NarrowArg subKey(lpSubKey);
    if (!subKey.ok) {
      if (phkResult) *phkResult = nullptr;
      return static_cast<LONG>(ERROR_FILE_NOT_FOUND);  // no such name can be stored
    }
    return OpenKey(hKey, subKey.get(), samDesired, phkResult);
  });
}

extern "C" LONG WINAPI RegCreateKeyExA(HKEY hKey, LPCSTR lpSubKey, DWORD Reserved, LPSTR lpClass,
                                       DWORD dwOptions, REGSAM samDesired,
                                       void* lpSecurityAttributes, PHKEY phkResult,
                                       LPDWORD lpdwDisposition) {
  (void)Reserved;
  return Guarded([&] {
    return CreateKey(hKey, lpSubKey, !lpClass || !*lpClass, dwOptions, samDesired, lpSecurityAttributes,
                     phkResult, lpdwDisposition);
  });
}

extern "C" LONG WINAPI RegCreateKeyExW(HKEY hKey, LPCWSTR lpSubKey, DWORD Reserved, LPWSTR lpClass,
                                       DWORD dwOptions, REGSAM samDesired,
                                       void* lpSecurityAttributes, PHKEY phkResult,
                                       LPDWORD lpdwDisposition) {
  (void)Reserved;
  return Guarded([&] {
    NarrowArg subKey(lpSubKey);
    if (!subKey.ok) return static_cast<LONG>(ERROR_NO_UNICODE_TRANSLATION);
    return CreateKey(hKey, subKey.get(), !lpClass || !*lpClass, dwOptions, samDesired, lpSecurityAttributes,
                     phkResult, lpdwDisposition);
  });
}

extern "C" LONG WINAPI RegCloseKey(HKEY hKey) {
  return Guarded([&] { return CloseKey(hKey); });
}

extern "C" LONG WINAPI RegSetValueExA(HKEY hKey, LPCSTR lpValueName, DWORD Reserved, DWORD dwType,
                                      const BYTE* lpData, DWORD cbData) {
  (void)Reserved;
  return Guarded([&] {
    std::string bytes;
    LONG error = DataA(dwType, lpData, cbData, &bytes);
    return error != ERROR_SUCCESS ? error : SetValue(hKey, lpValueName, dwType, std::move(bytes));
  });
}

extern "C" LONG WINAPI RegSetValueExW(HKEY hKey, LPCWSTR lpValueName, DWORD Reserved, DWORD dwType,
                                      const BYTE* lpData, DWORD cbData) {
  (void)Reserved;
  return Guarded([&] {
    NarrowArg name(lpValueName);
    if (!name.ok) return static_cast<LONG>(ERROR_NO_UNICODE_TRANSLATION);
    std::string bytes;
    LONG error = DataW(dwType, lpData, cbData, &bytes);
    return error != ERROR_SUCCESS ? error : SetValue(hKey, name.get(), dwType, std::move(bytes));
  });
}

extern "C" LONG WINAPI RegQueryValueExA(HKEY hKey, LPCSTR lpValueName, LPDWORD lpReserved,
                                        LPDWORD lpType, LPBYTE lpData, LPDWORD lpcbData) {
  return Guarded([&] {
    if (lpReserved || (lpData && !lpcbData)) return static_cast<LONG>(ERROR_INVALID_PARAMETER);
    Value value;
    LONG error = QueryValue(hKey, lpValueName, &value);
    if (error != ERROR_SUCCESS) return error;
    return CopyData(value, value.data, 1, lpType, lpData, lpcbData);
  });
}

extern "C" LONG WINAPI RegQueryValueExW(HKEY hKey, LPCWSTR lpValueName, LPDWORD lpReserved,
                                        LPDWORD lpType, LPBYTE lpData, LPDWORD lpcbData) {
  return Guarded([&] {
    if (lpReserved || (lpData && !lpcbData)) return static_cast<LONG>(ERROR_INVALID_PARAMETER);
    NarrowArg name(lpValueName);
    if (!name.ok) return static_cast<LONG>(ERROR_FILE_NOT_FOUND);
    Value value;
    LONG error = QueryValue(hKey, name.get(), &value);
    if (error != ERROR_SUCCESS) return error;
    if (!IsStringType(value.type)) return CopyData(value, value.data, 1, lpType, lpData, lpcbData);
    std::u16string wide = Widen(value.data);
    std::string bytes(reinterpret_cast<const char*>(wide.data()), wide.size() * 2);
    return CopyData(value, bytes, 2, lpType, lpData, lpcbData);
  });
}

extern "C" LONG WINAPI RegDeleteKeyA(HKEY hKey, LPCSTR lpSubKey) {
  return Guarded([&] { return DeleteKey(hKey, lpSubKey); });
}

extern "C" LONG WINAPI RegDeleteKeyW(HKEY hKey, LPCWSTR lpSubKey) {
  return Guarded([&] {
    NarrowArg subKey(lpSubKey);
    if (!subKey.ok) return static_cast<LONG>(ERROR_FILE_NOT_FOUND);
    return DeleteKey(hKey, subKey.get());
  });
}

extern "C" LONG WINAPI RegDeleteValueA(HKEY hKey, LPCSTR lpValueName) {
  return Guarded([&] { return DeleteValue(hKey, lpValueName); });
}

extern "C" LONG WINAPI RegDeleteValueW(HKEY hKey, LPCWSTR lpValueName) {
  return Guarded([&] {
    NarrowArg name(lpValueName);
    if (!name.ok) return static_cast<LONG>(ERROR_FILE_NOT_FOUND);
    return DeleteValue(hKey, name.get());
  });
}

namespace {

// RegEnumKeyEx for either character width: the name and an empty class, or ERROR_MORE_DATA (the
// sizes left as they were) when the name with its NUL does not fit.
template <typename Char>
LONG EnumKeyAnyWidth(HKEY hKey, DWORD dwIndex, Char* lpName, LPDWORD lpcchName, LPDWORD lpReserved,
                     Char* lpClass, LPDWORD lpcchClass, FILETIME* lpftLastWriteTime) {
  if (!lpName || !lpcchName || lpReserved || (lpClass && !lpcchClass)) return ERROR_INVALID_PARAMETER;
  std::string name;
  FILETIME lastWrite{};
  LONG error = EnumKey(hKey, dwIndex, &name, &lastWrite);
  if (error != ERROR_SUCCESS) return error;
  std::basic_string<Char> text;
  if constexpr (sizeof(Char) == 1) {
    text = name;
  } else {
    text = Widen(name);
  }
  if (text.size() >= *lpcchName || (lpClass && *lpcchClass < 1)) return ERROR_MORE_DATA;
  std::memcpy(lpName, text.c_str(), (text.size() + 1) * sizeof(Char));
  *lpcchName = static_cast<DWORD>(text.size());
  if (lpClass) {
    lpClass[0] = 0;
    *lpcchClass = 0;
  }
  if (lpftLastWriteTime) *lpftLastWriteTime = lastWrite;
  return ERROR_SUCCESS;
}

}  // namespace

extern "C" LONG WINAPI RegEnumKeyExA(HKEY hKey, DWORD dwIndex, LPSTR lpName, LPDWORD lpcchName,
                                     LPDWORD lpReserved, LPSTR lpClass, LPDWORD lpcchClass,
                                     FILETIME* lpftLastWriteTime) {
  return Guarded([&] {
    return EnumKeyAnyWidth(hKey, dwIndex, lpName, lpcchName, lpReserved, lpClass, lpcchClass,
                           lpftLastWriteTime);
  });
}

extern "C" LONG WINAPI RegEnumKeyExW(HKEY hKey, DWORD dwIndex, LPWSTR lpName, LPDWORD lpcchName,
                                     LPDWORD lpReserved, LPWSTR lpClass, LPDWORD lpcchClass,
                                     FILETIME* lpftLastWriteTime) {
  return Guarded([&] {
    return EnumKeyAnyWidth(hKey, dwIndex, lpName, lpcchName, lpReserved, lpClass, lpcchClass,
                           lpftLastWriteTime);
  });
}
