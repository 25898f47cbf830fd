// zov::unique_hmodule: the one owner of a library loaded with LoadLibraryA, freed with FreeLibrary
// when the owner goes.
#pragma once

#include "zov/win32.h"

namespace zov {

class unique_hmodule {
 public:
  unique_hmodule() noexcept = default;
  // Takes ownership of one load reference of `owned` (which may be null).
  explicit unique_hmodule(HMODULE owned) noexcept : value_(owned) {}
  ~unique_hmodule() { reset(); }

  unique_hmodule(unique_hmodule&& other) noexcept : value_(other.detach()) {}
  unique_hmodule& operator=(unique_hmodule&& other) noexcept {
    if (this != &other) reset(other.detach());
    return *this;
  }
  unique_hmodule(const unique_hmodule&) = delete;
  unique_hmodule& operator=(const unique_hmodule&) = delete;

  HMODULE get() const noexcept { return value_; }
  explicit operator bool() const noexcept { return value_ != nullptr; }

  // Frees the reference held and takes ownership of `owned`.
  void attach(HMODULE owned) noexcept { reset(owned); }
  // Gives up ownership: the caller frees the library.
  HMODULE detach() noexcept {
    HMODULE value = value_;
    value_ = nullptr;
    return value;
  }
  // Every handle stands for one load reference: LoadLibraryA of a library already held returns
  // the same handle with one more reference, so the reference held is freed even then.
  void reset(HMODULE owned = nullptr) noexcept {
    HMODULE old = value_;
    value_ = owned;
    if (old) FreeLibrary(old);
  }

 private:
  HMODULE value_ = nullptr;
};

}  // namespace zov
