#include "server/dispatch_invoker.h"

#include <cstring>
#include <new>
#include <vector>

#include "zov/unique_variant.h"

namespace zov::server {

namespace {

char FoldAscii(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c; }

// The name as ANSI text when it is plain ASCII (every name in a table is); false otherwise, since
// such a name matches none of them.
bool AsciiName(LPCOLESTR name, std::string* out) {
  out->clear();
  for (; *name; ++name) {
    if (*name >= 0x80) return false;
    out->push_back(static_cast<char>(*name));
  }
  return true;
}

const DispatchMember* FindMember(const DispatchInterface& table, DISPID id) {
  for (size_t i = 0; i < table.memberCount; ++i) {
    if (table.members[i].id == id) return &table.members[i];
  }
  return nullptr;
}

}  // namespace

bool NamesMatch(const char* a, const std::string& b) {
  if (std::strlen(a) != b.size()) return false;
  for (size_t i = 0; i < b.size(); ++i) {
    if (FoldAscii(a[i]) != FoldAscii(b[i])) return false;
  }
  return true;
}

HRESULT TableGetIDsOfNames(const DispatchInterface& table, LPOLESTR* names, UINT count,
                           DISPID* ids) {
  if (count == 0) return S_OK;
  if (!names || !ids) return E_INVALIDARG;
  for (UINT i = 0; i < count; ++i) {
    if (!names[i]) return E_INVALIDARG;
    ids[i] = DISPID_UNKNOWN;
  }
  try {
    std::string name;
    const DispatchMember* member = nullptr;
    if (AsciiName(names[0], &name)) {
      for (size_t i = 0; i < table.memberCount && !member; ++i) {
        if (NamesMatch(table.members[i].name, name)) member = &table.members[i];
      }
    }
    if (!member) return DISP_E_UNKNOWNNAME;
    ids[0] = member->id;
    HRESULT hr = S_OK;
    for (UINT n = 1; n < count; ++n) {
      bool found = false;
      if (AsciiName(names[n], &name)) {
        for (UINT p = 0; p <= member->inCount && !found; ++p) {
          if (NamesMatch(member->params[p].name, name)) {
            ids[n] = static_cast<DISPID>(p);
            found = true;
          }
        }
      }
      if (!found) hr = DISP_E_UNKNOWNNAME;
    }
    return hr;
  } catch (const std::bad_alloc&) {
    return E_OUTOFMEMORY;
  }
}

HRESULT TableInvoke(const DispatchInterface& table, void* object, DispatchCall call, DISPID id,
                    WORD flags, DISPPARAMS* params, VARIANT* result, EXCEPINFO* excepInfo,
                    UINT* argErr) {
  if (!params || params->cNamedArgs > params->cArgs) return E_INVALIDARG;
  if (params->cArgs > 0 && !params->rgvarg) return E_INVALIDARG;
  if (params->cNamedArgs > 0 && !params->rgdispidNamedArgs) return E_INVALIDARG;
  const DispatchMember* member = FindMember(table, id);
  if (!member || !(flags & DISPATCH_METHOD)) return DISP_E_MEMBERNOTFOUND;

  // Positional arguments fill the first parameters (the last in rgvarg being the first), named
  // ones (the first cNamedArgs in rgvarg) the parameters their DISPIDs give. A named DISPID that
  // is no parameter, names a parameter given by position or is given twice would put an argument
  // where none belongs or drop one: DISP_E_PARAMNOTFOUND, *argErr the named argument's index.
  const UINT positional = params->cArgs - params->cNamedArgs;
  for (UINT n = 0; n < params->cNamedArgs; ++n) {
    DISPID named = params->rgdispidNamedArgs[n];
    bool unusable = named < 0 || static_cast<UINT>(named) < positional ||
                    static_cast<UINT>(named) > member->inCount;
    for (UINT earlier = 0; earlier < n && !unusable; ++earlier) {
      unusable = params->rgdispidNamedArgs[earlier] == named;
    }
    if (unusable) {
      if (argErr) *argErr = n;
      return DISP_E_PARAMNOTFOUND;
    }
  }

  try {
    // The arguments in declared order: the caller's VARIANT when it already has the declared
    // type, else a coerced copy held in `coerced`.
    std::vector<unique_variant> coerced(member->inCount);
    std::vector<VARIANT> args(member->inCount);
    for (UINT p = 0; p < member->inCount; ++p) {
      int source = -1;
      if (p < positional) {
        source = static_cast<int>(params->cArgs - 1 - p);
      } else {
        for (UINT n = 0; n < params->cNamedArgs && source < 0; ++n) {
          if (params->rgdispidNamedArgs[n] == static_cast<DISPID>(p)) source = static_cast<int>(n);
        }
      }
      if (source < 0) return DISP_E_BADPARAMCOUNT;
      VARIANT* given = &params->rgvarg[source];
      VARTYPE type = member->params[p].type;
      if (V_VT(given) == type) {
        std::memcpy(static_cast<void*>(&args[p]), given, sizeof(VARIANT));
        continue;
      }
      HRESULT hr = VariantChangeType(coerced[p].put(), given, 0, type);
      if (FAILED(hr)) {
        if (argErr) *argErr = static_cast<UINT>(source);
        return hr;
      }
      std::memcpy(static_cast<void*>(&args[p]), coerced[p].get(), sizeof(VARIANT));
    }
    // The [out,retval] parameter is never passed by the caller: an argument left over (by
    // position, or named with the retval's index) is one too many.
    if (params->cArgs > member->inCount) return DISP_E_BADPARAMCOUNT;

    unique_variant retval;
    HRESULT hr = call(object, *member, args.data(), retval.put());
    if (FAILED(hr)) {
      if (excepInfo) {
        std::memset(excepInfo, 0, sizeof *excepInfo);
        excepInfo->scode = hr;
      }
      return DISP_E_EXCEPTION;
    }
    if (result) retval.detach(result);
    return S_OK;
  } catch (const std::bad_alloc&) {
    return E_OUTOFMEMORY;
  }
}

}  // namespace zov::server
