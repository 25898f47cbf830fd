// NcVar against counted NC variable objects, one per NC: binding by NC name, the form and the
// results of a read, the channel count and the channel check.
#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "fakes.h"
#include "nc_var.h"
#include "zov/unique_variant.h"

namespace {

using zov::unique_variant;
using zov::services::NcVar;
using namespace zov::test;

const char kDefault[] = "@TeskVar.Var2";
const char kNcu2[] = "@TeskVar.Var2:NCU2";
const char kMaxChannels[] = "/NCK/Configuration/maxnumChannels";
const char kOpmode[] = "/Bag/State/Opmode";
// The NC variable object lost its connection to the NC (RPC_E_DISCONNECTED).
const HRESULT kDisconnected = static_cast<HRESULT>(0x80010108L);

std::string Assignment(int channel) {
  return "/NCK/Configuration/chanAssignment[" + std::to_string(channel) + "]";
}

class NcVarTest : public ::testing::Test {
 protected:
  void SetUp() override {
    FakeBinder::Reset();
    FakeBinder::Add(kDefault, &defaultNc);
    FakeBinder::Add(kNcu2, &ncu2);
    defaultNc.Answer16(kMaxChannels, 4);
    defaultNc.Answer16(kOpmode, 1);
    ncu2.Answer16(kMaxChannels, 2);
    ncu2.Answer16(kOpmode, 2);
  }
  void TearDown() override {
    EXPECT_EQ(defaultNc.malformed + ncu2.malformed, 0);
    FakeBinder::Reset();
  }

  HRESULT Read(NcVar& var, const char* path, const char* nc, SHORT* value = nullptr) {
    unique_variant values;
    const HRESULT hr = var.ReadVariable(path, values.put(), nc ? Bstr(nc).get() : nullptr);
    SHORT first = 0;
    if (hr == S_OK && value) {
      EXPECT_TRUE(NcVar::FirstShort(values.get(), &first));
    }
    if (value) *value = first;
    return hr;
  }

