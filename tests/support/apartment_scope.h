// COM initialised on the calling thread for one scope.
#pragma once

#include "zov/win32.h"

namespace zov::test {

// CoInitializeEx with `model` (a single-threaded apartment unless told otherwise) when made, and
// the balancing CoUninitialize when it goes, if the initialisation succeeded (S_OK or S_FALSE).
class ApartmentScope {
 public:
  explicit ApartmentScope(DWORD model = COINIT_APARTMENTTHREADED)
      : hr_(CoInitializeEx(nullptr, model)) {}
  ~ApartmentScope() {
    if (SUCCEEDED(hr_)) CoUninitialize();
  }
  ApartmentScope(const ApartmentScope&) = delete;
  ApartmentScope& operator=(const ApartmentScope&) = delete;
  // What CoInitializeEx returned.
  HRESULT result() const { return hr_; }

 private:
  HRESULT hr_;
};

}  // namespace zov::test
