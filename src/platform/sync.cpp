#include "zov/platform/sync.h"

#include <mutex>
#include <new>

namespace {
static_assert(sizeof(std::recursive_mutex) <= sizeof(CRITICAL_SECTION::opaque),
              "CRITICAL_SECTION has room for a recursive mutex");
static_assert(alignof(std::recursive_mutex) <= 8, "CRITICAL_SECTION alignment");

std::recursive_mutex& MutexOf(LPCRITICAL_SECTION cs) {
  return *std::launder(reinterpret_cast<std::recursive_mutex*>(cs->opaque));
}
}  // namespace

extern "C" {
LONG WINAPI InterlockedIncrement(LONG volatile* Addend) { return __atomic_add_fetch(Addend, 1, __ATOMIC_SEQ_CST); }
LONG WINAPI InterlockedDecrement(LONG volatile* Addend) { return __atomic_sub_fetch(Addend, 1, __ATOMIC_SEQ_CST); }
LONG WINAPI InterlockedExchange(LONG volatile* Target, LONG Value) {
  return __atomic_exchange_n(Target, Value, __ATOMIC_SEQ_CST);
}
LONG WINAPI InterlockedCompareExchange(LONG volatile* Destination, LONG Exchange, LONG Comparand) {
  __atomic_compare_exchange_n(Destination, &Comparand, Exchange, false, __ATOMIC_SEQ_CST,
                              __ATOMIC_SEQ_CST);
  return Comparand;
}
void WINAPI InitializeCriticalSection(LPCRITICAL_SECTION cs) { new (cs->opaque) std::recursive_mutex(); }
void WINAPI DeleteCriticalSection(LPCRITICAL_SECTION cs) { MutexOf(cs).~recursive_mutex(); }
void WINAPI EnterCriticalSection(LPCRITICAL_SECTION cs) { MutexOf(cs).lock(); }
void WINAPI LeaveCriticalSection(LPCRITICAL_SECTION cs) { MutexOf(cs).unlock(); }
BOOL WINAPI TryEnterCriticalSection(LPCRITICAL_SECTION cs) { return MutexOf(cs).try_lock() ? TRUE : FALSE; }
}
