// The program search over a host that records every domain path it forms and every candidate it
// is asked to open: the order of the candidates, the extension rules and the access levels.
#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

#include "ncpath/path_forms.h"
#include "ncpath/program_search.h"

namespace {

using zov::ncpath::SearchRoot;

class RecordingHost final : public zov::ncpath::SearchHost {
 public:
  explicit RecordingHost(std::set<std::string> existing) : existing_(std::move(existing)) {}

  std::optional<std::string> DomainPath(std::string_view name) override {
    ++domainPaths;
    return zov::ncpath::MakeDomainPathInView(name, zov::ncpath::kViewHdNc);
  }
  bool Open(const std::string& candidate) override {
    tried.push_back(candidate);
    return existing_.count(candidate) != 0;
  }

  std::vector<std::string> tried;
  int domainPaths = 0;

 private:
  std::set<std::string> existing_;
};

const std::string kHdNc = "TESK://domain/hd-nc/";
const std::string kWork = kHdNc + "WKS.DIR/PART1.ZOV";

// The candidates of one directory, in the order they are tried.
std::vector<std::string> In(const std::string& directory, const std::string& name,
                            std::vector<const char*> extensions) {
  std::vector<std::string> out{directory + "/" + name};
  for (const char* e : extensions) out.push_back(directory + "/" + name + "." + e);
  return out;
}

std::vector<std::string> Concat(std::vector<std::vector<std::string>> parts) {
  std::vector<std::string> out;
  for (auto& p : parts) out.insert(out.end(), p.begin(), p.end());
  return out;
}

std::vector<std::string> Standard(const std::string& name, std::vector<const char*> ext) {
  return Concat({In(kHdNc + "SPF.DIR", name, ext), In(kHdNc + "CUS.DIR", name, ext),
                 In(kHdNc + "CMA.DIR", name, ext), In(kHdNc + "CST.DIR", name, ext)});
}

const SearchRoot kRoots[] = {
    {"D:\\PROGS", 3},
    {"\\\\SERVER\\SHARE\\PARTS", 1},
    {"E:\\OPEN", 7},
};
const std::string kProgs = "TESK://domain/D:/PROGS";
const std::string kShare = "TESK://domain//SERVER/SHARE/PARTS";
const std::string kOpen = "TESK://domain/E:/OPEN";

TEST(ProgramSearchTest, CandidateOrder) {
  struct Case {
    const char* what;
    std::string working;
    const char* name;
    SHORT access;
    std::set<std::string> existing;
    std::vector<std::string> tried;
    std::string found;  // empty: nothing
  };
  const Case cases[] = {
      {"nowhere: the whole chain, all roots at level 0", kWork, "mysub", 0, {},
       Concat({In(kWork, "mysub", {"SPF", "MPF"}), Standard("mysub", {"SPF"}),
               In(kProgs, "mysub", {"SPF", "MPF"}), In(kShare, "mysub", {"SPF", "MPF"}),
               In(kOpen, "mysub", {"SPF", "MPF"})}),
       ""},
      {"found in the working directory with .SPF", kWork, "mysub", 0, {kWork + "/mysub.SPF"},
       In(kWork, "mysub", {"SPF"}), kWork + "/mysub.SPF"},
      {"found in a standard directory keeps the name's case", kWork, "mysub", 0,
       {kHdNc + "CUS.DIR/mysub.SPF"},
       Concat({In(kWork, "mysub", {"SPF", "MPF"}), In(kHdNc + "SPF.DIR", "mysub", {"SPF"}),
               In(kHdNc + "CUS.DIR", "mysub", {"SPF"})}),
       kHdNc + "CUS.DIR/mysub.SPF"},
      {"a .MPF is never tried in a standard directory", "", "mysub", 0,
       {kHdNc + "SPF.DIR/mysub.MPF", kProgs + "/mysub.MPF"},
       Concat({Standard("mysub", {"SPF"}), In(kProgs, "mysub", {"SPF", "MPF"})}),
       kProgs + "/mysub.MPF"},
      {"a name with an extension is tried unchanged only", kWork, "MYSUB.SPF", 1, {},
       Concat({In(kWork, "MYSUB.SPF", {}), Standard("MYSUB.SPF", {}), In(kProgs, "MYSUB.SPF", {}),
               In(kShare, "MYSUB.SPF", {}), In(kOpen, "MYSUB.SPF", {})}),
       ""},
      {"an NC name counts as having an extension and is joined unconverted", "", "_N_MYSUB_SPF",
       -1, {}, Standard("_N_MYSUB_SPF", {}), ""},
      {"a negative level searches the standard directories only", "", "X", -1, {},
       Standard("X", {"SPF"}), ""},
      {"a level between two roots' levels reaches the higher ones only", "", "X", 2, {},
       Concat({Standard("X", {"SPF"}), In(kProgs, "X", {"SPF", "MPF"}),
               In(kOpen, "X", {"SPF", "MPF"})}),
       ""},
      {"a level above every root reaches none", "", "X", 8, {}, Standard("X", {"SPF"}), ""},
      {"a name with a path is looked up as a path only", kWork, "\\WKS.DIR\\PART2.ZOV\\SUB", 0,
       {}, {kHdNc + "WKS.DIR/PART2.ZOV/SUB"}, ""},
      {"a domain path as name is put into the default view", kWork,
       "TESK://domain/hd/SPF.DIR/a.spf", 0, {kHdNc + "SPF.DIR/A.SPF"}, {kHdNc + "SPF.DIR/A.SPF"},
       kHdNc + "SPF.DIR/A.SPF"},
      {"an empty name names no program", kWork, "", 0, {}, {}, ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    RecordingHost host(c.existing);
    const auto found =
        zov::ncpath::SearchProgram(c.working, c.name, c.access, kRoots, 3, host);
    EXPECT_EQ(host.tried, c.tried);
    EXPECT_EQ(found.value_or(""), c.found);
    EXPECT_EQ(found.has_value(), !c.found.empty());
  }
}

// On a double-byte code page a name whose character ends in the byte of a backslash is no path:
// the whole chain is searched for it.
TEST(ProgramSearchTest, SecondByteIsNoSeparator) {
  const auto japanese = zov::ncpath::CodePage::WithLeadBytes("\x81\x95");
  const std::string name = "\x95\\";
  RecordingHost host({});
  EXPECT_FALSE(zov::ncpath::SearchProgram("", name, -1, kRoots, 3, host, japanese));
  EXPECT_EQ(host.tried.size(), Standard(name, {"SPF"}).size());
  RecordingHost bytewise({});
  EXPECT_FALSE(zov::ncpath::SearchProgram("", name, -1, kRoots, 3, bytewise));
  EXPECT_EQ(bytewise.tried.size(), 1u) << "on a single-byte code page it is a path";
}

// A root whose domain path cannot be formed is passed over; the others are still searched.
TEST(ProgramSearchTest, UnformableDirectoryIsSkipped) {
  const std::string tooLong = "D:\\" + std::string(1100, 'A');
  const SearchRoot roots[] = {{tooLong.c_str(), 7}, {"E:\\OPEN", 7}};
  RecordingHost host({kOpen + "/P"});
  const auto found = zov::ncpath::SearchProgram("", "P", 0, roots, 2, host);
  EXPECT_EQ(found.value_or(""), kOpen + "/P");
  EXPECT_EQ(host.tried.back(), kOpen + "/P");
  EXPECT_EQ(host.tried.size(), Standard("P", {"SPF"}).size() + 1);
}

}  // namespace
