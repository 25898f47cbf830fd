#include "fakes.h"

#include <cstring>

namespace zov::test {

// ---- values ---------------------------------------------------------------------------------

namespace {

unique_variant ArrayOf(VARTYPE type, LONG lowerBound, ULONG count, const void* data, size_t size) {
  unique_variant result;
  SAFEARRAY* array = SafeArrayCreateVector(type, lowerBound, count);
  if (!array) return result;
  if (count > 0) {
    void* target = nullptr;
    if (SUCCEEDED(SafeArrayAccessData(array, &target))) {
      std::memcpy(target, data, size * count);
      SafeArrayUnaccessData(array);
    }
  }
  V_VT(result.get()) = static_cast<VARTYPE>(VT_ARRAY | type);
  V_ARRAY(result.get()) = array;
  return result;
}

}  // namespace

unique_variant I4Array(LONG lowerBound, const std::vector<LONG>& elements) {
  return ArrayOf(VT_I4, lowerBound, static_cast<ULONG>(elements.size()), elements.data(),
                 sizeof(LONG));
}

unique_variant I2Array(LONG lowerBound, const std::vector<SHORT>& elements) {
  return ArrayOf(VT_I2, lowerBound, static_cast<ULONG>(elements.size()), elements.data(),
                 sizeof(SHORT));
}

unique_variant I4Matrix(ULONG rows, ULONG columns) {
  unique_variant result;
  SAFEARRAYBOUND bounds[2] = {{rows, 0}, {columns, 0}};
  SAFEARRAY* array = SafeArrayCreate(VT_I4, 2, bounds);
  if (!array) return result;
  void* data = nullptr;
  if (SUCCEEDED(SafeArrayAccessData(array, &data))) {
    for (ULONG i = 0; i < rows * columns; ++i) static_cast<LONG*>(data)[i] = static_cast<LONG>(i + 1);
    SafeArrayUnaccessData(array);
  }
  V_VT(result.get()) = VT_ARRAY | VT_I4;
  V_ARRAY(result.get()) = array;
  return result;
}

unique_variant VariantArray(const VARIANT& element) {
  unique_variant result;
  SAFEARRAY* array = SafeArrayCreateVector(VT_VARIANT, 0, 1);
  if (!array) return result;
  LONG index = 0;
  SafeArrayPutElement(array, &index, const_cast<VARIANT*>(&element));
  V_VT(result.get()) = VT_ARRAY | VT_VARIANT;
  V_ARRAY(result.get()) = array;
  return result;
}

unique_variant Bytes(const std::string& bytes) {
  return ArrayOf(VT_UI1, 0, static_cast<ULONG>(bytes.size()), bytes.data(), 1);
}

unique_variant I2(SHORT value) {
  unique_variant result;
  V_VT(result.get()) = VT_I2;
  V_I2(result.get()) = value;
  return result;
}

unique_variant I4(LONG value) {
  unique_variant result;
  V_VT(result.get()) = VT_I4;
  V_I4(result.get()) = value;
  return result;
}

unique_variant Text(const char* ascii) {
  unique_variant result;
  V_VT(result.get()) = VT_BSTR;
  V_BSTR(result.get()) = ascii ? Bstr(ascii).detach() : nullptr;
  return result;
}

// ---- the binder -----------------------------------------------------------------------------

namespace {

struct BinderEntry {
  IUnknown* object = nullptr;
  HRESULT failure = S_OK;
  int binds = 0;
};
std::map<std::string, BinderEntry> g_entries;
std::vector<std::string> g_log;
int g_total = 0;

}  // namespace

std::function<void(const std::string&)> FakeBinder::onBind;

HRESULT FakeBinder::Bind(LPCWSTR displayName, REFIID riid, void** ppv) {
  *ppv = nullptr;
  std::string name;
  for (LPCWSTR p = displayName; p && *p; ++p) name += static_cast<char>(*p);
  if (onBind) onBind(name);
  ++g_total;
  g_log.push_back(name);
  auto found = g_entries.find(name);
  if (found == g_entries.end()) return MK_E_NOOBJECT;
  ++found->second.binds;
  if (FAILED(found->second.failure)) return found->second.failure;
  return found->second.object->QueryInterface(riid, ppv);
}

void FakeBinder::Reset() {
  g_entries.clear();
  g_log.clear();
  g_total = 0;
  onBind = nullptr;
}

void FakeBinder::Add(const std::string& displayName, IUnknown* object) {
  g_entries[displayName].object = object;
}

void FakeBinder::Fail(const std::string& displayName, HRESULT result) {
  g_entries[displayName].failure = result;
}

int FakeBinder::Binds(const std::string& displayName) {
  auto found = g_entries.find(displayName);
  return found == g_entries.end() ? 0 : found->second.binds;
}

int FakeBinder::TotalBinds() { return g_total; }

const std::vector<std::string>& FakeBinder::Log() { return g_log; }

// ---- directory provider ---------------------------------------------------------------------

void FakeAdsObject::Set(const std::string& property, unique_variant value) {
  properties_[property] = std::move(value);
}

int FakeAdsObject::Gets(const std::string& property) const {
  auto found = gets_.find(property);
  return found == gets_.end() ? 0 : found->second;
}

int FakeAdsObject::totalGets() const {
  int total = 0;
  for (const auto& entry : gets_) total += entry.second;
  return total;
}

HRESULT FakeAdsObject::QueryInterface(REFIID riid, void** ppv) {
  if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IDispatch) ||
      IsEqualIID(riid, IID_IADs)) {
    *ppv = static_cast<IADs*>(this);
    AddRef();
    return S_OK;
  }
  *ppv = nullptr;
  return E_NOINTERFACE;
}

