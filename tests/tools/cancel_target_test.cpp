// zovctl hands the server it created to the virtual controller and takes it back: the controller
// holds the server exactly while the link lives. Natively, with the controller module copied into
// the test's machine and registered by its own DllRegisterServer.
#include <gtest/gtest.h>

#include <string>

#include "apartment_scope.h"
#include "cancel_target.h"
#include "class_keys.h"
#include "counting_server.h"
#include "module_install.h"
#include "scratch.h"
#include "virtual_controller.h"
#include "zov/com_ptr.h"
#include "zovserver.h"

namespace zovctl {
namespace {

using zov::test::ApartmentScope;
using zov::test::CountingServer;

// Copies the controller module into the machine and registers it; its Windows path, or "".
std::string RegisterController() {
  const std::string path =
      zov::test::InstallModule(ZOVCTL_CONTROLLER_BUILD_PATH, "VirtualController.dll");
  if (path.empty() || zov::test::RegisterModule(path, true) != S_OK) return "";
  return path;
}

TEST(ZovctlCancelTarget, NoControllerNoLink) {
  // Before the controller is registered (this case runs first): the domain object cannot be bound,
  // nothing is held, and that is no error.
  if (zov::test::KeyExists("KalTeskDomain.TeskDomain.1"))
    GTEST_SKIP() << "the controller is registered in this machine already";
  ApartmentScope apartment;
  ASSERT_TRUE(SUCCEEDED(apartment.result()));
  CountingServer server;
  CancelTargetLink link(&server);
  EXPECT_FALSE(link.linked());
  EXPECT_EQ(server.refs, 1u);
}

TEST(ZovctlCancelTarget, TheControllerHoldsTheServerWhileTheLinkLives) {
  ASSERT_NE(RegisterController(), "");
  ApartmentScope apartment;
  ASSERT_TRUE(SUCCEEDED(apartment.result()));
  CountingServer server;
  {
    CancelTargetLink link(&server);
    EXPECT_TRUE(link.linked());
    EXPECT_GT(server.refs, 1u);  // the controller keeps its own reference
  }
  EXPECT_EQ(server.refs, 1u);  // given back when the link ends
  EXPECT_EQ(server.cancels, 0);
}

}  // namespace
}  // namespace zovctl
