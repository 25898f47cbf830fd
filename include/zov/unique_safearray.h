// zov::unique_safearray: the one owner of a SAFEARRAY, destroyed (with the elements it owns) by
// SafeArrayDestroy when the owner goes.
#pragma once

#include "zov/win32.h"

namespace zov {

class unique_safearray {
 public:
  unique_safearray() noexcept = default;
  // Takes ownership of `owned` (which may be null).
  explicit unique_safearray(SAFEARRAY* owned) noexcept : value_(owned) {}
  ~unique_safearray() { reset(); }

  unique_safearray(unique_safearray&& other) noexcept : value_(other.detach()) {}
  unique_safearray& operator=(unique_safearray&& other) noexcept {
    if (this != &other) reset(other.detach());
    return *this;
  }
  unique_safearray(const unique_safearray&) = delete;
  unique_safearray& operator=(const unique_safearray&) = delete;

  SAFEARRAY* get() const noexcept { return value_; }

  // Destroys the array held and takes ownership of `owned`.
  void attach(SAFEARRAY* owned) noexcept { reset(owned); }
  // Gives up ownership: the caller destroys the array returned.
  SAFEARRAY* detach() noexcept {
    SAFEARRAY* value = value_;
    value_ = nullptr;
    return value;
  }
  void reset(SAFEARRAY* owned = nullptr) noexcept {
    if (owned == value_) return;
    SAFEARRAY* old = value_;
    value_ = owned;
    SafeArrayDestroy(old);
  }
  // For an out-parameter: destroys the array held and returns where the new one is to be written.
  SAFEARRAY** put() noexcept {
    reset();
    return &value_;
  }

 private:
  SAFEARRAY* value_ = nullptr;
};

}  // namespace zov
