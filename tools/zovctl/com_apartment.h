// COM for zovctl's thread while a command needs it: a single-threaded apartment, as a host
// program's user-interface thread and regsvr32 have, left when the command ends.
#pragma once

#include "zov/win32.h"

namespace zovctl {

class ComApartment {
 public:
  ComApartment() : hr_(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)) {}
  ~ComApartment() {
    if (SUCCEEDED(hr_)) CoUninitialize();
  }
  ComApartment(const ComApartment&) = delete;
  ComApartment& operator=(const ComApartment&) = delete;

  // What entering the apartment gave; a failure means COM is not initialised on the thread.
  HRESULT result() const { return hr_; }

 private:
  HRESULT hr_;
};

}  // namespace zovctl
