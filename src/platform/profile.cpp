// Profile (INI) files, read and edited as Windows reads and edits them.
//
// A profile is handled as text, line by line. A read classifies the lines (header, entry, comment,
// blank, or a line without '='); a write splices the one line it changes, adds or removes into the
// file's text and leaves every other unit exactly as it was, NUL bytes and odd line ends included.
// A file that starts with the UTF-16LE byte-order mark is text in UTF-16LE units; any other file is
// text in ANSI (1252) bytes. The same code handles both, templated on the unit type.
//
// Every write replaces the file as a whole: the new text goes to a temporary file in the same
// folder, which is flushed to disk and then renamed over the old name. A reader, or a crash at any
// moment, sees the old file or the new one, never a mixture. Writers in the same folder take turns
// (an exclusive lock on the folder), so that two edits of one file never lose one another.
#include "zov/platform/profile.h"

#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cctype>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include "zov/platform/errors.h"
#include "zov/platform/machine.h"
#include "zov/platform/text.h"

namespace {

using zov::platform::PathUse;
using zov::platform::ResolvedPath;

// ----------------------------------------------------------------------------------------------
// Descriptors and temporary files

class FileDescriptor {
 public:
  explicit FileDescriptor(int fd = -1) : fd_(fd) {}
  ~FileDescriptor() {
    if (fd_ >= 0) ::close(fd_);
  }
  FileDescriptor(const FileDescriptor&) = delete;
  FileDescriptor& operator=(const FileDescriptor&) = delete;
  int get() const { return fd_; }
  bool valid() const { return fd_ >= 0; }
  // Closes now and reports whether the close succeeded (a write error may surface only here).
  bool Close() {
    int fd = fd_;
    fd_ = -1;
    return fd < 0 || ::close(fd) == 0;
  }

 private:
  int fd_;
};

// Removes a temporary file unless it was handed over (renamed into place).
class TemporaryFile {
 public:
  explicit TemporaryFile(std::string path) : path_(std::move(path)) {}
  ~TemporaryFile() {
    if (!path_.empty()) ::unlink(path_.c_str());
  }
  TemporaryFile(const TemporaryFile&) = delete;
  TemporaryFile& operator=(const TemporaryFile&) = delete;
  void Release() { path_.clear(); }

 private:
  std::string path_;
};

// Writers of profiles in one folder take turns. The lock belongs to the open folder, so it is
// released when the process ends, however it ends.
class FolderLock {
 public:
  explicit FolderLock(const std::string& folder)
      : fd_(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC)) {
    if (fd_.valid())
      while (::flock(fd_.get(), LOCK_EX) != 0 && errno == EINTR) {
      }
  }
  int fd() const { return fd_.get(); }

 private:
  FileDescriptor fd_;
};

DWORD ErrorFromErrno(int error, DWORD otherwise) {
  switch (error) {
    case ENOENT:
    case ENOTDIR:
    case ELOOP:
      return ERROR_PATH_NOT_FOUND;
    case EACCES:
    case EPERM:
    case EROFS:
    case EISDIR:
      return ERROR_ACCESS_DENIED;
    case ENAMETOOLONG:
      return ERROR_FILENAME_EXCED_RANGE;
    case ENOMEM:
      return ERROR_NOT_ENOUGH_MEMORY;
    default:
      return otherwise;
  }
}

// ----------------------------------------------------------------------------------------------
// File names

// A name with no path separator and no drive is a file in the Windows directory.
std::string ProfileWindowsPath(const char* fileName) {
  std::string name = fileName;
  bool hasSeparator = name.find_first_of("\\/") != std::string::npos;
  bool hasDrive = name.size() >= 2 && name[1] == ':' && std::isalpha(static_cast<unsigned char>(name[0]));
  if (!hasSeparator && !hasDrive) return "C:\\WINDOWS\\" + name;
  return name;
}

