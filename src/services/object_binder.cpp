#include "object_binder.h"

namespace zov::services {

HRESULT BindByDisplayName(LPCWSTR displayName, REFIID riid, void** ppv) {
  if (!ppv) return E_POINTER;
  *ppv = nullptr;
  if (!displayName) return E_POINTER;
  return CoGetObject(displayName, nullptr, riid, ppv);
}

}  // namespace zov::services