  FakeTeskVar defaultNc;
  FakeTeskVar ncu2;
};

TEST_F(NcVarTest, BindsByDisplayNameAndReadsTheChannelCount) {
  const struct {
    const char* name;
    const char* nc;  // null: a null BSTR
    const char* displayName;
    SHORT channels;
  } cases[] = {
      {"null name: the default NC", nullptr, kDefault, 4},
      {"empty name: the default NC", "", kDefault, 4},
      {"a named NC", "NCU2", kNcu2, 2},
  };
  for (const auto& c : cases) {
    FakeBinder::Reset();
    FakeBinder::Add(kDefault, &defaultNc);
    FakeBinder::Add(kNcu2, &ncu2);
    NcVar var(FakeBinder::Bind);
    EXPECT_EQ(var.ChannelCount(), 0) << c.name;
    EXPECT_TRUE(var.Bind(c.nc ? Bstr(c.nc).get() : nullptr)) << c.name;
    EXPECT_EQ(FakeBinder::Log(), std::vector<std::string>{c.displayName}) << c.name;
    EXPECT_EQ(var.ChannelCount(), c.channels) << c.name;
    EXPECT_EQ(Narrow(var.BoundName()), c.nc ? c.nc : "") << c.name;
  }
}

TEST_F(NcVarTest, SameNameDoesNotBindAgain) {
  NcVar var(FakeBinder::Bind);
  SHORT value = 0;
  EXPECT_EQ(Read(var, kOpmode, "NCU2", &value), S_OK);
  EXPECT_EQ(value, 2);
  EXPECT_EQ(Read(var, kOpmode, "NCU2"), S_OK);
  EXPECT_EQ(Read(var, kOpmode, "ncu2"), S_OK);  // letter case aside, the same NC
  EXPECT_TRUE(var.Bind(Bstr("Ncu2").get()));
  EXPECT_EQ(FakeBinder::TotalBinds(), 1);
  EXPECT_EQ(ncu2.Reads(kOpmode), 3);
  EXPECT_EQ(ncu2.Reads(kMaxChannels), 1);
  EXPECT_EQ(Narrow(var.BoundName()), "NCU2");
}

TEST_F(NcVarTest, AnotherNameReleasesTheOldBindingFirst) {
  {
    NcVar var(FakeBinder::Bind);
    EXPECT_EQ(Read(var, kOpmode, ""), S_OK);
    EXPECT_EQ(defaultNc.references(), 2);
    LONG defaultRefsAtBind = -1;
    FakeBinder::onBind = [&](const std::string&) { defaultRefsAtBind = defaultNc.references(); };
    SHORT value = 0;
    EXPECT_EQ(Read(var, kOpmode, "NCU2", &value), S_OK);
    EXPECT_EQ(value, 2);
    EXPECT_EQ(defaultRefsAtBind, 1);
    EXPECT_EQ(ncu2.references(), 2);
    EXPECT_EQ(var.ChannelCount(), 2);
    // And back: the default NC is bound again, and its count read again.
    EXPECT_EQ(Read(var, kOpmode, nullptr, &value), S_OK);
    EXPECT_EQ(value, 1);
    EXPECT_EQ(ncu2.references(), 1);
    EXPECT_EQ(var.ChannelCount(), 4);
    EXPECT_EQ(FakeBinder::Binds(kDefault), 2);
    EXPECT_EQ(FakeBinder::Binds(kNcu2), 1);
  }
  EXPECT_EQ(defaultNc.references(), 1);
  EXPECT_EQ(ncu2.references(), 1);
}

TEST_F(NcVarTest, ReadResultsTable) {
  const struct {
    const char* name;
    std::function<void(FakeTeskVar&)> setup;
    const char* nc;
    HRESULT expected;
  } cases[] = {
      {"good status", [](FakeTeskVar& v) { v.Answer16("/X", 7); }, "", S_OK},
      {"status 191", [](FakeTeskVar& v) { v.Answer16("/X", 7, 191); }, "", static_cast<HRESULT>(-2)},
      {"status 0", [](FakeTeskVar& v) { v.Answer16("/X", 7, 0); }, "", static_cast<HRESULT>(-2)},
      {"failing read passes through", [](FakeTeskVar& v) { v.FailRead("/X", kDisconnected); },
       "", kDisconnected},
      {"NC that cannot be bound", [](FakeTeskVar&) {}, "NCU9", static_cast<HRESULT>(-1)},
  };
  for (const auto& c : cases) {
    FakeTeskVar nc;
    FakeBinder::Reset();
    FakeBinder::Add(kDefault, &nc);
    c.setup(nc);
    {
      NcVar var(FakeBinder::Bind);
      unique_variant values;
      EXPECT_EQ(var.ReadVariable("/X", values.put(), Bstr(c.nc).get()), c.expected) << c.name;
      if (c.expected == S_OK) {
        SHORT value = 0;
        EXPECT_TRUE(NcVar::FirstShort(values.get(), &value)) << c.name;
        EXPECT_EQ(value, 7) << c.name;
      }
    }
    EXPECT_EQ(nc.references(), 1) << c.name;
    EXPECT_EQ(nc.malformed, 0) << c.name;
  }
}

// The values are a pure out-parameter: whatever the caller's VARIANT seemed to hold (one never
// initialised, say) is overwritten, never released, on every path.
TEST_F(NcVarTest, ValuesAreAPureOutParameter) {
  const struct {
    const char* name;
    const char* path;
    const char* nc;
    HRESULT expected;
    bool filled;  // *values holds what the NC gave
  } cases[] = {
      {"a good read", kOpmode, "", S_OK, true},
      {"a status that is not good", "/NotAnswered", "", static_cast<HRESULT>(-2), true},
      {"an NC that cannot be bound", kOpmode, "NCU9", static_cast<HRESULT>(-1), false},
      {"no path", nullptr, "", E_POINTER, false},
  };
  NcVar var(FakeBinder::Bind);
  for (const auto& c : cases) {
    FakeTeskVar stale;  // what the caller's VARIANT holds before the call, without a reference
    VARIANT values;
    V_VT(&values) = VT_UNKNOWN;
    V_UNKNOWN(&values) = static_cast<ITeskVar*>(&stale);
    EXPECT_EQ(var.ReadVariable(c.path, &values, Bstr(c.nc).get()), c.expected) << c.name;
    EXPECT_EQ(stale.references(), 1) << c.name << ": the old contents were released";
    SHORT value = 0;
    EXPECT_EQ(NcVar::FirstShort(&values, &value), c.filled) << c.name;  // and clears it
    EXPECT_EQ(value, c.expected == S_OK ? 1 : 0) << c.name;
  }
}

TEST_F(NcVarTest, UnreadableChannelCountIsTwenty) {
  const struct {
    const char* name;
    std::function<void(FakeTeskVar&)> setup;
  } cases[] = {
      {"read fails", [](FakeTeskVar& v) { v.FailRead(kMaxChannels, E_FAIL); }},
      {"bad status", [](FakeTeskVar& v) { v.Answer16(kMaxChannels, 4, 191); }},
  };
  for (const auto& c : cases) {
    FakeTeskVar nc;
    FakeBinder::Reset();
    FakeBinder::Add(kDefault, &nc);
    c.setup(nc);
    nc.Answer16(Assignment(20), 1);
    NcVar var(FakeBinder::Bind);
    EXPECT_TRUE(var.Bind(nullptr)) << c.name;
    EXPECT_EQ(var.ChannelCount(), 20) << c.name;
    EXPECT_TRUE(var.IsChannelAssigned(20, nullptr)) << c.name;
    EXPECT_FALSE(var.IsChannelAssigned(21, nullptr)) << c.name;
    EXPECT_EQ(nc.Reads(Assignment(21)), 0) << c.name;
  }
}

TEST_F(NcVarTest, ChannelCheckTable) {
  defaultNc.Answer16(Assignment(1), 1);
  defaultNc.Answer16(Assignment(2), 0);
  defaultNc.Answer16(Assignment(3), 1, 191);
  defaultNc.Answer16(Assignment(4), -1);
  ncu2.Answer16(Assignment(1), 1);
  const struct {
    const char* name;
    SHORT channel;
    const char* nc;
    bool expected;
    int reads;  // reads of this channel's assignment on that NC
  } cases[] = {
      {"assigned", 1, "", true, 1},
      {"not assigned", 2, "", false, 1},
      {"bad status", 3, "", false, 1},
      {"the last channel", 4, "", true, 1},
      {"above the count: no read", 5, "", false, 0},
      {"another NC", 1, "NCU2", true, 1},
      {"above that NC's count", 3, "NCU2", false, 0},
  };
  for (const auto& c : cases) {
    NcVar var(FakeBinder::Bind);
    FakeTeskVar& nc = std::string(c.nc).empty() ? defaultNc : ncu2;
    const int before = nc.Reads(Assignment(c.channel));
    EXPECT_EQ(var.IsChannelAssigned(c.channel, Bstr(c.nc).get()), c.expected) << c.name;
    EXPECT_EQ(nc.Reads(Assignment(c.channel)) - before, c.reads) << c.name;
    EXPECT_EQ(Narrow(var.BoundName()), c.nc) << c.name;
  }
  EXPECT_EQ(defaultNc.references(), 1);
  EXPECT_EQ(ncu2.references(), 1);
}

TEST_F(NcVarTest, ChannelCheckSwitchesToTheNamedNc) {
  ncu2.Answer16(Assignment(2), 1);
  NcVar var(FakeBinder::Bind);
  EXPECT_EQ(Read(var, kOpmode, ""), S_OK);
  EXPECT_EQ(var.ChannelCount(), 4);
  EXPECT_TRUE(var.IsChannelAssigned(2, Bstr("NCU2").get()));
  EXPECT_EQ(var.ChannelCount(), 2);
  EXPECT_EQ(defaultNc.references(), 1);
  EXPECT_EQ(FakeBinder::Binds(kNcu2), 1);
  // It stays on that NC, whatever the letter case of its name.
  EXPECT_FALSE(var.IsChannelAssigned(3, Bstr("ncu2").get()));
  EXPECT_EQ(FakeBinder::TotalBinds(), 2);
}

TEST(NcVarFirstShort, Table) {
  const struct {
    const char* name;
    std::function<unique_variant()> value;
    bool ok;
    SHORT expected;
  } cases[] = {
      {"16-bit array", [] { return I2Array(0, {7, 8}); }, true, 7},
      {"16-bit array, lower bound 5", [] { return I2Array(5, {-3}); }, true, -3},
      {"variant array holding a 32-bit integer: its 16-bit field",
       [] { return VariantArray(*I4(0x00012345).get()); }, true, 0x2345},
      {"variant array holding a 16-bit integer", [] { return VariantArray(*I2(-9).get()); }, true, -9},
      {"empty 16-bit array", [] { return I2Array(0, {}); }, false, 0},
      {"32-bit array", [] { return I4Array(0, {7}); }, false, 0},
      {"plain 16-bit integer", [] { return I2(7); }, false, 0},
      {"string", [] { return Text("7"); }, false, 0},
      {"empty", [] { return unique_variant(); }, false, 0},
  };
  for (const auto& c : cases) {
    unique_variant value = c.value();
    SHORT result = 99;
    EXPECT_EQ(NcVar::FirstShort(value.get(), &result), c.ok) << c.name;
    EXPECT_EQ(result, c.ok ? c.expected : 99) << c.name;
    EXPECT_EQ(V_VT(value.get()), VT_EMPTY) << c.name << ": the VARIANT is consumed";
  }
}

}  // namespace