// Resolves a profile's name. For reading the file must exist; for writing its folder must.
DWORD ResolveProfile(const char* fileName, PathUse use, ResolvedPath* out) {
  DWORD error = zov::platform::ResolveWindowsPath(ProfileWindowsPath(fileName).c_str(), use, out);
  if (error == ERROR_FILENAME_EXCED_RANGE) return ERROR_PATH_NOT_FOUND;  // as Windows reports it
  if (error != ERROR_SUCCESS) return error;
  if (out->exists && out->isDirectory) return ERROR_ACCESS_DENIED;
  return ERROR_SUCCESS;
}

// Reads a whole file. ERROR_FILE_NOT_FOUND when it does not exist.
DWORD ReadWholeFile(const std::string& hostPath, std::string* bytes, struct stat* st) {
  FileDescriptor fd(::open(hostPath.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC));
  if (!fd.valid()) return errno == ENOENT ? ERROR_FILE_NOT_FOUND : ErrorFromErrno(errno, ERROR_READ_FAULT);
  if (::fstat(fd.get(), st) != 0) return ERROR_READ_FAULT;
  if (S_ISDIR(st->st_mode)) return ERROR_ACCESS_DENIED;
  if (!S_ISREG(st->st_mode)) return ERROR_FILE_NOT_FOUND;
  bytes->clear();
  bytes->reserve(static_cast<size_t>(st->st_size));
  char chunk[65536];
  for (;;) {
    ssize_t n = ::read(fd.get(), chunk, sizeof chunk);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return ERROR_READ_FAULT;
    if (n == 0) break;
    bytes->append(chunk, static_cast<size_t>(n));
  }
  return ERROR_SUCCESS;
}

bool WriteAll(int fd, const std::string& bytes) {
  size_t done = 0;
  while (done < bytes.size()) {
    ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    done += static_cast<size_t>(n);
  }
  return true;
}

std::string FolderOf(const std::string& hostPath) {
  size_t slash = hostPath.rfind('/');
  return slash == std::string::npos ? std::string(".") : slash == 0 ? std::string("/") : hostPath.substr(0, slash);
}

std::string LeafOf(const std::string& hostPath) {
  size_t slash = hostPath.rfind('/');
  return slash == std::string::npos ? hostPath : hostPath.substr(slash + 1);
}

// Temporary files are named ".<leaf>.zovtmp-<pid>-<n>": hidden, never equal to a profile's name
// in any spelling, and traceable to the process that made them.
std::string TemporaryPrefix(const std::string& leaf) { return "." + leaf.substr(0, 160) + ".zovtmp-"; }

// Removes the temporary files that writers of this profile left behind when they died mid-write.
void RemoveAbandonedTemporaries(const std::string& folder, const std::string& leaf) {
  const std::string prefix = TemporaryPrefix(leaf);
  DIR* dir = ::opendir(folder.c_str());
  if (!dir) return;
  std::vector<std::string> abandoned;
  while (dirent* entry = ::readdir(dir)) {
    std::string name = entry->d_name;
    if (name.compare(0, prefix.size(), prefix) != 0) continue;
    long pid = std::strtol(name.c_str() + prefix.size(), nullptr, 10);
    if (pid <= 0 || pid == static_cast<long>(::getpid())) continue;
    if (::kill(static_cast<pid_t>(pid), 0) != 0 && errno == ESRCH) abandoned.push_back(name);
  }
  ::closedir(dir);
  for (const auto& name : abandoned) ::unlink((folder + "/" + name).c_str());
}

