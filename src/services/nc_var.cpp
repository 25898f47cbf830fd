#include "nc_var.h"

#include <cstdio>
#include <cstring>
#include <new>
#include <string>

#include "ansi_text.h"
#include "zov/unique_safearray.h"
#include "zov/unique_variant.h"

namespace zov::services {

namespace {

const OLECHAR kVarObject[] = OLESTR("@TeskVar.Var2");
const char kMaxChannels[] = "/NCK/Configuration/maxnumChannels";

// "@TeskVar.Var2", and ":<NC>" for any NC but the default one.
std::basic_string<OLECHAR> DisplayName(BSTR ncName) {
  std::basic_string<OLECHAR> name(kVarObject);
  const UINT length = SysStringLen(ncName);
  if (length > 0) {
    name += OLECHAR(':');
    name.append(ncName, length);
  }
  return name;
}

// The value of the first element of a one-dimensional view of the array; false when the array
// is missing, has an empty dimension or elements of another size than `size`.
bool CopyFirstElement(SAFEARRAY* array, void* element, size_t size) {
  if (!array || SafeArrayGetDim(array) == 0 || SafeArrayGetElemsize(array) != size) return false;
  for (UINT dim = 1; dim <= SafeArrayGetDim(array); ++dim) {
    LONG lower = 0;
    LONG upper = 0;
    if (FAILED(SafeArrayGetLBound(array, dim, &lower)) ||
        FAILED(SafeArrayGetUBound(array, dim, &upper)) || upper < lower)
      return false;
  }
  void* data = nullptr;
  if (FAILED(SafeArrayAccessData(array, &data))) return false;
  const bool ok = data != nullptr;
  if (ok) std::memcpy(element, data, size);
  SafeArrayUnaccessData(array);
  return ok;
}

}  // namespace

NcVar::NcVar(ObjectBinder binder) noexcept : binder_(binder ? binder : BindByDisplayName) {}

bool NcVar::IsBoundTo(BSTR ncName) const noexcept {
  if (!var_ || !name_.get()) return false;
  try {
    return SameNameIgnoringCase(AnsiFromBstr(name_.get()), AnsiFromBstr(ncName));
  } catch (const std::bad_alloc&) {
    return false;
  }
}

bool NcVar::Bind(BSTR ncName) noexcept {
  if (IsBoundTo(ncName)) return true;
  var_.reset();
  name_.reset();
  unique_bstr name(SysAllocStringLen(ncName, SysStringLen(ncName)));
  if (!name.get()) return false;
  try {
    const std::basic_string<OLECHAR> display = DisplayName(ncName);
    if (FAILED(binder_(display.c_str(), IID_ITeskVar, var_.put_void())) || !var_) {
      var_.reset();
      return false;
    }
  } catch (const std::bad_alloc&) {
    return false;
  }
  name_ = std::move(name);

  unique_variant count;
  SHORT channels = 0;
  if (ReadBound(kMaxChannels, count.put()) == S_OK && FirstShort(count.get(), &channels))
    channels_ = channels;
  else
    channels_ = kDefaultChannelCount;
  return true;
}

HRESULT NcVar::ReadVariable(const char* path, VARIANT* values, BSTR ncName) noexcept {
  // A pure out-parameter: whatever it held is neither read nor freed.
  if (values) VariantInit(values);
  if (!path || !values) return E_POINTER;
  if (!Bind(ncName)) return static_cast<HRESULT>(-1);
  return ReadBound(path, values);
}

HRESULT NcVar::ReadBound(const char* path, VARIANT* values) noexcept {
  // The names: a one-element array of strings, lower bound 0, holding the path.
  unique_variant names;
  try {
    unique_bstr text = BstrFromAnsi(path);
    if (!text.get()) return E_OUTOFMEMORY;
    unique_safearray array(SafeArrayCreateVector(VT_BSTR, 0, 1));
    if (!array.get()) return E_OUTOFMEMORY;
    LONG index = 0;
    const HRESULT hr = SafeArrayPutElement(array.get(), &index, text.get());
    if (FAILED(hr)) return hr;
    V_VT(names.get()) = VT_ARRAY | VT_BSTR;
    V_ARRAY(names.get()) = array.detach();
  } catch (const std::bad_alloc&) {
    return E_OUTOFMEMORY;
  }
  // The attributes are an omitted optional argument.
  VARIANT attributes;
  VariantInit(&attributes);
  V_VT(&attributes) = VT_ERROR;
  V_ERROR(&attributes) = DISP_E_PARAMNOTFOUND;

  unique_variant errors;
  unique_variant status;
  const HRESULT hr =
      var_->Read(*names.get(), &attributes, 0, values, errors.put(), status.put());
  if (FAILED(hr)) return hr;
  SHORT good = 0;
  if (!FirstShort(status.get(), &good) || good != kStatusGood) return static_cast<HRESULT>(-2);
  return hr;
}

bool NcVar::FirstShort(VARIANT* value, SHORT* result) noexcept {
  if (!value) return false;
  unique_variant owned;
  owned.attach(value);
  SHORT first = 0;
  bool ok = false;
  const VARTYPE type = V_VT(owned.get());
  if (type == (VT_ARRAY | VT_I2)) {
    ok = CopyFirstElement(V_ARRAY(owned.get()), &first, sizeof(SHORT));
  } else if (type == (VT_ARRAY | VT_VARIANT)) {
    VARIANT element;
    if (CopyFirstElement(V_ARRAY(owned.get()), &element, sizeof(VARIANT))) {
      first = V_I2(&element);  // the 16-bit field, whatever the element's type
      ok = true;
    }
  }
  if (ok && result) *result = first;
  return ok;
}

bool NcVar::IsChannelAssigned(SHORT channel, BSTR ncName) noexcept {
  if (channels_ == 0 || !IsBoundTo(ncName)) Bind(ncName);
  if (channel > channels_) return false;
  char path[64];
  std::snprintf(path, sizeof path, "/NCK/Configuration/chanAssignment[%hd]", channel);
  unique_variant value;
  SHORT assigned = 0;
  return ReadVariable(path, value.put(), ncName) == S_OK && FirstShort(value.get(), &assigned) &&
         assigned != 0;
}

}  // namespace zov::services
