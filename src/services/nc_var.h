// NcVar: NC variables ("/NCK/Configuration/maxnumChannels", ...) read through the host's NC
// variable object, one per NC, named "@TeskVar.Var2" for the default NC and "@TeskVar.Var2:<NC>"
// for another. It stays bound to the NC it read from last, with that NC's channel count.
#pragma once

#include "host_components.h"
#include "object_binder.h"
#include "zov/com_ptr.h"
#include "zov/unique_bstr.h"
#include "zov/win32.h"

namespace zov::services {

class NcVar {
 public:
  // The channel count taken when the NC does not tell its own.
  static constexpr SHORT kDefaultChannelCount = 20;
  // The status of a good value.
  static constexpr SHORT kStatusGood = 192;

  explicit NcVar(ObjectBinder binder = BindByDisplayName) noexcept;
  NcVar(const NcVar&) = delete;
  NcVar& operator=(const NcVar&) = delete;

  // Binds the variable object of the NC `ncName` (null or empty: the default NC). Already bound
  // to that NC (letter case aside): true at once. Otherwise the old object is released, the new
  // one bound and its channel count read ("/NCK/Configuration/maxnumChannels"; 20 when that
  // cannot be read). True when bound.
  bool Bind(BSTR ncName) noexcept;

  // Reads the variable `path` on the NC `ncName` into *values, the caller's to clear. *values is
  // a pure out-parameter: it is set to VT_EMPTY first, and whatever it held before is not freed
  // (pass unique_variant::put()). Returns 0 when the value is good; -1 when the NC cannot be
  // bound; -2 when the status is not that of a good value; the failing HRESULT of the read
  // (E_POINTER for a null path or values, E_OUTOFMEMORY when the request cannot be formed).
  HRESULT ReadVariable(const char* path, VARIANT* values, BSTR ncName) noexcept;

  // The 16-bit value of the first element of *value: of a VT_ARRAY|VT_I2 array, or the 16-bit
  // field of the first VARIANT of a VT_ARRAY|VT_VARIANT array whatever its type. False for any
  // other type or an empty array. *value is cleared in every case.
  static bool FirstShort(VARIANT* value, SHORT* result) noexcept;

  // True when the channel exists on the NC `ncName`: it is not above the NC's channel count and
  // its "/NCK/Configuration/chanAssignment[<channel>]" reads as non-zero.
  bool IsChannelAssigned(SHORT channel, BSTR ncName) noexcept;

  // For tests and diagnostics: the NC bound (null until bound) and its channel count.
  BSTR BoundName() const noexcept { return name_.get(); }
  SHORT ChannelCount() const noexcept { return channels_; }
  bool IsBound() const noexcept { return static_cast<bool>(var_); }

 private:
  bool IsBoundTo(BSTR ncName) const noexcept;
  // The read of ReadVariable on the object bound now (var_ set), without binding: Bind reads the
  // channel count through it. *values is empty on entry.
  HRESULT ReadBound(const char* path, VARIANT* values) noexcept;

  ObjectBinder binder_;
  com_ptr<ITeskVar> var_;
  unique_bstr name_;
  SHORT channels_ = 0;
};

}  // namespace zov::services
