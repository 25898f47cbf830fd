// The one header through which all ZOVServer code reaches Windows, COM and OLE Automation.
// On Windows it pulls the real SDK headers; elsewhere the declarations of our platform layer,
// which supplies the same names with the same behaviour. Wide literals are written OLESTR("...").
#pragma once

#if defined(_WIN32)
#include <windows.h>
#include <objbase.h>
#include <ole2.h>
#include <oleauto.h>
#include <ocidl.h>
#include <iads.h>
#include <share.h>
#include <stdio.h>
#include <sys/stat.h>
#include <sys/types.h>
#else
#include "zov/platform/types.h"
#include "zov/platform/errors.h"
#include "zov/platform/guid.h"
#include "zov/platform/bstr.h"
#include "zov/platform/variant.h"
#include "zov/platform/safearray.h"
#include "zov/platform/text.h"
#include "zov/platform/profile.h"
#include "zov/platform/unknown.h"
#include "zov/platform/dispatch.h"
#include "zov/platform/connection.h"
#include "zov/platform/ads.h"
#include "zov/platform/moniker.h"
#include "zov/platform/com.h"
#include "zov/platform/registry.h"
#include "zov/platform/module.h"
#include "zov/platform/resource.h"
#include "zov/platform/files.h"
#include "zov/platform/sync.h"
#include "zov/platform/machine.h"
#endif

// The binary layout the server and its clients share, pinned on both platforms.
static_assert(sizeof(OLECHAR) == 2, "OLECHAR is a UTF-16 code unit");
static_assert(sizeof(WCHAR) == 2, "WCHAR is a UTF-16 code unit");
static_assert(sizeof(LONG) == 4 && sizeof(ULONG) == 4 && sizeof(DWORD) == 4, "32-bit LONG");
static_assert(sizeof(SHORT) == 2 && sizeof(VARIANT_BOOL) == 2 && sizeof(VARTYPE) == 2, "16-bit");
static_assert(sizeof(HRESULT) == 4 && sizeof(SCODE) == 4, "32-bit HRESULT");
static_assert(sizeof(GUID) == 16, "GUID layout");
static_assert(sizeof(VARIANT) == 8 + 2 * sizeof(void*), "VARIANT layout");
static_assert(sizeof(SAFEARRAYBOUND) == 8, "SAFEARRAYBOUND layout");
static_assert(sizeof(DISPPARAMS) == 2 * sizeof(void*) + 8, "DISPPARAMS layout");