// Replaces (or creates) a file with new content so that it is never seen half-written: a
// temporary file beside it, flushed, then renamed over it. A replaced file keeps its permission
// bits, and its owner where the process may set it.
DWORD ReplaceFileContent(const std::string& hostPath, const std::string& bytes,
                         const struct stat* previous, int folderFd) {
  static std::atomic<unsigned> counter{0};
  const std::string folder = FolderOf(hostPath);
  const std::string temp = folder + "/" + TemporaryPrefix(LeafOf(hostPath)) +
                           std::to_string(::getpid()) + "-" + std::to_string(++counter);
  FileDescriptor fd(::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666));
  if (!fd.valid()) return ErrorFromErrno(errno, ERROR_WRITE_FAULT);
  TemporaryFile guard(temp);
  if (previous) {
    if (::fchmod(fd.get(), previous->st_mode & 07777) != 0) return ErrorFromErrno(errno, ERROR_WRITE_FAULT);
    if (previous->st_uid != ::geteuid() || previous->st_gid != ::getegid())
      (void)!::fchown(fd.get(), previous->st_uid, previous->st_gid);
  }
  if (!WriteAll(fd.get(), bytes)) return ErrorFromErrno(errno, ERROR_WRITE_FAULT);
  if (::fsync(fd.get()) != 0) return ErrorFromErrno(errno, ERROR_WRITE_FAULT);
  if (!fd.Close()) return ErrorFromErrno(errno, ERROR_WRITE_FAULT);
  if (::rename(temp.c_str(), hostPath.c_str()) != 0) return ErrorFromErrno(errno, ERROR_WRITE_FAULT);
  guard.Release();
  if (folderFd >= 0) ::fsync(folderFd);  // makes the rename itself durable
  return ERROR_SUCCESS;
}

// ----------------------------------------------------------------------------------------------
// Text units: ANSI bytes (char) or UTF-16LE units (char16_t)

template <typename Ch>
using Units = std::basic_string<Ch>;

template <typename Ch>
bool IsBlank(Ch c) {
  return c == Ch(' ') || c == Ch('\t') || c == Ch('\v');
}

template <typename Ch>
bool IsLineEnd(Ch c) {
  return c == Ch('\r') || c == Ch('\n');
}

// ANSI text as units of the file's kind. 1252 maps every byte to one UTF-16 unit.
Units<char> Widen(const std::string& ansi, char) { return ansi; }
Units<char16_t> Widen(const std::string& ansi, char16_t) {
  if (ansi.empty()) return {};
  int n = MultiByteToWideChar(CP_ACP, 0, ansi.data(), static_cast<int>(ansi.size()), nullptr, 0);
  Units<char16_t> wide(static_cast<size_t>(n > 0 ? n : 0), u'\0');
  if (n > 0) MultiByteToWideChar(CP_ACP, 0, ansi.data(), static_cast<int>(ansi.size()), wide.data(), n);
  return wide;
}

// Units as ANSI text, as the ANSI functions of Windows hand text of a UTF-16 file to their caller:
// a character 1252 lacks becomes its best-fitting 1252 character, or '?'.
std::string ToAnsi(const char* units, size_t count) { return std::string(units, count); }
std::string ToAnsi(const char16_t* units, size_t count) {
  if (count == 0) return {};
  int n = WideCharToMultiByte(CP_ACP, 0, units, static_cast<int>(count), nullptr, 0, nullptr, nullptr);
  std::string ansi(static_cast<size_t>(n > 0 ? n : 0), '\0');
  if (n > 0) WideCharToMultiByte(CP_ACP, 0, units, static_cast<int>(count), ansi.data(), n, nullptr, nullptr);
  return ansi;
}

// Units as ANSI text for comparing names: false unless every unit is exactly a 1252 character
// (a name in the file matches an argument only character for character, never by best fit).
bool ExactAnsi(const char* units, size_t count, std::string* ansi) {
  ansi->assign(units, count);
  return true;
}
bool ExactAnsi(const char16_t* units, size_t count, std::string* ansi) {
  ansi->clear();
  if (count == 0) return true;
  BOOL usedDefault = FALSE;
  int n = WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, units, static_cast<int>(count), nullptr, 0,
                              nullptr, &usedDefault);
  if (n <= 0 || usedDefault) return false;
  ansi->assign(static_cast<size_t>(n), '\0');
  WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, units, static_cast<int>(count), ansi->data(), n, nullptr,
                      &usedDefault);
  return !usedDefault;
}

std::string UpperAnsi(std::string s) {
  if (!s.empty()) CharUpperBuffA(s.data(), static_cast<DWORD>(s.size()));
  return s;
}

// Section and key arguments lose surrounding spaces (only spaces: a tab stays part of the name).
std::string TrimSpaces(const char* s) {
  std::string t = s;
  size_t b = t.find_first_not_of(' ');
  if (b == std::string::npos) return {};
  return t.substr(b, t.find_last_not_of(' ') - b + 1);
}

