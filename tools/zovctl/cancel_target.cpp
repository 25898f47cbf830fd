#include "cancel_target.h"

namespace zovctl {

// HOOK: the virtual controller's control interface (IVirtualController::SetCancelTarget in
// sim/controller/virtual_controller.idl) does not exist yet. Once it does, zovctl's CMakeLists
// links its IDL target and defines ZOVCTL_VIRTUAL_CONTROLLER, and this file asks the domain object
// for IID_IVirtualController and calls SetCancelTarget. Until then the link stays empty and no
// domain object is bound.
#if defined(ZOVCTL_VIRTUAL_CONTROLLER)
}  // namespace zovctl
#include "virtual_controller.h"
namespace zovctl {

CancelTargetLink::CancelTargetLink(IUnknown* server) noexcept {
  zov::com_ptr<IVirtualController> controller;
  WCHAR name[] = OLESTR("KalTeskDomain.TeskDomain.1:");
  if (FAILED(CoGetObject(name, nullptr, IID_IVirtualController, controller.put_void()))) return;
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
