// Looking at HKEY_CLASSES_ROOT from a test: natively the scratch machine's registry, under Wine
// the prefix's.
#pragma once

#include <string>

namespace zov::test {

// Whether the key HKEY_CLASSES_ROOT\<path> exists (and can be opened for reading).
bool KeyExists(const std::string& path);
// The string value `name` (null: the default value) of HKEY_CLASSES_ROOT\<path>; "(no key)" when
// the key cannot be opened, "(no value)" when the value is missing or is no REG_SZ.
std::string ClassesValue(const std::string& path, const char* name = nullptr);

}  // namespace zov::test