// ----------------------------------------------------------------------------------------------
// Lines

enum class LineKind {
  Blank,    // nothing but spaces, tabs and vertical tabs
  Comment,  // first non-blank character ';'
  Header,   // first non-blank character '['
  Entry,    // key=value
  Other,    // text without '=': never found, never listed, but part of its section
};

struct Line {
  size_t begin = 0;
  size_t contentEnd = 0;  // where the line end (CRLF, LF or CR) starts
  size_t end = 0;         // after the line end
  LineKind kind = LineKind::Blank;
  size_t nameBegin = 0;  // a header's section name or an entry's key, trimmed
  size_t nameEnd = 0;
  size_t afterEquals = 0;  // an entry: the first unit after its first '='
  size_t valueBegin = 0;   // an entry's value, trimmed, quotes still on
  size_t valueEnd = 0;
  bool terminated() const { return end > contentEnd; }
};

template <typename Ch>
void TrimBlanks(const Units<Ch>& t, size_t* b, size_t* e) {
  while (*b < *e && IsBlank(t[*b])) ++*b;
  while (*e > *b && IsBlank(t[*e - 1])) --*e;
}

template <typename Ch>
void Classify(const Units<Ch>& t, Line* line) {
  size_t p = line->begin;
  const size_t e = line->contentEnd;
  while (p < e && IsBlank(t[p])) ++p;
  if (p == e) {
    line->kind = LineKind::Blank;
  } else if (t[p] == Ch(';')) {
    line->kind = LineKind::Comment;
  } else if (t[p] == Ch('[')) {
    // The name ends at the first ']' (the rest of the line is ignored) or, without one, at the
    // end of the line.
    line->kind = LineKind::Header;
    line->nameBegin = p + 1;
    line->nameEnd = line->nameBegin;
    while (line->nameEnd < e && t[line->nameEnd] != Ch(']')) ++line->nameEnd;
    TrimBlanks(t, &line->nameBegin, &line->nameEnd);
  } else {
    size_t eq = p;
    while (eq < e && t[eq] != Ch('=')) ++eq;
    line->kind = eq == e ? LineKind::Other : LineKind::Entry;
    line->nameBegin = p;
    line->nameEnd = eq;
    TrimBlanks(t, &line->nameBegin, &line->nameEnd);
    if (eq < e) {
      line->afterEquals = eq + 1;
      line->valueBegin = eq + 1;
      line->valueEnd = e;
      TrimBlanks(t, &line->valueBegin, &line->valueEnd);
    }
  }
}

// Lines end at CRLF, LF or CR; the last line may have no end.
template <typename Ch>
std::vector<Line> SplitLines(const Units<Ch>& t) {
  std::vector<Line> lines;
  size_t i = 0;
  const size_t n = t.size();
  while (i < n) {
    Line line;
    line.begin = i;
    size_t j = i;
    while (j < n && !IsLineEnd(t[j])) ++j;
    line.contentEnd = j;
    if (j < n) j += (t[j] == Ch('\r') && j + 1 < n && t[j + 1] == Ch('\n')) ? 2 : 1;
    line.end = j;
    Classify(t, &line);
    lines.push_back(line);
    i = j;
  }
  return lines;
}

template <typename Ch>
bool NameIs(const Units<Ch>& t, size_t b, size_t e, const std::string& upperName) {
  if (e - b != upperName.size()) return false;  // one unit per character in both encodings
  std::string ansi;
  return ExactAnsi(t.data() + b, e - b, &ansi) && UpperAnsi(ansi) == upperName;
}

// A section: its header line and the lines up to the next header. Lines before the first header
// belong to no section and cannot be read.
struct Section {
  size_t header = 0;
  size_t end = 0;  // line index after the section's last line
};

