// The state an in-process COM module keeps while it is loaded: its lock count, its instance
// handle, the object map of the classes it serves (with their cached class factories) and the
// clean-up functions that run when the module ends. One ComModule lives in each module that links
// this library (zov::com::Module()); the module's DllMain calls Init and Term, its exports
// DllGetClassObject, DllCanUnloadNow and DllRegisterServer/DllUnregisterServer call
// GetClassObject, CanUnloadNow and UpdateRegistry.
//
// The lock count is the number of live objects, plus outstanding LockServer(TRUE) calls, plus one
// for every class factory some client holds. It is changed with interlocked operations and read
// plainly.
#pragma once

#include <vector>

#include "zov/win32.h"

namespace zov::com {

// Makes an object of one class: a plain one without an outer unknown, an aggregated one with it.
// Stores the interface `riid` of it in *ppv (null on failure); E_OUTOFMEMORY when it cannot be
// allocated, the QueryInterface failure otherwise (the object is then destroyed).
using InstanceCreator = HRESULT (*)(IUnknown* outer, REFIID riid, void** ppv);
// Makes the class object (class factory) for a class whose instances `create` makes; stores the
// interface `riid` of it in *ppv.
using ClassObjectCreator = HRESULT (*)(InstanceCreator create, REFIID riid, void** ppv);
// Applies a class's registry script (the REGISTRY resource `resourceId` of `module`) for
// registering or unregistering it.
using RegistryUpdater = HRESULT (*)(HINSTANCE module, UINT resourceId, bool doRegister);

// One class the module serves. The map is an array ended by an entry whose clsid is null.
struct ObjectMapEntry {
  const CLSID* clsid;
  UINT registryResourceId;            // the class's registry script
  ClassObjectCreator createClassObject;
  InstanceCreator createInstance;
  IUnknown* classObject;              // cached class factory (one reference), made on first request
  DWORD cookie;                       // class-object registration cookie (in-process: always 0)
  void (*objectMain)(bool starting);  // per-class hook at module start and end, may be null
};

class ComModule {
 public:
  ComModule();
  ~ComModule();
  ComModule(const ComModule&) = delete;
  ComModule& operator=(const ComModule&) = delete;

  // Process attach: remembers the map and the module's instance handle and calls each class's
  // start hook.
  void Init(ObjectMapEntry* map, HINSTANCE instance);
  // Process detach: releases the cached class factories, calls each class's end hook and runs the
  // registered clean-up functions, the last registered first.
  void Term();

  LONG Lock() { return InterlockedIncrement(&lockCount_); }
  LONG Unlock() { return InterlockedDecrement(&lockCount_); }
  LONG LockCount() const { return lockCount_; }

  HINSTANCE Instance() const { return instance_; }

  // The class object of `clsid`, made on the first request (by one thread only) and cached in the
  // map; the interface `riid` of it in *ppv. E_POINTER for a null ppv; CLASS_E_CLASSNOTAVAILABLE
  // for a class the map does not hold (or before Init).
  HRESULT GetClassObject(REFCLSID clsid, REFIID riid, void** ppv);
  // S_OK when the lock count is 0, else S_FALSE.
  HRESULT CanUnloadNow() const { return lockCount_ == 0 ? S_OK : S_FALSE; }
  // Calls `update` for every class of the map with its registry script. Registering stops at the
  // first failure and returns it; unregistering goes on through all classes and returns the first
  // failure. S_OK when all succeeded.
  HRESULT UpdateRegistry(RegistryUpdater update, bool doRegister) const;

  // Runs `fn(data)` at Term. E_OUTOFMEMORY when it cannot be recorded.
  HRESULT AddTermFunc(void (*fn)(void* data), void* data);

 private:
  struct TermFunc {
    void (*fn)(void*);
    void* data;
  };

  LONG volatile lockCount_ = 0;
  HINSTANCE instance_ = nullptr;
  ObjectMapEntry* map_ = nullptr;
  CRITICAL_SECTION mapLock_;  // guards making the cached class factories
  std::vector<TermFunc> termFuncs_;
};

// The module state of the module (or program) this code is linked into.
ComModule& Module();

}  // namespace zov::com