HRESULT FakeAdsObject::get_ADsPath(BSTR* retval) {
  ++adsPathCalls;
  *retval = Bstr(adsPath).detach();
  return S_OK;
}

HRESULT FakeAdsObject::Get(BSTR name, VARIANT* value) {
  const std::string property = Narrow(name);
  ++gets_[property];
  VariantInit(value);
  auto failure = failures_.find(property);
  if (failure != failures_.end()) return failure->second;
  auto found = properties_.find(property);
  if (found == properties_.end()) return static_cast<HRESULT>(0x8000500DL);  // not in the cache
  const VARIANT* stored = found->second.get();
  if (V_VT(stored) == VT_BSTR && !V_BSTR(stored)) {
    // VariantCopy would make an empty string of it; a provider may well hand out a null one.
    V_VT(value) = VT_BSTR;
    V_BSTR(value) = nullptr;
    return S_OK;
  }
  return VariantCopy(value, const_cast<VARIANT*>(stored));
}

HRESULT FakeAdsContainer::QueryInterface(REFIID riid, void** ppv) {
  if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IDispatch) ||
      IsEqualIID(riid, IID_IADsContainer)) {
    *ppv = static_cast<IADsContainer*>(this);
    AddRef();
    return S_OK;
  }
  *ppv = nullptr;
  return E_NOINTERFACE;
}

HRESULT FakeAdsContainer::Create(BSTR className, BSTR relativeName, IDispatch** object) {
  ++creates;
  lastClass = Narrow(className);
  lastName = Narrow(relativeName);
  *object = nullptr;
  if (SUCCEEDED(createResult) && created)
    created->QueryInterface(IID_IDispatch, reinterpret_cast<void**>(object));
  return createResult;
}

// ---- domain object --------------------------------------------------------------------------

void FakeDomainFile::AddValue(unique_variant value) {
  pieces_.push_back(Piece{S_OK, std::move(value)});
}

void FakeDomainFile::AddFailure(HRESULT result) { pieces_.push_back(Piece{result, unique_variant()}); }

HRESULT FakeDomainFile::QueryInterface(REFIID riid, void** ppv) {
  if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_ITeskDomainFile)) {
    *ppv = static_cast<ITeskDomainFile*>(this);
    AddRef();
    return S_OK;
  }
  *ppv = nullptr;
  return E_NOINTERFACE;
}

HRESULT FakeDomainFile::Open(BSTR path, LONG mode) {
  ++opens;
  lastPath = Narrow(path);
  lastMode = mode;
  return openResult;
}

HRESULT FakeDomainFile::Read(VARIANT* piece) {
  ++reads;
  VariantInit(piece);
  if (pieces_.empty()) {
    Bytes(std::string()).detach(piece);
    return S_OK;
  }
  Piece next = std::move(pieces_.front());
  pieces_.pop_front();
  if (FAILED(next.result)) return next.result;
  next.value.detach(piece);
  return S_OK;
}

// ---- NC variable object ---------------------------------------------------------------------

void FakeTeskVar::Answer16(const std::string& path, SHORT value, SHORT status) {
  Answer& answer = answers_[path];
  answer.result = S_OK;
  answer.status = status;
  answer.value = {value};
}

void FakeTeskVar::FailRead(const std::string& path, HRESULT result) {
  answers_[path].result = result;
}

int FakeTeskVar::Reads(const std::string& path) const {
  auto found = reads_.find(path);
  return found == reads_.end() ? 0 : found->second;
}

int FakeTeskVar::totalReads() const {
  int total = 0;
  for (const auto& entry : reads_) total += entry.second;
  return total;
}

HRESULT FakeTeskVar::QueryInterface(REFIID riid, void** ppv) {
  if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IDispatch) ||
      IsEqualIID(riid, IID_ITeskVar)) {
    *ppv = static_cast<ITeskVar*>(this);
    AddRef();
    return S_OK;
  }
  *ppv = nullptr;
  return E_NOINTERFACE;
}

HRESULT FakeTeskVar::Read(VARIANT names, VARIANT* attributes, LONG flags, VARIANT* values,
                          VARIANT* errors, VARIANT* status) {
  VariantInit(values);
  VariantInit(errors);
  VariantInit(status);
  // The agreed form: one name in a one-dimensional string array from index 0, the attributes
  // omitted, no flags.
  std::string path;
  LONG lower = -1;
  LONG upper = -1;
  SAFEARRAY* array = V_VT(&names) == (VT_ARRAY | VT_BSTR) ? V_ARRAY(&names) : nullptr;
  if (!array || SafeArrayGetDim(array) != 1 || FAILED(SafeArrayGetLBound(array, 1, &lower)) ||
      FAILED(SafeArrayGetUBound(array, 1, &upper)) || lower != 0 || upper != 0 || !attributes ||
      V_VT(attributes) != VT_ERROR || V_ERROR(attributes) != DISP_E_PARAMNOTFOUND || flags != 0) {
    ++malformed;
    return E_INVALIDARG;
  }
  BSTR* elements = nullptr;
  if (FAILED(SafeArrayAccessData(array, reinterpret_cast<void**>(&elements)))) return E_FAIL;
  path = Narrow(elements[0]);
  SafeArrayUnaccessData(array);
  ++reads_[path];

  auto found = answers_.find(path);
  Answer answer;
  if (found != answers_.end()) {
    answer = found->second;
  } else {
    answer.status = 0;
    answer.value = {0};
  }
  if (FAILED(answer.result)) return answer.result;
  I2Array(0, answer.value).detach(values);
  I2Array(0, {0}).detach(errors);
  I2Array(0, {answer.status}).detach(status);
  return S_OK;
}

}  // namespace zov::test