// Only the first section of a name counts.
template <typename Ch>
bool FindSection(const Units<Ch>& t, const std::vector<Line>& lines, const std::string& upperName,
                 Section* out) {
  for (size_t i = 0; i < lines.size(); ++i) {
    if (lines[i].kind != LineKind::Header || !NameIs(t, lines[i].nameBegin, lines[i].nameEnd, upperName))
      continue;
    out->header = i;
    out->end = i + 1;
    while (out->end < lines.size() && lines[out->end].kind != LineKind::Header) ++out->end;
    return true;
  }
  return false;
}

// The first entry of the key in the section; lines.size() when there is none.
template <typename Ch>
size_t FindEntry(const Units<Ch>& t, const std::vector<Line>& lines, const Section& section,
                 const std::string& upperKey) {
  for (size_t i = section.header + 1; i < section.end; ++i)
    if (lines[i].kind == LineKind::Entry && NameIs(t, lines[i].nameBegin, lines[i].nameEnd, upperKey))
      return i;
  return lines.size();
}

// ----------------------------------------------------------------------------------------------
// Reading

enum class Outcome {
  Value,    // text is the value
  List,     // text is the names, each followed by NUL
  Default,  // nothing found: the caller's default applies
};

struct Answer {
  Outcome outcome = Outcome::Default;
  std::string text;
};

template <typename Ch>
Answer Lookup(const Units<Ch>& t, const char* section, const char* key) {
  const std::vector<Line> lines = SplitLines(t);
  Answer answer;
  if (!section) {
    answer.outcome = Outcome::List;
    for (const Line& line : lines) {
      if (line.kind != LineKind::Header) continue;
      answer.text += ToAnsi(t.data() + line.nameBegin, line.nameEnd - line.nameBegin);
      answer.text += '\0';
    }
    return answer;
  }
  Section found;
  if (!FindSection(t, lines, UpperAnsi(TrimSpaces(section)), &found)) return answer;
  if (!key) {
    // The keys of the section, duplicates kept. A key with no name is left out: as an empty
    // string it would end the list.
    for (size_t i = found.header + 1; i < found.end; ++i) {
      const Line& line = lines[i];
      if (line.kind != LineKind::Entry || line.nameEnd == line.nameBegin) continue;
      answer.text += ToAnsi(t.data() + line.nameBegin, line.nameEnd - line.nameBegin);
      answer.text += '\0';
    }
    if (!answer.text.empty()) answer.outcome = Outcome::List;
    return answer;
  }
  size_t entry = FindEntry(t, lines, found, UpperAnsi(TrimSpaces(key)));
  if (entry == lines.size()) return answer;
  // One pair of matching quotes around the whole (trimmed) value is taken off.
  size_t b = lines[entry].valueBegin;
  size_t e = lines[entry].valueEnd;
  if (e - b >= 2 && t[b] == t[e - 1] && (t[b] == Ch('"') || t[b] == Ch('\''))) {
    ++b;
    --e;
  }
  answer.text = ToAnsi(t.data() + b, e - b);
  answer.outcome = Outcome::Value;
  return answer;
}

bool IsUtf16(const std::string& bytes) {
  return bytes.size() >= 2 && static_cast<unsigned char>(bytes[0]) == 0xFF &&
         static_cast<unsigned char>(bytes[1]) == 0xFE;
}

// The units of a UTF-16LE file after its byte-order mark (an odd last byte is not a unit).
Units<char16_t> DecodeUtf16(const std::string& bytes) {
  Units<char16_t> units((bytes.size() - 2) / 2, u'\0');
  for (size_t i = 0; i < units.size(); ++i)
    units[i] = static_cast<char16_t>(static_cast<unsigned char>(bytes[2 + 2 * i]) |
                                     (static_cast<unsigned char>(bytes[3 + 2 * i]) << 8));
  return units;
}

std::string EncodeUtf16(const Units<char16_t>& units, const std::string& original) {
  std::string bytes = original.substr(0, 2);  // the byte-order mark
  bytes.reserve(2 + units.size() * 2 + 1);
  for (char16_t u : units) {
    bytes += static_cast<char>(u & 0xFF);
    bytes += static_cast<char>(u >> 8);
  }
  if (original.size() % 2 != 0) bytes += original.back();  // an odd last byte stays last
  return bytes;
}

