#include "bind_trace.h"

#include "zov/unique_bstr.h"
#include "zov/unique_safearray.h"

#if defined(ZOVCTL_VIRTUAL_CONTROLLER)
#include "virtual_controller.h"
#endif

namespace zovctl {

#if defined(ZOVCTL_VIRTUAL_CONTROLLER)

BindTrace::BindTrace() noexcept {
  OLECHAR name[] = OLESTR("KalTeskDomain.TeskDomain.1:");
  zov::com_ptr<IVirtualController> controller;
  hr_ = CoGetObject(name, nullptr, IID_IVirtualController, controller.put_void());
  if (SUCCEEDED(hr_) && !controller) hr_ = E_NOINTERFACE;
  if (SUCCEEDED(hr_)) controller_.attach(controller.detach());
}

HRESULT BindTrace::Take(std::vector<WideString>* names) {
  names->clear();
  if (!controller_) return FAILED(hr_) ? hr_ : E_NOINTERFACE;
  zov::unique_safearray array;
  HRESULT hr = static_cast<IVirtualController*>(controller_.get())->TakeBindLog(array.put());
  if (FAILED(hr)) return hr;
  if (!array.get()) return E_POINTER;
  VARTYPE vt = VT_EMPTY;
  if (FAILED(SafeArrayGetVartype(array.get(), &vt)) || vt != VT_BSTR || SafeArrayGetDim(array.get()) != 1)
    return DISP_E_TYPEMISMATCH;
  LONG low = 0, high = -1;
  if (FAILED(hr = SafeArrayGetLBound(array.get(), 1, &low)) || FAILED(hr = SafeArrayGetUBound(array.get(), 1, &high)))
    return hr;
  for (LONG i = low; i <= high; ++i) {
    // SafeArrayGetElement hands out a copy of the string, owned here.
    zov::unique_bstr name;
    if (FAILED(hr = SafeArrayGetElement(array.get(), &i, name.put()))) return hr;
    names->emplace_back(name.get() ? WideString(name.get(), name.length()) : WideString());
  }
  return S_OK;
}

#else

BindTrace::BindTrace() noexcept = default;

HRESULT BindTrace::Take(std::vector<WideString>* names) {
  names->clear();
  return hr_;
}

#endif

}  // namespace zovctl
