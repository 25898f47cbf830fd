#include "cancel_target.h"

#if defined(ZOVCTL_VIRTUAL_CONTROLLER)
#include "virtual_controller.h"
#endif

namespace zovctl {

// The control interface comes with the virtual controller (sim/controller); a build without it
// makes the link a no-op, which is what a real machine sees anyway.
#if defined(ZOVCTL_VIRTUAL_CONTROLLER)

CancelTargetLink::CancelTargetLink(IUnknown* server) noexcept {
  OLECHAR name[] = OLESTR("KalTeskDomain.TeskDomain.1:");
  zov::com_ptr<IVirtualController> controller;
  if (FAILED(CoGetObject(name, nullptr, IID_IVirtualController, controller.put_void())) || !controller) return;
  if (FAILED(controller->SetCancelTarget(server))) return;
  controller_.attach(controller.detach());
}

CancelTargetLink::~CancelTargetLink() {
  if (controller_) static_cast<IVirtualController*>(controller_.get())->SetCancelTarget(nullptr);
}

#else

CancelTargetLink::CancelTargetLink(IUnknown*) noexcept {}

CancelTargetLink::~CancelTargetLink() = default;

#endif

}  // namespace zovctl