// Looks up a value or a list in a profile. *error is the last error to report (0: none).
Answer ReadProfile(const char* section, const char* key, const char* fileName, DWORD* error) {
  *error = ERROR_SUCCESS;
  if (!fileName) {
    *error = ERROR_INVALID_PARAMETER;  // win.ini and its registry mapping are not kept here
    return {};
  }
  ResolvedPath resolved;
  std::string bytes;
  struct stat st;
  *error = ResolveProfile(fileName, PathUse::Existing, &resolved);
  if (*error == ERROR_SUCCESS) *error = ReadWholeFile(resolved.hostPath, &bytes, &st);
  if (*error != ERROR_SUCCESS) {
    Answer none;
    if (!section) none.outcome = Outcome::List;  // no sections: an empty list, not the default
    return none;
  }
  if (IsUtf16(bytes)) return Lookup(DecodeUtf16(bytes), section, key);
  return Lookup(bytes, section, key);
}

// Copies one string as Windows does: cut to nSize-1 characters and a NUL when it does not fit.
DWORD CopyString(const std::string& s, LPSTR buffer, DWORD nSize, bool reportCut) {
  if (nSize == 0) {
    if (reportCut) SetLastError(ERROR_MORE_DATA);
    return 0;
  }
  if (s.size() < nSize) {
    std::memcpy(buffer, s.data(), s.size());
    buffer[s.size()] = '\0';
    return static_cast<DWORD>(s.size());
  }
  std::memcpy(buffer, s.data(), nSize - 1);
  buffer[nSize - 1] = '\0';
  if (reportCut) SetLastError(ERROR_MORE_DATA);
  return nSize - 1;
}

// Copies a list of NUL-terminated names and the final NUL. It counts as fitting only with one
// unit to spare (as Windows counts); otherwise the list is cut to nSize-2 units and two NULs.
DWORD CopyList(const std::string& names, LPSTR buffer, DWORD nSize) {
  if (names.size() + 2 <= nSize) {
    std::memcpy(buffer, names.data(), names.size());
    buffer[names.size()] = '\0';
    return static_cast<DWORD>(names.size());
  }
  if (nSize <= 2) {
    if (nSize >= 1) buffer[0] = '\0';
    if (nSize == 2) buffer[1] = '\0';
    if (!names.empty()) SetLastError(ERROR_MORE_DATA);
    return 0;
  }
  std::memcpy(buffer, names.data(), nSize - 2);
  buffer[nSize - 2] = '\0';
  buffer[nSize - 1] = '\0';
  SetLastError(ERROR_MORE_DATA);
  return nSize - 2;
}

// Reads the number the way Windows converts profile integers: blanks, one sign, a lowercase
// 0x/0o/0b prefix, digits up to the first that does not belong, wrapping modulo 2^32.
UINT ParseProfileInt(const std::string& s) {
  size_t i = 0;
  const size_t n = s.size();
  while (i < n && s[i] != '\0' && static_cast<unsigned char>(s[i]) <= ' ') ++i;
  bool negative = false;
  if (i < n && (s[i] == '+' || s[i] == '-')) negative = s[i++] == '-';
  unsigned base = 10;
  if (i + 1 < n && s[i] == '0') {
    if (s[i + 1] == 'x') base = 16;
    else if (s[i + 1] == 'o') base = 8;
    else if (s[i + 1] == 'b') base = 2;
    if (base != 10) i += 2;
  }
  UINT value = 0;
  for (; i < n; ++i) {
    char c = s[i];
    unsigned digit;
    if (c >= '0' && c <= '9') digit = static_cast<unsigned>(c - '0');
    else if (c >= 'a' && c <= 'f') digit = static_cast<unsigned>(c - 'a' + 10);
    else if (c >= 'A' && c <= 'F') digit = static_cast<unsigned>(c - 'A' + 10);
    else break;
    if (digit >= base) break;
    value = value * base + digit;
  }
  return negative ? 0u - value : value;
}

// ----------------------------------------------------------------------------------------------
// Writing

