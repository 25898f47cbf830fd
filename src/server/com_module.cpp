#include "server/com_module.h"

#include <new>

#include "zov/com_ptr.h"

namespace zov::com {

ComModule& Module() {
  static ComModule module;
  return module;
}

ComModule::ComModule() { InitializeCriticalSection(&mapLock_); }

ComModule::~ComModule() { DeleteCriticalSection(&mapLock_); }

void ComModule::Init(ObjectMapEntry* map, HINSTANCE instance) {
  map_ = map;
  instance_ = instance;
  for (ObjectMapEntry* entry = map_; entry && entry->clsid; ++entry) {
    if (entry->objectMain) entry->objectMain(true);
  }
}

void ComModule::Term() {
  for (ObjectMapEntry* entry = map_; entry && entry->clsid; ++entry) {
    // The map's own reference: the factory goes when no client holds it any more.
    if (entry->classObject) {
      zov::com_ptr<IUnknown> factory;
      factory.attach(entry->classObject);
      entry->classObject = nullptr;
    }
    if (entry->objectMain) entry->objectMain(false);
  }
  while (!termFuncs_.empty()) {
    TermFunc last = termFuncs_.back();
    termFuncs_.pop_back();
    last.fn(last.data);
  }
  termFuncs_.shrink_to_fit();
  map_ = nullptr;
}

HRESULT ComModule::GetClassObject(REFCLSID clsid, REFIID riid, void** ppv) {
  if (!ppv) return E_POINTER;
  *ppv = nullptr;
  for (ObjectMapEntry* entry = map_; entry && entry->clsid; ++entry) {
    if (!IsEqualCLSID(*entry->clsid, clsid)) continue;
    // Made once and kept: the map holds the IUnknown reference until Term. The check and the
    // making are one step under the lock, so that threads of two apartments asking at once do
    // not both make a factory (the one stored last would leak the other).
    EnterCriticalSection(&mapLock_);
    HRESULT hr = S_OK;
    if (!entry->classObject) {
      hr = entry->createClassObject(entry->createInstance, IID_IUnknown,
                                    reinterpret_cast<void**>(&entry->classObject));
      if (FAILED(hr)) entry->classObject = nullptr;
    }
    LeaveCriticalSection(&mapLock_);
    if (FAILED(hr)) return hr;
    return entry->classObject->QueryInterface(riid, ppv);
  }
  return CLASS_E_CLASSNOTAVAILABLE;
}

HRESULT ComModule::UpdateRegistry(RegistryUpdater update, bool doRegister) const {
  HRESULT first = S_OK;
  for (ObjectMapEntry* entry = map_; entry && entry->clsid; ++entry) {
    HRESULT hr = update(instance_, entry->registryResourceId, doRegister);
    if (FAILED(hr)) {
      if (doRegister) return hr;
      if (SUCCEEDED(first)) first = hr;
    }
  }
  return first;
}

HRESULT ComModule::AddTermFunc(void (*fn)(void* data), void* data) {
  if (!fn) return E_INVALIDARG;
  try {
    termFuncs_.push_back({fn, data});
  } catch (const std::bad_alloc&) {
    return E_OUTOFMEMORY;
  }
  return S_OK;
}

}  // namespace zov::com
