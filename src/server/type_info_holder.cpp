#include "server/type_info_holder.h"

#if defined(_WIN32)

#include <cstring>
#include <new>

#include "server/com_module.h"

namespace zov::com {

TypeInfoHolder::TypeInfoHolder(const GUID& libid, const IID& iid, WORD major, WORD minor)
    : libid_(libid), iid_(iid), major_(major), minor_(minor) {
  InitializeCriticalSection(&lock_);
}

TypeInfoHolder::~TypeInfoHolder() { DeleteCriticalSection(&lock_); }

HRESULT TypeInfoHolder::EnsureLoaded(LCID lcid) {
  EnterCriticalSection(&lock_);
  HRESULT hr = info_ ? S_OK : Load(lcid);
  LeaveCriticalSection(&lock_);
  return hr;
}

HRESULT TypeInfoHolder::Load(LCID lcid) {
  com_ptr<ITypeLib> library;
  HRESULT hr = LoadRegTypeLib(libid_, major_, minor_, lcid, library.put());
  if (FAILED(hr)) {
    // Not registered (or not for this locale): the library this module carries.
    WCHAR path[MAX_PATH];
    DWORD length = GetModuleFileNameW(Module().Instance(), path, MAX_PATH);
    if (length == 0 || length >= MAX_PATH) return hr;
    if (FAILED(LoadTypeLibEx(path, REGKIND_NONE, library.put()))) return hr;
  }
  com_ptr<ITypeInfo> info;
  hr = library->GetTypeInfoOfGuid(iid_, info.put());
  if (FAILED(hr)) return hr;

  // A dual interface is described as a dispinterface; its vtable part is the implemented type -1.
  com_ptr<ITypeInfo> vtable = info;
  HREFTYPE vtableRef;
  com_ptr<ITypeInfo> vtablePart;
  if (SUCCEEDED(info->GetRefTypeOfImplType(static_cast<UINT>(-1), &vtableRef)) &&
      SUCCEEDED(info->GetRefTypeInfo(vtableRef, vtablePart.put())))
    vtable = vtablePart;

  TYPEATTR* attr = nullptr;
  hr = info->GetTypeAttr(&attr);
  if (FAILED(hr)) return hr;
  std::vector<std::pair<unique_bstr, DISPID>> names;
  try {
    for (UINT i = 0; i < attr->cFuncs; ++i) {
      FUNCDESC* func = nullptr;
      if (FAILED(info->GetFuncDesc(i, &func))) continue;
      unique_bstr name;
      MEMBERID id = func->memid;
      info->ReleaseFuncDesc(func);
      if (SUCCEEDED(info->GetDocumentation(id, name.put(), nullptr, nullptr, nullptr)) &&
          name.get())
        names.emplace_back(std::move(name), id);
    }
  } catch (const std::bad_alloc&) {
    info->ReleaseTypeAttr(attr);
    return E_OUTOFMEMORY;
  }
  info->ReleaseTypeAttr(attr);

  hr = Module().AddTermFunc(&TypeInfoHolder::Unload, this);
  if (FAILED(hr)) return hr;
  names_ = std::move(names);
  vtable_ = vtable;
  info_ = info;
  return S_OK;
}

void TypeInfoHolder::Unload(void* self) {
  auto* holder = static_cast<TypeInfoHolder*>(self);
  EnterCriticalSection(&holder->lock_);
  holder->info_.reset();
  holder->vtable_.reset();
  holder->names_.clear();
  LeaveCriticalSection(&holder->lock_);
}

HRESULT TypeInfoHolder::GetTypeInfo(LCID lcid, ITypeInfo** out) {
  if (!out) return E_POINTER;
  *out = nullptr;
  HRESULT hr = EnsureLoaded(lcid);
  if (FAILED(hr)) return hr;
  info_->AddRef();
  *out = info_.get();
  return S_OK;
}

HRESULT TypeInfoHolder::GetIDsOfNames(LCID lcid, LPOLESTR* names, UINT count, DISPID* ids) {
  HRESULT hr = EnsureLoaded(lcid);
  if (FAILED(hr)) return hr;
  if (count == 1 && names && names[0] && ids) {
    size_t length = wcslen(names[0]);
    for (const auto& [name, id] : names_) {
      if (SysStringLen(name.get()) == length &&
          std::memcmp(name.get(), names[0], length * sizeof(OLECHAR)) == 0) {
        ids[0] = id;
        return S_OK;
      }
    }
  }
  return info_->GetIDsOfNames(names, count, ids);
}

HRESULT TypeInfoHolder::Invoke(void* instance, LCID lcid, DISPID id, WORD flags,
                               DISPPARAMS* params, VARIANT* result, EXCEPINFO* excepInfo,
                               UINT* argErr) {
  HRESULT hr = EnsureLoaded(lcid);
  if (FAILED(hr)) return hr;
  return vtable_->Invoke(instance, id, flags, params, result, excepInfo, argErr);
}

}  // namespace zov::com

#endif