template <typename Ch>
Units<Ch> LineBreak() {
  return Units<Ch>{Ch('\r'), Ch('\n')};
}

// Applies one WritePrivateProfileString to the text. Returns false when the text stays as it is.
// hasMark: the text follows a byte-order mark, which counts as content before an added section.
template <typename Ch>
bool EditText(const Units<Ch>& t, bool hasMark, const std::string& section, const char* key,
              const char* value, Units<Ch>* out) {
  const std::vector<Line> lines = SplitLines(t);
  Section found;
  const bool exists = FindSection(t, lines, UpperAnsi(section), &found);
  out->clear();

  if (!key) {
    // The section goes: its header, entries and lines without '='; its comments and blank lines
    // stay where they are.
    if (!exists) return false;
    size_t from = 0;
    for (size_t i = found.header; i < found.end; ++i) {
      LineKind kind = lines[i].kind;
      if (i != found.header && kind != LineKind::Entry && kind != LineKind::Other) continue;
      out->append(t, from, lines[i].begin - from);
      from = lines[i].end;
    }
    out->append(t, from, Units<Ch>::npos);
    return true;
  }

  const std::string keyName = TrimSpaces(key);
  if (!exists) {
    // A new section goes at the end, after a line break if the last line has none.
    if (!value) return false;
    *out = t;
    if (t.empty() ? hasMark : !IsLineEnd(t.back())) *out += LineBreak<Ch>();
    *out += Ch('[');
    *out += Widen(section, Ch());
    *out += Ch(']');
    *out += LineBreak<Ch>();
    *out += Widen(keyName, Ch());
    *out += Ch('=');
    *out += Widen(value, Ch());
    *out += LineBreak<Ch>();
    return true;
  }

  const size_t entry = FindEntry(t, lines, found, UpperAnsi(keyName));
  if (entry < lines.size()) {
    const Line& line = lines[entry];
    if (!value) {
      // The key's line goes, line end and all.
      out->append(t, 0, line.begin);
      out->append(t, line.end, Units<Ch>::npos);
      return true;
    }
    // Only the value changes; the line keeps its key as spelled and its line end (a last line
    // without one gets CRLF).
    out->append(t, 0, line.afterEquals);
    *out += Widen(value, Ch());
    if (line.terminated())
      out->append(t, line.contentEnd, line.end - line.contentEnd);
    else
      *out += LineBreak<Ch>();
    out->append(t, line.end, Units<Ch>::npos);
    return true;
  }

  // A new key goes right after the section's last key line (before trailing comments and blank
  // lines), or right after the header when the section has none.
  if (!value) return false;
  size_t anchor = found.header;
  for (size_t i = found.header + 1; i < found.end; ++i)
    if (lines[i].kind == LineKind::Entry || lines[i].kind == LineKind::Other) anchor = i;
  const Line& after = lines[anchor];
  out->append(t, 0, after.end);
  if (!after.terminated()) *out += LineBreak<Ch>();
  *out += Widen(keyName, Ch());
  *out += Ch('=');
  *out += Widen(value, Ch());
  *out += LineBreak<Ch>();
  out->append(t, after.end, Units<Ch>::npos);
  return true;
}

// The new bytes of the file, or false when the edit leaves the file as it is.
bool EditFile(const std::string& bytes, const std::string& section, const char* key, const char* value,
              std::string* result) {
  if (IsUtf16(bytes)) {
    Units<char16_t> edited;
    if (!EditText(DecodeUtf16(bytes), true, section, key, value, &edited)) return false;
    *result = EncodeUtf16(edited, bytes);
    return true;
  }
  return EditText(bytes, false, section, key, value, result);
}

