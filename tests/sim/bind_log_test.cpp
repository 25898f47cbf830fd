// The bind log of the virtual controller (IVirtualController::TakeBindLog): which names the
// directory namespace was asked to bind, in order, exactly as given, bound or not; taking the log
// empties it; the other classes' binds are not in it; it keeps the last 10000 names.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "controller_setup.h"
#include "ole_text.h"
#include "virtual_controller.h"
#include "zov/com_ptr.h"
#include "zov/unique_safearray.h"

namespace {

using zov::com_ptr;
using zov::test::BindName;
using zov::test::Ole;
using zov::test::OleString;

constexpr HRESULT kFileNotFound = static_cast<HRESULT>(0x80070002);
constexpr HRESULT kPathNotFound = static_cast<HRESULT>(0x80070003);

class BindLogTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(zov::test::SetUpVirtualController());
    // The control interface is held for the whole test, so the module (and its log) stays loaded.
    ASSERT_EQ(BindName("KalTeskDomain.TeskDomain.1:", IID_IVirtualController, control.put_void()),
              S_OK);
    Take();  // what earlier tests of the process bound
  }

  // TakeBindLog's names, after checking that the array is a one-dimensional array of BSTR from 0.
  std::vector<OleString> Take() {
    std::vector<OleString> names;
    zov::unique_safearray array;
    HRESULT hr = control->TakeBindLog(array.put());
    EXPECT_EQ(hr, S_OK);
    if (FAILED(hr)) return names;
    EXPECT_NE(array.get(), nullptr);
    if (!array.get()) return names;
    VARTYPE vt = VT_EMPTY;
    EXPECT_EQ(SafeArrayGetVartype(array.get(), &vt), S_OK);
    EXPECT_EQ(vt, VT_BSTR);
    EXPECT_EQ(SafeArrayGetDim(array.get()), 1u);
    LONG low = -1, high = -2;
    SafeArrayGetLBound(array.get(), 1, &low);
    SafeArrayGetUBound(array.get(), 1, &high);
    EXPECT_EQ(low, 0);
    BSTR* data = nullptr;
    if (FAILED(SafeArrayAccessData(array.get(), reinterpret_cast<void**>(&data)))) {
      ADD_FAILURE() << "SafeArrayAccessData";
      return names;
    }
    for (LONG i = 0; i <= high - low; ++i)
      names.emplace_back(data[i] ? OleString(data[i], SysStringLen(data[i])) : OleString());
    SafeArrayUnaccessData(array.get());
    return names;
  }

  static std::vector<OleString> Wide(const std::vector<std::string>& names) {
    std::vector<OleString> out;
    for (const std::string& name : names) out.push_back(Ole(name));
    return out;
  }

  com_ptr<IVirtualController> control;
};

TEST_F(BindLogTest, BindsOfTheNamespaceAreLoggedInOrderBoundOrNot) {
  const struct {
    const char* name;
    HRESULT expected;
  } binds[] = {
      {"TESK://domain/hd-nc/WKS.DIR/PART1.ZOV/MAIN.MPF", S_OK},
      {"TESK://domain/hd-nc/WKS.DIR/PART1.ZOV/NONE.MPF", kFileNotFound},
      {"tesk://DOMAIN/Hd/wks.dir/part1.zov/main.mpf", S_OK},  // as given, not made canonical
      {"TESK://domain/sd/WKS.DIR", kPathNotFound},
      {"TESK://domain/hd/WKS.DIR/../../controller.ini", kPathNotFound},
      {"TESK://domain/hd-nc/WKS.DIR/PART1.ZOV/NONE.MPF", kFileNotFound},  // again: logged again
      {"TESK://domain/hd/WKS.DIR/PART1.ZOV/", S_OK},
  };
  std::vector<std::string> expected;
  for (const auto& bind : binds) {
    com_ptr<IUnknown> object;
    EXPECT_EQ(BindName(bind.name, IID_IUnknown, object.put_void()), bind.expected) << bind.name;
    expected.push_back(bind.name);
  }
  EXPECT_EQ(Take(), Wide(expected));
  // Taking the log emptied it: an empty array, not null.
  EXPECT_EQ(Take(), std::vector<OleString>());
  com_ptr<IUnknown> object;
  EXPECT_EQ(BindName("TESK://domain/nc", IID_IUnknown, object.put_void()), S_OK);
  EXPECT_EQ(Take(), Wide({"TESK://domain/nc"}));
}

