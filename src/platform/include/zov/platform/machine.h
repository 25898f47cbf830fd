// The machine folder: the one POSIX folder that plays the part of a Windows machine's drives and
// registry, as a Wine prefix does for Wine.
//
//   drive_c/, drive_d/, ...   the drives: "C:\X\Y" is drive_c/X/Y
//   unc/SERVER/SHARE/         the network share \\SERVER\SHARE
//   registry.reg              HKEY_CLASSES_ROOT (see registry.h)
//
// It is the folder named by ZovSetMachineFolder, else by the environment variable ZOV_MACHINE,
// else a scratch copy of the bundled demo machine (made on first use, so that the repository's
// copy is never written).
//
// Windows path names resolve case-insensitively against the real names, component by component
// (an exact match wins over a case-folded one). Both '\' and '/' separate. A path rooted without a
// drive ("\X", "/X") is on drive C; a relative path is taken against the current directory, itself
// a Windows path inside the machine (see files.h). "." and ".." are folded as Windows folds them,
// but ".." above a drive or share root, a component that is a symbolic link, and a drive letter or
// share that has no folder all fail as "not found": no path ever reaches outside the machine.
#pragma once

#include <string>

#include "zov/platform/types.h"

extern "C" {
// Chooses the machine folder for this process (an existing POSIX folder). Returns FALSE, and keeps
// the old choice, when it is not a folder.
BOOL ZovSetMachineFolder(const char* posixFolder);
// The POSIX folder of the machine in use, without a trailing '/'; never null (the demo copy is
// made when nothing else was chosen; an empty string when even that fails).
const char* ZovGetMachineFolder(void);
}

namespace zov::platform {

enum class PathUse {
  Existing,      // every component must exist
  CreateLeaf,    // every component but the last must exist; the last keeps the given spelling
};

struct ResolvedPath {
  std::string hostPath;     // the POSIX path inside the machine folder
  std::string windowsPath;  // the full Windows path, folded, in the real names' spelling
  bool exists = false;      // the last component exists
  bool isDirectory = false;
};

// Resolves a Windows path inside the machine. Returns 0 and fills out, or a Win32 error code:
// ERROR_PATH_NOT_FOUND when a directory on the way is missing or the path leads outside,
// ERROR_FILE_NOT_FOUND when (for PathUse::Existing) only the last component is missing,
// ERROR_INVALID_NAME for an empty name or characters Windows forbids in names ("<>|*?" and
// control characters), ERROR_FILENAME_EXCED_RANGE beyond MAX_PATH.
DWORD ResolveWindowsPath(const char* windowsPath, PathUse use, ResolvedPath* out);

// The full Windows form of a path (drive, current directory and dots folded), without touching
// the file system; empty when it cannot be formed.
std::string FullWindowsPath(const char* windowsPath);

}  // namespace zov::platform
