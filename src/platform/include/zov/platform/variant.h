// VARIANT with the Windows layout (24 bytes on x86_64) and the functions that manage its contents.
#pragma once

#include "zov/platform/types.h"

struct IUnknown;
struct IDispatch;
struct IRecordInfo;
struct tagSAFEARRAY;

enum VARENUM {
  VT_EMPTY = 0, VT_NULL = 1, VT_I2 = 2, VT_I4 = 3, VT_R4 = 4, VT_R8 = 5, VT_CY = 6, VT_DATE = 7,
  VT_BSTR = 8, VT_DISPATCH = 9, VT_ERROR = 10, VT_BOOL = 11, VT_VARIANT = 12, VT_UNKNOWN = 13,
  VT_DECIMAL = 14, VT_I1 = 16, VT_UI1 = 17, VT_UI2 = 18, VT_UI4 = 19, VT_I8 = 20, VT_UI8 = 21,
  VT_INT = 22, VT_UINT = 23, VT_VOID = 24, VT_HRESULT = 25, VT_PTR = 26, VT_SAFEARRAY = 27,
  VT_CARRAY = 28, VT_USERDEFINED = 29, VT_LPSTR = 30, VT_LPWSTR = 31, VT_RECORD = 36,
  VT_VECTOR = 0x1000, VT_ARRAY = 0x2000, VT_BYREF = 0x4000, VT_RESERVED = 0x8000,
  VT_ILLEGAL = 0xffff, VT_ILLEGALMASKED = 0xfff, VT_TYPEMASK = 0xfff
};

typedef struct tagVARIANT VARIANT;
typedef VARIANT VARIANTARG;
typedef VARIANT* LPVARIANT;
typedef VARIANT* LPVARIANTARG;

struct tagVARIANT {
  union {
    struct {
      VARTYPE vt;
      WORD wReserved1;
      WORD wReserved2;
      WORD wReserved3;
      union {
        LONGLONG llVal;
        LONG lVal;
        BYTE bVal;
        SHORT iVal;
        FLOAT fltVal;
        DOUBLE dblVal;
        VARIANT_BOOL boolVal;
        SCODE scode;
        CY cyVal;
        DATE date;
        BSTR bstrVal;
        IUnknown* punkVal;
        IDispatch* pdispVal;
        tagSAFEARRAY* parray;
        BYTE* pbVal;
        SHORT* piVal;
        LONG* plVal;
        LONGLONG* pllVal;
        FLOAT* pfltVal;
        DOUBLE* pdblVal;
        VARIANT_BOOL* pboolVal;
        SCODE* pscode;
        CY* pcyVal;
        DATE* pdate;
        BSTR* pbstrVal;
        IUnknown** ppunkVal;
        IDispatch** ppdispVal;
        tagSAFEARRAY** pparray;
        VARIANT* pvarVal;
        PVOID byref;
        CHAR cVal;
        USHORT uiVal;
        ULONG ulVal;
        ULONGLONG ullVal;
        INT intVal;
        UINT uintVal;
        DECIMAL* pdecVal;
        CHAR* pcVal;
        USHORT* puiVal;
        ULONG* pulVal;
        ULONGLONG* pullVal;
        INT* pintVal;
        UINT* puintVal;
        struct {
          PVOID pvRecord;
          IRecordInfo* pRecInfo;
        };
      };
    };
    DECIMAL decVal;
  };
};
static_assert(sizeof(VARIANT) == 8 + 2 * sizeof(void*), "VARIANT layout");

#define V_VT(X) ((X)->vt)
#define V_ISBYREF(X) (V_VT(X) & VT_BYREF)
#define V_ISARRAY(X) (V_VT(X) & VT_ARRAY)
#define V_UI1(X) ((X)->bVal)
#define V_I2(X) ((X)->iVal)
#define V_I4(X) ((X)->lVal)
#define V_BOOL(X) ((X)->boolVal)
#define V_ERROR(X) ((X)->scode)
#define V_BSTR(X) ((X)->bstrVal)
#define V_UNKNOWN(X) ((X)->punkVal)
#define V_DISPATCH(X) ((X)->pdispVal)
#define V_ARRAY(X) ((X)->parray)
#define V_BYREF(X) ((X)->byref)
#define V_I2REF(X) ((X)->piVal)
#define V_I4REF(X) ((X)->plVal)
#define V_BSTRREF(X) ((X)->pbstrVal)
#define V_VARIANTREF(X) ((X)->pvarVal)
#define V_ARRAYREF(X) ((X)->pparray)

