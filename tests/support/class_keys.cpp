#include "class_keys.h"

#include "zov/win32.h"

namespace zov::test {

bool KeyExists(const std::string& path) {
  HKEY key;
  if (RegOpenKeyExA(HKEY_CLASSES_ROOT, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS)
    return false;
  RegCloseKey(key);
  return true;
}

std::string ClassesValue(const std::string& path, const char* name) {
  HKEY key;
  if (RegOpenKeyExA(HKEY_CLASSES_ROOT, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS)
    return "(no key)";
  char data[1024];
  DWORD size = sizeof data;
  DWORD type = 0;
  LONG rc = RegQueryValueExA(key, name, nullptr, &type, reinterpret_cast<BYTE*>(data), &size);
  RegCloseKey(key);
  if (rc != ERROR_SUCCESS || type != REG_SZ) return "(no value)";
  // The size counts the terminating NUL when the value was stored with one.
  if (size > 0 && data[size - 1] == '\0') --size;
  return std::string(data, size);
}

}  // namespace zov::test
