// The owners all project code uses: each releases what it holds exactly once, attach and detach
// pass ownership, moving leaves the source empty. Interface references are counted by a test
// object; strings are checked by AddressSanitizer natively.
#include <gtest/gtest.h>

#include <string>
#include <utility>

#include "counted_object.h"
#include "scratch.h"
#include "zov/com_ptr.h"
#include "zov/unique_bstr.h"
#include "zov/unique_safearray.h"
#include "zov/unique_variant.h"
#include "zov/win32.h"

namespace {

using WString = std::basic_string<WCHAR>;
using zov::test::CountedObject;

WString Text(BSTR b) { return b ? WString(b, SysStringLen(b)) : WString(); }

TEST(UniqueBstr, OwnsAndPassesOwnership) {
  zov::unique_bstr empty;
  EXPECT_EQ(empty.get(), nullptr);
  EXPECT_EQ(empty.length(), 0u);

  zov::unique_bstr text(SysAllocString(OLESTR("hello")));
  EXPECT_EQ(text.length(), 5u);

  zov::unique_bstr moved(std::move(text));
  EXPECT_EQ(text.get(), nullptr);
  EXPECT_EQ(Text(moved.get()), WString(OLESTR("hello")));

  BSTR raw = moved.detach();
  EXPECT_EQ(moved.get(), nullptr);
  moved.attach(raw);
  EXPECT_EQ(moved.get(), raw);
  moved.attach(raw);  // attaching what is already held keeps it
  EXPECT_EQ(Text(moved.get()), WString(OLESTR("hello")));

  zov::unique_bstr assigned(SysAllocString(OLESTR("old")));
  assigned = std::move(moved);  // frees "old"
  EXPECT_EQ(Text(assigned.get()), WString(OLESTR("hello")));
  EXPECT_EQ(moved.get(), nullptr);
}

TEST(UniqueBstr, PutFreesFirst) {
  zov::unique_bstr out(SysAllocString(OLESTR("old")));
  BSTR* slot = out.put();
  EXPECT_EQ(*slot, nullptr);
  *slot = SysAllocString(OLESTR("new"));
  EXPECT_EQ(Text(out.get()), WString(OLESTR("new")));
  out.reset();
  EXPECT_EQ(out.get(), nullptr);
}

VARIANT HoldingObject(CountedObject* object) {
  VARIANT v;
  v.vt = VT_UNKNOWN;
  v.punkVal = object;
  object->AddRef();
  return v;
}

TEST(UniqueVariant, ReleasesWhatItHoldsOnce) {
  CountedObject object;
  {
    zov::unique_variant v;
    EXPECT_EQ(v.get()->vt, VT_EMPTY);
    VARIANT raw = HoldingObject(&object);
    v.attach(&raw);
    EXPECT_EQ(raw.vt, VT_EMPTY) << "attach takes the contents";
    EXPECT_EQ(v.get()->punkVal, static_cast<IUnknown*>(&object));
    EXPECT_EQ(object.references(), 2);

    zov::unique_variant moved(std::move(v));
    EXPECT_EQ(v.get()->vt, VT_EMPTY);
    EXPECT_EQ(object.references(), 2);

    zov::unique_variant assigned;
    assigned = std::move(moved);
    EXPECT_EQ(moved.get()->vt, VT_EMPTY);
    EXPECT_EQ(object.references(), 2);
  }
  EXPECT_EQ(object.references(), 1);
}

TEST(UniqueVariant, PutClearsAndDetachHandsOver) {
  CountedObject object;
  zov::unique_variant v;
  VARIANT raw = HoldingObject(&object);
  v.attach(&raw);

  VARIANT* out = v.put();
  EXPECT_EQ(out->vt, VT_EMPTY);
  EXPECT_EQ(object.references(), 1);

  VARIANT again = HoldingObject(&object);
  v.attach(&again);
  VARIANT result;
  v.detach(&result);
  EXPECT_EQ(v.get()->vt, VT_EMPTY);
  EXPECT_EQ(result.vt, VT_UNKNOWN);
  EXPECT_EQ(object.references(), 2);
  zov::unique_variant owner;
  owner.attach(&result);  // and back into an owner, which releases it
  owner.put();
  EXPECT_EQ(object.references(), 1);
}

TEST(UniqueVariant, FilledThroughAnApiFunction) {
  zov::unique_variant source;
  source.get()->vt = VT_I4;
  source.get()->lVal = 42;
  zov::unique_variant text;
  EXPECT_EQ(VariantChangeType(text.put(), source.get(), 0, VT_BSTR), S_OK);
  EXPECT_EQ(Text(text.get()->bstrVal), WString(OLESTR("42")));
}

SAFEARRAY* ArrayHolding(CountedObject* object) {
  SAFEARRAY* psa = SafeArrayCreateVector(VT_UNKNOWN, 0, 1);
  LONG index = 0;
  SafeArrayPutElement(psa, &index, static_cast<IUnknown*>(object));
  return psa;
}

TEST(UniqueSafeArray, DestroysOnce) {
  CountedObject object;
  {
    zov::unique_safearray array(ArrayHolding(&object));
    ASSERT_NE(array.get(), nullptr);
    EXPECT_EQ(object.references(), 2);

    zov::unique_safearray moved(std::move(array));
    EXPECT_EQ(array.get(), nullptr);

    SAFEARRAY* raw = moved.detach();
    EXPECT_EQ(moved.get(), nullptr);
    EXPECT_EQ(object.references(), 2);
    moved.attach(raw);

    zov::unique_safearray other(ArrayHolding(&object));
    EXPECT_EQ(object.references(), 3);
    other = std::move(moved);  // destroys the array other held
    EXPECT_EQ(object.references(), 2);
  }
  EXPECT_EQ(object.references(), 1);
}

TEST(UniqueSafeArray, PutDestroysFirst) {
  CountedObject object;
  zov::unique_safearray array(ArrayHolding(&object));
  SAFEARRAY** slot = array.put();
  EXPECT_EQ(*slot, nullptr);
  EXPECT_EQ(object.references(), 1);
  *slot = ArrayHolding(&object);
  EXPECT_EQ(object.references(), 2);
  array.reset();
  EXPECT_EQ(object.references(), 1);
}

// What each operation does to the object's reference count (the test holds one reference): the
// count while the com_ptrs live, and back to one after.
TEST(ComPtr, ReferenceCounting) {
  CountedObject object;
  const struct {
    const char* name;
    LONG (*operation)(CountedObject*);  // returns the count seen while its com_ptrs live
    LONG during;
  } rows[] = {
      {"copy_from adds one", [](CountedObject* o) {
         zov::com_ptr<IUnknown> p;
         p.copy_from(o);
         return o->references();
       }, 2},
      {"attach adds none", [](CountedObject* o) {
         o->AddRef();
         zov::com_ptr<IUnknown> p;
         p.attach(o);
         return o->references();
       }, 2},
      {"copy adds one", [](CountedObject* o) {
         zov::com_ptr<IUnknown> p;
         p.copy_from(o);
         zov::com_ptr<IUnknown> q(p);
         return o->references();
       }, 3},
      {"copy assignment adds one", [](CountedObject* o) {
         zov::com_ptr<IUnknown> p;
         p.copy_from(o);
         zov::com_ptr<IUnknown> q;
         q = p;
         return o->references();
       }, 3},
      {"move adds none", [](CountedObject* o) {
         zov::com_ptr<IUnknown> p;
         p.copy_from(o);
         zov::com_ptr<IUnknown> q(std::move(p));
         return o->references();
       }, 2},
      {"copy_from what is held", [](CountedObject* o) {
         zov::com_ptr<IUnknown> p;
         p.copy_from(o);
         p.copy_from(p.get());
         return o->references();
       }, 2},
      {"assignment to itself", [](CountedObject* o) {
         zov::com_ptr<IUnknown> p;
         p.copy_from(o);
         zov::com_ptr<IUnknown>& alias = p;
         p = alias;
         return o->references();
       }, 2},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    EXPECT_EQ(row.operation(&object), row.during);
    EXPECT_EQ(object.references(), 1) << "every reference taken is released";
  }
}

TEST(ComPtr, AttachDetachPutAndReset) {
  CountedObject object;
  zov::com_ptr<IDispatch> p;
  EXPECT_FALSE(p);
  p.copy_from(&object);
  EXPECT_TRUE(p);
  EXPECT_EQ(p.get(), static_cast<IDispatch*>(&object));
  EXPECT_EQ(object.references(), 2);

  IDispatch* raw = p.detach();
  EXPECT_FALSE(p);
  EXPECT_EQ(object.references(), 2);
  p.attach(raw);
  EXPECT_EQ(object.references(), 2);

  IDispatch** slot = p.put();
  EXPECT_EQ(*slot, nullptr);
  EXPECT_EQ(object.references(), 1);
  EXPECT_EQ(object.QueryInterface(IID_IDispatch, p.put_void()), S_OK);
  EXPECT_EQ(object.references(), 2);
  UINT count = 99;
  EXPECT_EQ(p->GetTypeInfoCount(&count), S_OK);
  p.reset();
  EXPECT_EQ(object.references(), 1);

  zov::com_ptr<IDispatch> assigned;
  assigned.copy_from(&object);
  zov::com_ptr<IDispatch> other;
  other.copy_from(&object);
  EXPECT_EQ(object.references(), 3);
  assigned = std::move(other);
  EXPECT_EQ(object.references(), 2);
  assigned = nullptr;
  EXPECT_EQ(object.references(), 1);
}

TEST(ComPtr, Query) {
  CountedObject object;
  zov::com_ptr<IUnknown> unknown;
  unknown.copy_from(&object);

  zov::com_ptr<IDispatch> dispatch = unknown.query<IDispatch>(IID_IDispatch);
  EXPECT_TRUE(dispatch);
  EXPECT_EQ(object.references(), 3);

  IDispatch* raw = reinterpret_cast<IDispatch*>(1);
  EXPECT_EQ(unknown.query(IID_IDispatch, &raw), S_OK);
  EXPECT_EQ(object.references(), 4);
  zov::com_ptr<IDispatch> owner;
  owner.attach(raw);

  CountedObject plain(false);
  zov::com_ptr<IUnknown> notDispatch;
  notDispatch.copy_from(&plain);
  EXPECT_FALSE(notDispatch.query<IDispatch>(IID_IDispatch));
  EXPECT_EQ(notDispatch.query(IID_IDispatch, &raw), E_NOINTERFACE);
  EXPECT_EQ(raw, nullptr);

  zov::com_ptr<IUnknown> empty;
  EXPECT_EQ(empty.query(IID_IDispatch, &raw), E_POINTER);
  EXPECT_FALSE(empty.query<IDispatch>(IID_IDispatch));
}

}  // namespace
