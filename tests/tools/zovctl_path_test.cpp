// zovctl path: the server's path conversions on the command line -- what each command prints,
// which conversions give no result (exit status 1, a message), and the usage errors (exit status
// 2, nothing converted). Natively and under Wine. The default view of "path domain", which asks
// the NC, is tried against the virtual controller in zovctl_server_calls.sh.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "command_line.h"
#include "console_text.h"
#include "path_commands.h"

namespace {

struct PathRun {
  int status;           // the exit status; 2 for a usage error
  std::string out;      // standard output
  std::string message;  // standard error, or the usage error's message
};

// Runs "zovctl WORDS..." as main does, with every option zovctl knows.
PathRun Zovctl(std::vector<std::string> words) {
  words.insert(words.begin(), "zovctl");
  std::vector<char*> argv;
  for (std::string& w : words) argv.push_back(&w[0]);
  testing::internal::CaptureStdout();
  testing::internal::CaptureStderr();
  PathRun run{0, "", ""};
  try {
    zovctl::CommandLine line(static_cast<int>(argv.size()), argv.data(),
                             {"machine", "default", "channel", "access", "ncu", "view"},
                             {"help", "json", "trace"});
    run.status = zovctl::RunPathCommand(line.words(), line);
  } catch (const zovctl::UsageError& e) {
    run.status = 2;
    run.message = e.message;
  }
  run.out = testing::internal::GetCapturedStdout();
  const std::string err = testing::internal::GetCapturedStderr();
  if (run.message.empty()) run.message = err;
  return run;
}

struct Case {
  std::vector<std::string> words;
  const char* out;  // what is printed, line ends included
};

TEST(ZovctlPath, EachCommandPrintsTheServersConversion) {
  const Case cases[] = {
      // domain, in a view given
      {{"path", "domain", "main.mpf", "--view", "hd-nc"}, "TESK://domain/hd-nc/MAIN.MPF\n"},
      {{"path", "domain", "\\WKS.DIR\\PART1.ZOV", "--view", "hd-nc"},
       "TESK://domain/hd-nc/WKS.DIR/PART1.ZOV\n"},
      {{"path", "domain", "wks.dir\\part1.zov", "--view=hd"}, "TESK://domain/hd/WKS.DIR/PART1.ZOV\n"},
      {{"path", "domain", "/_N_WKS_DIR/_N_PART1_ZOV/_N_MAIN_MPF", "--view", "hd-nc"},
       "TESK://domain/hd-nc/WKS.DIR/PART1.ZOV/MAIN.MPF\n"},
      {{"path", "domain", "_N_MAIN_MPF", "--view", "hd-nc"}, "TESK://domain/hd-nc/_N_MAIN_MPF\n"},
      {{"path", "domain", "/_n_mpf_dir/_n_main_mpf", "--view", "hd-nc"},
       "TESK://domain/hd-nc/_N_MPF_DIR/_N_MAIN.MPF\n"},
      {{"path", "domain", "c:\\data\\x.mpf", "--view", "hd"}, "TESK://domain/c:/DATA/X.MPF\n"},
      {{"path", "domain", "\\\\srv\\share\\x.mpf", "--view", "hd"}, "TESK://domain//SRV/SHARE/X.MPF\n"},
      {{"path", "domain", "TESK://domain/nc/wks.dir", "--view", "hd-nc"}, "TESK://domain/hd-nc/WKS.DIR\n"},
      {{"path", "domain", "TESK://domain/hd-nc/wks.dir", "--view", "hd"}, "TESK://domain/hd/WKS.DIR\n"},
      {{"path", "domain", "TESK://domain/Other/wks.dir", "--view", "hd"}, "TESK://domain/Other/WKS.DIR\n"},
      {{"path", "domain", "main.mpf", "--view", "nc"}, "TESK://domain/nc/MAIN.MPF\n"},
      {{"path", "domain", "", "--view", "hd"}, "\n"},  // an empty path: the empty string
      // host
      {{"path", "host", "/_N_WKS_DIR/_N_PART1_ZOV/_N_MAIN_MPF"}, "\\WKS.DIR\\PART1.ZOV\\MAIN.MPF\n"},
      {{"path", "host", "/_N_WKS_DIR/X_ZOV/_N_Y_MPF"}, "\\WKS.DIR\\X_ZOV\\Y.MPF\n"},
      {{"path", "host", "_N_MAIN_MPF"}, "MAIN.MPF\n"},
      {{"path", "host", "MAIN_MPF"}, "MAIN_MPF\n"},
      {{"path", "host", "/_N_AB_CD"}, "\\AB_CD\n"},
      {{"path", "host", "TESK://domain/hd-nc/WKS.DIR/X.ZOV"}, "\\WKS.DIR\\X.ZOV\n"},
      {{"path", "host", "TESK://domain/hd"}, "\n"},  // only a view: the empty string
      {{"path", "host", "TESK://domain//srv/share"}, "\\\\SRV\\SHARE\n"},
      {{"path", "host", "TESK://domain/C:/data"}, "\\C:\\DATA\n"},
      // join
      {{"path", "join", "TESK://domain/hd/SPF.DIR", "sub"}, "TESK://domain/hd/SPF.DIR/sub\n"},
      {{"path", "join", "TESK://domain/hd/SPF.DIR", "sub", "SPF"}, "TESK://domain/hd/SPF.DIR/sub.SPF\n"},
      {{"path", "join", "D", "N", ""}, "D/N\n"},  // an empty extension: as without one
      // ncselect
      {{"path", "ncselect", "\\WKS.DIR\\X.ZOV\\MAIN.MPF"}, "/NC/WKS.DIR/X.ZOV/MAIN.MPF\n"},
      // split
      {{"path", "split", "WKS.DIR/A.ZOV/A.B.MPF"}, "A\nB.MPF\nWKS.DIR/A.ZOV\n"},
      {{"path", "split", "MAIN"}, "MAIN\n\n\n"},
      {{"path", "split", "TESK://domain/hd/X.ZOV/"}, "\n\nTESK://domain/hd/X.ZOV\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.words[1] + " \"" + c.words[2] + "\"");
    PathRun run = Zovctl(c.words);
    EXPECT_EQ(run.status, 0) << run.message;
    EXPECT_EQ(run.out, c.out);
    EXPECT_EQ(run.message, "");
  }
}

TEST(ZovctlPath, AConversionWithoutAResultSaysSoAndExitsWithOne) {
  const std::string longPath(1100, 'A');
  const std::string longName(100, 'N');
  const struct {
    std::vector<std::string> words;
    const char* message;
  } cases[] = {
      {{"path", "host", longPath}, "zovctl: path host: no result (the path would not fit"},
      {{"path", "domain", longPath, "--view", "hd"}, "zovctl: path domain: no result"},
      {{"path", "join", longPath, "N", "SPF"}, "zovctl: path join: no result"},
      {{"path", "ncselect", "\\" + longPath}, "zovctl: path ncselect: no result"},
      {{"path", "split", "DIR/" + longName},
       "zovctl: path split: no result (the last component has 100 bytes or more)"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.words[1]);
    PathRun run = Zovctl(c.words);
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.out, "");
    EXPECT_EQ(run.message.rfind(c.message, 0), 0u) << run.message;
  }
  // Just below the limits there is a result.
  EXPECT_EQ(Zovctl({"path", "split", "DIR/" + std::string(99, 'N')}).status, 0);
  EXPECT_EQ(Zovctl({"path", "host", std::string(1023, 'A')}).status, 0);
}

