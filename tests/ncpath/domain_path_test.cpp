// The default view of a domain path: "hd-nc" when the NC answers a read of its operating mode,
// "hd" when it does not or when the machine is the local one (then nothing is asked); asked anew
// on every call without a view, never for an empty path or when a view is given.
#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "fakes.h"
#include "ncpath/domain_path.h"
#include "ole_text.h"

namespace {

using namespace zov::test;
using zov::services::NcVar;

const char kDefault[] = "@TeskVar.Var2";
const char kNcu2[] = "@TeskVar.Var2:NCU2";
const char kOpmode[] = "/Bag/State/Opmode";
const char kMaxChannels[] = "/NCK/Configuration/maxnumChannels";

class DomainPathTest : public ::testing::Test {
 protected:
  void SetUp() override {
    FakeBinder::Reset();
    FakeBinder::Add(kDefault, &defaultNc);
    FakeBinder::Add(kNcu2, &ncu2);
    defaultNc.Answer16(kMaxChannels, 2);
    ncu2.Answer16(kMaxChannels, 2);
  }
  void TearDown() override {
    EXPECT_EQ(defaultNc.malformed + ncu2.malformed, 0);
    FakeBinder::Reset();
  }

  FakeTeskVar defaultNc;
  FakeTeskVar ncu2;
};

TEST_F(DomainPathTest, DefaultViewFollowsTheNc) {
  struct Case {
    const char* what;
    std::function<void(FakeTeskVar&)> nc;  // how the default NC answers
    bool local;
    const char* path;
    const char* view;
    const char* expected;  // nullptr: absent
    int opmodeReads;
  };
  const HRESULT disconnected = static_cast<HRESULT>(0x80010108L);
  const Case cases[] = {
      {"the NC answers", [](FakeTeskVar& v) { v.Answer16(kOpmode, 1); }, false, "main.mpf",
       nullptr, "TESK://domain/hd-nc/MAIN.MPF", 1},
      {"a bad status is no answer", [](FakeTeskVar& v) { v.Answer16(kOpmode, 1, 0); }, false,
       "main.mpf", nullptr, "TESK://domain/hd/MAIN.MPF", 1},
      {"a failing read is no answer",
       [&](FakeTeskVar& v) { v.FailRead(kOpmode, disconnected); }, false, "main.mpf", nullptr,
       "TESK://domain/hd/MAIN.MPF", 1},
      {"the local machine asks nothing", [](FakeTeskVar& v) { v.Answer16(kOpmode, 1); }, true,
       "main.mpf", nullptr, "TESK://domain/hd/MAIN.MPF", 0},
      {"a view given asks nothing", [](FakeTeskVar& v) { v.Answer16(kOpmode, 1); }, false,
       "TESK://domain/hd-nc/x", "hd", "TESK://domain/hd/X", 0},
      {"an empty path asks nothing", [](FakeTeskVar& v) { v.Answer16(kOpmode, 1); }, false, "",
       nullptr, "", 0},
      {"a domain path moves into the default view",
       [](FakeTeskVar& v) { v.Answer16(kOpmode, 1); }, false, "TESK://domain/hd/wks.dir",
       nullptr, "TESK://domain/hd-nc/WKS.DIR", 1},
      {"too long: absent", [](FakeTeskVar& v) { v.Answer16(kOpmode, 1); }, false,
       nullptr, nullptr, nullptr, 1},
  };
  const std::string tooLong(1100, 'A');
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    FakeTeskVar nc;
    nc.Answer16(kMaxChannels, 2);
    c.nc(nc);
    FakeBinder::Reset();
    FakeBinder::Add(kDefault, &nc);
    NcVar var(&FakeBinder::Bind);
    const char* path = c.path ? c.path : tooLong.c_str();
    zov::unique_bstr result = zov::ncpath::MakeDomainPath(path, c.view, c.local, &var);
    if (c.expected) {
      ASSERT_NE(result.get(), nullptr);
      EXPECT_EQ(Narrow(result.get()), c.expected);
    } else {
      EXPECT_EQ(result.get(), nullptr);
    }
    EXPECT_EQ(nc.Reads(kOpmode), c.opmodeReads);
    EXPECT_EQ(nc.malformed, 0);
  }
}

// Nothing is cached: the NC going away between two calls changes the view of the second.
TEST_F(DomainPathTest, AskedOnEveryCall) {
  defaultNc.Answer16(kOpmode, 1);
  NcVar var(&FakeBinder::Bind);
  EXPECT_EQ(Narrow(zov::ncpath::MakeDomainPath("a", nullptr, false, &var).get()),
            "TESK://domain/hd-nc/A");
  defaultNc.Answer16(kOpmode, 1, 0);
  EXPECT_EQ(Narrow(zov::ncpath::MakeDomainPath("a", nullptr, false, &var).get()),
            "TESK://domain/hd/A");
  EXPECT_EQ(defaultNc.Reads(kOpmode), 2);
}

TEST_F(DomainPathTest, IsNcReachableAsksTheNamedNc) {
  ncu2.Answer16(kOpmode, 2);
  NcVar var(&FakeBinder::Bind);
  EXPECT_FALSE(zov::ncpath::IsNcReachable(false, &var, ""));  // the default NC does not answer
  EXPECT_TRUE(zov::ncpath::IsNcReachable(false, &var, "NCU2"));
  EXPECT_FALSE(zov::ncpath::IsNcReachable(true, &var, "NCU2"));
  EXPECT_FALSE(zov::ncpath::IsNcReachable(false, nullptr, "NCU2"));
  EXPECT_EQ(ncu2.Reads(kOpmode), 1);
  EXPECT_EQ(FakeBinder::Binds(kDefault), 1);
}

}  // namespace
