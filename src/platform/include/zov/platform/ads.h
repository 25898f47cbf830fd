// The two ADSI interfaces the server calls on a directory provider, IADs and IADsContainer, with
// the Windows vtable layout and IIDs. Only the interfaces are declared: the layer has no ADSI
// runtime (no ADsGetObject, no providers of its own); objects are reached through CoGetObject on
// a provider's display name. The enumerator behind get__NewEnum is only named.
#pragma once

#include "zov/platform/types.h"
#include "zov/platform/dispatch.h"
#include "zov/platform/variant.h"

ZOV_DECLARE_GUID(IID_IADs);
ZOV_DECLARE_GUID(IID_IADsContainer);

// A directory object: its identity, its property cache and the property accessors.
struct IADs : public IDispatch {
  virtual HRESULT STDMETHODCALLTYPE get_Name(BSTR* retval) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_Class(BSTR* retval) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_GUID(BSTR* retval) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_ADsPath(BSTR* retval) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_Parent(BSTR* retval) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_Schema(BSTR* retval) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetInfo() = 0;
  virtual HRESULT STDMETHODCALLTYPE SetInfo() = 0;
  virtual HRESULT STDMETHODCALLTYPE Get(BSTR bstrName, VARIANT* pvProp) = 0;
  virtual HRESULT STDMETHODCALLTYPE Put(BSTR bstrName, VARIANT vProp) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetEx(BSTR bstrName, VARIANT* pvProp) = 0;
  virtual HRESULT STDMETHODCALLTYPE PutEx(LONG lnControlCode, BSTR bstrName, VARIANT vProp) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetInfoEx(VARIANT vProperties, LONG lnReserved) = 0;
};

// A directory object that holds others: enumeration, lookup, creation, deletion, copy and move.
struct IADsContainer : public IDispatch {
  virtual HRESULT STDMETHODCALLTYPE get_Count(LONG* retval) = 0;
  virtual HRESULT STDMETHODCALLTYPE get__NewEnum(IUnknown** retval) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_Filter(VARIANT* pVar) = 0;
  virtual HRESULT STDMETHODCALLTYPE put_Filter(VARIANT Var) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_Hints(VARIANT* pvFilter) = 0;
  virtual HRESULT STDMETHODCALLTYPE put_Hints(VARIANT vHints) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetObject(BSTR ClassName, BSTR RelativeName,
                                              IDispatch** ppObject) = 0;
  virtual HRESULT STDMETHODCALLTYPE Create(BSTR ClassName, BSTR RelativeName,
                                           IDispatch** ppObject) = 0;
  virtual HRESULT STDMETHODCALLTYPE Delete(BSTR bstrClassName, BSTR bstrRelativeName) = 0;
  virtual HRESULT STDMETHODCALLTYPE CopyHere(BSTR SourceName, BSTR NewName,
                                             IDispatch** ppObject) = 0;
  virtual HRESULT STDMETHODCALLTYPE MoveHere(BSTR SourceName, BSTR NewName,
                                             IDispatch** ppObject) = 0;
};
