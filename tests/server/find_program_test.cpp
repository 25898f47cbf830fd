// FindProgram end to end: a server configured from an installation tree of its own, searching the
// virtual controller, which logs every name it is asked to bind. The log is the order in which the
// server tried its candidates.
#include <gtest/gtest.h>

#include <initializer_list>
#include <string>
#include <vector>

#include "controller_setup.h"
#include "installation.h"
#include "ole_text.h"
#include "scratch.h"
#include "host_components.h"
#include "virtual_controller.h"
#include "zov/com_ptr.h"
#include "zov/unique_bstr.h"
#include "zov/unique_safearray.h"

namespace {

using zov::test::Bstr;
using zov::test::Narrow;

class FindProgramTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    ready_ = zov::test::SetUpVirtualController();
    if (!ready_) return;
    // Three program-store roots on the scratch drive, at levels 5, 1 and 3, in that order.
    std::string scratch = zov::test::ScratchDir();
    for (const char* name : {"ROOT5", "ROOT1", "ROOT3"}) {
      roots_.push_back(scratch + name);
      ready_ = ready_ && zov::test::MakeFolder(roots_.back());
    }
    ready_ = ready_ &&
             zov::test::WriteFileBytes(roots_[2] + "\\DEEP.SPF", "; only on a root of level 3\n") &&
             zov::test::WriteControllerFile("hd\\SPF.DIR\\SHARED.SPF", "; standard\n") &&
             zov::test::WriteControllerFile("hd\\CST.DIR\\CYCLE81.SPF", "; cycle\n") &&
             zov::test::WriteControllerFile("hd\\WKS.DIR\\PART1.ZOV\\ROUGH1.SPF", "; rough\n");
    const std::string logdrive = "[CONNECTIONS]\r\nConnectionNum=3\r\nConnection1=" + roots_[0] +
                                 "\r\nAccessProgram1=5\r\nConnection2=" + roots_[1] +
                                 "\r\nAccessProgram2=1\r\nConnection3=" + roots_[2] +
                                 "\r\nAccessProgram3=3\r\n";
    root_ = zov::test::Install(
        {{{"USER\\HUX.INI", "[BTSS-Settings]\r\n$MM_SW_OPTIONS=1\r\n"},
          {"USER\\LOGDRIVE.INI", logdrive}}});
    ready_ = ready_ && !root_.empty();
  }

  void SetUp() override {
    ASSERT_TRUE(ready_);
    ASSERT_EQ(zov::test::BindName("KalTeskDomain.TeskDomain.1:", IID_IVirtualController,
                                  control_.put_void()),
              S_OK);
  }

  // The names bound since the last call.
  std::vector<std::string> TakeBindLog() {
    std::vector<std::string> names;
    zov::unique_safearray log;
    EXPECT_EQ(control_->TakeBindLog(log.put()), S_OK);
    if (!log.get()) return names;
    LONG lower = 0, upper = -1;
    SafeArrayGetLBound(log.get(), 1, &lower);
    SafeArrayGetUBound(log.get(), 1, &upper);
    for (LONG i = lower; i <= upper; ++i) {
      BSTR name = nullptr;
      if (SafeArrayGetElement(log.get(), &i, &name) == S_OK) {
        zov::unique_bstr owned(name);
        names.push_back(Narrow(owned.get()));
      }
    }
    return names;
  }

  static bool ready_;
  static std::string root_;
  static std::vector<std::string> roots_;
  zov::com_ptr<IVirtualController> control_;
};

bool FindProgramTest::ready_ = false;
std::string FindProgramTest::root_;
std::vector<std::string> FindProgramTest::roots_;

const std::string kHdNc = "TESK://domain/hd-nc/";

std::vector<std::string> In(const std::string& directory, const std::string& name,
                            std::vector<const char*> extensions) {
  std::vector<std::string> out{directory + "/" + name};
  for (const char* e : extensions) out.push_back(directory + "/" + name + "." + e);
  return out;
}

// The lists one after the other.
std::vector<std::string> Concat(std::initializer_list<std::vector<std::string>> parts) {
  std::vector<std::string> out;
  for (const auto& part : parts) out.insert(out.end(), part.begin(), part.end());
  return out;
}

// The candidates of the four standard directories for a name without extension.
std::vector<std::string> Standard(const std::string& name) {
  return Concat({In(kHdNc + "SPF.DIR", name, {"SPF"}), In(kHdNc + "CUS.DIR", name, {"SPF"}),
                 In(kHdNc + "CMA.DIR", name, {"SPF"}), In(kHdNc + "CST.DIR", name, {"SPF"})});
}

