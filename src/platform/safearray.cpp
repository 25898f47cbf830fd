// SAFEARRAY: the descriptor and the element ownership as Windows has them.
//
// One block holds [16 bytes][descriptor with cDims bounds][elements, for vectors only]. The 16
// bytes before the descriptor hold the element type: the VARTYPE in the last 4 of them
// (FADF_HAVEVARTYPE), or for interface arrays the IID in all 16 (FADF_HAVEIID), as Windows does.
// Other arrays keep their elements in a block of their own.
#include "zov/platform/safearray.h"

#include <cstdlib>
#include <cstring>
#include <new>

#include "zov/platform/bstr.h"
#include "zov/platform/dispatch.h"
#include "zov/platform/errors.h"
#include "zov/platform/unknown.h"

namespace {

constexpr std::size_t kPrefix = 16;
// Set by Windows on arrays whose elements share the descriptor's block (SafeArrayCreateVector).
constexpr USHORT kCreateVector = 0x2000;
constexpr ULONG kMaxLocks = 0xFFFF;
// More than this in one array is refused rather than attempted.
constexpr unsigned long long kMaxDataBytes = 0x7FFFFFFFull;

char* BlockOf(SAFEARRAY* psa) { return reinterpret_cast<char*>(psa) - kPrefix; }

std::size_t DescriptorSize(UINT cDims) { return sizeof(SAFEARRAY) + (cDims - 1) * sizeof(SAFEARRAYBOUND); }

// The size of one element of an array of vt; 0 when the layer does not make arrays of vt.
ULONG ElementSize(VARTYPE vt) {
  switch (vt) {
    case VT_I1: case VT_UI1:
      return 1;
    case VT_I2: case VT_UI2: case VT_BOOL:
      return 2;
    case VT_I4: case VT_UI4: case VT_INT: case VT_UINT: case VT_ERROR: case VT_R4:
      return 4;
    case VT_R8: case VT_CY: case VT_DATE: case VT_I8: case VT_UI8:
      return 8;
    case VT_DECIMAL:
      return sizeof(DECIMAL);
    case VT_BSTR: case VT_UNKNOWN: case VT_DISPATCH:
      return sizeof(void*);
    case VT_VARIANT:
      return sizeof(VARIANT);
    default:
      return 0;
  }
}

USHORT FeaturesOf(VARTYPE vt) {
  switch (vt) {
    case VT_BSTR: return FADF_HAVEVARTYPE | FADF_BSTR;
    case VT_VARIANT: return FADF_HAVEVARTYPE | FADF_VARIANT;
    case VT_UNKNOWN: return FADF_HAVEIID | FADF_UNKNOWN;
    case VT_DISPATCH: return FADF_HAVEIID | FADF_DISPATCH;
    default: return FADF_HAVEVARTYPE;
  }
}

// Total bytes of the elements, or false when the count cannot be held.
bool DataBytes(UINT cDims, const SAFEARRAYBOUND* bounds, ULONG cbElements, std::size_t* bytes) {
  unsigned long long total = cbElements;
  for (UINT i = 0; i < cDims; ++i) {
    total *= bounds[i].cElements;
    if (total > kMaxDataBytes) return false;
  }
  *bytes = static_cast<std::size_t>(total);
  return true;
}

// A descriptor (and, for vectors, the elements behind it) for vt with the dimensions as stored
// (rightmost first); elements zeroed.
SAFEARRAY* Allocate(VARTYPE vt, UINT cDims, const SAFEARRAYBOUND* stored, bool vector) {
  const ULONG cb = ElementSize(vt);
  std::size_t dataBytes;
  if (cb == 0 || cDims == 0 || cDims > 0xFFFF || !DataBytes(cDims, stored, cb, &dataBytes)) return nullptr;
  const std::size_t head = kPrefix + DescriptorSize(cDims);
  char* block = static_cast<char*>(std::calloc(1, head + (vector ? dataBytes : 0)));
  if (!block) return nullptr;
  SAFEARRAY* psa = reinterpret_cast<SAFEARRAY*>(block + kPrefix);
  psa->cDims = static_cast<USHORT>(cDims);
  psa->fFeatures = FeaturesOf(vt) | (vector ? kCreateVector : 0);
  psa->cbElements = cb;
  psa->cLocks = 0;
  std::memcpy(psa->rgsabound, stored, cDims * sizeof(SAFEARRAYBOUND));
  if (psa->fFeatures & FADF_HAVEIID) {
    const GUID& iid = vt == VT_DISPATCH ? IID_IDispatch : IID_IUnknown;
    std::memcpy(block, &iid, sizeof(GUID));
  } else {
    const DWORD type = vt;
    std::memcpy(block + kPrefix - sizeof(DWORD), &type, sizeof(type));
  }
  if (vector) {
    psa->pvData = block + head;
  } else {
    psa->pvData = std::calloc(1, dataBytes ? dataBytes : 1);
    if (!psa->pvData) {
      std::free(block);
      return nullptr;
    }
  }
  return psa;
}

ULONG ElementCount(const SAFEARRAY* psa) {
  ULONG n = 1;
  for (UINT i = 0; i < psa->cDims; ++i) n *= psa->rgsabound[i].cElements;
  return n;
}

// Frees what the elements own and zeroes them.
void ReleaseElements(SAFEARRAY* psa) {
  const ULONG n = ElementCount(psa);
  if (psa->fFeatures & FADF_BSTR) {
    BSTR* items = static_cast<BSTR*>(psa->pvData);
    for (ULONG i = 0; i < n; ++i) {
      SysFreeString(items[i]);
      items[i] = nullptr;
    }
  } else if (psa->fFeatures & FADF_VARIANT) {
    VARIANT* items = static_cast<VARIANT*>(psa->pvData);
    for (ULONG i = 0; i < n; ++i) VariantClear(&items[i]);
  } else if (psa->fFeatures & (FADF_UNKNOWN | FADF_DISPATCH)) {
    IUnknown** items = static_cast<IUnknown**>(psa->pvData);
    for (ULONG i = 0; i < n; ++i) {
      if (items[i]) items[i]->Release();
      items[i] = nullptr;
    }
  }
}

// The address of the element at rgIndices (leftmost dimension first, which varies fastest).
HRESULT ElementAt(SAFEARRAY* psa, const LONG* rgIndices, void** slot) {
  if (!psa || !rgIndices) return E_INVALIDARG;
  unsigned long long offset = 0, stride = 1;
  for (UINT k = 0; k < psa->cDims; ++k) {
    const SAFEARRAYBOUND& bound = psa->rgsabound[psa->cDims - 1 - k];
    const long long i = static_cast<long long>(rgIndices[k]) - bound.lLbound;
    if (i < 0 || i >= static_cast<long long>(bound.cElements)) return DISP_E_BADINDEX;
    offset += static_cast<unsigned long long>(i) * stride;
    stride *= bound.cElements;
  }
  *slot = static_cast<char*>(psa->pvData) + offset * psa->cbElements;
  return S_OK;
}

// A copy of a BSTR with the same byte length; null stays null.
HRESULT CopyBstr(BSTR source, BSTR* copy) {
  *copy = nullptr;
  if (!source) return S_OK;
  *copy = SysAllocStringByteLen(reinterpret_cast<LPCSTR>(source), SysStringByteLen(source));
  return *copy ? S_OK : E_OUTOFMEMORY;
}

// Holds the array locked while an element is read or written, so it cannot be destroyed.
class LockGuard {
 public:
  explicit LockGuard(SAFEARRAY* psa) : psa_(psa), hr_(SafeArrayLock(psa)) {}
  ~LockGuard() {
    if (SUCCEEDED(hr_)) SafeArrayUnlock(psa_);
  }
  LockGuard(const LockGuard&) = delete;
  LockGuard& operator=(const LockGuard&) = delete;
  HRESULT result() const { return hr_; }

