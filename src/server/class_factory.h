// The class object of one class of the module: an IClassFactory whose CreateInstance runs the
// class's instance creator.
//
// Its reference count is guarded by a critical section. The module's object map holds one
// reference for as long as the module lives; a client's reference holds the module: when the
// count rises from 1 to 2 the module's lock count rises, when it falls from 2 to 1 it falls again,
// and at 0 the factory is destroyed.
//
// A class object that answers further interfaces derives from ClassFactory: its QueryInterface
// answers its own interfaces and passes every other IID on to ClassFactory's, and its AddRef and
// Release are ClassFactory's (one count for all its interfaces).
#pragma once

#include "server/com_module.h"
#include "zov/win32.h"

namespace zov::com {

class ClassFactory : public IClassFactory {
 public:
  // A ClassObjectCreator for ObjectMapEntry::createClassObject. E_OUTOFMEMORY when the factory
  // cannot be allocated; otherwise the result of its QueryInterface for `riid` (the factory is
  // destroyed when that fails).
  static HRESULT CreateClassObject(InstanceCreator create, REFIID riid, void** ppv);

  // IUnknown: answers IID_IClassFactory and IID_IUnknown only.
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override;
  ULONG STDMETHODCALLTYPE AddRef() override;
  ULONG STDMETHODCALLTYPE Release() override;

  // E_POINTER for a null ppv, which is otherwise set to null first; an outer unknown with an
  // interface other than IID_IUnknown: CLASS_E_NOAGGREGATION; else the instance creator's result.
  HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown* outer, REFIID riid, void** ppv) override;
  // Raises the module's lock count for a non-zero `lock`, lowers it otherwise; S_OK.
  HRESULT STDMETHODCALLTYPE LockServer(BOOL lock) override;

 protected:
  explicit ClassFactory(InstanceCreator create);
  virtual ~ClassFactory();
  ClassFactory(const ClassFactory&) = delete;
  ClassFactory& operator=(const ClassFactory&) = delete;

  // Makes an instance of the class: the instance creator the factory was made with.
  HRESULT MakeInstance(IUnknown* outer, REFIID riid, void** ppv) {
    return create_(outer, riid, ppv);
  }

 private:
  InstanceCreator create_;
  ULONG refs_ = 0;
  CRITICAL_SECTION lock_;
};

}  // namespace zov::com
