// zovctl's controller and profile commands as its command line runs them: what they refuse, and
// that a refused command leaves the virtual controller's state as it was. Natively and under Wine.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "command_line.h"
#include "controller_commands.h"
#include "controller_state.h"
#include "profile_commands.h"
#include "scratch.h"

namespace {

struct Outcome {
  int status;           // the exit status; 2 for a usage error
  std::string message;  // the usage error's message
};

// Runs "zovctl WORDS..." with every option zovctl knows, as main does.
Outcome Zovctl(std::vector<std::string> words) {
  words.insert(words.begin(), "zovctl");
  std::vector<char*> argv;
  for (std::string& w : words) argv.push_back(&w[0]);
  try {
    zovctl::CommandLine line(static_cast<int>(argv.size()), argv.data(),
                             {"machine", "default", "channel", "access", "ncu"}, {"help", "json"});
    const std::vector<std::string>& w = line.words();
    if (w.at(0) == "profile")
      return {zovctl::RunProfileCommand(std::vector<std::string>(w.begin() + 1, w.end()), line), ""};
    return {zovctl::RunControllerCommand(w, line), ""};
  } catch (const zovctl::UsageError& e) {
    return {2, e.message};
  }
}

class ZovctlCommandsTest : public ::testing::Test {
 protected:
  void SetUp() override {
#if defined(_WIN32)
    ASSERT_TRUE(SetEnvironmentVariableA("ZOV_MACHINE", (zov::test::ScratchDir() + "zovctlmachine").c_str()));
#endif
    folder = zov::sim::ControllerFolder();
    ASSERT_TRUE(zov::sim::CreateFolders(folder + "hd\\WKS.DIR\\P.ZOV"));
    ASSERT_TRUE(zov::sim::CreateFolders(folder + "nc"));
    ASSERT_TRUE(zov::sim::CreateFolders(folder + "ncu"));
    ASSERT_TRUE(zov::test::WriteFileBytes(folder + "hd\\WKS.DIR\\P.ZOV\\MAIN.MPF", "N10\n"));
    ASSERT_TRUE(zov::test::WriteFileBytes(folder + "ncu\\NCU1.ini", kNcu1));
    ASSERT_TRUE(zov::test::WriteFileBytes(folder + "ncu\\NCU2.ini", "[NCU]\r\nOnline=1\r\n"));
  }

  // NCU1's state file is as SetUp wrote it.
  void ExpectNcu1Unchanged() {
    std::string bytes;
    ASSERT_TRUE(zov::test::ReadFileBytes(folder + "ncu\\NCU1.ini", &bytes));
    EXPECT_EQ(bytes, kNcu1);
  }