TEST(ZovctlPath, UsageErrorsConvertNothing) {
  const struct {
    std::vector<std::string> words;
    const char* message;  // the beginning of the usage error's message
  } cases[] = {
      {{"path"}, "missing command: usage: zovctl path domain NAME"},
      {{"path", "hosts", "X"}, "unknown command \"path hosts\""},
      {{"path", "host"}, "missing argument: usage: zovctl path host NAME"},
      {{"path", "host", "A", "B"}, "too many arguments (\"B\"): usage: zovctl path host NAME"},
      {{"path", "domain"}, "missing argument: usage: zovctl path domain NAME [--view hd|hd-nc|nc]"},
      {{"path", "join", "D"}, "missing argument: usage: zovctl path join DIR NAME [EXT]"},
      {{"path", "join", "D", "N", "E", "F"}, "too many arguments (\"F\")"},
      {{"path", "split", "A", "B"}, "too many arguments (\"B\")"},
      {{"path", "domain", "X", "--view", "sd"}, "option --view takes hd, hd-nc or nc, not \"sd\""},
      {{"path", "domain", "X", "--view", "HD"}, "option --view takes hd, hd-nc or nc, not \"HD\""},
      {{"path", "domain", "X", "--view", ""}, "option --view takes hd, hd-nc or nc, not \"\""},
      {{"path", "host", "X", "--view", "hd"}, "option --view does not apply to path host"},
      {{"path", "split", "X", "--json"}, "option --json does not apply to path split"},
      {{"path", "domain", "X", "--trace"}, "option --trace does not apply to path domain"},
      {{"path", "join", "D", "N", "--access", "1"}, "option --access does not apply to path join"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.message);
    PathRun run = Zovctl(c.words);
    EXPECT_EQ(run.status, 2);
    EXPECT_EQ(run.out, "");
    EXPECT_EQ(run.message.rfind(c.message, 0), 0u) << run.message;
  }
}

// Text outside ASCII goes to the server in the ANSI code page (Windows-1252 here) and comes back
// in the console's text: UTF-8 natively, the ANSI code page itself on Windows.
TEST(ZovctlPath, TextTravelsThroughTheAnsiCodePage) {
  if (GetACP() != 1252) GTEST_SKIP() << "the cases are written for Windows-1252";
  const bool utf8 = zovctl::ConsoleCodePage() == CP_UTF8;
  const std::string uLower = utf8 ? "\xC3\xBC" : "\xFC";  // u with diaeresis
  const std::string uUpper = utf8 ? "\xC3\x9C" : "\xDC";
  PathRun run = Zovctl({"path", "domain", "m" + uLower + "ller.mpf", "--view", "hd"});
  EXPECT_EQ(run.status, 0) << run.message;
  EXPECT_EQ(run.out, "TESK://domain/hd/M" + uUpper + "LLER.MPF\n");
  run = Zovctl({"path", "split", "D/" + uLower + ".SPF"});
  EXPECT_EQ(run.out, uLower + "\nSPF\nD\n");
  if (utf8) {
    // A character that Windows-1252 lacks (U+4E2D) would reach the server as a stand-in and name
    // another file: refused. Ill-formed UTF-8 is refused as well.
    run = Zovctl({"path", "host", "/_N_\xE4\xB8\xAD_MPF"});
    EXPECT_EQ(run.status, 2);
    EXPECT_NE(run.message.find("has characters the ANSI code page lacks"), std::string::npos) << run.message;
    run = Zovctl({"path", "join", "D", "\xC3", "SPF"});
    EXPECT_EQ(run.status, 2);
    EXPECT_NE(run.message.find("the name \"\xC3\" is not valid text"), std::string::npos) << run.message;
  }
}

}  // namespace