// The domain path of a root on the scratch drive, as the server forms it: the drive letter as
// written, the rest upper case, "/" separators.
std::string RootPath(const std::string& windowsPath) {
  std::string tail = windowsPath.substr(2);
  for (char& c : tail) c = c == '\\' ? '/' : static_cast<char>(toupper(static_cast<unsigned char>(c)));
  return "TESK://domain/" + windowsPath.substr(0, 2) + tail;
}

TEST_F(FindProgramTest, CandidatesInOrderAndAccessLevels) {
  const std::string work = kHdNc + "WKS.DIR/PART1.ZOV";
  const std::string r5 = RootPath(roots_[0]), r1 = RootPath(roots_[1]), r3 = RootPath(roots_[2]);
  const std::vector<const char*> both = {"SPF", "MPF"};

  struct Case {
    const char* what;
    const char* working;
    const char* name;
    SHORT access;
    std::vector<std::string> tried;
    std::string found;
  };
  const Case cases[] = {
      {"nowhere, level 0: the whole chain", "\\WKS.DIR\\PART1.ZOV", "mysub", 0,
       Concat({In(work, "mysub", both), Standard("mysub"), In(r5, "mysub", both),
               In(r1, "mysub", both), In(r3, "mysub", both)}),
       ""},
      {"nowhere, level -1: the standard directories only", "\\WKS.DIR\\PART1.ZOV", "mysub", -1,
       Concat({In(work, "mysub", both), Standard("mysub")}), ""},
      {"nowhere, level 2: the roots of levels 5 and 3", "\\WKS.DIR\\PART1.ZOV", "mysub", 2,
       Concat({In(work, "mysub", both), Standard("mysub"), In(r5, "mysub", both),
               In(r3, "mysub", both)}),
       ""},
      {"in the working directory", "wks.dir\\part1.zov", "ROUGH1", 0,
       In(work, "ROUGH1", {"SPF"}), work + "/ROUGH1.SPF"},
      {"in a standard directory", "\\WKS.DIR\\PART1.ZOV", "CYCLE81.SPF", 0,
       {work + "/CYCLE81.SPF", kHdNc + "SPF.DIR/CYCLE81.SPF", kHdNc + "CUS.DIR/CYCLE81.SPF",
        kHdNc + "CMA.DIR/CYCLE81.SPF", kHdNc + "CST.DIR/CYCLE81.SPF"},
       kHdNc + "CST.DIR/CYCLE81.SPF"},
      {"on a root only at a sufficient level (3)", nullptr, "DEEP", 3,
       Concat({Standard("DEEP"), In(r5, "DEEP", both), In(r3, "DEEP", {"SPF"})}),
       r3 + "/DEEP.SPF"},
      {"on a root, level 0 reaches it after the level-1 root", nullptr, "DEEP", 0,
       Concat({Standard("DEEP"), In(r5, "DEEP", both), In(r1, "DEEP", both),
               In(r3, "DEEP", {"SPF"})}),
       r3 + "/DEEP.SPF"},
      {"not at a level above the root's", nullptr, "DEEP", 4,
       Concat({Standard("DEEP"), In(r5, "DEEP", both)}), ""},
  };
  zov::test::CurrentDirectoryScope scope(root_ + "\\bin");
  ASSERT_TRUE(scope.ok());
  zov::test::LocalServer server;
  ASSERT_EQ(server.Configuration().directories.size(), 3u);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    TakeBindLog();
    zov::unique_bstr working(c.working ? Bstr(c.working).detach() : nullptr);
    zov::unique_bstr found;
    ASSERT_EQ(server.FindProgram(working.get(), Bstr(c.name).get(), c.access, found.put()), S_OK);
    EXPECT_EQ(Narrow(found.get()), c.found);
    EXPECT_EQ(TakeBindLog(), c.tried);
  }
}

}  // namespace

namespace {

// Nothing to search for: no name, an empty name, no place for the result.
TEST_F(FindProgramTest, NothingToSearchFor) {
  zov::test::CurrentDirectoryScope scope(root_ + "\\bin");
  ASSERT_TRUE(scope.ok());
  zov::test::LocalServer server;
  struct Case {
    const char* what;
    BSTR name;
  };
  const zov::unique_bstr empty = Bstr("");
  const Case cases[] = {{"a null name", nullptr}, {"an empty name", empty.get()}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    TakeBindLog();
    zov::unique_bstr found;
    ASSERT_EQ(server.FindProgram(Bstr("\\WKS.DIR\\PART1.ZOV").get(), c.name, 0, found.put()),
              S_OK);
    ASSERT_NE(found.get(), nullptr);
    EXPECT_EQ(found.length(), 0u);
    EXPECT_TRUE(TakeBindLog().empty());
  }
  EXPECT_EQ(server.FindProgram(nullptr, Bstr("ROUGH1").get(), 0, nullptr), E_POINTER);
  EXPECT_TRUE(TakeBindLog().empty());
}

}  // namespace
