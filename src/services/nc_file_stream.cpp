#include "nc_file_stream.h"

#include <cstring>
#include <new>

#include "zov/unique_variant.h"

namespace zov::services {

namespace {

// The domain object's display name: its ProgID and nothing after the colon.
const OLECHAR kDomainObject[] = OLESTR("KalTeskDomain.TeskDomain.1:");
// The only mode the server opens a file with: reading.
constexpr LONG kOpenForReading = 1;

}  // namespace

NcFileStream::NcFileStream(ObjectBinder binder) noexcept {
  if (!binder) binder = BindByDisplayName;
  if (FAILED(binder(kDomainObject, IID_ITeskDomainFile, file_.put_void()))) file_.reset();
}

NcFileStream::~NcFileStream() {
  if (file_) Close();
}

void NcFileStream::DropCarry() noexcept {
  carry_.clear();
  carry_.shrink_to_fit();
  carryPos_ = 0;
}

HRESULT NcFileStream::Open(BSTR path) noexcept {
  DropCarry();
  open_ = false;
  if (!file_) return static_cast<HRESULT>(-1);
  const HRESULT hr = file_->Open(path, kOpenForReading);
  open_ = SUCCEEDED(hr);
  return hr;
}

int NcFileStream::Read(char* buffer, int size) noexcept {
  if (!open_ || !file_ || !buffer || size <= 1) return -1;
  const size_t room = static_cast<size_t>(size) - 1;
  size_t placed = 0;

  // The kept bytes first; what does not fit stays kept.
  const size_t kept = Pending();
  if (kept > 0) {
    const size_t n = kept < room ? kept : room;
    std::memcpy(buffer, carry_.data() + carryPos_, n);
    placed = n;
    carryPos_ += n;
    if (carryPos_ == carry_.size()) DropCarry();
  }

  while (placed < room) {
    unique_variant piece;
    if (FAILED(file_->Read(piece.put()))) break;
    if (V_VT(piece.get()) != (VT_ARRAY | VT_UI1)) break;
    SAFEARRAY* array = V_ARRAY(piece.get());
    if (!array || SafeArrayGetDim(array) != 1 || SafeArrayGetElemsize(array) != 1) break;
    LONG lower = 0;
    LONG upper = 0;
    if (FAILED(SafeArrayGetLBound(array, 1, &lower)) ||
        FAILED(SafeArrayGetUBound(array, 1, &upper)) || upper < lower)
      break;  // an empty piece: the end of the file
    const size_t count = static_cast<size_t>(static_cast<long long>(upper) - lower + 1);
    void* data = nullptr;
    if (FAILED(SafeArrayAccessData(array, &data))) break;
    if (!data) {
      SafeArrayUnaccessData(array);
      break;
    }
    const char* bytes = static_cast<const char*>(data);
    const size_t n = count < room - placed ? count : room - placed;
    std::memcpy(buffer + placed, bytes, n);
    placed += n;
    bool kept_ok = true;
    if (n < count) {
      try {
        carry_.assign(bytes + n, count - n);
        carryPos_ = 0;
      } catch (const std::bad_alloc&) {
        kept_ok = false;
      }
    }
    SafeArrayUnaccessData(array);
    // Without room for the rest of the piece its bytes would be lost: report a failure instead.
    if (!kept_ok) return -1;
  }
  buffer[placed] = '\0';
  return static_cast<int>(placed);
}

void NcFileStream::Close() noexcept {
  open_ = false;
  DropCarry();
  if (file_) file_->Close();
}

}  // namespace zov::services
