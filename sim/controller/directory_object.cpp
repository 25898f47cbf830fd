#include "directory_object.h"

#include <cstdio>
#include <utility>

#include "com_support.h"
#include "controller_state.h"
#include "server/com_object.h"
#include "zov/unique_safearray.h"
#include "zov/unique_variant.h"

namespace zov::sim {

const CLSID CLSID_VirtualNamespace = {
    0x8125bc58, 0x12a0, 0x4ab4, {0x90, 0x28, 0xee, 0x81, 0x4e, 0x05, 0xe0, 0x7e}};

namespace {

// ADSI's own codes (adserr.h).
constexpr HRESULT kPropertyNotFound = static_cast<HRESULT>(0x8000500D);  // E_ADS_PROPERTY_NOT_FOUND
constexpr HRESULT kObjectExists = static_cast<HRESULT>(0x8000500E);      // E_ADS_OBJECT_EXISTS
constexpr DWORD kEnvVarNotFound = 203;                                    // ERROR_ENVVAR_NOT_FOUND

// Where a name of the namespace exists right now.
struct Presence {
  FileFacts hd;     // the hard-disk store's file (Kind::Store)
  FileFacts nc;     // the NC's file (Kind::Store)
  FileFacts host;   // the drive's or share's file
};

Presence Look(const std::string& folder, const DomainName& name) {
  Presence p;
  if (name.kind == DomainName::Kind::Store) {
    p.hd = StatPath(StorePath(folder, View::Hd, name.components));
    p.nc = StatPath(StorePath(folder, View::Nc, name.components));
  } else {
    p.host = StatPath(HostPathOf(name));
  }
  return p;
}

bool Exists(const DomainName& name, const Presence& p) {
  if (name.kind != DomainName::Kind::Store) return p.host.exists;
  switch (name.view) {
    case View::Hd: return p.hd.exists;
    case View::Nc: return p.nc.exists;
    case View::HdNc: return p.hd.exists || p.nc.exists;
  }
  return false;
}

// The file whose size and date the object reports: the hard disk's when the view shows it.
const FileFacts& Chosen(const DomainName& name, const Presence& p) {
  if (name.kind != DomainName::Kind::Store) return p.host;
  if (name.view == View::Nc) return p.nc;
  if (name.view == View::Hd || p.hd.exists) return p.hd;
  return p.nc;
}

// A one-dimensional VT_ARRAY|VT_I4 {first, 0, first} with bounds 0..2.
HRESULT TripleOf(long long value, VARIANT* out) {
  unique_safearray array(SafeArrayCreateVector(VT_I4, 0, 3));
  if (!array.get()) return E_OUTOFMEMORY;
  LONG elements[3] = {static_cast<LONG>(value), 0, static_cast<LONG>(value)};
  for (LONG i = 0; i < 3; ++i) {
    HRESULT hr = SafeArrayPutElement(array.get(), &i, &elements[i]);
    if (FAILED(hr)) return hr;
  }
  out->vt = VT_ARRAY | VT_I4;
  out->parray = array.detach();
  return S_OK;
}

// An object of the namespace. Folders answer IADsContainer as well.
class DirectoryObject : public VtableOnlyDispatch<IADs, IADsContainer>, public com::ObjectRoot {
 public:
  DirectoryObject(std::string folder, DomainName name, bool isDirectory)
      : folder_(std::move(folder)), name_(std::move(name)), isDirectory_(isDirectory) {}

  static const com::InterfaceEntry<DirectoryObject>* InterfaceMap() {
    static const com::InterfaceEntry<DirectoryObject> map[] = {
        {&IID_IADs, &com::InterfaceOf<DirectoryObject, IADs>},
        {&IID_IDispatch, &com::InterfaceOf<DirectoryObject, IADs>},
        {&IID_IADsContainer, &ContainerOf},
        {nullptr, nullptr}};
    return map;
  }

