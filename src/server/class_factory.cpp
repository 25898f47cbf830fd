#include "server/class_factory.h"

#include <new>

namespace zov::com {

HRESULT ClassFactory::CreateClassObject(InstanceCreator create, REFIID riid, void** ppv) {
  if (!ppv) return E_POINTER;
  *ppv = nullptr;
  ClassFactory* factory = new (std::nothrow) ClassFactory(create);
  if (!factory) return E_OUTOFMEMORY;
  HRESULT hr = factory->QueryInterface(riid, ppv);
  if (FAILED(hr)) delete factory;
  return hr;
}

ClassFactory::ClassFactory(InstanceCreator create) : create_(create) {
  InitializeCriticalSection(&lock_);
}

ClassFactory::~ClassFactory() { DeleteCriticalSection(&lock_); }

HRESULT ClassFactory::QueryInterface(REFIID riid, void** ppv) {
  if (!ppv) return E_POINTER;
  if (IsEqualIID(riid, IID_IClassFactory) || IsEqualIID(riid, IID_IUnknown)) {
    *ppv = static_cast<IClassFactory*>(this);
    AddRef();
    return S_OK;
  }
  *ppv = nullptr;
  return E_NOINTERFACE;
}

ULONG ClassFactory::AddRef() {
  EnterCriticalSection(&lock_);
  ULONG refs = ++refs_;
  // The map's reference alone does not hold the module; the first client's does.
  if (refs == 2) Module().Lock();
  LeaveCriticalSection(&lock_);
  return refs;
}

ULONG ClassFactory::Release() {
  EnterCriticalSection(&lock_);
  ULONG refs = --refs_;
  if (refs == 1) Module().Unlock();
  LeaveCriticalSection(&lock_);
  if (refs == 0) delete this;
  return refs;
}

HRESULT ClassFactory::CreateInstance(IUnknown* outer, REFIID riid, void** ppv) {
  if (!ppv) return E_POINTER;
  *ppv = nullptr;
  if (outer && !IsEqualIID(riid, IID_IUnknown)) return CLASS_E_NOAGGREGATION;
  return MakeInstance(outer, riid, ppv);
}

HRESULT ClassFactory::LockServer(BOOL lock) {
  if (lock) {
    Module().Lock();
  } else {
    Module().Unlock();
  }
  return S_OK;
}

}  // namespace zov::com
