#include "ncpath/path_bstr.h"

#include <new>
#include <optional>
#include <string>

#include "ncpath/path_forms.h"
#include "services/ansi_text.h"

namespace zov::ncpath {

namespace {

// The ANSI text of a BSTR up to its first NUL character.
std::string AnsiUpToNul(BSTR text) {
  const UINT length = SysStringLen(text);
  UINT units = 0;
  while (units < length && text[units] != 0) ++units;
  return services::AnsiFromWide(text, units);
}

unique_bstr ToBstr(const std::optional<std::string>& text) {
  return text ? services::BstrFromAnsi(*text) : unique_bstr();
}

}  // namespace

unique_bstr MakeHostPath(BSTR name) noexcept {
  try {
    return ToBstr(MakeHostPath(std::string_view(AnsiUpToNul(name))));
  } catch (const std::bad_alloc&) {
    return unique_bstr();
  }
}

unique_bstr JoinPath(BSTR directory, BSTR name, BSTR extension) noexcept {
  try {
    return ToBstr(JoinPath(std::string_view(AnsiUpToNul(directory)),
                           std::string_view(AnsiUpToNul(name)),
                           std::string_view(AnsiUpToNul(extension))));
  } catch (const std::bad_alloc&) {
    return unique_bstr();
  }
}

bool MakeNcSelectPath(unique_bstr& path) noexcept {
  try {
    unique_bstr result = ToBstr(MakeNcSelectPath(std::string_view(AnsiUpToNul(path.get()))));
    if (!result.get()) return false;
    path = std::move(result);
    return true;
  } catch (const std::bad_alloc&) {
    return false;
  }
}

bool SplitPath(BSTR path, unique_bstr* name, unique_bstr* extension,
               unique_bstr* directory) noexcept {
  if (name) name->reset();
  if (extension) extension->reset();
  if (directory) directory->reset();
  if (!name) return false;
  try {
    const std::optional<PathParts> parts = SplitPath(std::string_view(AnsiUpToNul(path)));
    if (!parts) return false;
    unique_bstr newName = services::BstrFromAnsi(parts->name);
    unique_bstr newExtension, newDirectory;
    if (extension) newExtension = services::BstrFromAnsi(parts->extension);
    if (directory) newDirectory = services::BstrFromAnsi(parts->directory);
    if (!newName.get() || (extension && !newExtension.get()) ||
        (directory && !newDirectory.get())) {
      return false;
    }
    *name = std::move(newName);
    if (extension) *extension = std::move(newExtension);
    if (directory) *directory = std::move(newDirectory);
    return true;
  } catch (const std::bad_alloc&) {
    return false;
  }
}

}  // namespace zov::ncpath
