// The text conversions between host paths, NC names, domain paths and NC selection paths: the
// worked conversions, their edge cases and the 1024-byte buffer limit of each.
#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "ncpath/path_forms.h"
#include "zov/win32.h"

namespace {

using namespace zov::ncpath;

struct Conversion {
  const char* input;
  const char* expected;
};

struct ViewConversion {
  const char* input;
  const char* view;
  const char* expected;
};

// High 1252 letters are upper-cased by the code page: only where the process's code page is 1252.
bool AnsiIs1252() { return GetACP() == 1252; }

TEST(MakeDomainPath, WorkedConversionsInTheCombinedView) {
  const std::vector<Conversion> cases = {
      {"main.mpf", "TESK://domain/hd-nc/MAIN.MPF"},
      {"\\WKS.DIR\\PART1.ZOV", "TESK://domain/hd-nc/WKS.DIR/PART1.ZOV"},
      {"wks.dir\\part1.zov", "TESK://domain/hd-nc/WKS.DIR/PART1.ZOV"},
      {"/_N_WKS_DIR/_N_PART1_ZOV/_N_MAIN_MPF", "TESK://domain/hd-nc/WKS.DIR/PART1.ZOV/MAIN.MPF"},
      {"/_N_MPF_DIR/_N_MAIN_MPF", "TESK://domain/hd-nc/MPF.DIR/MAIN.MPF"},
      {"_N_MAIN_MPF", "TESK://domain/hd-nc/_N_MAIN_MPF"},
      {"WKS.DIR/_N_PART1_ZOV", "TESK://domain/hd-nc/WKS.DIR/_N_PART1_ZOV"},
      {"c:\\data\\x.mpf", "TESK://domain/c:/DATA/X.MPF"},
      {"\\\\srv\\share\\x.mpf", "TESK://domain//SRV/SHARE/X.MPF"},
      {"TESK://domain/nc/wks.dir", "TESK://domain/hd-nc/WKS.DIR"},
      {"TESK://domain/hd-nc/wks.dir", "TESK://domain/hd-nc/WKS.DIR"},
  };
  for (const Conversion& c : cases) {
    SCOPED_TRACE(c.input);
    EXPECT_EQ(MakeDomainPathInView(c.input, kViewHdNc), std::optional<std::string>(c.expected));
  }
}

TEST(MakeDomainPath, EdgeCases) {
  const std::vector<ViewConversion> cases = {
      // An empty path stays empty, whatever the view.
      {"", kViewHdNc, ""},
      {"", kViewHd, ""},
      // Just the prefix, or the prefix and "/", comes back unchanged (its case too).
      {"TESK://domain", kViewHd, "TESK://domain"},
      {"TESK://domain/", kViewHd, "TESK://domain/"},
      {"tesk://DOMAIN", kViewHdNc, "tesk://DOMAIN"},
      // A view with nothing after it is no view to replace.
      {"TESK://domain/nc", kViewHd, "TESK://domain/nc"},
      // A first component that is no view keeps its case; only its tail is upper-cased.
      {"TESK://domain/Other/wks.dir", kViewHd, "TESK://domain/Other/WKS.DIR"},
      {"TESK://domain/hd-ncx/a", kViewHd, "TESK://domain/hd-ncx/A"},
      // Already in the requested view (ignoring case): only the tail's case changes.
      {"TESK://domain/hd/wks.dir", kViewHd, "TESK://domain/hd/WKS.DIR"},
      {"TESK://domain/HD-NC/wks", kViewHdNc, "TESK://domain/HD-NC/WKS"},
      {"tesk://Domain/hd-nc/a.mpf", kViewHdNc, "tesk://Domain/hd-nc/A.MPF"},
      // Moved into another view: the prefix is written anew, the tail upper-cased.
      {"TESK://domain/hd-nc/WKS.DIR", kViewHd, "TESK://domain/hd/WKS.DIR"},
      {"tesk://domain/NC/a", kViewHd, "TESK://domain/hd/A"},
      {"TESK://domain/hd/x", kViewHdNc, "TESK://domain/hd-nc/X"},
      // The view itself is never upper-cased.
      {"main.mpf", kViewHd, "TESK://domain/hd/MAIN.MPF"},
      {"main.mpf", kViewNc, "TESK://domain/nc/MAIN.MPF"},
      // The "/_N_" test ignores case, the removal of "_N_" does not.
      {"/_n_mpf_dir/_n_main_mpf", kViewHdNc, "TESK://domain/hd-nc/_N_MPF_DIR/_N_MAIN.MPF"},
      // A drive keeps the case in which it was written, and a drive or a share gets no view.
      {"c:\\data\\x.mpf", kViewHd, "TESK://domain/c:/DATA/X.MPF"},
      {"\\\\srv\\share", kViewHd, "TESK://domain//SRV/SHARE"},
      {"d:\\x.mpf", kViewHd, "TESK://domain/d:/X.MPF"},
      // A drive-relative name has no "/" after the drive: nothing is upper-cased.
      {"d:x.mpf", kViewHd, "TESK://domain/d:x.mpf"},
      // A leading "/" that is no NC name is a component separator of its own.
      {"/wks.dir/x", kViewHdNc, "TESK://domain/hd-nc//WKS.DIR/X"},
  };
  for (const ViewConversion& c : cases) {
    SCOPED_TRACE(std::string(c.input) + " in " + c.view);
    EXPECT_EQ(MakeDomainPathInView(c.input, c.view), std::optional<std::string>(c.expected));
  }
}

TEST(MakeDomainPath, ReadsUpToTheFirstNul) {
  const std::string withNul("\\wks.dir\0/junk", 14);
  EXPECT_EQ(MakeDomainPathInView(withNul, kViewHd),
            std::optional<std::string>("TESK://domain/hd/WKS.DIR"));
  EXPECT_EQ(MakeDomainPathInView(std::string("\0abc", 4), kViewHd), std::optional<std::string>(""));
  EXPECT_EQ(MakeDomainPathInView("x", std::string("hd\0-nc", 6)),
            std::optional<std::string>("TESK://domain/hd/X"));
}

TEST(MakeDomainPath, UpperCasesByTheAnsiCodePage) {
  if (!AnsiIs1252()) GTEST_SKIP() << "the process's ANSI code page is not 1252";
  EXPECT_EQ(MakeDomainPathInView("m\xFCller\\\xE9t\xE9.mpf", kViewHd),
            std::optional<std::string>("TESK://domain/hd/M\xDCLLER/\xC9T\xC9.MPF"));
  EXPECT_EQ(MakeDomainPathInView("\xFF\x9A", kViewHd),
            std::optional<std::string>("TESK://domain/hd/\x9F\x8A"));
}

TEST(MakeDomainPath, ResultsUpTo1023BytesFitAndLongerOnesAreAbsent) {
  // "TESK://domain/hd-nc/" is 20 bytes.
  EXPECT_EQ(MakeDomainPathInView(std::string(1003, 'a'), kViewHdNc)->size(), 1023u);
  EXPECT_EQ(MakeDomainPathInView(std::string(1004, 'a'), kViewHdNc), std::nullopt);
  // A share gets no view: "TESK://domain" and the share.
  EXPECT_EQ(MakeDomainPathInView("\\\\" + std::string(1008, 's'), kViewHdNc)->size(), 1023u);
  EXPECT_EQ(MakeDomainPathInView("\\\\" + std::string(1009, 's'), kViewHdNc), std::nullopt);
  // A domain path is copied as it is: 1023 bytes fit, 1024 do not.
  const std::string inView = "TESK://domain/hd-nc/";
  EXPECT_EQ(MakeDomainPathInView(inView + std::string(1003, 'x'), kViewHdNc)->size(), 1023u);
  EXPECT_EQ(MakeDomainPathInView(inView + std::string(1004, 'x'), kViewHdNc), std::nullopt);
  // Moving a domain path from "nc" to "hd-nc" makes it 3 bytes longer.
  const std::string inNc = "TESK://domain/nc/";  // 17 bytes
  EXPECT_EQ(MakeDomainPathInView(inNc + std::string(1003, 'x'), kViewHdNc)->size(), 1023u);
  EXPECT_EQ(MakeDomainPathInView(inNc + std::string(1004, 'x'), kViewHdNc), std::nullopt);
  EXPECT_EQ(MakeDomainPathInView(inNc + std::string(1004, 'x'), kViewHd)->size(), 1021u);
  EXPECT_EQ(MakeDomainPathInView(inNc + std::string(1006, 'x'), kViewNc)->size(), 1023u);
  EXPECT_EQ(MakeDomainPathInView(inNc + std::string(1007, 'x'), kViewNc), std::nullopt);
  // An NC name is first made a host path in the same buffer: the name itself must fit, even
  // where its host path would be shorter.
  std::string longName;
  while (longName.size() < 1024) longName += "/_N_A";
  EXPECT_EQ(MakeDomainPathInView(longName, kViewHd), std::nullopt);
}

TEST(MakeHostPath, WorkedConversions) {
  const std::vector<Conversion> cases = {
      {"/_N_WKS_DIR/_N_PART1_ZOV/_N_MAIN_MPF", "\\WKS.DIR\\PART1.ZOV\\MAIN.MPF"},
      {"/_N_MPF_DIR", "\\MPF.DIR"},
      {"_N_MAIN_MPF", "MAIN.MPF"},
      {"MAIN_MPF", "MAIN_MPF"},
      {"WKS.DIR/X_MPF", "WKS.DIR\\X.MPF"},
      {"TESK://domain/hd-nc/WKS.DIR/X.ZOV", "\\WKS.DIR\\X.ZOV"},
      {"TESK://domain/hd", ""},
      {"TESK://domain//srv/share", "\\\\SRV\\SHARE"},
      {"TESK://domain/C:/data", "\\C:\\DATA"},
  };
  for (const Conversion& c : cases) {
    SCOPED_TRACE(c.input);
    EXPECT_EQ(MakeHostPath(c.input), std::optional<std::string>(c.expected));
  }
}

TEST(MakeHostPath, EdgeCases) {
  const std::vector<Conversion> cases = {
      {"", ""},
      // Only a middle component that carried "_N_" gets its "." back.
      {"/_N_WKS_DIR/X_ZOV/_N_Y_MPF", "\\WKS.DIR\\X_ZOV\\Y.MPF"},
      // A two-character extension is no extension.
      {"/_N_AB_CD", "\\AB_CD"},
      {"/_N_WKS_DI/_N_A_MPF", "\\WKS_DI\\A.MPF"},
      // A domain path that holds only a view, or less, names nothing.
      {"TESK://domain/hd-nc", ""},
      {"TESK://domain", ""},
      {"TESK://domain/a", ""},
      {"TESK://domain/hd-nc/", "\\"},
      // The prefix ignores case; the view is dropped whatever it is.
      {"tesk://Domain/hd/wks.dir/a.mpf", "\\WKS.DIR\\A.MPF"},
      {"TESK://domain/other/a.mpf", "\\A.MPF"},
      // A host path is only upper-cased, "/" and all.
      {"\\wks.dir/a_mpf", "\\WKS.DIR/A_MPF"},
      // The removal of "/_N_" is case-sensitive; a leading "_N_" is removed in any case.
      {"/_n_main_mpf", "\\_N_MAIN.MPF"},
      {"_n_main_mpf", "MAIN.MPF"},
      {"_N_A", "A"},
      // A repeated "_N_" goes with the next search.
      {"/_N__N_MAIN_MPF", "\\MAIN.MPF"},
      // NC components inside a relative path.
      {"A/_N_X_MPF/_N_B_SPF", "A\\X.MPF\\B.SPF"},
      {"/_N_", "\\"},
      {"/X_MPF", "\\X.MPF"},
      // A bare name without "/" and without "_N_" is only upper-cased.
      {"x_mpf", "X_MPF"},
      // Repeated slashes stay repeated.
      {"//_N_A_MPF", "\\\\A.MPF"},
  };
  for (const Conversion& c : cases) {
    SCOPED_TRACE(c.input);
    EXPECT_EQ(MakeHostPath(c.input), std::optional<std::string>(c.expected));
  }
}

TEST(MakeHostPath, ReadsUpToTheFirstNulAndUpperCasesByTheCodePage) {
  EXPECT_EQ(MakeHostPath(std::string("/_N_A_MPF\0/_N_B_SPF", 19)),
            std::optional<std::string>("\\A.MPF"));
  if (!AnsiIs1252()) GTEST_SKIP() << "the process's ANSI code page is not 1252";
  EXPECT_EQ(MakeHostPath("/_N_\xE4nderung_mpf"), std::optional<std::string>("\\\xC4NDERUNG.MPF"));
}

TEST(MakeHostPath, NamesUpTo1023BytesFitAndLongerOnesAreAbsent) {
  EXPECT_EQ(MakeHostPath("\\" + std::string(1022, 'a'))->size(), 1023u);
  EXPECT_EQ(MakeHostPath("\\" + std::string(1023, 'a')), std::nullopt);
  // The name must fit even where its host path would be shorter.
  EXPECT_EQ(MakeHostPath("TESK://domain/" + std::string(1009, 'a')), std::optional<std::string>(""));
  EXPECT_EQ(MakeHostPath("TESK://domain/" + std::string(1010, 'a')), std::nullopt);
  std::string ncName(1023, 'A');
  ncName.replace(0, 4, "/_N_");
  EXPECT_EQ(MakeHostPath(ncName)->size(), 1020u);
  EXPECT_EQ(MakeHostPath(ncName + "A"), std::nullopt);
  // What follows a NUL does not count.
  EXPECT_EQ(MakeHostPath("A" + std::string(1, '\0') + std::string(2000, 'a')),
            std::optional<std::string>("A"));
}

struct Join {
  const char* directory;
  const char* name;
  const char* extension;
  const char* expected;
};

TEST(JoinPath, JoinsWithAndWithoutExtension) {
  const std::vector<Join> cases = {
      {"WKS.DIR/A.ZOV", "MAIN", "MPF", "WKS.DIR/A.ZOV/MAIN.MPF"},
      {"TESK://domain/hd/WKS.DIR", "A", "ZOV", "TESK://domain/hd/WKS.DIR/A.ZOV"},
      {"D", "N", "", "D/N"},
      {"", "N", "X", "/N.X"},
      {"D", "", "", "D/"},
      {"", "", "", "/"},
  };
  for (const Join& c : cases) {
    SCOPED_TRACE(std::string(c.directory) + " | " + c.name + " | " + c.extension);
    EXPECT_EQ(JoinPath(c.directory, c.name, c.extension), std::optional<std::string>(c.expected));
  }
  EXPECT_EQ(JoinPath("D", "N"), std::optional<std::string>("D/N"));
  EXPECT_EQ(JoinPath(std::string("D\0x", 3), std::string("N\0y", 3), std::string("\0z", 2)),
            std::optional<std::string>("D/N"));
}

TEST(JoinPath, RefusesWhatWouldBeCutAt1024Bytes) {
  // 1000 + "/" + 18 + "." + 3 = 1023.
  EXPECT_EQ(JoinPath(std::string(1000, 'd'), std::string(18, 'n'), "MPF")->size(), 1023u);
  EXPECT_EQ(JoinPath(std::string(1000, 'd'), std::string(19, 'n'), "MPF"), std::nullopt);
  EXPECT_EQ(JoinPath(std::string(1000, 'd'), std::string(22, 'n'))->size(), 1023u);
  EXPECT_EQ(JoinPath(std::string(1000, 'd'), std::string(23, 'n')), std::nullopt);
  EXPECT_EQ(JoinPath("", "", std::string(1022, 'e')), std::nullopt);
  EXPECT_EQ(JoinPath("", "", std::string(1021, 'e'))->size(), 1023u);
}

TEST(MakeNcSelectPath, PrefixesNcAndTurnsBackslashes) {
  const std::vector<Conversion> cases = {
      {"\\WKS.DIR\\X.ZOV\\MAIN.MPF", "/NC/WKS.DIR/X.ZOV/MAIN.MPF"},
      {"\\MPF.DIR\\MAIN.MPF", "/NC/MPF.DIR/MAIN.MPF"},
      {"", "/NC"},
      // Nothing but "/NC" and the separators: no "/" added, no case changed.
      {"MAIN.MPF", "/NCMAIN.MPF"},
      {"\\wks\\x/y", "/NC/wks/x/y"},
  };
  for (const Conversion& c : cases) {
    SCOPED_TRACE(c.input);
    EXPECT_EQ(MakeNcSelectPath(c.input), std::optional<std::string>(c.expected));
  }
  EXPECT_EQ(MakeNcSelectPath("\\" + std::string(1019, 'a'))->size(), 1023u);
  EXPECT_EQ(MakeNcSelectPath("\\" + std::string(1020, 'a')), std::nullopt);
}

struct Split {
  const char* path;
  const char* directory;
  const char* name;
  const char* extension;
};

TEST(SplitPath, SplitsAtTheLastSlashAndTheFirstDot) {
  const std::vector<Split> cases = {
      {"WKS.DIR/A.ZOV/MAIN.MPF", "WKS.DIR/A.ZOV", "MAIN", "MPF"},
      {"WKS.DIR/A.ZOV", "WKS.DIR", "A", "ZOV"},
      {"MAIN", "", "MAIN", ""},
      {"A.B.MPF", "", "A", "B.MPF"},
      {"TESK://domain/hd-nc/WKS.DIR/A.ZOV", "TESK://domain/hd-nc/WKS.DIR", "A", "ZOV"},
      {"dir.x/name", "dir.x", "name", ""},
      {"dir/", "dir", "", ""},
      {"/a.mpf", "", "a", "mpf"},
      {".mpf", "", "", "mpf"},
      {"a.", "", "a", ""},
      {"", "", "", ""},
  };
  for (const Split& c : cases) {
    SCOPED_TRACE(c.path);
    const std::optional<PathParts> parts = SplitPath(c.path);
    ASSERT_TRUE(parts.has_value());
    EXPECT_EQ(parts->directory, c.directory);
    EXPECT_EQ(parts->name, c.name);
    EXPECT_EQ(parts->extension, c.extension);
  }
}

TEST(SplitPath, RefusesALastComponentOf100BytesAndAPathOver1023) {
  const std::optional<PathParts> fits = SplitPath("D/" + std::string(95, 'n') + ".MPF");
  ASSERT_TRUE(fits.has_value());
  EXPECT_EQ(fits->name.size(), 95u);
  EXPECT_EQ(fits->extension, "MPF");
  EXPECT_EQ(SplitPath("D/" + std::string(96, 'n') + ".MPF"), std::nullopt);
  EXPECT_EQ(SplitPath(std::string(100, 'n')), std::nullopt);
  // The directory may be long: the whole path is what must fit.
  const std::string longDirectory(1020, 'd');
  EXPECT_EQ(SplitPath(longDirectory + "/ab")->directory, longDirectory);
  EXPECT_EQ(SplitPath(longDirectory + "/abc"), std::nullopt);
  EXPECT_EQ(SplitPath(std::string("a/b.c\0/d.e", 10))->extension, "c");
}

}  // namespace
