// Counted stand-ins for the host's components behind the service adapters: a binder that hands
// out registered objects by display name, a directory object and a container of the directory
// provider, the domain object's file stream and the NC variable object. Each counts its calls
// and its references; a test holds the first reference and checks that the count comes back.
#pragma once

#include <deque>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "host_components.h"
#include "ole_text.h"
#include "zov/unique_bstr.h"
#include "zov/unique_variant.h"
#include "zov/win32.h"

namespace zov::test {

// ---- values ---------------------------------------------------------------------------------

// VARIANTs holding arrays, built for the fakes to hand out. Each takes ownership of nothing.
unique_variant I4Array(LONG lowerBound, const std::vector<LONG>& elements);
unique_variant I2Array(LONG lowerBound, const std::vector<SHORT>& elements);
// A two-dimensional VT_ARRAY|VT_I4 of rows x columns elements numbered from 1.
unique_variant I4Matrix(ULONG rows, ULONG columns);
// A VT_ARRAY|VT_VARIANT whose one element is a copy of `element`.
unique_variant VariantArray(const VARIANT& element);
unique_variant Bytes(const std::string& bytes);
unique_variant I2(SHORT value);
unique_variant I4(LONG value);
unique_variant Text(const char* ascii);  // VT_BSTR; null gives a null BSTR

// ---- the binder -----------------------------------------------------------------------------

// An ObjectBinder over a table of display names. The objects are not owned: they outlive the
// adapters that bind them.
class FakeBinder {
 public:
  static HRESULT Bind(LPCWSTR displayName, REFIID riid, void** ppv);
  static void Reset();
  static void Add(const std::string& displayName, IUnknown* object);
  static void Fail(const std::string& displayName, HRESULT result);
  static int Binds(const std::string& displayName);
  static int TotalBinds();
  static const std::vector<std::string>& Log();
  // Called at the start of every binding, with the display name; for checks of the order.
  static std::function<void(const std::string&)> onBind;
};

// ---- reference counting ---------------------------------------------------------------------

class Counted {
 public:
  LONG references() const { return references_; }

 protected:
  ULONG Up() { return static_cast<ULONG>(++references_); }
  ULONG Down() { return static_cast<ULONG>(--references_); }

 private:
  LONG references_ = 1;  // the test's own reference
};

#define ZOV_FAKE_DISPATCH                                                                     \
  HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override {                          \
    *count = 0;                                                                               \
    return S_OK;                                                                              \
  }                                                                                           \
  HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; } \
  HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override {  \
    return E_NOTIMPL;                                                                         \
  }                                                                                           \
  HRESULT STDMETHODCALLTYPE Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*,         \
                                   EXCEPINFO*, UINT*) override {                              \
    return E_NOTIMPL;                                                                         \
  }

// ---- directory provider ---------------------------------------------------------------------

// A directory object whose Get answers configured properties with copies.
class FakeAdsObject : public IADs, public Counted {
 public:
  explicit FakeAdsObject(const std::string& adsPath = std::string()) : adsPath(adsPath) {}
  void Set(const std::string& property, unique_variant value);
  void FailGet(const std::string& property, HRESULT result) { failures_[property] = result; }
  int Gets(const std::string& property) const;
  int totalGets() const;