  // IADs
  HRESULT STDMETHODCALLTYPE get_Name(BSTR* retval) override {
    if (!retval) return E_POINTER;
    *retval = nullptr;
    return Guarded([&] { return ReturnBstr(LastName(), retval); });
  }
  HRESULT STDMETHODCALLTYPE get_Class(BSTR* retval) override {
    if (!retval) return E_POINTER;
    *retval = nullptr;
    return Guarded([&] { return ReturnBstr(isDirectory_ ? "Directory" : "File", retval); });
  }
  HRESULT STDMETHODCALLTYPE get_GUID(BSTR* retval) override { return NotImplemented(retval); }
  HRESULT STDMETHODCALLTYPE get_ADsPath(BSTR* retval) override {
    if (!retval) return E_POINTER;
    *retval = nullptr;
    return Guarded([&] { return ReturnBstr(CanonicalDomainName(name_), retval); });
  }
  HRESULT STDMETHODCALLTYPE get_Parent(BSTR* retval) override {
    if (!retval) return E_POINTER;
    *retval = nullptr;
    return Guarded([&] {
      DomainName parent = name_;
      if (!parent.components.empty()) parent.components.pop_back();
      return ReturnBstr(CanonicalDomainName(parent), retval);
    });
  }
  HRESULT STDMETHODCALLTYPE get_Schema(BSTR* retval) override { return NotImplemented(retval); }
  HRESULT STDMETHODCALLTYPE GetInfo() override { return S_OK; }
  HRESULT STDMETHODCALLTYPE SetInfo() override { return S_OK; }
  HRESULT STDMETHODCALLTYPE Get(BSTR bstrName, VARIANT* pvProp) override {
    if (!pvProp) return E_POINTER;
    VariantInit(pvProp);
    if (!bstrName) return E_INVALIDARG;
    return Guarded([&] { return GetProperty(bstrName, pvProp); });
  }
  HRESULT STDMETHODCALLTYPE Put(BSTR, VARIANT) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE GetEx(BSTR, VARIANT* pvProp) override {
    if (pvProp) VariantInit(pvProp);
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE PutEx(LONG, BSTR, VARIANT) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE GetInfoEx(VARIANT, LONG) override { return S_OK; }

  // IADsContainer
  HRESULT STDMETHODCALLTYPE get_Count(LONG* retval) override {
    if (retval) *retval = 0;
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE get__NewEnum(IUnknown** retval) override {
    if (retval) *retval = nullptr;
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE get_Filter(VARIANT* pVar) override {
    if (pVar) VariantInit(pVar);
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE put_Filter(VARIANT) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE get_Hints(VARIANT* pvFilter) override {
    if (pvFilter) VariantInit(pvFilter);
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE put_Hints(VARIANT) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE GetObject(BSTR, BSTR RelativeName, IDispatch** ppObject) override {
    if (!ppObject) return E_POINTER;
    *ppObject = nullptr;
    return Guarded([&] {
      std::string relative;
      if (!RelativeName || !ToAnsi(RelativeName, &relative)) return E_INVALIDARG;
      return BindNamespaceObject(CanonicalDomainName(name_) + "/" + relative, IID_IDispatch,
                                 reinterpret_cast<void**>(ppObject));
    });
  }
  HRESULT STDMETHODCALLTYPE Create(BSTR ClassName, BSTR RelativeName,
                                   IDispatch** ppObject) override {
    if (!ppObject) return E_POINTER;
    *ppObject = nullptr;
    return Guarded([&] { return CreateChild(ClassName, RelativeName, ppObject); });
  }
  HRESULT STDMETHODCALLTYPE Delete(BSTR, BSTR) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE CopyHere(BSTR, BSTR, IDispatch** ppObject) override {
    return NotImplemented(ppObject);
  }
  HRESULT STDMETHODCALLTYPE MoveHere(BSTR, BSTR, IDispatch** ppObject) override {
    return NotImplemented(ppObject);
  }

 private:
  std::string LastName() const {
    if (!name_.components.empty()) return name_.components.back();
    if (name_.kind == DomainName::Kind::Store)
      return name_.view == View::Hd ? "hd" : name_.view == View::Nc ? "nc" : "hd-nc";
    return name_.root;
  }

  HRESULT GetProperty(BSTR bstrName, VARIANT* out) {
    std::string property;
    if (!ToAnsi(bstrName, &property)) return kPropertyNotFound;
    Presence p = Look(folder_, name_);
    if (!Exists(name_, p)) return HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND);
    const FileFacts& file = Chosen(name_, p);
    if (EqualNoCase(property, "Size")) return TripleOf(file.size, out);
    if (EqualNoCase(property, "Date")) return TripleOf(file.modified, out);
    if (EqualNoCase(property, "Persist")) {
      SHORT persist = 1;
      if (name_.kind == DomainName::Kind::Store)
        persist = static_cast<SHORT>((p.hd.exists ? 1 : 0) | (p.nc.exists ? 2 : 0));
      out->vt = VT_I2;
      out->iVal = persist;
      return S_OK;
    }
    if (EqualNoCase(property, "WinPath")) {
      std::string path;
      if (name_.kind != DomainName::Kind::Store)
        path = HostPathOf(name_);
      else if (name_.view != View::Nc && p.hd.exists)
        path = StorePath(folder_, View::Hd, name_.components);
      else
        return S_OK;  // no host file: VT_EMPTY
      BSTR text = ToBstr(path);
      if (!text) return E_OUTOFMEMORY;
      out->vt = VT_BSTR;
      out->bstrVal = text;
      return S_OK;
    }
    return kPropertyNotFound;
  }

  HRESULT CreateChild(BSTR className, BSTR relativeName, IDispatch** out) {
    if (name_.kind != DomainName::Kind::Store || name_.view != View::Hd) return E_ACCESSDENIED;
    std::string cls;
    std::string relative;
    if (!className || !relativeName || !ToAnsi(className, &cls) || !ToAnsi(relativeName, &relative))
      return E_INVALIDARG;
    // Class "*.EXT" and a relative name "NAME.EXT" of one plain component.
    if (cls.size() < 3 || cls.compare(0, 2, "*.") != 0 || !IsSafeComponent(relative))
      return E_INVALIDARG;
    const std::string extension = cls.substr(2);
    size_t dot = relative.rfind('.');
    if (dot == std::string::npos || dot == 0 || !EqualNoCase(relative.substr(dot + 1), extension))
      return E_INVALIDARG;
    DomainName child = name_;
    child.components.push_back(relative);
    const std::string path = StorePath(folder_, View::Hd, child.components);
    if (StatPath(path).exists) return kObjectExists;
    const bool folderKind = EqualNoCase(extension, "DIR") || EqualNoCase(extension, "ZOV") ||
                            EqualNoCase(extension, "WPD");
    if (folderKind) {
      if (!CreateDirectoryA(path.c_str(), nullptr)) return HRESULT_FROM_WIN32(GetLastError());
    } else {
      FILE* file = _fsopen(path.c_str(), "wb", _SH_DENYRW);
      if (!file) return HRESULT_FROM_WIN32(ERROR_ACCESS_DENIED);
      if (std::fclose(file) != 0) return HRESULT_FROM_WIN32(ERROR_WRITE_FAULT);
    }
    return BindNamespaceObject(CanonicalDomainName(child), IID_IDispatch,
                               reinterpret_cast<void**>(out));
  }

  // IADsContainer for a folder; a file has none.
  static IUnknown* ContainerOf(DirectoryObject* object) {
    return object->isDirectory_ ? static_cast<IADsContainer*>(object) : nullptr;
  }

  std::string folder_;
  DomainName name_;
  bool isDirectory_;
};

}  // namespace

bool IsNamespaceName(const std::string& displayName) {
  return StartsWithNoCase(displayName, kDomainPrefix);
}

HRESULT BindNamespaceObject(const std::string& displayName, REFIID riid, void** ppv) {
  *ppv = nullptr;
  DomainName name;
  switch (ParseDomainName(displayName, &name)) {
    case ParseResult::Ok: break;
    case ParseResult::Syntax: return MK_E_SYNTAX;
    case ParseResult::NotFound: return HRESULT_FROM_WIN32(ERROR_PATH_NOT_FOUND);
  }
  std::string folder;
  if (name.kind == DomainName::Kind::Store) {
    folder = ControllerFolder();
    if (folder.empty()) return HRESULT_FROM_WIN32(kEnvVarNotFound);
  }
  Presence p = Look(folder, name);
  if (!Exists(name, p)) return HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND);
  const bool isDirectory = Chosen(name, p).isDirectory;
  return com::CreateObject<DirectoryObject>(riid, ppv, std::move(folder), std::move(name),
                                            isDirectory);
}

}  // namespace zov::sim
