// IUnknown for the COM classes of a module, plain and aggregated.
//
// A class T implements its interfaces' own methods and leaves IUnknown to these templates. It
// derives from ObjectRoot (a single-threaded reference count, for apartment-threaded objects) and
// names its interfaces in an interface map:
//
//   static const zov::com::InterfaceEntry<T>* InterfaceMap();
//
// an array ended by an entry with a null iid. QueryInterface looks the IID up in the map in
// order; IID_IUnknown is answered with the first entry, which is the object's identity. An
// entry's function may return null for an interface the object answers only in some states (the
// first entry's never does): QueryInterface then fails with E_NOINTERFACE.
//
// CreateInstance<T> is the instance creator for the module's object map: without an outer unknown
// it makes a ComObject<T>, with one an AggregateObject<T> whose inner unknown it returns.
// CreateObject<T>(riid, ppv, args...) makes a stand-alone object whose constructor takes
// arguments (an object the module hands out itself rather than through a class factory). Every
// live object holds the module (its lock count).
#pragma once

#include <new>
#include <utility>

#include "server/com_module.h"
#include "zov/win32.h"

namespace zov::com {

// The reference count of an object used by one apartment: a plain counter.
class ObjectRoot {
 public:
  ULONG InternalAddRef() { return ++refs_; }
  ULONG InternalRelease() { return --refs_; }
  // Called when the count reached 0, just before the object is deleted: a count far from 0, so
  // that an AddRef and Release pair during destruction (a destructor handing `this` to a helper)
  // cannot bring it to 0 again and delete the object twice.
  void InternalFinalRelease() { refs_ = kDestroying; }

 private:
  static constexpr ULONG kDestroying = 0x40000000;
  ULONG refs_ = 0;
};

// Holds the module for as long as it lives. Listed as the first base of an object, it is made
// before and destroyed after everything else of the object, so the module stays locked while the
// class's own destructor (module code) runs.
class ModuleLock {
 protected:
  ModuleLock() { Module().Lock(); }
  ~ModuleLock() { Module().Unlock(); }
  ModuleLock(const ModuleLock&) = delete;
  ModuleLock& operator=(const ModuleLock&) = delete;
};

template <class T>
struct InterfaceEntry {
  const IID* iid;
  IUnknown* (*get)(T* object);  // the interface pointer of the object
};

// For an InterfaceEntry: the object as its interface I.
template <class T, class I>
IUnknown* InterfaceOf(T* object) {
  return static_cast<I*>(object);
}

// Looks `riid` up in the interface map of `object` and hands out an AddRef'd pointer (AddRef goes
// through the object's IUnknown, so an aggregated object's reference goes to the outer object).
template <class T>
HRESULT InternalQueryInterface(T* object, REFIID riid, void** ppv) {
  if (!ppv) return E_POINTER;
  const InterfaceEntry<T>* map = T::InterfaceMap();
  IUnknown* found = nullptr;
  if (IsEqualIID(riid, IID_IUnknown)) {
    found = map[0].get(object);
  } else {
    for (const InterfaceEntry<T>* entry = map; entry->iid; ++entry) {
      if (IsEqualIID(*entry->iid, riid)) {
        found = entry->get(object);
        break;
      }
    }
  }
  if (!found) {  // not in the map, or not answered by the object in its present state
    *ppv = nullptr;
    return E_NOINTERFACE;
  }
  found->AddRef();
  *ppv = found;
  return S_OK;
}

// A stand-alone object of class T, constructed from the arguments given (none for a class with a
// default constructor). The module is held from before T is constructed until after T is
// destroyed.
template <class T>
class ComObject final : private ModuleLock, public T {
 public:
  template <class... Args>
  explicit ComObject(Args&&... args) : T(std::forward<Args>(args)...) {}
  ComObject(const ComObject&) = delete;
  ComObject& operator=(const ComObject&) = delete;

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override {
    return InternalQueryInterface<T>(this, riid, ppv);
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return this->InternalAddRef(); }
  ULONG STDMETHODCALLTYPE Release() override {
    ULONG refs = this->InternalRelease();
    if (refs == 0) {
      this->InternalFinalRelease();
      delete this;
    }
    return refs;
  }
};

// Class T inside an aggregate: every IUnknown call goes to the outer object.
template <class T>
class ContainedObject final : public T {
 public:
  explicit ContainedObject(IUnknown* outer) : outer_(outer) {}
  ContainedObject(const ContainedObject&) = delete;
  ContainedObject& operator=(const ContainedObject&) = delete;

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override {
    return outer_->QueryInterface(riid, ppv);
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return outer_->AddRef(); }
  ULONG STDMETHODCALLTYPE Release() override { return outer_->Release(); }

 private:
  IUnknown* outer_;  // not counted: the outer object owns this one
};

// The inner (non-delegating) unknown of an aggregated object of class T: it counts the inner
// references, answers IID_IUnknown with itself and everything else from T's interface map. The
// module is held from before the contained object is constructed until after it is destroyed.
template <class T>
class AggregateObject final : private ModuleLock, public IUnknown, public ObjectRoot {
 public:
  explicit AggregateObject(IUnknown* outer) : contained_(outer) {}
  AggregateObject(const AggregateObject&) = delete;
  AggregateObject& operator=(const AggregateObject&) = delete;

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override {
    if (!ppv) return E_POINTER;
    if (IsEqualIID(riid, IID_IUnknown)) {
      *ppv = static_cast<IUnknown*>(this);
      AddRef();
      return S_OK;
    }
    return InternalQueryInterface<T>(&contained_, riid, ppv);
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return InternalAddRef(); }
  ULONG STDMETHODCALLTYPE Release() override {
    ULONG refs = InternalRelease();
    if (refs == 0) {
      InternalFinalRelease();
      delete this;
    }
    return refs;
  }

 private:
  ContainedObject<T> contained_;
};

// Queries a new object with a count of 0 for `riid`, destroying it when the query fails.
template <class Object>
HRESULT QueryNewObject(Object* object, REFIID riid, void** ppv) {
  HRESULT hr = object->QueryInterface(riid, ppv);
  if (FAILED(hr)) delete object;
  return hr;
}

// Makes a stand-alone object of class T, constructed from `args`, and stores its interface `riid`
// in *ppv. E_POINTER for a null ppv (nothing is made), which is otherwise set to null first;
// E_OUTOFMEMORY when the object cannot be allocated or T's constructor throws std::bad_alloc;
// the QueryInterface failure otherwise (the object is then destroyed).
template <class T, class... Args>
HRESULT CreateObject(REFIID riid, void** ppv, Args&&... args) {
  if (!ppv) return E_POINTER;
  *ppv = nullptr;
  try {
    return QueryNewObject(new ComObject<T>(std::forward<Args>(args)...), riid, ppv);
  } catch (const std::bad_alloc&) {
    return E_OUTOFMEMORY;
  }
}

// The instance creator of class T (see InstanceCreator). The class factory has already refused an
// outer unknown with an interface other than IID_IUnknown.
template <class T>
HRESULT CreateInstance(IUnknown* outer, REFIID riid, void** ppv) {
  if (!ppv) return E_POINTER;
  *ppv = nullptr;
  if (!outer) return CreateObject<T>(riid, ppv);
  try {
    return QueryNewObject(new AggregateObject<T>(outer), riid, ppv);
  } catch (const std::bad_alloc&) {
    return E_OUTOFMEMORY;
  }
}

}  // namespace zov::com
