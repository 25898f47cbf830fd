// zovctl's controller commands on the controller folder of the test's machine: what each command
// changes, and what it refuses.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "command_line.h"
#include "controller_commands.h"
#include "controller_state.h"
#include "scratch.h"

namespace {

// Runs "zovctl WORDS..." (options included); -2 for a usage error.
int Zovctl(std::vector<std::string> words) {
  words.insert(words.begin(), "zovctl");
  std::vector<char*> argv;
  for (std::string& w : words) argv.push_back(&w[0]);
  zovctl::CommandLine line(static_cast<int>(argv.size()), argv.data(), {"ncu"}, {});
  try {
    return zovctl::RunControllerCommand(line.words(), line);
  } catch (const zovctl::UsageError&) {
    return -2;
  }
}

class ControllerCommandsTest : public ::testing::Test {
 protected:
  void SetUp() override {
#if defined(_WIN32)
    ASSERT_TRUE(SetEnvironmentVariableA("ZOV_MACHINE", (zov::test::ScratchDir() + "cmdmachine").c_str()));
#endif
    folder = zov::sim::ControllerFolder();
    ASSERT_TRUE(zov::sim::CreateFolders(folder + "hd\\WKS.DIR\\P.ZOV"));
    ASSERT_TRUE(zov::sim::CreateFolders(folder + "ncu"));
    ASSERT_TRUE(zov::test::WriteFileBytes(folder + "hd\\WKS.DIR\\P.ZOV\\MAIN.MPF", "N10\n"));
    ASSERT_TRUE(zov::test::WriteFileBytes(folder + "ncu\\NCU1.ini", "[NCU]\r\nOnline=1\r\n"));
    ASSERT_TRUE(zov::test::WriteFileBytes(folder + "ncu\\NCU2.ini", "[NCU]\r\nOnline=1\r\n"));
  }
  std::string folder;
};

TEST_F(ControllerCommandsTest, LoadAndUnloadMoveFilesBetweenTheStores) {
  const std::string nc = folder + "nc\\WKS.DIR\\P.ZOV\\MAIN.MPF";
  EXPECT_EQ(Zovctl({"nc", "load", "\\WKS.DIR\\P.ZOV\\MAIN.MPF"}), 0);
  std::string bytes;
  ASSERT_TRUE(zov::test::ReadFileBytes(nc, &bytes));
  EXPECT_EQ(bytes, "N10\n");
  EXPECT_EQ(Zovctl({"nc", "load", "WKS.DIR/P.ZOV/NONE.MPF"}), 1);
  EXPECT_EQ(Zovctl({"nc", "unload", "\\WKS.DIR\\P.ZOV"}), 1) << "a folder with files stays";
  EXPECT_EQ(Zovctl({"nc", "unload", "\\WKS.DIR\\P.ZOV\\MAIN.MPF"}), 0);
  EXPECT_FALSE(zov::test::FileExists(nc));
  EXPECT_TRUE(zov::test::FileExists(folder + "hd\\WKS.DIR\\P.ZOV\\MAIN.MPF"));
  EXPECT_EQ(Zovctl({"nc", "unload", "\\WKS.DIR\\P.ZOV\\MAIN.MPF"}), 1);
  // Names leading out of the stores are refused before anything is touched.
  EXPECT_EQ(Zovctl({"nc", "load", "\\WKS.DIR\\..\\..\\ncu\\NCU1.ini"}), -2);
  EXPECT_EQ(Zovctl({"nc", "unload", "..\\controller.ini"}), -2);
  EXPECT_FALSE(zov::test::FileExists(folder + "nc\\ncu"));
}

TEST_F(ControllerCommandsTest, SelectAndOnlineChangeTheNcusFile) {
  EXPECT_EQ(Zovctl({"nc", "select", "--ncu", "NCU2", "3", "\\WKS.DIR\\P.ZOV\\MAIN.MPF"}), 0);
  zov::sim::VariableRead work =
      zov::sim::ReadVariable(folder, "NCU2", "/Channel/ProgramPointer/workPNameLong[u3]");
  zov::sim::VariableRead prog =
      zov::sim::ReadVariable(folder, "NCU2", "/Channel/ProgramPointer/progName[u3]");
  EXPECT_EQ(work.spelling, "S:/_N_WKS_DIR/_N_P_ZOV");
  EXPECT_EQ(prog.spelling, "S:_N_MAIN_MPF");
  EXPECT_FALSE(
      zov::sim::ReadVariable(folder, "NCU1", "/Channel/ProgramPointer/progName[u3]").found);
  EXPECT_EQ(Zovctl({"nc", "select", "0", "\\WKS.DIR\\P.ZOV\\MAIN.MPF"}), -2);
  EXPECT_EQ(Zovctl({"nc", "select", "--ncu", "NCU9", "1", "\\X.MPF"}), 1);

  EXPECT_EQ(Zovctl({"ncu", "offline", "NCU1"}), 0);
  EXPECT_FALSE(zov::sim::NcuOnline(folder, "NCU1"));
  EXPECT_EQ(Zovctl({"ncu", "online", "NCU1"}), 0);
  EXPECT_TRUE(zov::sim::NcuOnline(folder, "NCU1"));
  EXPECT_EQ(Zovctl({"ncu", "offline", "..\\NCU1"}), -2);
  EXPECT_EQ(Zovctl({"ncu", "set", "NCU1", "/Bag/State/Opmode", "I2:1"}), 0);
  EXPECT_EQ(zov::sim::ReadVariable(folder, "NCU1", "/Bag/State/Opmode").status, 192);
  EXPECT_EQ(Zovctl({"ncu", "set", "NCU1", "/Bag/State/Opmode", "I2:x"}), -2);
  EXPECT_EQ(Zovctl({"ncu", "set", "NCU1", "/Bag/State/Opmode", ""}), 0);
  EXPECT_FALSE(zov::sim::ReadVariable(folder, "NCU1", "/Bag/State/Opmode").found);
}

}  // namespace
