#include "nc_variables.h"

#include <utility>
#include <vector>

#include "com_support.h"
#include "controller_state.h"
#include "host_components.h"
#include "server/com_object.h"
#include "zov/unique_safearray.h"
#include "zov/unique_variant.h"

namespace zov::sim {

const CLSID CLSID_VirtualVariables = {
    0x00c9e596, 0x3885, 0x4478, {0xb8, 0x78, 0xff, 0x58, 0xb9, 0xf8, 0x16, 0x1d}};

namespace {

// ERROR_NOT_READY: the NCU is offline.
constexpr DWORD kNotReady = 21;

const char kProgId[] = "TeskVar.Var2";

// The text after the ProgID: "" or ":NAME"; false when the name is not the class's.
bool SplitName(const std::string& displayName, std::string* ncu) {
  std::string text = displayName;
  if (!text.empty() && text[0] == '@') text = text.substr(1);
  const size_t n = sizeof kProgId - 1;
  if (!StartsWithNoCase(text, kProgId)) return false;
  std::string rest = text.substr(n);
  if (rest.empty()) {
    ncu->clear();
    return true;
  }
  if (rest[0] != ':') return false;
  *ncu = rest.substr(1);
  return true;
}

// One element of the variable's value, as a VARIANT.
HRESULT ElementOf(const VariableValue& value, VARIANT* out) {
  VariantInit(out);
  switch (value.type) {
    case VariableValue::Type::I2:
      out->vt = VT_I2;
      out->iVal = static_cast<SHORT>(value.integer);
      return S_OK;
    case VariableValue::Type::I4:
      out->vt = VT_I4;
      out->lVal = static_cast<LONG>(value.integer);
      return S_OK;
    case VariableValue::Type::R8:
      out->vt = VT_R8;
      out->dblVal = value.real;
      return S_OK;
    case VariableValue::Type::String:
      out->bstrVal = ToBstr(value.text);
      if (!out->bstrVal) return E_OUTOFMEMORY;
      out->vt = VT_BSTR;
      return S_OK;
  }
  return E_UNEXPECTED;
}

// A one-element array of the element's own type (or of VARIANTs) holding the value.
HRESULT ArrayOf(const VariableValue& value, VARIANT* out) {
  unique_variant element;
  HRESULT hr = ElementOf(value, element.get());
  if (FAILED(hr)) return hr;
  VARTYPE type = value.inVariantArray ? static_cast<VARTYPE>(VT_VARIANT) : element.get()->vt;
  unique_safearray array(SafeArrayCreateVector(type, 0, 1));
  if (!array.get()) return E_OUTOFMEMORY;
  LONG index = 0;
  void* source = nullptr;
  switch (type) {
    case VT_VARIANT: source = element.get(); break;
    case VT_BSTR: source = element.get()->bstrVal; break;  // copied by SafeArrayPutElement
    case VT_I2: source = &element.get()->iVal; break;
    case VT_I4: source = &element.get()->lVal; break;
    case VT_R8: source = &element.get()->dblVal; break;
    default: return E_UNEXPECTED;
  }
  hr = SafeArrayPutElement(array.get(), &index, source);
  if (FAILED(hr)) return hr;
  out->vt = static_cast<VARTYPE>(VT_ARRAY | type);
  out->parray = array.detach();
  return S_OK;
}

// The names of a Read: one BSTR, or a one-dimensional array of BSTRs or of VARIANTs holding them.
HRESULT NamesOf(const VARIANT& names, std::vector<std::string>* out) {
  out->clear();
  if (names.vt == VT_BSTR) {
    std::string name;
    if (!ToAnsi(names.bstrVal, &name)) return E_INVALIDARG;
    out->push_back(name);
    return S_OK;
  }
  if (names.vt != (VT_ARRAY | VT_BSTR) && names.vt != (VT_ARRAY | VT_VARIANT))
    return DISP_E_TYPEMISMATCH;
  SAFEARRAY* array = names.parray;
  if (!array || SafeArrayGetDim(array) != 1) return E_INVALIDARG;
  LONG low = 0;
  LONG high = -1;
  if (FAILED(SafeArrayGetLBound(array, 1, &low)) || FAILED(SafeArrayGetUBound(array, 1, &high)))
    return E_INVALIDARG;
  if (high < low) return E_INVALIDARG;
  for (LONG i = low; i <= high; ++i) {
    unique_variant element;
    if (names.vt == (VT_ARRAY | VT_BSTR)) {
      BSTR text = nullptr;
      HRESULT hr = SafeArrayGetElement(array, &i, &text);
      if (FAILED(hr)) return hr;
      element.get()->vt = VT_BSTR;
      element.get()->bstrVal = text;
    } else {
      HRESULT hr = SafeArrayGetElement(array, &i, element.get());
      if (FAILED(hr)) return hr;
      if (element.get()->vt != VT_BSTR) return DISP_E_TYPEMISMATCH;
    }
    std::string name;
    if (!ToAnsi(element.get()->bstrVal, &name)) return E_INVALIDARG;
    out->push_back(name);
  }
  return S_OK;
}

class VariablesObject : public VtableOnlyDispatch<ITeskVar>, public com::ObjectRoot {
 public:
  VariablesObject(std::string folder, std::string ncu)
      : folder_(std::move(folder)), ncu_(std::move(ncu)) {}