 private:
  SAFEARRAY* psa_;
  HRESULT hr_;
};

}  // namespace

extern "C" {

SAFEARRAY* WINAPI SafeArrayCreate(VARTYPE vt, UINT cDims, SAFEARRAYBOUND* rgsabound) {
  if (!rgsabound || cDims == 0 || cDims > 0xFFFF) return nullptr;
  SAFEARRAYBOUND* stored = new (std::nothrow) SAFEARRAYBOUND[cDims];
  if (!stored) return nullptr;
  for (UINT i = 0; i < cDims; ++i) stored[i] = rgsabound[cDims - 1 - i];
  SAFEARRAY* psa = Allocate(vt, cDims, stored, false);
  delete[] stored;
  return psa;
}

SAFEARRAY* WINAPI SafeArrayCreateVector(VARTYPE vt, LONG lLbound, ULONG cElements) {
  const SAFEARRAYBOUND bound = {cElements, lLbound};
  return Allocate(vt, 1, &bound, true);
}

HRESULT WINAPI SafeArrayDestroy(SAFEARRAY* psa) {
  if (!psa) return S_OK;
  if (psa->cLocks > 0) return DISP_E_ARRAYISLOCKED;
  ReleaseElements(psa);
  if (!(psa->fFeatures & kCreateVector)) std::free(psa->pvData);
  std::free(BlockOf(psa));
  return S_OK;
}

HRESULT WINAPI SafeArrayCopy(SAFEARRAY* psa, SAFEARRAY** ppsaOut) {
  if (!ppsaOut) return E_INVALIDARG;
  *ppsaOut = nullptr;
  if (!psa) return S_OK;
  VARTYPE vt;
  HRESULT hr = SafeArrayGetVartype(psa, &vt);
  if (FAILED(hr)) return hr;
  SAFEARRAY* copy = Allocate(vt, psa->cDims, psa->rgsabound, false);
  if (!copy) return E_OUTOFMEMORY;
  const ULONG n = ElementCount(psa);
  if (psa->fFeatures & FADF_BSTR) {
    const BSTR* from = static_cast<const BSTR*>(psa->pvData);
    BSTR* to = static_cast<BSTR*>(copy->pvData);
    for (ULONG i = 0; i < n && SUCCEEDED(hr); ++i) hr = CopyBstr(from[i], &to[i]);
  } else if (psa->fFeatures & FADF_VARIANT) {
    const VARIANT* from = static_cast<const VARIANT*>(psa->pvData);
    VARIANT* to = static_cast<VARIANT*>(copy->pvData);
    for (ULONG i = 0; i < n && SUCCEEDED(hr); ++i) hr = VariantCopy(&to[i], &from[i]);
  } else if (psa->fFeatures & (FADF_UNKNOWN | FADF_DISPATCH)) {
    IUnknown* const* from = static_cast<IUnknown* const*>(psa->pvData);
    IUnknown** to = static_cast<IUnknown**>(copy->pvData);
    for (ULONG i = 0; i < n; ++i) {
      to[i] = from[i];
      if (to[i]) to[i]->AddRef();
    }
  } else {
    std::memcpy(copy->pvData, psa->pvData, static_cast<std::size_t>(n) * psa->cbElements);
  }
  if (FAILED(hr)) {
    SafeArrayDestroy(copy);
    return hr;
  }
  *ppsaOut = copy;
  return S_OK;
}

UINT WINAPI SafeArrayGetDim(SAFEARRAY* psa) { return psa ? psa->cDims : 0; }

UINT WINAPI SafeArrayGetElemsize(SAFEARRAY* psa) { return psa ? psa->cbElements : 0; }

HRESULT WINAPI SafeArrayGetVartype(SAFEARRAY* psa, VARTYPE* pvt) {
  if (!psa || !pvt) return E_INVALIDARG;
  if (psa->fFeatures & FADF_HAVEVARTYPE) {
    DWORD type;
    std::memcpy(&type, BlockOf(psa) + kPrefix - sizeof(DWORD), sizeof(type));
    *pvt = static_cast<VARTYPE>(type);
  } else if (psa->fFeatures & FADF_HAVEIID) {
    *pvt = (psa->fFeatures & FADF_DISPATCH) ? VT_DISPATCH : VT_UNKNOWN;
  } else if (psa->fFeatures & FADF_BSTR) {
    *pvt = VT_BSTR;
  } else if (psa->fFeatures & FADF_VARIANT) {
    *pvt = VT_VARIANT;
  } else {
    return E_INVALIDARG;
  }
  return S_OK;
}

HRESULT WINAPI SafeArrayGetLBound(SAFEARRAY* psa, UINT nDim, LONG* plLbound) {
  if (!psa || !plLbound) return E_INVALIDARG;
  if (nDim == 0 || nDim > psa->cDims) return DISP_E_BADINDEX;
  *plLbound = psa->rgsabound[psa->cDims - nDim].lLbound;
  return S_OK;
}

HRESULT WINAPI SafeArrayGetUBound(SAFEARRAY* psa, UINT nDim, LONG* plUbound) {
  if (!psa || !plUbound) return E_INVALIDARG;
  if (nDim == 0 || nDim > psa->cDims) return DISP_E_BADINDEX;
  const SAFEARRAYBOUND& bound = psa->rgsabound[psa->cDims - nDim];
  *plUbound = static_cast<LONG>(static_cast<long long>(bound.lLbound) + bound.cElements - 1);
  return S_OK;
}

HRESULT WINAPI SafeArrayLock(SAFEARRAY* psa) {
  if (!psa) return E_INVALIDARG;
  ULONG locks = __atomic_load_n(&psa->cLocks, __ATOMIC_SEQ_CST);
  do {
    if (locks >= kMaxLocks) return E_UNEXPECTED;
  } while (!__atomic_compare_exchange_n(&psa->cLocks, &locks, locks + 1, false, __ATOMIC_SEQ_CST,
                                        __ATOMIC_SEQ_CST));
  return S_OK;
}

HRESULT WINAPI SafeArrayUnlock(SAFEARRAY* psa) {
  if (!psa) return E_INVALIDARG;
  ULONG locks = __atomic_load_n(&psa->cLocks, __ATOMIC_SEQ_CST);
  do {
    if (locks == 0) return E_UNEXPECTED;
  } while (!__atomic_compare_exchange_n(&psa->cLocks, &locks, locks - 1, false, __ATOMIC_SEQ_CST,
                                        __ATOMIC_SEQ_CST));
  return S_OK;
}

HRESULT WINAPI SafeArrayAccessData(SAFEARRAY* psa, void** ppvData) {
  if (!psa || !ppvData) return E_INVALIDARG;
  const HRESULT hr = SafeArrayLock(psa);
  *ppvData = SUCCEEDED(hr) ? psa->pvData : nullptr;
  return hr;
}

HRESULT WINAPI SafeArrayUnaccessData(SAFEARRAY* psa) { return SafeArrayUnlock(psa); }

HRESULT WINAPI SafeArrayPutElement(SAFEARRAY* psa, LONG* rgIndices, void* pv) {
  void* slot;
  HRESULT hr = ElementAt(psa, rgIndices, &slot);
  if (FAILED(hr)) return hr;
  LockGuard lock(psa);
  if (FAILED(lock.result())) return lock.result();
  if (psa->fFeatures & FADF_BSTR) {
    // A null BSTR is stored as an empty string, as Windows does.
    const BSTR source = static_cast<BSTR>(pv);
    const BSTR copy = SysAllocStringByteLen(reinterpret_cast<LPCSTR>(source), SysStringByteLen(source));
    if (!copy) return E_OUTOFMEMORY;
    BSTR* item = static_cast<BSTR*>(slot);
    SysFreeString(*item);
    *item = copy;
    return S_OK;
  }
  if (psa->fFeatures & (FADF_UNKNOWN | FADF_DISPATCH)) {
    IUnknown* incoming = static_cast<IUnknown*>(pv);
    IUnknown** item = static_cast<IUnknown**>(slot);
    if (incoming) incoming->AddRef();
    if (*item) (*item)->Release();
    *item = incoming;
    return S_OK;
  }
  if (!pv) return E_INVALIDARG;
  if (psa->fFeatures & FADF_VARIANT) return VariantCopy(static_cast<VARIANT*>(slot), static_cast<VARIANT*>(pv));
  std::memcpy(slot, pv, psa->cbElements);
  return S_OK;
}

HRESULT WINAPI SafeArrayGetElement(SAFEARRAY* psa, LONG* rgIndices, void* pv) {
  void* slot;
  HRESULT hr = ElementAt(psa, rgIndices, &slot);
  if (FAILED(hr)) return hr;
  if (!pv) return E_INVALIDARG;
  LockGuard lock(psa);
  if (FAILED(lock.result())) return lock.result();
  if (psa->fFeatures & FADF_BSTR) return CopyBstr(*static_cast<BSTR*>(slot), static_cast<BSTR*>(pv));
  if (psa->fFeatures & FADF_VARIANT) {
    VARIANT* out = static_cast<VARIANT*>(pv);
    VariantInit(out);  // the caller's VARIANT may hold anything
    return VariantCopy(out, static_cast<VARIANT*>(slot));
  }
  if (psa->fFeatures & (FADF_UNKNOWN | FADF_DISPATCH)) {
    IUnknown* item = *static_cast<IUnknown**>(slot);
    if (item) item->AddRef();
    *static_cast<IUnknown**>(pv) = item;
    return S_OK;
  }
  std::memcpy(pv, slot, psa->cbElements);
  return S_OK;
}

}  // extern "C"
