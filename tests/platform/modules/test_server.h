// The test server module zovtestsrv.dll: its classes, ProgIDs and the one custom interface its
// objects share. Included by the module and by the tests that activate it.
#pragma once

#include "zov/win32.h"

namespace zov::test {

// {CEE6C086-FC4D-4C90-9FE5-83C0A8BA3609}
inline const IID IID_IZovTestObject = {
    0xcee6c086, 0xfc4d, 0x4c90, {0x9f, 0xe5, 0x83, 0xc0, 0xa8, 0xba, 0x36, 0x09}};
// {D355D79D-D379-4358-8459-BAE504541C8D}: "ZovTest.Counter.1", a plain class that can be aggregated.
inline const CLSID CLSID_ZovTestCounter = {
    0xd355d79d, 0xd379, 0x4358, {0x84, 0x59, 0xba, 0xe5, 0x04, 0x54, 0x1c, 0x8d}};
// {0744465D-CCCE-4A6B-B881-5E78FC454444}: "ZovTest.Namespace", whose class object parses names.
inline const CLSID CLSID_ZovTestNamespace = {
    0x0744465d, 0xccce, 0x4a6b, {0xb8, 0x81, 0x5e, 0x78, 0xfc, 0x45, 0x44, 0x44}};
// {575D8DBE-D787-4AB5-8102-673AD4B72F4C}: "ZovTest.Factory", whose class object only creates a
// parser.
inline const CLSID CLSID_ZovTestFactory = {
    0x575d8dbe, 0xd787, 0x4ab5, {0x81, 0x02, 0x67, 0x3a, 0xd4, 0xb7, 0x2f, 0x4c}};

inline constexpr const char* kCounterProgId = "ZovTest.Counter.1";
inline constexpr const char* kCounterIndependentProgId = "ZovTest.Counter";
inline constexpr const char* kNamespaceProgId = "ZovTest.Namespace";
inline constexpr const char* kFactoryProgId = "ZovTest.Factory";

// The module's file name, as built on every platform.
inline constexpr const char* kTestServerFileName = "zovtestsrv.dll";

// What every object of the test server offers besides IUnknown.
struct IZovTestObject : public IUnknown {
  // Adds one to the object's own counter and returns the new value.
  virtual HRESULT STDMETHODCALLTYPE Increment(LONG* newValue) = 0;
  // The display name the object was bound from, exactly as the parser received it (an empty
  // string for a counter), in CoTaskMemAlloc'ed memory.
  virtual HRESULT STDMETHODCALLTYPE GetName(LPOLESTR* name) = 0;
};

}  // namespace zov::test