  static const com::InterfaceEntry<VariablesObject>* InterfaceMap() {
    static const com::InterfaceEntry<VariablesObject> map[] = {
        {&IID_ITeskVar, &com::InterfaceOf<VariablesObject, ITeskVar>},
        {&IID_IDispatch, &com::InterfaceOf<VariablesObject, ITeskVar>},
        {nullptr, nullptr}};
    return map;
  }

  HRESULT STDMETHODCALLTYPE Read(VARIANT vNames, VARIANT*, LONG, VARIANT* pvValues,
                                 VARIANT* pvErrors, VARIANT* pvStatus) override {
    if (pvValues) VariantInit(pvValues);
    if (pvErrors) VariantInit(pvErrors);
    if (pvStatus) VariantInit(pvStatus);
    if (!pvValues || !pvErrors || !pvStatus) return E_POINTER;
    return Guarded([&] { return ReadNames(vNames, pvValues, pvErrors, pvStatus); });
  }

 private:
  HRESULT ReadNames(const VARIANT& vNames, VARIANT* pvValues, VARIANT* pvErrors,
                    VARIANT* pvStatus) {
    if (!NcuExists(folder_, ncu_)) return HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND);
    if (!NcuOnline(folder_, ncu_)) return HRESULT_FROM_WIN32(kNotReady);
    std::vector<std::string> names;
    HRESULT hr = NamesOf(vNames, &names);
    if (FAILED(hr)) return hr;
    const ULONG count = static_cast<ULONG>(names.size());
    unique_safearray status(SafeArrayCreateVector(VT_I2, 0, count));
    unique_safearray errors(SafeArrayCreateVector(VT_I4, 0, count));
    unique_safearray many(count > 1 ? SafeArrayCreateVector(VT_VARIANT, 0, count) : nullptr);
    if (!status.get() || !errors.get() || (count > 1 && !many.get())) return E_OUTOFMEMORY;
    unique_variant single;
    for (ULONG i = 0; i < count; ++i) {
      VariableRead read = ReadVariable(folder_, ncu_, names[i]);
      VariableValue value;
      SHORT itemStatus = static_cast<SHORT>(read.status);
      LONG itemError = S_OK;
      unique_variant item;  // the value in its array form (VT_EMPTY when there is none)
      if (!read.found) {
        itemError = DISP_E_UNKNOWNNAME;
      } else if (!ParseVariableValue(read.spelling, &value)) {
        itemError = DISP_E_TYPEMISMATCH;
        itemStatus = kStatusMissing;
      } else {
        hr = ArrayOf(value, item.get());
        if (FAILED(hr)) return hr;
      }
      LONG index = static_cast<LONG>(i);
      if (FAILED(hr = SafeArrayPutElement(status.get(), &index, &itemStatus))) return hr;
      if (FAILED(hr = SafeArrayPutElement(errors.get(), &index, &itemError))) return hr;
      if (count == 1) {
        single = std::move(item);
      } else if (FAILED(hr = SafeArrayPutElement(many.get(), &index, item.get()))) {
        return hr;
      }
    }
    if (count == 1) {
      single.detach(pvValues);
    } else {
      pvValues->vt = VT_ARRAY | VT_VARIANT;
      pvValues->parray = many.detach();
    }
    pvErrors->vt = VT_ARRAY | VT_I4;
    pvErrors->parray = errors.detach();
    pvStatus->vt = VT_ARRAY | VT_I2;
    pvStatus->parray = status.detach();
    return S_OK;
  }

  std::string folder_;
  std::string ncu_;
};

}  // namespace

bool IsVariablesName(const std::string& displayName) {
  std::string ncu;
  return SplitName(displayName, &ncu);
}

HRESULT BindVariablesObject(const std::string& displayName, REFIID riid, void** ppv) {
  *ppv = nullptr;
  std::string ncu;
  if (!SplitName(displayName, &ncu)) return MK_E_SYNTAX;
  std::string folder = ControllerFolder();
  if (folder.empty()) return HRESULT_FROM_WIN32(ERROR_PATH_NOT_FOUND);
  if (ncu.empty()) ncu = DefaultNcu(folder);
  if (!NcuExists(folder, ncu)) return HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND);
  return com::CreateObject<VariablesObject>(riid, ppv, std::move(folder), std::move(ncu));
}

}  // namespace zov::sim