BOOL WriteProfile(LPCSTR section, LPCSTR key, LPCSTR value, LPCSTR fileName) {
  if (!section) {
    // All names NULL asks Windows to flush its cache of profiles: there is none here.
    if (!key && !value) return TRUE;
    SetLastError(ERROR_FILE_NOT_FOUND);
    return FALSE;
  }
  if (!fileName) {
    SetLastError(ERROR_INVALID_PARAMETER);  // win.ini and its registry mapping are not kept here
    return FALSE;
  }
  ResolvedPath resolved;
  DWORD error = ResolveProfile(fileName, PathUse::CreateLeaf, &resolved);
  if (error != ERROR_SUCCESS) {
    SetLastError(error);
    return FALSE;
  }
  const std::string folder = FolderOf(resolved.hostPath);
  FolderLock lock(folder);
  RemoveAbandonedTemporaries(folder, LeafOf(resolved.hostPath));

  std::string bytes;
  struct stat st;
  error = ReadWholeFile(resolved.hostPath, &bytes, &st);
  const bool created = error == ERROR_FILE_NOT_FOUND;
  if (error != ERROR_SUCCESS && !created) {
    SetLastError(error);
    return FALSE;
  }
  if (!created && ::access(resolved.hostPath.c_str(), W_OK) != 0) {
    SetLastError(ERROR_ACCESS_DENIED);  // a read-only file is not replaced
    return FALSE;
  }
  std::string edited;
  if (!EditFile(bytes, TrimSpaces(section), key, value, &edited)) {
    if (!created) return TRUE;  // nothing to change: the file is left alone
    edited.clear();             // Windows still creates the (empty) file
  }
  error = ReplaceFileContent(resolved.hostPath, edited, created ? nullptr : &st, lock.fd());
  if (error != ERROR_SUCCESS) {
    SetLastError(error);
    return FALSE;
  }
  if (created) SetLastError(ERROR_FILE_NOT_FOUND);  // as Windows leaves it after making the file
  return TRUE;
}

}  // namespace

extern "C" DWORD WINAPI GetPrivateProfileStringA(LPCSTR lpAppName, LPCSTR lpKeyName, LPCSTR lpDefault,
                                                 LPSTR lpReturnedString, DWORD nSize, LPCSTR lpFileName) {
  try {
    if (!lpReturnedString) {
      if (nSize != 0) SetLastError(ERROR_INVALID_PARAMETER);
      return 0;
    }
    DWORD error = ERROR_SUCCESS;
    Answer answer = ReadProfile(lpAppName, lpKeyName, lpFileName, &error);
    if (error != ERROR_SUCCESS) SetLastError(error);
    switch (answer.outcome) {
      case Outcome::Value:
        return CopyString(answer.text, lpReturnedString, nSize, true);
      case Outcome::List:
        return CopyList(answer.text, lpReturnedString, nSize);
      case Outcome::Default:
        break;
    }
    // The default loses trailing spaces (spaces only).
    std::string fallback = lpDefault ? lpDefault : "";
    fallback.erase(fallback.find_last_not_of(' ') + 1);
    return CopyString(fallback, lpReturnedString, nSize, false);
  } catch (...) {
    if (nSize >= 1) lpReturnedString[0] = '\0';
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return 0;
  }
}

extern "C" UINT WINAPI GetPrivateProfileIntA(LPCSTR lpAppName, LPCSTR lpKeyName, INT nDefault,
                                             LPCSTR lpFileName) {
  try {
    // The number is read from what GetPrivateProfileString would return (with an empty default):
    // the value, or in a listing the first name.
    DWORD error = ERROR_SUCCESS;
    Answer answer = ReadProfile(lpAppName, lpKeyName, lpFileName, &error);
    if (error != ERROR_SUCCESS) SetLastError(error);
    if (answer.outcome != Outcome::Value && answer.outcome != Outcome::List) return static_cast<UINT>(nDefault);
    std::string text = answer.text.substr(0, answer.text.find('\0'));
    if (text.empty()) return static_cast<UINT>(nDefault);
    return ParseProfileInt(text);
  } catch (...) {
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return static_cast<UINT>(nDefault);
  }
}

extern "C" BOOL WINAPI WritePrivateProfileStringA(LPCSTR lpAppName, LPCSTR lpKeyName, LPCSTR lpString,
                                                  LPCSTR lpFileName) {
  try {
    return WriteProfile(lpAppName, lpKeyName, lpString, lpFileName);
  } catch (...) {
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return FALSE;
  }
}
