#include "ncpath/domain_path.h"

#include <new>

#include "ncpath/path_forms.h"
#include "services/ansi_text.h"
#include "zov/unique_variant.h"

namespace zov::ncpath {

bool IsNcReachable(bool localMachine, zov::services::NcVar* ncVar, const char* ncName) noexcept {
  if (localMachine || !ncVar) return false;
  unique_bstr name;
  if (ncName && *ncName) {
    try {
      name = zov::services::BstrFromAnsi(ncName);
    } catch (const std::bad_alloc&) {
      return false;
    }
    if (!name.get()) return false;
  }
  unique_variant value;
  return ncVar->ReadVariable(kOperatingModeVariable, value.put(), name.get()) == 0;
}

std::optional<std::string> MakeDomainPathText(std::string_view path, const char* view,
                                              bool localMachine, zov::services::NcVar* ncVar) {
  const std::string_view text = path.substr(0, path.find('\0'));
  if (text.empty()) return std::string();
  if (!view) view = IsNcReachable(localMachine, ncVar, nullptr) ? kViewHdNc : kViewHd;
  return MakeDomainPathInView(text, view);
}

unique_bstr MakeDomainPath(const char* path, const char* view, bool localMachine,
                           zov::services::NcVar* ncVar) noexcept {
  if (!path) return unique_bstr();
  try {
    std::optional<std::string> result = MakeDomainPathText(path, view, localMachine, ncVar);
    if (!result) return unique_bstr();
    return zov::services::BstrFromAnsi(*result);
  } catch (const std::bad_alloc&) {
    return unique_bstr();
  }
}

}  // namespace zov::ncpath