  std::string adsPath;
  int adsPathCalls = 0;

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override;
  ULONG STDMETHODCALLTYPE AddRef() override { return Up(); }
  ULONG STDMETHODCALLTYPE Release() override { return Down(); }
  ZOV_FAKE_DISPATCH
  HRESULT STDMETHODCALLTYPE get_Name(BSTR*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE get_Class(BSTR*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE get_GUID(BSTR*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE get_ADsPath(BSTR* retval) override;
  HRESULT STDMETHODCALLTYPE get_Parent(BSTR*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE get_Schema(BSTR*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE GetInfo() override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE SetInfo() override {
    ++setInfoCalls;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE Get(BSTR name, VARIANT* value) override;
  HRESULT STDMETHODCALLTYPE Put(BSTR, VARIANT) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE GetEx(BSTR, VARIANT*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE PutEx(LONG, BSTR, VARIANT) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE GetInfoEx(VARIANT, LONG) override { return E_NOTIMPL; }

  int setInfoCalls = 0;

 private:
  std::map<std::string, unique_variant> properties_;
  std::map<std::string, HRESULT> failures_;
  std::map<std::string, int> gets_;
};

// A container whose Create answers `createResult` and, when that succeeds, hands out `created`.
class FakeAdsContainer : public IADsContainer, public Counted {
 public:
  HRESULT createResult = S_OK;
  IUnknown* created = nullptr;  // not owned
  int creates = 0;
  std::string lastClass;
  std::string lastName;

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override;
  ULONG STDMETHODCALLTYPE AddRef() override { return Up(); }
  ULONG STDMETHODCALLTYPE Release() override { return Down(); }
  ZOV_FAKE_DISPATCH
  HRESULT STDMETHODCALLTYPE get_Count(LONG*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE get__NewEnum(IUnknown**) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE get_Filter(VARIANT*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE put_Filter(VARIANT) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE get_Hints(VARIANT*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE put_Hints(VARIANT) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE GetObject(BSTR, BSTR, IDispatch**) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE Create(BSTR className, BSTR relativeName, IDispatch** object) override;
  HRESULT STDMETHODCALLTYPE Delete(BSTR, BSTR) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE CopyHere(BSTR, BSTR, IDispatch**) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE MoveHere(BSTR, BSTR, IDispatch**) override { return E_NOTIMPL; }
};

// ---- domain object --------------------------------------------------------------------------

// The domain object's file stream: hands out queued pieces, then empty ones.
class FakeDomainFile : public ITeskDomainFile, public Counted {
 public:
  void AddPiece(const std::string& bytes) { AddValue(Bytes(bytes)); }
  void AddValue(unique_variant value);
  void AddFailure(HRESULT result);

  HRESULT openResult = S_OK;
  int opens = 0;
  int reads = 0;
  int closes = 0;
  std::string lastPath;
  LONG lastMode = 0;

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override;
  ULONG STDMETHODCALLTYPE AddRef() override { return Up(); }
  ULONG STDMETHODCALLTYPE Release() override { return Down(); }
  HRESULT STDMETHODCALLTYPE Open(BSTR path, LONG mode) override;
  HRESULT STDMETHODCALLTYPE Read(VARIANT* piece) override;
  HRESULT STDMETHODCALLTYPE Close() override {
    ++closes;
    return S_OK;
  }

 private:
  struct Piece {
    HRESULT result;
    unique_variant value;
  };
  std::deque<Piece> pieces_;
};

// ---- NC variable object ---------------------------------------------------------------------

// One NC's variable object: answers configured variables; any other variable reads with a bad
// status. Checks the form of every request.
class FakeTeskVar : public ITeskVar, public Counted {
 public:
  struct Answer {
    HRESULT result = S_OK;
    SHORT status = 192;
    std::vector<SHORT> value;  // handed out as VT_ARRAY|VT_I2
  };
  void Answer16(const std::string& path, SHORT value, SHORT status = 192);
  void FailRead(const std::string& path, HRESULT result);
  int Reads(const std::string& path) const;
  int totalReads() const;
  // Requests whose names, attributes or flags were not of the agreed form.
  int malformed = 0;

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override;
  ULONG STDMETHODCALLTYPE AddRef() override { return Up(); }
  ULONG STDMETHODCALLTYPE Release() override { return Down(); }
  ZOV_FAKE_DISPATCH
  HRESULT STDMETHODCALLTYPE Read(VARIANT names, VARIANT* attributes, LONG flags, VARIANT* values,
                                 VARIANT* errors, VARIANT* status) override;

 private:
  std::map<std::string, Answer> answers_;
  std::map<std::string, int> reads_;
};

}  // namespace zov::test
