// zov::unique_variant: a VARIANT that is VariantInit'ed on creation and VariantClear'ed when it
// goes, so that whatever it holds (a BSTR, an interface, an array) is released exactly once.
#pragma once

#include <cstring>

#include "zov/win32.h"

namespace zov {

class unique_variant {
 public:
  unique_variant() noexcept { VariantInit(&value_); }
  ~unique_variant() { clear(); }

  unique_variant(unique_variant&& other) noexcept {
    VariantInit(&value_);
    other.detach(&value_);
  }
  unique_variant& operator=(unique_variant&& other) noexcept {
    if (this != &other) {
      clear();
      other.detach(&value_);
    }
    return *this;
  }
  unique_variant(const unique_variant&) = delete;
  unique_variant& operator=(const unique_variant&) = delete;

  VARIANT* get() noexcept { return &value_; }
  const VARIANT* get() const noexcept { return &value_; }

  // For an out-parameter: clears what is held and returns the empty VARIANT to be filled.
  VARIANT* put() noexcept {
    clear();
    return &value_;
  }
  // Takes over the contents of *source, which is left VT_EMPTY.
  void attach(VARIANT* source) noexcept {
    clear();
    std::memcpy(static_cast<void*>(&value_), source, sizeof(VARIANT));
    VariantInit(source);
  }
  // Hands the contents over to *destination (whose old contents are not cleared: it is meant for
  // out-parameters); this one is left VT_EMPTY.
  void detach(VARIANT* destination) noexcept {
    std::memcpy(static_cast<void*>(destination), &value_, sizeof(VARIANT));
    VariantInit(&value_);
  }

 private:
  // Leaves the VARIANT empty even when it cannot be cleared (a locked array, which then stays
  // with whoever locked it).
  void clear() noexcept {
    VariantClear(&value_);
    VariantInit(&value_);
  }

  VARIANT value_;
};

}  // namespace zov
