// The four forms in which the server names one file, and the conversions between them:
//   host path          "\WKS.DIR\PART1.ZOV\MAIN.MPF" (also relative, "C:\..." and "\\SERVER\SHARE\...")
//   NC name            "/_N_WKS_DIR/_N_PART1_ZOV/_N_MAIN_MPF"
//   domain path        "TESK://domain/hd-nc/WKS.DIR/PART1.ZOV/MAIN.MPF" (views "hd", "nc", "hd-nc")
//   NC selection path  "/NC/WKS.DIR/PART1.ZOV/MAIN.MPF"
// Pure text work on byte strings in the process's ANSI code page, aware of double-byte
// characters. Each conversion works as if in one buffer of kPathBufferSize bytes: every input
// that fits gives exactly what that buffer gives, and where the text would not fit the result is
// absent (std::nullopt) -- never a cut path, which might name another file.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace zov::ncpath {

inline constexpr size_t kPathBufferSize = 1024;  // bytes, terminating NUL included
inline constexpr char kDomainPrefix[] = "TESK://domain";
inline constexpr char kViewHd[] = "hd";
inline constexpr char kViewHdNc[] = "hd-nc";
inline constexpr char kViewNc[] = "nc";

// Every function reads its inputs up to their first NUL byte (as the C-string work it stands for)
// and returns std::nullopt ("absent") when an input or the result would not fit kPathBufferSize
// (1023 bytes of text + NUL). Out of memory: std::bad_alloc propagates.

// The upper-case host path of a domain path (the view dropped; a drive or share domain path keeps
// its first component: "TESK://domain/C:/data" -> "\C:\DATA"), of an NC name ("_N_" removed, the
// "_" before a three-character extension turned into "."), or of a host path.
std::optional<std::string> MakeHostPath(std::string_view name);

// The domain path of a host path, an NC name ("/_N_...") or a domain path, in `view` (a domain
// path in another of the views "hd-nc", "hd", "nc" is moved into `view`; a drive or share path
// gets no view). Everything after the first component following the prefix is upper-cased. The
// caller has chosen the view; an empty path gives the empty string.
std::optional<std::string> MakeDomainPathInView(std::string_view path, std::string_view view);

// "directory/name.extension", or "directory/name" when the extension is empty.
std::optional<std::string> JoinPath(std::string_view directory, std::string_view name,
                                    std::string_view extension = {});

// The NC selection path of a host path: "/NC" followed by the path with "/" for every "\".
std::optional<std::string> MakeNcSelectPath(std::string_view hostPath);

// A "/"-separated path split at its last "/" into directory and last component, and the last
// component at its first "." into name and extension ("WKS.DIR/A.ZOV/A.B.MPF": directory
// "WKS.DIR/A.ZOV", name "A", extension "B.MPF"; without "/" the directory is empty, without "."
// the extension). Absent when the last component has 100 bytes or more, the size of the name
// buffer of the selection code.
struct PathParts {
  std::string name, extension, directory;
};
inline constexpr size_t kNameBufferSize = 100;  // bytes, terminating NUL included
std::optional<PathParts> SplitPath(std::string_view path);

}  // namespace zov::ncpath
