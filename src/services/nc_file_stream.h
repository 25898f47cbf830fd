// NcFileStream: the contents of one NC file, read through the host's domain object
// ("KalTeskDomain.TeskDomain.1:") in the pieces it hands out, and given to the caller in blocks
// of the caller's size. Bytes of a piece that do not fit a block are kept for the next Read.
#pragma once

#include <string>

#include "host_components.h"
#include "object_binder.h"
#include "zov/com_ptr.h"
#include "zov/win32.h"

namespace zov::services {

class NcFileStream {
 public:
  // Binds the domain object; IsBound() tells whether that worked.
  explicit NcFileStream(ObjectBinder binder = BindByDisplayName) noexcept;
  // Closes the stream and releases the domain object.
  ~NcFileStream();
  NcFileStream(const NcFileStream&) = delete;
  NcFileStream& operator=(const NcFileStream&) = delete;

  bool IsBound() const noexcept { return static_cast<bool>(file_); }
  bool IsOpen() const noexcept { return open_; }

  // Opens the file at the NC selection path `path` ("/NC/WKS.DIR/PART1.ZOV/MAIN.MPF") for
  // reading (mode 1). Returns the domain object's HRESULT, -1 when no object is bound. Bytes
  // kept from a file read before are dropped.
  HRESULT Open(BSTR path) noexcept;

  // Places at most size - 1 bytes of the file into buffer, followed by a zero: first the bytes
  // kept from the last call, then the pieces the domain object hands out (VT_ARRAY|VT_UI1). Bytes
  // of a piece beyond the room are kept for the next call. Reading stops when the block is full
  // or a piece is empty, fails or has another type. Returns the number of bytes placed (0 at the
  // end of the file), -1 when the stream is not open, no object is bound, buffer is null or size
  // is 1 or less, or when memory for the kept bytes runs out. The bytes are the file's own: a NUL
  // in the file is handed out like any other byte, and none is lost across calls.
  int Read(char* buffer, int size) noexcept;

  // Clears the open flag, drops the kept bytes and closes the file on the domain object.
  void Close() noexcept;

  // The number of bytes received but not yet handed out; for tests.
  size_t Pending() const noexcept { return carry_.size() - carryPos_; }

 private:
  void DropCarry() noexcept;

  com_ptr<ITeskDomainFile> file_;
  bool open_ = false;
  // Bytes received but not yet handed out: carry_[carryPos_..]. A length rather than a
  // terminator, so that NUL bytes in the file survive.
  std::string carry_;
  size_t carryPos_ = 0;
};

}  // namespace zov::services
