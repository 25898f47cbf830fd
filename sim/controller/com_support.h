// What the virtual controller's COM objects share: the module's lock count, text conversions
// between BSTR/OLE strings and ANSI, and the reference counting of heap objects.
#pragma once

#include <string>

#include "zov/unique_bstr.h"
#include "zov/win32.h"

namespace zov::sim {

// The module's count of live objects and server locks (the module state's lock count);
// DllCanUnloadNow reports S_OK at 0.
void LockModule();
void UnlockModule();

// ANSI (the process code page) from an OLE string; empty for null. False when it cannot be
// converted.
bool ToAnsi(LPCOLESTR text, std::string* out);
// A new BSTR of ANSI text; null when out of memory.
BSTR ToBstr(const std::string& text);

// A BSTR copy for an out-parameter: S_OK, or E_OUTOFMEMORY with *out null.
HRESULT ReturnBstr(const std::string& text, BSTR* out);

// The references of a heap object: counted from 1, the object deleted at 0, the module held while
// it lives. The derived class answers QueryInterface through Find.
class RefCounted {
 public:
  RefCounted() { LockModule(); }
  virtual ~RefCounted() { UnlockModule(); }
  RefCounted(const RefCounted&) = delete;
  RefCounted& operator=(const RefCounted&) = delete;

 protected:
  ULONG AddRefImpl() { return static_cast<ULONG>(InterlockedIncrement(&refs_)); }
  ULONG ReleaseImpl() {
    LONG left = InterlockedDecrement(&refs_);
    if (left == 0) delete this;
    return static_cast<ULONG>(left);
  }

 private:
  LONG refs_ = 1;
};

#define ZOV_SIM_REFCOUNT                                                  \
  ULONG STDMETHODCALLTYPE AddRef() override { return AddRefImpl(); }     \
  ULONG STDMETHODCALLTYPE Release() override { return ReleaseImpl(); }

// Hands out interface `I` of `object` (an IUnknown-derived pointer), with a reference.
template <typename I, typename T>
HRESULT HandOut(T* object, void** ppv) {
  *ppv = static_cast<I*>(object);
  static_cast<I*>(object)->AddRef();
  return S_OK;
}

}  // namespace zov::sim
