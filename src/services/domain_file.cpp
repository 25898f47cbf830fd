#include "domain_file.h"

#include <cstring>
#include <new>
#include <string>

#include "ansi_text.h"
#include "zov/unique_variant.h"

namespace zov::services {

namespace {

// What a failed binding of the container reports, distinct from every HRESULT of a creation.
constexpr HRESULT kContainerNotBound = static_cast<HRESULT>(-1);

// The ANSI text of a name up to its first NUL, as the provider is handed a C string.
std::string NameText(BSTR name) {
  std::string text = AnsiFromBstr(name);
  text.resize(std::strlen(text.c_str()));
  return text;
}

}  // namespace

DomainFile::DomainFile(ObjectBinder binder) noexcept
    : binder_(binder ? binder : BindByDisplayName) {}

void DomainFile::Unbind() noexcept {
  object_.reset();
  path_.reset();
}

bool DomainFile::Open(BSTR path) noexcept {
  Unbind();
  if (!path) return false;
  unique_bstr copy(SysAllocStringLen(path, SysStringLen(path)));
  if (!copy.get()) return false;
  com_ptr<IADs> object;
  if (FAILED(binder_(path, IID_IADs, object.put_void())) || !object) return false;
  path_ = std::move(copy);
  object_ = std::move(object);
  return true;
}

bool DomainFile::GetProperty(const OLECHAR* name, VARIANT* value) noexcept {
  if (!IsBound()) return false;
  unique_bstr property(SysAllocString(name));
  if (!property.get()) return false;
  return SUCCEEDED(object_->Get(property.get(), value));
}

bool DomainFile::GetArrayElement(const OLECHAR* name, int selector, LONG* element) noexcept {
  unique_variant value;
  if (!GetProperty(name, value.get())) return false;
  if (V_VT(value.get()) != (VT_ARRAY | VT_I4)) return false;
  SAFEARRAY* array = V_ARRAY(value.get());
  if (!array || SafeArrayGetDim(array) != 1) return false;
  LONG lower = 0;
  LONG upper = 0;
  if (FAILED(SafeArrayGetLBound(array, 1, &lower)) || FAILED(SafeArrayGetUBound(array, 1, &upper)))
    return false;
  if (lower > upper || upper < 2) return false;
  // The element is counted from the start of the data whatever the lower bound; the third one
  // is taken only when the array really has three elements.
  const long long count = static_cast<long long>(upper) - lower + 1;
  const long long index = selector == 0 ? 0 : 2;
  if (index >= count || SafeArrayGetElemsize(array) != sizeof(LONG)) return false;
  void* data = nullptr;
  if (FAILED(SafeArrayAccessData(array, &data))) return false;
  const bool ok = data != nullptr;
  if (ok) std::memcpy(element, static_cast<const char*>(data) + index * sizeof(LONG), sizeof(LONG));
  SafeArrayUnaccessData(array);
  return ok;
}

LONG DomainFile::GetSize(int selector) noexcept {
  LONG size = 0;
  return GetArrayElement(OLESTR("Size"), selector, &size) ? size : -1;
}

LONG DomainFile::GetDate(int selector) noexcept {
  LONG date = 0;
  return GetArrayElement(OLESTR("Date"), selector, &date) ? date : 0;
}

BSTR DomainFile::GetWinPath() noexcept {
  unique_variant value;
  if (!GetProperty(OLESTR("WinPath"), value.get())) return nullptr;
  if (V_VT(value.get()) != VT_BSTR || !V_BSTR(value.get())) return nullptr;
  BSTR text = V_BSTR(value.get());
  return SysAllocStringLen(text, SysStringLen(text));
}

LONG DomainFile::GetPersist() noexcept {
  unique_variant value;
  if (!GetProperty(OLESTR("Persist"), value.get())) return 0;
  if (V_VT(value.get()) != VT_I2) return 0;
  return static_cast<LONG>(V_I2(value.get()));
}

HRESULT DomainFile::CreateInContainer(BSTR container, BSTR name, BSTR extension) noexcept {
  unique_bstr className;
  unique_bstr relativeName;
  try {
    const std::string ext = NameText(extension);
    const std::string classText = "*." + ext;
    const std::string relativeText = NameText(name) + "." + ext;
    if (classText.size() + 1 > kMaxClassName || relativeText.size() + 1 > kMaxRelativeName)
      return HRESULT_FROM_WIN32(ERROR_FILENAME_EXCED_RANGE);
    className = BstrFromAnsi(classText);
    relativeName = BstrFromAnsi(relativeText);
  } catch (const std::bad_alloc&) {
    return E_OUTOFMEMORY;
  }
  if (!className.get() || !relativeName.get()) return E_OUTOFMEMORY;

  com_ptr<IADsContainer> parent;
  if (!container || FAILED(binder_(container, IID_IADsContainer, parent.put_void())) || !parent)
    return kContainerNotBound;
  Unbind();
  com_ptr<IDispatch> created;
  const HRESULT hr = parent->Create(className.get(), relativeName.get(), created.put());
  if (hr != S_OK) return hr;
  // The provider has made the file; bind it. Should it not give its interface or path, the
  // readers find nothing bound and report their failure values.
  if (created && SUCCEEDED(created.query(IID_IADs, object_.put())) && object_)
    object_->get_ADsPath(path_.put());
  return hr;
}

}  // namespace zov::services
