// SAFEARRAY: the descriptor as Windows lays it out, bounds, element order, locking, and the
// ownership of BSTR, VARIANT and interface elements. The raw functions are called on purpose.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "counted_object.h"
#include "scratch.h"
#include "zov/win32.h"

namespace {

using WString = std::basic_string<WCHAR>;
using zov::test::CountedObject;

constexpr USHORT kTypeFeatures = FADF_HAVEVARTYPE | FADF_HAVEIID | FADF_BSTR | FADF_VARIANT | FADF_UNKNOWN |
                                 FADF_DISPATCH;

DWORD StoredVartype(SAFEARRAY* psa) {
  DWORD vt;
  std::memcpy(&vt, reinterpret_cast<const char*>(psa) - 4, sizeof(vt));
  return vt;
}

GUID StoredIid(SAFEARRAY* psa) {
  GUID iid;
  std::memcpy(&iid, reinterpret_cast<const char*>(psa) - 16, sizeof(iid));
  return iid;
}

struct TypeCase {
  VARTYPE vt;
  ULONG elementSize;
  USHORT features;
};

// The element size, the features and where the type is kept, for every element type.
TEST(SafeArray, TypesAndFeatures) {
  const TypeCase cases[] = {
      {VT_UI1, 1, FADF_HAVEVARTYPE},
      {VT_I2, 2, FADF_HAVEVARTYPE},
      {VT_I4, 4, FADF_HAVEVARTYPE},
      {VT_BOOL, 2, FADF_HAVEVARTYPE},
      {VT_ERROR, 4, FADF_HAVEVARTYPE},
      {VT_R8, 8, FADF_HAVEVARTYPE},
      {VT_BSTR, sizeof(BSTR), FADF_HAVEVARTYPE | FADF_BSTR},
      {VT_VARIANT, sizeof(VARIANT), FADF_HAVEVARTYPE | FADF_VARIANT},
      {VT_UNKNOWN, sizeof(IUnknown*), FADF_HAVEIID | FADF_UNKNOWN},
      {VT_DISPATCH, sizeof(IDispatch*), FADF_HAVEIID | FADF_DISPATCH},
  };
  for (const TypeCase& c : cases) {
    SCOPED_TRACE(c.vt);
    SAFEARRAYBOUND bound = {3, 0};
    SAFEARRAY* arrays[2] = {SafeArrayCreate(c.vt, 1, &bound), SafeArrayCreateVector(c.vt, 0, 3)};
    for (SAFEARRAY* psa : arrays) {
      ASSERT_NE(psa, nullptr);
      EXPECT_EQ(psa->cbElements, c.elementSize);
      EXPECT_EQ(SafeArrayGetElemsize(psa), c.elementSize);
      EXPECT_EQ(psa->fFeatures & kTypeFeatures, c.features);
      EXPECT_EQ(psa->cLocks, 0u);
      EXPECT_NE(psa->pvData, nullptr);
      VARTYPE vt = 0;
      EXPECT_EQ(SafeArrayGetVartype(psa, &vt), S_OK);
      EXPECT_EQ(vt, c.vt);
      if (c.features & FADF_HAVEVARTYPE) {
        EXPECT_EQ(StoredVartype(psa), c.vt);
      } else {
        EXPECT_TRUE(IsEqualGUID(StoredIid(psa), c.vt == VT_DISPATCH ? IID_IDispatch : IID_IUnknown));
      }
      EXPECT_EQ(SafeArrayDestroy(psa), S_OK);
    }
  }
}

TEST(SafeArray, TypesThatMakeNoArray) {
  SAFEARRAYBOUND bound = {3, 0};
  const VARTYPE none[] = {VT_EMPTY, VT_NULL, 0x7F};
  for (VARTYPE vt : none) {
    EXPECT_EQ(SafeArrayCreate(vt, 1, &bound), nullptr) << vt;
    EXPECT_EQ(SafeArrayCreateVector(vt, 0, 3), nullptr) << vt;
  }
  EXPECT_EQ(SafeArrayCreate(VT_I4, 0, &bound), nullptr);
}

// Dimensions are given leftmost first and stored the other way round.
TEST(SafeArray, BoundsAreStoredReversed) {
  SAFEARRAYBOUND bounds[2] = {{3, 1}, {2, -1}};
  SAFEARRAY* psa = SafeArrayCreate(VT_I4, 2, bounds);
  ASSERT_NE(psa, nullptr);
  EXPECT_EQ(SafeArrayGetDim(psa), 2u);
  EXPECT_EQ(psa->rgsabound[0].cElements, 2u);
  EXPECT_EQ(psa->rgsabound[0].lLbound, -1);
  EXPECT_EQ(psa->rgsabound[1].cElements, 3u);
  EXPECT_EQ(psa->rgsabound[1].lLbound, 1);

  const struct {
    UINT dim;
    HRESULT hr;
    LONG lower, upper;
  } rows[] = {{1, S_OK, 1, 3}, {2, S_OK, -1, 0}, {0, DISP_E_BADINDEX, 0, 0}, {3, DISP_E_BADINDEX, 0, 0}};
  for (const auto& row : rows) {
    LONG lower = 99, upper = 99;
    EXPECT_EQ(SafeArrayGetLBound(psa, row.dim, &lower), row.hr) << row.dim;
    EXPECT_EQ(SafeArrayGetUBound(psa, row.dim, &upper), row.hr) << row.dim;
    if (row.hr == S_OK) {
      EXPECT_EQ(lower, row.lower);
      EXPECT_EQ(upper, row.upper);
    }
  }
  EXPECT_EQ(SafeArrayDestroy(psa), S_OK);
}

TEST(SafeArray, EmptyAndNegativeBounds) {
  SAFEARRAY* empty = SafeArrayCreateVector(VT_I4, 0, 0);
  ASSERT_NE(empty, nullptr);
  LONG lower = 99, upper = 99;
  EXPECT_EQ(SafeArrayGetLBound(empty, 1, &lower), S_OK);
  EXPECT_EQ(SafeArrayGetUBound(empty, 1, &upper), S_OK);
  EXPECT_EQ(lower, 0);
  EXPECT_EQ(upper, -1);
  EXPECT_EQ(SafeArrayDestroy(empty), S_OK);

  SAFEARRAYBOUND bound = {5, -3};
  SAFEARRAY* negative = SafeArrayCreate(VT_I2, 1, &bound);
  EXPECT_EQ(SafeArrayGetLBound(negative, 1, &lower), S_OK);
  EXPECT_EQ(SafeArrayGetUBound(negative, 1, &upper), S_OK);
  EXPECT_EQ(lower, -3);
  EXPECT_EQ(upper, 1);
  EXPECT_EQ(SafeArrayDestroy(negative), S_OK);
}

// The first index varies fastest; every index is checked against its own dimension.
TEST(SafeArray, ElementOrderAndIndexChecks) {
  SAFEARRAYBOUND bounds[2] = {{3, 1}, {2, -1}};
  SAFEARRAY* psa = SafeArrayCreate(VT_I4, 2, bounds);
  ASSERT_NE(psa, nullptr);
  const struct {
    LONG first, second;
    HRESULT hr;
    int slot;  // where the value lands
  } rows[] = {
      {1, -1, S_OK, 0}, {2, -1, S_OK, 1}, {3, -1, S_OK, 2}, {1, 0, S_OK, 3}, {3, 0, S_OK, 5},
      {0, 0, DISP_E_BADINDEX, -1}, {4, 0, DISP_E_BADINDEX, -1}, {1, -2, DISP_E_BADINDEX, -1},
      {1, 1, DISP_E_BADINDEX, -1},
  };
  LONG value = 100;
  for (const auto& row : rows) {
    SCOPED_TRACE(std::to_string(row.first) + "," + std::to_string(row.second));
    LONG indices[2] = {row.first, row.second};
    ++value;
    EXPECT_EQ(SafeArrayPutElement(psa, indices, &value), row.hr);
    LONG back = -1;
    EXPECT_EQ(SafeArrayGetElement(psa, indices, &back), row.hr);
    if (row.hr == S_OK) {
      EXPECT_EQ(back, value);
      EXPECT_EQ(static_cast<LONG*>(psa->pvData)[row.slot], value);
    } else {
      EXPECT_EQ(back, -1);
    }
  }
  EXPECT_EQ(SafeArrayDestroy(psa), S_OK);
}

TEST(SafeArray, LockingAndAccess) {
  SAFEARRAY* psa = SafeArrayCreateVector(VT_I4, 0, 2);
  ASSERT_NE(psa, nullptr);
  void* data = nullptr;
  EXPECT_EQ(SafeArrayAccessData(psa, &data), S_OK);
  EXPECT_EQ(data, psa->pvData);
  EXPECT_EQ(psa->cLocks, 1u);
  EXPECT_EQ(SafeArrayDestroy(psa), DISP_E_ARRAYISLOCKED);

  LONG index = 1, value = 5;
  EXPECT_EQ(SafeArrayPutElement(psa, &index, &value), S_OK) << "elements may be written while locked";
  EXPECT_EQ(static_cast<LONG*>(data)[1], 5);
  EXPECT_EQ(SafeArrayLock(psa), S_OK);
  EXPECT_EQ(psa->cLocks, 2u);
  EXPECT_EQ(SafeArrayUnlock(psa), S_OK);
  EXPECT_EQ(SafeArrayUnaccessData(psa), S_OK);
  EXPECT_EQ(psa->cLocks, 0u);
  EXPECT_EQ(SafeArrayUnlock(psa), E_UNEXPECTED);
  EXPECT_EQ(SafeArrayUnaccessData(psa), E_UNEXPECTED);

  psa->cLocks = 0xFFFF;
  EXPECT_EQ(SafeArrayLock(psa), E_UNEXPECTED);
  EXPECT_EQ(psa->cLocks, 0xFFFFu);
  psa->cLocks = 0;
  EXPECT_EQ(SafeArrayDestroy(psa), S_OK);
}

TEST(SafeArray, NullArrays) {
  VARTYPE vt;
  LONG bound;
  void* data;
  EXPECT_EQ(SafeArrayDestroy(nullptr), S_OK);
  EXPECT_EQ(SafeArrayGetDim(nullptr), 0u);
  EXPECT_EQ(SafeArrayGetElemsize(nullptr), 0u);
  EXPECT_EQ(SafeArrayGetVartype(nullptr, &vt), E_INVALIDARG);
  EXPECT_EQ(SafeArrayGetLBound(nullptr, 1, &bound), E_INVALIDARG);
  EXPECT_EQ(SafeArrayLock(nullptr), E_INVALIDARG);
  EXPECT_EQ(SafeArrayAccessData(nullptr, &data), E_INVALIDARG);
  SAFEARRAY* copy = reinterpret_cast<SAFEARRAY*>(1);
  EXPECT_EQ(SafeArrayCopy(nullptr, &copy), S_OK);
  EXPECT_EQ(copy, nullptr);
}

TEST(SafeArray, TextElementsAreCopiedInAndOut) {
  SAFEARRAY* psa = SafeArrayCreateVector(VT_BSTR, 0, 2);
  ASSERT_NE(psa, nullptr);
  BSTR* slots = static_cast<BSTR*>(psa->pvData);
  LONG first = 0, second = 1;

  BSTR odd = SysAllocStringByteLen("abc", 3);
  EXPECT_EQ(SafeArrayPutElement(psa, &first, odd), S_OK);
  EXPECT_NE(slots[0], odd) << "the array keeps a copy of its own";
  EXPECT_EQ(SysStringByteLen(slots[0]), 3u);
  SysFreeString(odd);

  BSTR replacement = SysAllocString(OLESTR("replaced"));
  EXPECT_EQ(SafeArrayPutElement(psa, &first, replacement), S_OK);  // frees the old copy
  SysFreeString(replacement);

  BSTR out = nullptr;
  EXPECT_EQ(SafeArrayGetElement(psa, &first, &out), S_OK);
  EXPECT_NE(out, slots[0]);
  EXPECT_EQ(WString(out, SysStringLen(out)), WString(OLESTR("replaced")));
  SysFreeString(out);

  out = SysAllocString(OLESTR("unset"));
  BSTR previous = out;
  EXPECT_EQ(SafeArrayGetElement(psa, &second, &out), S_OK);
  EXPECT_EQ(out, nullptr) << "an element never set is a null BSTR";
  SysFreeString(previous);

  SAFEARRAY* copy = nullptr;
  EXPECT_EQ(SafeArrayCopy(psa, &copy), S_OK);
  ASSERT_NE(copy, nullptr);
  EXPECT_EQ(copy->fFeatures & kTypeFeatures, FADF_HAVEVARTYPE | FADF_BSTR);
  BSTR copied = static_cast<BSTR*>(copy->pvData)[0];
  EXPECT_NE(copied, slots[0]);
  EXPECT_EQ(WString(copied, SysStringLen(copied)), WString(OLESTR("replaced")));
  EXPECT_EQ(SafeArrayDestroy(copy), S_OK);
  EXPECT_EQ(SafeArrayDestroy(psa), S_OK);  // frees the elements too
}

TEST(SafeArray, InterfaceElementsAreReferenced) {
  CountedObject first, second;
  SAFEARRAY* psa = SafeArrayCreateVector(VT_UNKNOWN, 0, 2);
  ASSERT_NE(psa, nullptr);
  LONG index = 0;
  EXPECT_EQ(SafeArrayPutElement(psa, &index, static_cast<IUnknown*>(&first)), S_OK);
  EXPECT_EQ(first.references(), 2);
  EXPECT_EQ(SafeArrayPutElement(psa, &index, static_cast<IUnknown*>(&second)), S_OK);
  EXPECT_EQ(first.references(), 1) << "the replaced element is released";
  EXPECT_EQ(second.references(), 2);

  IUnknown* out = nullptr;
  EXPECT_EQ(SafeArrayGetElement(psa, &index, &out), S_OK);
  EXPECT_EQ(out, static_cast<IUnknown*>(&second));
  EXPECT_EQ(second.references(), 3);
  out->Release();

  SAFEARRAY* copy = nullptr;
  EXPECT_EQ(SafeArrayCopy(psa, &copy), S_OK);
  EXPECT_EQ(second.references(), 3);
  EXPECT_EQ(SafeArrayDestroy(copy), S_OK);
  EXPECT_EQ(second.references(), 2);

  SAFEARRAY* locked = nullptr;
  EXPECT_EQ(SafeArrayLock(psa), S_OK);
  EXPECT_EQ(SafeArrayCopy(psa, &locked), S_OK);
  EXPECT_EQ(locked->cLocks, 0u) << "a copy starts unlocked";
  EXPECT_EQ(SafeArrayDestroy(locked), S_OK);
  EXPECT_EQ(SafeArrayUnlock(psa), S_OK);

  EXPECT_EQ(SafeArrayDestroy(psa), S_OK);
  EXPECT_EQ(second.references(), 1);
}

TEST(SafeArray, VariantElementsAreCopiedAndCleared) {
  CountedObject object;
  SAFEARRAY* psa = SafeArrayCreateVector(VT_VARIANT, 1, 2);
  ASSERT_NE(psa, nullptr);
  VARIANT in;
  in.vt = VT_UNKNOWN;
  in.punkVal = &object;
  LONG index = 2;
  EXPECT_EQ(SafeArrayPutElement(psa, &index, &in), S_OK);
  EXPECT_EQ(object.references(), 2);

  VARIANT text;
  text.vt = VT_BSTR;
  text.bstrVal = SysAllocString(OLESTR("text"));
  LONG other = 1;
  EXPECT_EQ(SafeArrayPutElement(psa, &other, &text), S_OK);
  EXPECT_NE(static_cast<VARIANT*>(psa->pvData)[0].bstrVal, text.bstrVal);
  EXPECT_EQ(VariantClear(&text), S_OK);

  VARIANT out;
  out.vt = VT_I4;  // whatever the caller's VARIANT held is not cleared
  out.lVal = 5;
  EXPECT_EQ(SafeArrayGetElement(psa, &index, &out), S_OK);
  EXPECT_EQ(out.vt, VT_UNKNOWN);
  EXPECT_EQ(object.references(), 3);
  EXPECT_EQ(VariantClear(&out), S_OK);

  EXPECT_EQ(SafeArrayDestroy(psa), S_OK);
  EXPECT_EQ(object.references(), 1);
}

}  // namespace
