// Interlocked operations and critical sections.
#pragma once

#include "zov/platform/types.h"

typedef struct _RTL_CRITICAL_SECTION {
  // Storage for a recursive mutex; the Windows fields (debug info, lock count, recursion count,
  // owning thread, lock semaphore, spin count) are not kept.
  alignas(8) unsigned char opaque[64];
} CRITICAL_SECTION, *LPCRITICAL_SECTION;

extern "C" {
// Sequentially consistent, as on Windows; return the new value.
LONG WINAPI InterlockedIncrement(LONG volatile* Addend);
LONG WINAPI InterlockedDecrement(LONG volatile* Addend);
LONG WINAPI InterlockedExchange(LONG volatile* Target, LONG Value);
LONG WINAPI InterlockedCompareExchange(LONG volatile* Destination, LONG Exchange, LONG Comparand);
// Recursive for the owning thread, as on Windows.
void WINAPI InitializeCriticalSection(LPCRITICAL_SECTION lpCriticalSection);
void WINAPI DeleteCriticalSection(LPCRITICAL_SECTION lpCriticalSection);
void WINAPI EnterCriticalSection(LPCRITICAL_SECTION lpCriticalSection);
void WINAPI LeaveCriticalSection(LPCRITICAL_SECTION lpCriticalSection);
BOOL WINAPI TryEnterCriticalSection(LPCRITICAL_SECTION lpCriticalSection);
}
