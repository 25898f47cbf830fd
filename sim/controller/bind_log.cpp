#include "bind_log.h"

#include <deque>
#include <new>
#include <string>
#include <utility>

#include "zov/unique_bstr.h"
#include "zov/unique_safearray.h"

namespace zov::sim {
namespace {

using Name = std::basic_string<OLECHAR>;

// The names and their lock. Plain memory only (no BSTR), so that the module's unloading frees it
// without calling out of the module.
class BindLog {
 public:
  BindLog() { InitializeCriticalSection(&lock_); }
  ~BindLog() { DeleteCriticalSection(&lock_); }
  BindLog(const BindLog&) = delete;
  BindLog& operator=(const BindLog&) = delete;

  void Record(LPCOLESTR displayName) noexcept {
    try {
      Name name = displayName ? Name(displayName) : Name();
      Guard guard(&lock_);
      if (names_.size() >= kBindLogCapacity) names_.pop_front();
      names_.push_back(std::move(name));
    } catch (const std::bad_alloc&) {
      // Left out: the bind does not depend on its log.
    }
  }

  HRESULT Take(SAFEARRAY** out) noexcept {
    if (!out) return E_POINTER;
    *out = nullptr;
    try {
      Guard guard(&lock_);
      unique_safearray array(SafeArrayCreateVector(VT_BSTR, 0, static_cast<ULONG>(names_.size())));
      if (!array.get()) return E_OUTOFMEMORY;
      LONG index = 0;
      for (const Name& name : names_) {
        unique_bstr text(SysAllocStringLen(name.data(), static_cast<UINT>(name.size())));
        if (!text.get()) return E_OUTOFMEMORY;
        // SafeArrayPutElement copies the string into the array.
        HRESULT hr = SafeArrayPutElement(array.get(), &index, text.get());
        if (FAILED(hr)) return hr;
        ++index;
      }
      names_.clear();
      *out = array.detach();
      return S_OK;
    } catch (const std::bad_alloc&) {
      return E_OUTOFMEMORY;
    }
  }

 private:
  class Guard {
   public:
    explicit Guard(CRITICAL_SECTION* lock) : lock_(lock) { EnterCriticalSection(lock_); }
    ~Guard() { LeaveCriticalSection(lock_); }
    Guard(const Guard&) = delete;
    Guard& operator=(const Guard&) = delete;

   private:
    CRITICAL_SECTION* lock_;
  };

  CRITICAL_SECTION lock_;
  std::deque<Name> names_;
};

BindLog g_bindLog;

}  // namespace

void RecordBind(LPCOLESTR displayName) noexcept { g_bindLog.Record(displayName); }

HRESULT TakeBindLog(SAFEARRAY** names) noexcept { return g_bindLog.Take(names); }

}  // namespace zov::sim
