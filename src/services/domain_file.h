// DomainFile: one object of the host's directory provider ("TESK://domain/..."), bound by its
// domain path, and the properties the server reads from it ("Size", "Date", "WinPath",
// "Persist"). The server keeps one and rebinds it to every file it needs next; it stays bound
// until the next Open or CreateInContainer.
#pragma once

#include "object_binder.h"
#include "zov/com_ptr.h"
#include "zov/unique_bstr.h"
#include "zov/win32.h"

namespace zov::services {

class DomainFile {
 public:
  // Room for the relative name and the class that CreateInContainer hands the provider,
  // terminators included.
  static constexpr size_t kMaxRelativeName = 52;
  static constexpr size_t kMaxClassName = 12;

  explicit DomainFile(ObjectBinder binder = BindByDisplayName) noexcept;
  DomainFile(const DomainFile&) = delete;
  DomainFile& operator=(const DomainFile&) = delete;

  // Drops the binding and binds the object at `path`. True when it exists; the path and the
  // object then stay bound. A null path binds nothing (false).
  bool Open(BSTR path) noexcept;

  // The first element of the "Size" property (an array of 32-bit integers), or with a non-zero
  // selector its third element; -1 when it cannot be read.
  LONG GetSize(int selector = 0) noexcept;
  // The same element of the "Date" property; 0 when it cannot be read.
  LONG GetDate(int selector = 0) noexcept;
  // A new copy of the "WinPath" property (the host file-system path) for the caller to free;
  // null when it is not a non-null string.
  BSTR GetWinPath() noexcept;
  // The "Persist" property when it is a 16-bit integer (sign-extended); 0 otherwise.
  LONG GetPersist() noexcept;

  // Creates the file `name`.`extension` (class "*.<extension>") in the container at domain path
  // `container`, and on success binds it. Returns the HRESULT of the creation; -1 when the
  // container cannot be bound; HRESULT_FROM_WIN32(ERROR_FILENAME_EXCED_RANGE) when the relative
  // name or the class does not fit its room; E_OUTOFMEMORY when the names cannot be formed. In
  // these three cases nothing is created and the old binding stays. Once the container is
  // bound the old binding is dropped: after S_OK the new object is bound (nothing when the
  // provider does not give its IADs and path), after any other result of the creation nothing is
  // bound.
  HRESULT CreateInContainer(BSTR container, BSTR name, BSTR extension) noexcept;

  // The bound path (null when none); for tests and diagnostics.
  BSTR BoundPath() const noexcept { return path_.get(); }
  bool IsBound() const noexcept { return path_.get() && object_; }

 private:
  void Unbind() noexcept;
  // Get of the property `name` into *value (cleared first). False when nothing is bound or the
  // provider fails.
  bool GetProperty(const OLECHAR* name, VARIANT* value) noexcept;
  // The element of a one-dimensional VT_ARRAY|VT_I4 property picked by `selector`.
  bool GetArrayElement(const OLECHAR* name, int selector, LONG* element) noexcept;

  ObjectBinder binder_;
  unique_bstr path_;
  com_ptr<IADs> object_;
};

}  // namespace zov::services
