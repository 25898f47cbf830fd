// zovctl find --trace: the names the server asked the controller's directory provider to bind
// during one call, read from the virtual controller's bind log (IVirtualController::TakeBindLog).
// A real machine's domain object keeps no such log; there the trace cannot be made.
#pragma once

#include <vector>

#include "console_text.h"
#include "zov/com_ptr.h"
#include "zov/win32.h"

namespace zovctl {

class BindTrace {
 public:
  // Binds the domain object "KalTeskDomain.TeskDomain.1:" and asks it for the controller's
  // control interface. COM must be initialised on the thread.
  BindTrace() noexcept;
  BindTrace(const BindTrace&) = delete;
  BindTrace& operator=(const BindTrace&) = delete;

  // S_OK when the log can be read; else why not (the bind's or QueryInterface's HRESULT,
  // E_NOINTERFACE in a build without the virtual controller).
  HRESULT result() const noexcept { return hr_; }

  // Takes the log (emptying it) into *names, oldest first. The failing HRESULT when it cannot.
  HRESULT Take(std::vector<WideString>* names);

 private:
  HRESULT hr_ = E_NOINTERFACE;
  // The controller's control interface (IVirtualController), held as IUnknown so that this header
  // does not need the controller's interface definition.
  zov::com_ptr<IUnknown> controller_;
};

}  // namespace zovctl
