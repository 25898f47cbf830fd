// The IIDs of the directory interfaces and of the host components' interfaces pinned to their
// string forms: under Wine the same table checks the layer's values against the SDK's.
#include <gtest/gtest.h>

#include <string>
#include <type_traits>

#include "host_components.h"
#include "zov/win32.h"

namespace {

std::string ToString(REFGUID g) {
  WCHAR buffer[64];
  if (StringFromGUID2(g, buffer, 64) != 39) return std::string();
  std::string text;
  for (int i = 0; buffer[i]; ++i) text += static_cast<char>(buffer[i]);
  return text;
}

TEST(ServiceInterfaces, IidsTable) {
  const struct {
    const char* name;
    const GUID& iid;
    const char* text;
  } cases[] = {
      {"IADs", IID_IADs, "{FD8256D0-FD15-11CE-ABC4-02608C9E7553}"},
      {"IADsContainer", IID_IADsContainer, "{001677D0-FD16-11CE-ABC4-02608C9E7553}"},
      {"ITeskDomainFile", IID_ITeskDomainFile, "{8371F9D2-3E1F-4FC5-94FE-AAA8609941E0}"},
      {"ITeskVar", IID_ITeskVar, "{1FF25FBB-60EA-4C8F-BF7B-939FDE901AC1}"},
  };
  for (const auto& c : cases) EXPECT_EQ(ToString(c.iid), c.text) << c.name;
}

// Both directory interfaces extend IDispatch: a pointer to either is a pointer to IDispatch.
TEST(ServiceInterfaces, DirectoryInterfacesAreDispatchInterfaces) {
  static_assert(std::is_base_of<IDispatch, IADs>::value, "IADs : IDispatch");
  static_assert(std::is_base_of<IDispatch, IADsContainer>::value, "IADsContainer : IDispatch");
  static_assert(std::is_base_of<IDispatch, ITeskVar>::value, "ITeskVar : IDispatch");
  static_assert(std::is_base_of<IUnknown, ITeskDomainFile>::value, "ITeskDomainFile : IUnknown");
  SUCCEED();
}

}  // namespace
