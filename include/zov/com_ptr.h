// zov::com_ptr<T>: holds one reference to a COM object; copying AddRefs, destruction Releases.
#pragma once

#include <cstddef>

#include "zov/win32.h"

namespace zov {

template <typename T>
class com_ptr {
 public:
  com_ptr() noexcept = default;
  com_ptr(std::nullptr_t) noexcept {}
  ~com_ptr() { reset(); }

  com_ptr(const com_ptr& other) noexcept { copy_from(other.p_); }
  com_ptr(com_ptr&& other) noexcept : p_(other.detach()) {}
  com_ptr& operator=(const com_ptr& other) noexcept {
    copy_from(other.p_);
    return *this;
  }
  com_ptr& operator=(com_ptr&& other) noexcept {
    if (this != &other) attach(other.detach());
    return *this;
  }

  T* get() const noexcept { return p_; }
  T* operator->() const noexcept { return p_; }
  explicit operator bool() const noexcept { return p_ != nullptr; }

  // Takes over a reference the caller owns, releasing the one held.
  void attach(T* owned) noexcept {
    T* old = p_;
    p_ = owned;
    if (old) old->Release();
  }
  // Gives up the reference held: the caller releases it.
  T* detach() noexcept {
    T* p = p_;
    p_ = nullptr;
    return p;
  }
  // Holds a new reference to `p` (AddRef), releasing the one held.
  void copy_from(T* p) noexcept {
    if (p) p->AddRef();
    attach(p);
  }
  void reset() noexcept { attach(nullptr); }
  // For an out-parameter: releases the reference held and returns where the new one is written.
  T** put() noexcept {
    reset();
    return &p_;
  }
  // The same as void**, for QueryInterface-like functions.
  void** put_void() noexcept { return reinterpret_cast<void**>(put()); }

  // QueryInterface for another interface of the object; E_POINTER when nothing is held.
  template <typename U>
  HRESULT query(REFIID iid, U** out) const noexcept {
    *out = nullptr;
    if (!p_) return E_POINTER;
    return p_->QueryInterface(iid, reinterpret_cast<void**>(out));
  }
  template <typename U>
  com_ptr<U> query(REFIID iid) const noexcept {
    com_ptr<U> result;
    if (p_) p_->QueryInterface(iid, result.put_void());
    return result;
  }

 private:
  T* p_ = nullptr;
};

}  // namespace zov