// VariantChangeType flags.
#define VARIANT_NOVALUEPROP 0x01
#define VARIANT_ALPHABOOL 0x02
#define VARIANT_NOUSEROVERRIDE 0x04
#define VARIANT_LOCALBOOL 0x10

extern "C" {
// Sets vt to VT_EMPTY; touches nothing else.
void WINAPI VariantInit(VARIANTARG* pvarg);
// Frees what the VARIANT owns (BSTR, interface reference, SAFEARRAY; nothing for VT_BYREF) and sets
// it to VT_EMPTY. DISP_E_BADVARTYPE for a type Windows does not allow in a VARIANT (VT_EMPTY or
// VT_NULL with VT_BYREF or VT_ARRAY, VT_VECTOR, VT_VOID, VT_HRESULT, ...), and for VT_RECORD,
// which needs IRecordInfo that the layer does not have. DISP_E_ARRAYISLOCKED for a locked array:
// the VARIANT then stays as it was (Wine empties it and loses the array).
HRESULT WINAPI VariantClear(VARIANTARG* pvarg);
// Clears the destination, then makes a deep copy (a BSTR of the same byte length, AddRef,
// SafeArrayCopy). A VT_BYREF source is copied as the reference. Source and destination may be
// the same VARIANT (S_OK, nothing done). VT_RECORD: DISP_E_BADVARTYPE.
HRESULT WINAPI VariantCopy(VARIANTARG* pvargDest, const VARIANTARG* pvargSrc);
// Like VariantCopy, but a VT_BYREF source is copied as the value it refers to; through a
// VT_VARIANT reference the VARIANT found is dereferenced once more, and a VT_VARIANT reference to
// another VT_VARIANT reference is E_INVALIDARG, as on Windows.
HRESULT WINAPI VariantCopyInd(VARIANT* pvarDest, const VARIANTARG* pvargSrc);
// Converts after dereferencing a VT_BYREF source (a null reference: DISP_E_TYPEMISMATCH). On
// failure the destination is untouched; source and destination may be the same VARIANT.
//   To VT_I2, VT_I4, VT_UI1, VT_BOOL and VT_BSTR from VT_EMPTY (0, False, ""), VT_I2, VT_I4,
//   VT_UI1, VT_BOOL (-1/0; to VT_UI1 VARIANT_TRUE is 255; to text "-1"/"0", or "True"/"False"
//   with VARIANT_ALPHABOOL or VARIANT_LOCALBOOL), VT_R4 and VT_R8 (rounded half to even; not to
//   text), VT_BSTR, and VT_DISPATCH, whose default member (DISPID_VALUE, property get) is read
//   and converted, unless VARIANT_NOVALUEPROP (a null VT_DISPATCH: DISP_E_BADVARTYPE).
//   Text is read as oleaut32 reads it in locale 0x409: blanks around; a sign before or after,
//   or parentheses; "$"; "," between digits; a decimal point and an exponent (the value is
//   rounded half to even); "&H" and "&O" values, which fill the target's width ("&HFFFF" is -1
//   as VT_I2). To VT_BOOL also "True"/"False" in any case and "#TRUE#"/"#FALSE#", and numbers,
//   nonzero being True. A few rarer forms Windows accepts (two signs, "$" after the sign's place)
//   are refused. Out of the target's range: DISP_E_OVERFLOW; not a number: DISP_E_TYPEMISMATCH.
//   To VT_EMPTY and VT_NULL from anything but VT_ERROR (and VT_NULL to VT_EMPTY); VT_ERROR only
//   to itself; VT_DISPATCH and VT_UNKNOWN to each other by QueryInterface (its error returned).
// Not supported, with DISP_E_TYPEMISMATCH: floating, currency, date and decimal targets, the
// other integer types, VT_ARRAY conversions (Windows turns VT_UI1 arrays into text and back),
// reals to text, and text in locales other than U.S. English and the default locales (Windows
// reads it with that locale's separators) or localised boolean names.
HRESULT WINAPI VariantChangeType(VARIANTARG* pvargDest, const VARIANTARG* pvarSrc, USHORT wFlags,
                                 VARTYPE vt);
HRESULT WINAPI VariantChangeTypeEx(VARIANTARG* pvargDest, const VARIANTARG* pvarSrc, LCID lcid,
                                   USHORT wFlags, VARTYPE vt);
}
