#include "win32_errors.h"

namespace zovctl {

std::string DescribeError(DWORD error) {
  switch (error) {
    case ERROR_FILE_NOT_FOUND: return "file not found";
    case ERROR_PATH_NOT_FOUND: return "path not found (a folder on the way is missing, or the path leads outside the machine)";
    case ERROR_ACCESS_DENIED: return "access denied";
    case ERROR_INVALID_NAME: return "invalid file name";
    case ERROR_FILENAME_EXCED_RANGE: return "path too long";
    case ERROR_SHARING_VIOLATION: return "the file is in use";
    case ERROR_DIR_NOT_EMPTY: return "the folder is not empty";
    case ERROR_NOT_ENOUGH_MEMORY:
    case ERROR_OUTOFMEMORY: return "out of memory";
    default: return "error " + std::to_string(error);
  }
}

}  // namespace zovctl