  static constexpr const char* kNcu1 = "[NCU]\r\nOnline=1\r\n[Variables]\r\n/A=I2:1\r\n";
  std::string folder;
};

TEST_F(ZovctlCommandsTest, EachCommandRefusesTheOptionsItDoesNotTake) {
  const std::string ini = zov::test::ScratchDir() + "refused.ini";
  const struct {
    std::vector<std::string> words;
    const char* message;
  } cases[] = {
      {{"nc", "load", "\\WKS.DIR\\P.ZOV\\MAIN.MPF", "--json"}, "option --json does not apply to nc load"},
      {{"nc", "unload", "\\WKS.DIR", "--ncu", "NCU1"}, "option --ncu does not apply to nc unload"},
      {{"nc", "select", "--channel", "2", "1", "\\WKS.DIR\\P.ZOV\\MAIN.MPF"},
       "option --channel does not apply to nc select"},
      {{"nc", "select", "1", "\\WKS.DIR\\P.ZOV\\MAIN.MPF", "--access=0"},
       "option --access does not apply to nc select"},
      {{"ncu", "offline", "NCU1", "--default", "1"}, "option --default does not apply to ncu offline"},
      {{"ncu", "online", "NCU1", "--json"}, "option --json does not apply to ncu online"},
      {{"ncu", "set", "NCU1", "/A", "I2:2", "--ncu", "NCU2"}, "option --ncu does not apply to ncu set"},
      {{"profile", "set", ini, "S", "K", "V", "--default", "x"},
       "option --default does not apply to profile set"},
      {{"profile", "delete", ini, "S", "--access", "1"}, "option --access does not apply to profile delete"},
      {{"profile", "get", ini, "S", "K", "--json"}, "option --json does not apply to profile get"},
      {{"profile", "int", ini, "S", "K", "--channel", "1"}, "option --channel does not apply to profile int"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.message);
    Outcome run = Zovctl(c.words);
    EXPECT_EQ(run.status, 2);
    EXPECT_EQ(run.message, c.message);
  }
  ExpectNcu1Unchanged();
  EXPECT_TRUE(zov::sim::NcuOnline(folder, "NCU1"));
  EXPECT_FALSE(zov::test::FileExists(folder + "nc\\WKS.DIR"));
  EXPECT_FALSE(zov::sim::ReadVariable(folder, "NCU1", "/Channel/ProgramPointer/progName[u1]").found);
  EXPECT_FALSE(zov::test::FileExists(ini));
}

// The name and value become a line "name=value" of the NCU's state file, which must stay that
// one line of [Variables].
TEST_F(ZovctlCommandsTest, NcuSetRefusesWhatWouldChangeTheStateFilesLayout) {
  const struct {
    std::string variable, value;
    const char* message;
  } cases[] = {
      {"/A", "S:x\r\n[NCU]\r\nOnline=0", "control characters"},
      {"/A", "S:x\nOnline=0", "control characters"},
      {"/A", "S:x\ty", "control characters"},
      {"/A", "S:x\x7fy", "control characters"},
      {"/B\r\n[NCU]\r\nOnline", "0", "control characters"},
      {"/B\r\nOnline", "", "control characters"},
      {"[NCU]", "I2:0", "\"[NCU]\" is no variable name"},
      {";/A", "I2:0", "\";/A\" is no variable name"},
      {"/A=x", "I2:0", "\"/A=x\" is no variable name"},
      {"", "I2:0", "\"\" is no variable name"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.variable + " = " + c.value);
    Outcome run = Zovctl({"ncu", "set", "NCU1", c.variable, c.value});
    EXPECT_EQ(run.status, 2);
    EXPECT_NE(run.message.find(c.message), std::string::npos) << run.message;
  }
  ExpectNcu1Unchanged();
  EXPECT_TRUE(zov::sim::NcuOnline(folder, "NCU1"));
  // What a name may have: '[' and ';' past its start, blanks, non-ASCII; a value may have '='.
  EXPECT_EQ(Zovctl({"ncu", "set", "NCU1", "/Channel/x[u1];a", "S:a=b; c \xC4"}).status, 0);
  EXPECT_EQ(zov::sim::ReadVariable(folder, "NCU1", "/Channel/x[u1];a").spelling, "S:a=b; c \xC4");
}

// The channel of nc select is read as the server commands read their numbers, and is 1 or more.
TEST_F(ZovctlCommandsTest, NcSelectTakesAChannelFromOneOnAsAPlainNumber) {
  const std::string program = "\\WKS.DIR\\P.ZOV\\MAIN.MPF";
  const struct {
    const char* channel;
    const char* message;
  } refused[] = {
      {" 1", "the channel needs a whole number from -32768 to 32767, not \" 1\""},
      {"1 ", "the channel needs a whole number"},
      {"\t1", "the channel needs a whole number"},
      {"", "the channel needs a whole number"},
      {"0x1", "the channel needs a whole number"},
      {"1.0", "the channel needs a whole number"},
      {"32768", "the channel needs a whole number"},
      {"99999999999999999999", "the channel needs a whole number"},
      {"0", "the channel must be 1 or more, not \"0\""},
      {"-1", "the channel must be 1 or more, not \"-1\""},
      {"-32768", "the channel must be 1 or more"},
  };
  for (const auto& c : refused) {
    SCOPED_TRACE(std::string("channel \"") + c.channel + "\"");
    Outcome run = Zovctl({"nc", "select", c.channel, program});
    EXPECT_EQ(run.status, 2);
    EXPECT_NE(run.message.find(c.message), std::string::npos) << run.message;
  }
  ExpectNcu1Unchanged();

  const struct {
    const char* channel;
    const char* index;
  } taken[] = {{"1", "[u1]"}, {"007", "[u7]"}, {"32767", "[u32767]"}};
  for (const auto& c : taken) {
    SCOPED_TRACE(c.channel);
    EXPECT_EQ(Zovctl({"nc", "select", c.channel, program}).status, 0);
    EXPECT_EQ(zov::sim::ReadVariable(folder, "NCU1", std::string("/Channel/ProgramPointer/progName") + c.index)
                  .spelling,
              "S:_N_MAIN_MPF");
  }
}

TEST_F(ZovctlCommandsTest, UnloadingAFolderThatHasFilesSaysSo) {
  ASSERT_EQ(Zovctl({"nc", "load", "\\WKS.DIR\\P.ZOV\\MAIN.MPF"}).status, 0);
  testing::internal::CaptureStderr();
  int status = Zovctl({"nc", "unload", "\\WKS.DIR\\P.ZOV"}).status;
  std::string message = testing::internal::GetCapturedStderr();
  EXPECT_EQ(status, 1);
  EXPECT_EQ(message, "zovctl: \\WKS.DIR\\P.ZOV: the folder is not empty\n");
  EXPECT_TRUE(zov::test::FileExists(folder + "nc\\WKS.DIR\\P.ZOV\\MAIN.MPF"));
}

TEST_F(ZovctlCommandsTest, TheOptionsACommandTakesStillWork) {
  EXPECT_EQ(Zovctl({"--machine", "m", "nc", "select", "--ncu", "NCU2", "1", "\\WKS.DIR\\P.ZOV\\MAIN.MPF"}).status, 0);
  EXPECT_EQ(zov::sim::ReadVariable(folder, "NCU2", "/Channel/ProgramPointer/progName[u1]").spelling,
            "S:_N_MAIN_MPF");
  EXPECT_EQ(Zovctl({"ncu", "set", "NCU1", "/B", "I4:7", "--machine=m"}).status, 0);
  EXPECT_EQ(zov::sim::ReadVariable(folder, "NCU1", "/B").spelling, "I4:7");
}

}  // namespace
