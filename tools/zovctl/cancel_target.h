// zovctl as host program hands the server it created to the virtual controller, so that the
// controller can call the server's Cancel while a selection reads a program from it (the way an
// operator's Cancel reaches a running selection on a real machine). A real machine's domain object
// has no such control interface; then nothing is done.
#pragma once

#include "zov/com_ptr.h"
#include "zov/win32.h"

namespace zovctl {

class CancelTargetLink {
 public:
  // Binds the domain object "KalTeskDomain.TeskDomain.1:" and, when it answers the virtual
  // controller's control interface, hands it `server`. Any failure leaves the link empty, silently.
  explicit CancelTargetLink(IUnknown* server) noexcept;
  // Takes the server back from the controller (SetCancelTarget(NULL)); to be done before the
  // server is released.
  ~CancelTargetLink();

  CancelTargetLink(const CancelTargetLink&) = delete;
  CancelTargetLink& operator=(const CancelTargetLink&) = delete;

  // The controller holds the server.
  bool linked() const noexcept { return static_cast<bool>(controller_); }

 private:
  // The controller's control interface (IVirtualController), held as IUnknown so that this header
  // does not need the controller's interface definition.
  zov::com_ptr<IUnknown> controller_;
};

}  // namespace zovctl