TEST_F(BindLogTest, NamesAreLoggedExactlyAsTheyWereGiven) {
  // Text outside ASCII, which the controller's ANSI lookup may not keep, comes back unchanged.
  const OleString name = Ole("TESK://domain/hd/WKS.DIR/") + OleString(1, OLECHAR(0x20AC)) +
                         OleString(1, OLECHAR(0x4E2D)) + Ole(".MPF");
  com_ptr<IUnknown> object;
  EXPECT_TRUE(FAILED(CoGetObject(name.c_str(), nullptr, IID_IUnknown, object.put_void())));
  EXPECT_EQ(Take(), std::vector<OleString>{name});
}

// A name bound through the class's own parse and the moniker it makes: the parse alone binds
// nothing, each BindToObject is one attempt, and a name the parse refuses is an attempt ended.
TEST_F(BindLogTest, EachBindOfAMonikerAndEachRefusedParseIsOneEntry) {
  CLSID clsid;
  ASSERT_EQ(CLSIDFromProgID(Ole("TESK").c_str(), &clsid), S_OK);
  com_ptr<IParseDisplayName> parser;
  ASSERT_EQ(CoGetClassObject(clsid, CLSCTX_INPROC_SERVER, nullptr, IID_IParseDisplayName,
                             parser.put_void()),
            S_OK);
  com_ptr<IBindCtx> context;
  ASSERT_EQ(CreateBindCtx(0, context.put()), S_OK);

  OleString main = Ole("TESK://domain/hd/WKS.DIR/PART1.ZOV/MAIN.MPF");
  ULONG eaten = 0;
  com_ptr<IMoniker> moniker;
  ASSERT_EQ(parser->ParseDisplayName(context.get(), &main[0], &eaten, moniker.put()), S_OK);
  EXPECT_EQ(Take(), std::vector<OleString>());
  for (int i = 0; i < 2; ++i) {
    com_ptr<IUnknown> object;
    EXPECT_EQ(moniker->BindToObject(context.get(), nullptr, IID_IUnknown, object.put_void()), S_OK);
  }
  OleString other = Ole("TESK:other");
  com_ptr<IMoniker> none;
  EXPECT_EQ(parser->ParseDisplayName(context.get(), &other[0], &eaten, none.put()), MK_E_SYNTAX);
  EXPECT_FALSE(none);
  EXPECT_EQ(Take(), std::vector<OleString>({main, main, other}));
}

TEST_F(BindLogTest, TheStreamAndTheVariablesAreNotLogged) {
  for (const char* name : {"KalTeskDomain.TeskDomain.1:", "@TeskVar.Var2", "@TeskVar.Var2:NCU2",
                           "@TeskVar.Var2:NOSUCH"}) {
    com_ptr<IUnknown> object;
    BindName(name, IID_IUnknown, object.put_void());
  }
  EXPECT_EQ(Take(), std::vector<OleString>());
}

TEST_F(BindLogTest, TheLogKeepsTheLast10000Names) {
  // Bound through one moniker each, so that the many binds need no parse.
  com_ptr<IBindCtx> context;
  ASSERT_EQ(CreateBindCtx(0, context.put()), S_OK);
  const OleString first = Ole("TESK://domain/sd/FIRST");
  const OleString later = Ole("TESK://domain/sd/LATER");
  com_ptr<IMoniker> firstMoniker, laterMoniker;
  ULONG eaten = 0;
  ASSERT_EQ(MkParseDisplayName(context.get(), first.c_str(), &eaten, firstMoniker.put()), S_OK);
  ASSERT_EQ(MkParseDisplayName(context.get(), later.c_str(), &eaten, laterMoniker.put()), S_OK);
  com_ptr<IUnknown> object;
  EXPECT_EQ(firstMoniker->BindToObject(context.get(), nullptr, IID_IUnknown, object.put_void()),
            kPathNotFound);
  for (int i = 0; i < 10000; ++i)
    laterMoniker->BindToObject(context.get(), nullptr, IID_IUnknown, object.put_void());
  std::vector<OleString> names = Take();
  ASSERT_EQ(names.size(), 10000u);
  EXPECT_EQ(names.front(), later);  // the first name was dropped
  EXPECT_EQ(names.back(), later);
}

TEST_F(BindLogTest, TakeBindLogNeedsSomewhereToPutTheNames) {
  EXPECT_EQ(control->TakeBindLog(nullptr), E_POINTER);
}

}  // namespace
