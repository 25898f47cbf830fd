// SAFEARRAY with the Windows layout and the functions that create, walk and destroy it.
// Element types: VT_BSTR, VT_VARIANT, VT_UNKNOWN, VT_DISPATCH, which the array owns as on Windows
// (Destroy frees, clears and releases them), and the plain types VT_I1, VT_UI1, VT_I2, VT_UI2,
// VT_I4, VT_UI4, VT_INT, VT_UINT, VT_I8, VT_UI8, VT_BOOL, VT_ERROR, VT_R4, VT_R8, VT_CY, VT_DATE,
// VT_DECIMAL. VT_RECORD arrays and arrays of more than 2 GB are not made (null).
// As on Windows the element type is kept before the descriptor: interface arrays have
// FADF_HAVEIID with IID_IUnknown or IID_IDispatch in the 16 bytes before it, all others
// FADF_HAVEVARTYPE with the VARTYPE in the 4 bytes before it; FADF_BSTR, FADF_VARIANT,
// FADF_UNKNOWN and FADF_DISPATCH mark the owned kinds. Only arrays made by these functions are
// supported.
#pragma once

#include "zov/platform/types.h"
#include "zov/platform/variant.h"

typedef struct tagSAFEARRAYBOUND {
  ULONG cElements;
  LONG lLbound;
} SAFEARRAYBOUND;
typedef SAFEARRAYBOUND* LPSAFEARRAYBOUND;

typedef struct tagSAFEARRAY {
  USHORT cDims;
  USHORT fFeatures;
  ULONG cbElements;
  ULONG cLocks;
  PVOID pvData;
  SAFEARRAYBOUND rgsabound[1];
} SAFEARRAY;
typedef SAFEARRAY* LPSAFEARRAY;

#define FADF_AUTO 0x0001
#define FADF_STATIC 0x0002
#define FADF_EMBEDDED 0x0004
#define FADF_FIXEDSIZE 0x0010
#define FADF_RECORD 0x0020
#define FADF_HAVEIID 0x0040
#define FADF_HAVEVARTYPE 0x0080
#define FADF_BSTR 0x0100
#define FADF_UNKNOWN 0x0200
#define FADF_DISPATCH 0x0400
#define FADF_VARIANT 0x0800

extern "C" {
// rgsabound lists the dimensions from the leftmost (as written in Basic) to the rightmost; the
// array stores them reversed, as Windows does. Elements are zeroed; the leftmost index varies
// fastest. Null for an unsupported vt, no dimensions, or when memory runs out.
SAFEARRAY* WINAPI SafeArrayCreate(VARTYPE vt, UINT cDims, SAFEARRAYBOUND* rgsabound);
SAFEARRAY* WINAPI SafeArrayCreateVector(VARTYPE vt, LONG lLbound, ULONG cElements);
// Frees the elements it owns, then the array; DISP_E_ARRAYISLOCKED while locked. Null is S_OK.
HRESULT WINAPI SafeArrayDestroy(SAFEARRAY* psa);
// A deep copy (BSTRs of the same byte length, VariantCopy, AddRef), unlocked. A null psa gives a
// null copy and S_OK.
HRESULT WINAPI SafeArrayCopy(SAFEARRAY* psa, SAFEARRAY** ppsaOut);
UINT WINAPI SafeArrayGetDim(SAFEARRAY* psa);
UINT WINAPI SafeArrayGetElemsize(SAFEARRAY* psa);
HRESULT WINAPI SafeArrayGetVartype(SAFEARRAY* psa, VARTYPE* pvt);
// nDim counts from 1 (leftmost). DISP_E_BADINDEX for a dimension out of range.
HRESULT WINAPI SafeArrayGetLBound(SAFEARRAY* psa, UINT nDim, LONG* plLbound);
HRESULT WINAPI SafeArrayGetUBound(SAFEARRAY* psa, UINT nDim, LONG* plUbound);
// At most 65535 locks; more, or unlocking an unlocked array: E_UNEXPECTED.
HRESULT WINAPI SafeArrayLock(SAFEARRAY* psa);
HRESULT WINAPI SafeArrayUnlock(SAFEARRAY* psa);
HRESULT WINAPI SafeArrayAccessData(SAFEARRAY* psa, void** ppvData);
HRESULT WINAPI SafeArrayUnaccessData(SAFEARRAY* psa);
// rgIndices lists one index per dimension, leftmost first. pv points to the value, except for
// BSTR and interface arrays, where pv is the BSTR or the interface pointer itself. PutElement
// copies the value in (a BSTR of the same byte length, a null one as an empty string;
// VariantCopy; AddRef), freeing what the slot held; GetElement copies it out (into a VARIANT
// that is not cleared first). DISP_E_BADINDEX for an index out of bounds.
HRESULT WINAPI SafeArrayPutElement(SAFEARRAY* psa, LONG* rgIndices, void* pv);
HRESULT WINAPI SafeArrayGetElement(SAFEARRAY* psa, LONG* rgIndices, void* pv);
}
