// Looking at HKEY_CLASSES_ROOT from a test: natively the scratch machine's registry, under Wine
// the prefix's.
#pragma once

#include <string>

namespace zov::test {

// Whether the key HKEY_CLASSES_ROOT\<path> exists (and can be opened for reading).
bool KeyExists(const std::string& path);

}  // namespace zov::test
