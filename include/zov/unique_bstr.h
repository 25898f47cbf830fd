// zov::unique_bstr: the one owner of a BSTR, freed with SysFreeString when the owner goes.
#pragma once

#include "zov/win32.h"

namespace zov {

class unique_bstr {
 public:
  unique_bstr() noexcept = default;
  // Takes ownership of `owned` (which may be null).
  explicit unique_bstr(BSTR owned) noexcept : value_(owned) {}
  ~unique_bstr() { reset(); }

  unique_bstr(unique_bstr&& other) noexcept : value_(other.detach()) {}
  unique_bstr& operator=(unique_bstr&& other) noexcept {
    if (this != &other) reset(other.detach());
    return *this;
  }
  unique_bstr(const unique_bstr&) = delete;
  unique_bstr& operator=(const unique_bstr&) = delete;

  BSTR get() const noexcept { return value_; }
  // Characters in the string; 0 when empty or null.
  UINT length() const noexcept { return SysStringLen(value_); }

  // Frees the string held and takes ownership of `owned`.
  void attach(BSTR owned) noexcept { reset(owned); }
  // Gives up ownership: the caller frees the string returned.
  BSTR detach() noexcept {
    BSTR value = value_;
    value_ = nullptr;
    return value;
  }
  void reset(BSTR owned = nullptr) noexcept {
    if (owned == value_) return;
    BSTR old = value_;
    value_ = owned;
    SysFreeString(old);
  }
  // For an out-parameter: frees the string held and returns where the new one is to be written.
  BSTR* put() noexcept {
    reset();
    return &value_;
  }

 private:
  BSTR value_ = nullptr;
};

}  // namespace zov
