// GUID string forms: "{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}", upper-case hexadecimal on output.
#pragma once

#include "zov/platform/types.h"

ZOV_DECLARE_GUID(GUID_NULL);
#define IID_NULL GUID_NULL
#define CLSID_NULL GUID_NULL

extern "C" {
// Writes the braced form and its NUL into lpsz; returns the number of characters including the NUL
// (39), or 0 when cchMax is below 39 (nothing written).
int WINAPI StringFromGUID2(REFGUID rguid, LPOLESTR lpsz, int cchMax);
// Parses the braced form only (exactly 38 characters, nothing after the brace); hex digits of
// either case. A null string gives GUID_NULL and S_OK, as on Windows. Returns CO_E_CLASSSTRING for
// any other text, leaving *pclsid untouched. Windows also resolves a ProgID here; the layer leaves
// that to CLSIDFromProgID and returns CO_E_CLASSSTRING for anything that is not the braced form.
HRESULT WINAPI CLSIDFromString(LPCOLESTR lpsz, LPCLSID pclsid);
// The braced form only, as Windows: E_INVALIDARG for text that is not 38 characters long,
// CO_E_IIDSTRING for 38 characters that are not a braced GUID; a null string gives GUID_NULL.
HRESULT WINAPI IIDFromString(LPCOLESTR lpsz, LPIID lpiid);
}
