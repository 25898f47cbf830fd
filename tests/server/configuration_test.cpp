// The configuration a CZOVServer reads at construction, each case on an installation tree of its
// own: the host program's folder (the current directory while the server is made), kor_vel with
// the host library qm32.dll and the job library, and the host's INI files where qm32.dll finds
// them (USER over OEM over the defaults in KOR_VEL).
#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "installation.h"
#include "module_install.h"
#include "scratch.h"
#include "server/configuration.h"
#include "server/zov_server.h"

namespace {

using zov::server::ConfigurationView;
using Directories = std::vector<ConfigurationView::Directory>;
using zov::test::Install;
using zov::test::Installation;
using zov::test::JobLibrary;
using zov::test::LocalServer;
using zov::test::MakeFolder;

// The configuration a server made with `directory` as the current directory reads.
ConfigurationView ReadIn(const std::string& directory) {
  zov::test::CurrentDirectoryScope scope(directory);
  EXPECT_TRUE(scope.ok()) << directory;
  LocalServer server;
  return server.Configuration();
}


TEST(ConfigurationTest, WhatTheServerReads) {
  struct Case {
    const char* what;
    Installation installation;
    // expected
    bool hasTempDir;
    std::string tempDir;
    Directories directories;
    bool localMachine = false;
    bool ignoreMissing = false;
    bool jobLibrary = true;
    bool interpretJob = true;
  };
  const std::string machineDatum =
      "[BTSS-Settings]\r\n$MM_SW_OPTIONS=1\r\n"
      "$MM_CMM_DIRECTORY_SOFTKEY_PATH2=E:\\MD\r\n$MM_USER_CLASS_DIRECTORY2_P=3\r\n";
  const Case cases[] = {
      {"TempDir missing: the default with a backslash",
       {{{"USER\\HUX.INI", "[GLOBAL]\r\nVaxoMachineName=mill\r\n"}}},
       true, "c:\\tmp\\", {}},
      {"TempDir already ending in a backslash is kept",
       {{{"USER\\HUX.INI", "[DIRECTORIES]\r\nTempDir=D:\\TEMP\\\r\n"}}},
       true, "D:\\TEMP\\", {}},
      {"TempDir without a backslash gets one",
       {{{"OEM\\HUX.INI", "[DIRECTORIES]\r\nTempDir=C:\\HUX\\TEMP\r\n"}}},
       true, "C:\\HUX\\TEMP\\", {}},
      {"TempDir empty: no temporary directory",
       {{{"USER\\HUX.INI", "[DIRECTORIES]\r\nTempDir=\r\n"}}},
       false, "", {}},
      {"user settings over OEM settings over the defaults",
       {{{"KOR_VEL\\HUX.INI", "[DIRECTORIES]\r\nTempDir=C:\\DEFAULT\r\n[GLOBAL]\r\n"
                              "VaxoMachineName=local\r\n"},
         {"OEM\\HUX.INI", "[DIRECTORIES]\r\nTempDir=C:\\OEM\r\n"},
         {"USER\\HUX.INI", "[GLOBAL]\r\nVaxoMachineName=mill\r\n"}}},
       true, "C:\\OEM\\", {}},
      {"ConnectionNum 12: only the first eight connections",
       {{{"USER\\HUX.INI", "[BTSS-Settings]\r\n$MM_SW_OPTIONS=1\r\n"},
         {"USER\\LOGDRIVE.INI",
          "[CONNECTIONS]\r\nConnectionNum=12\r\nConnection1=D:\\P1\r\nConnection2=D:\\P2\r\n"
          "Connection3=D:\\P3\r\nConnection4=D:\\P4\r\nConnection5=D:\\P5\r\n"
          "Connection6=D:\\P6\r\nConnection7=D:\\P7\r\nConnection8=D:\\P8\r\n"
          "Connection9=D:\\P9\r\nConnection10=D:\\P10\r\nConnection11=D:\\P11\r\n"
          "Connection12=D:\\P12\r\nAccessProgram2=0\r\nAccessProgram8=5\r\nAccessProgram9=1\r\n"}}},
       true, "c:\\tmp\\",
       {{"D:\\P1", 7}, {"D:\\P2", 0}, {"D:\\P3", 7}, {"D:\\P4", 7}, {"D:\\P5", 7},
        {"D:\\P6", 7}, {"D:\\P7", 7}, {"D:\\P8", 5}}},
      {"mixed list: a drive, a lone letter, a share; the machine data are not read",
       {{{"USER\\HUX.INI", machineDatum},
         {"USER\\LOGDRIVE.INI",
          "[CONNECTIONS]\r\nConnectionNum=3\r\nConnection1=D:\\PROGS\r\nConnection2=X\r\n"
          "Connection3=\\\\SERVER\\SHARE\r\nAccessProgram2=1\r\nAccessProgram3=2\r\n"}}},
       true, "c:\\tmp\\", {{"D:\\PROGS", 7}, {"\\\\SERVER\\SHARE", 2}}},
      {"without ConnectionNum eight keys are read; gaps are passed over",
       {{{"USER\\HUX.INI", "[BTSS-Settings]\r\n$MM_SW_OPTIONS=3\r\n"},
         {"OEM\\LOGDRIVE.INI", "[CONNECTIONS]\r\nConnection3=\\\\SRV\\A\r\nConnection8=F:\\\r\n"
                              "AccessProgram8=-1\r\n"}}},
       true, "c:\\tmp\\", {{"\\\\SRV\\A", 7}, {"F:\\", -1}}},
      {"$MM_SW_OPTIONS bit 0 clear: no directory whatever LOGDRIVE.INI holds",
       {{{"USER\\HUX.INI", "[BTSS-Settings]\r\n$MM_SW_OPTIONS=2\r\n"
                           "$MM_CMM_DIRECTORY_SOFTKEY_PATH1=E:\\MD\r\n"},
         {"USER\\LOGDRIVE.INI", "[CONNECTIONS]\r\nConnectionNum=1\r\nConnection1=D:\\PROGS\r\n"}}},
       true, "c:\\tmp\\", {}},
      {"no connection value, LOGDRIVE.INI below OEM: no directory",
       {{{"USER\\HUX.INI", machineDatum},
         {"OEM\\LOGDRIVE.INI", "[CONNECTIONS]\r\nConnectionNum=2\r\n"}}},
       true, "c:\\tmp\\", {}},
      {"ConnectionNum 0: no connection key is read, and LOGDRIVE.INI exists",
       {{{"USER\\HUX.INI", machineDatum},
         {"USER\\LOGDRIVE.INI", "[CONNECTIONS]\r\nConnectionNum=0\r\nConnection1=D:\\X\r\n"}}},
       true, "c:\\tmp\\", {}},
      {"ConnectionNum negative: the same",
       {{{"USER\\HUX.INI", machineDatum},
         {"KOR_VEL\\LOGDRIVE.INI", "[CONNECTIONS]\r\nConnectionNum=-3\r\nConnection1=D:\\X\r\n"}}},
       true, "c:\\tmp\\", {}},
      {"only a value that is no root: found, so no fallback",
       {{{"USER\\HUX.INI", machineDatum},
         {"HUX2\\LOGDRIVE.INI", "[CONNECTIONS]\r\nConnection1=PROGS\r\n"}}},
       true, "c:\\tmp\\", {}},
      {"no LOGDRIVE.INI anywhere: the machine data",
       {{{"USER\\HUX.INI", machineDatum + "$MM_CMM_DIRECTORY_SOFTKEY_PATH1=X\r\n"
                                          "$MM_CMM_DIRECTORY_SOFTKEY_PATH4=\\\\NAS\\NC\r\n"}}},
       true, "c:\\tmp\\", {{"E:\\MD", 3}, {"\\\\NAS\\NC", 7}}},
      {"VaxoMachineName in capitals is the local machine",
       {{{"USER\\HUX.INI", "[GLOBAL]\r\nVaxoMachineName=LOCAL\r\n"}}},
       true, "c:\\tmp\\", {}, true},
      {"VaxoMachineName that only begins with local is not",
       {{{"USER\\HUX.INI", "[GLOBAL]\r\nVaxoMachineName=localhost\r\n"}}},
       true, "c:\\tmp\\", {}, false},
      {"IgnoreMissingProgramAndChan 1",
       {{{"USER\\HUX.INI", "[Program]\r\nIgnoreMissingProgramAndChan=1\r\n"}}},
       true, "c:\\tmp\\", {}, false, true},
      {"IgnoreMissingProgramAndChan other than 1 is off",
       {{{"USER\\HUX.INI", "[Program]\r\nIgnoreMissingProgramAndChan=2\r\n"}}},
       true, "c:\\tmp\\", {}, false, false},
      {"a job library without InterpretJob is kept loaded, without an entry point",
       {{}, true, JobLibrary::WithoutExport},
       true, "c:\\tmp\\", {}, false, false, true, false},
      {"no job library",
       {{}, true, JobLibrary::Missing},
       true, "c:\\tmp\\", {}, false, false, false, false},
      {"no host library: the system's profile functions and no installation root",
       {{{"USER\\HUX.INI", "[GLOBAL]\r\nVaxoMachineName=local\r\n"}}, false},
       true, "c:\\tmp\\", {}, false, false, false, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const std::string root = Install(c.installation);
    ASSERT_FALSE(root.empty());
    const ConfigurationView view = ReadIn(root + "\\bin");
    EXPECT_EQ(view.hasTempDir, c.hasTempDir);
    EXPECT_EQ(view.tempDir, c.tempDir);
    EXPECT_EQ(view.directories, c.directories);
    EXPECT_EQ(view.localMachine, c.localMachine);
    EXPECT_EQ(view.ignoreMissingProgramAndChan, c.ignoreMissing);
    EXPECT_EQ(view.hasJobLibrary, c.jobLibrary);
    EXPECT_EQ(view.hasInterpretJob, c.interpretJob);
  }
}

// A LOGDRIVE.INI without connections in any of the six places of the installation tree keeps the
// machine data from being read; none at all lets them in.
TEST(ConfigurationTest, LogDriveIniInEachPlace) {
  const std::string machineDatum =
      "[BTSS-Settings]\r\n$MM_SW_OPTIONS=1\r\n"
      "$MM_CMM_DIRECTORY_SOFTKEY_PATH2=E:\\MD\r\n$MM_USER_CLASS_DIRECTORY2_P=3\r\n";
  const char* places[] = {"USER\\", "OEM\\", "ADD_ON\\", "KOR_VEL\\", "HUX2\\", "", nullptr};
  for (const char* place : places) {
    SCOPED_TRACE(place ? place : "nowhere");
    Installation installation{{{"OEM\\HUX.INI", machineDatum}}};
    if (place) {
      installation.files.push_back(
          {std::string(place) + "LOGDRIVE.INI", "[CONNECTIONS]\r\nConnectionNum=4\r\n"});
    }
    const std::string root = Install(installation);
    ASSERT_FALSE(root.empty());
    const Directories expected = place ? Directories{} : Directories{{"E:\\MD", 3}};
    EXPECT_EQ(ReadIn(root + "\\bin").directories, expected);
  }
}

// The host library is freed at the end of construction and the job library with the object: no
// module of either name stays loaded.
TEST(ConfigurationTest, LibrariesAreFreed) {
  const std::string root = Install({});
  ASSERT_FALSE(root.empty());
  zov::test::CurrentDirectoryScope scope(root + "\\bin");
  ASSERT_TRUE(scope.ok());
  {
    LocalServer server;
    EXPECT_TRUE(server.Configuration().hasInterpretJob);
    EXPECT_EQ(GetModuleHandleA("qm32.dll"), nullptr);
    EXPECT_NE(GetModuleHandleA("Wrk32dll.dll"), nullptr);
  }
  EXPECT_EQ(GetModuleHandleA("Wrk32dll.dll"), nullptr);
}

// The host library is looked for below the root of the current drive when it is not found
// relative to the current directory.
TEST(ConfigurationTest, HostLibraryAtTheDriveRoot) {
  if (zov::test::RunningUnderWine()) GTEST_SKIP() << "writes below the root of the prefix's C:";
  ASSERT_TRUE(MakeFolder("C:\\kor_vel"));
  ASSERT_TRUE(zov::test::CopyModuleTo(ZOV_QM32_BUILD_PATH, "qm32.dll", "C:\\kor_vel\\qm32.dll"));
  ASSERT_TRUE(MakeFolder("C:\\USER"));
  ASSERT_TRUE(zov::test::WriteFileBytes("C:\\USER\\HUX.INI",
                                        "[DIRECTORIES]\r\nTempDir=C:\\AT\\ROOT\r\n"));
  const std::string elsewhere = zov::test::NewScratchFolder("cwd");
  const ConfigurationView view = ReadIn(elsewhere);
  EXPECT_EQ(view.tempDir, "C:\\AT\\ROOT\\");
  DeleteFileA("C:\\USER\\HUX.INI");
  DeleteFileA("C:\\kor_vel\\qm32.dll");
}

// COM for the constructing thread: joined to the multithreaded apartment and balanced by the
// destructor; on a thread that lives in a single-threaded apartment nothing is initialised.
TEST(ConfigurationTest, ComInitialisation) {
  struct Case {
    const char* what;
    DWORD threadApartment;  // how the thread initialised COM before; ~0u: not at all
    bool initialized;
  };
  const Case cases[] = {
      {"a thread without COM", ~0u, true},
      {"a thread in the multithreaded apartment", COINIT_MULTITHREADED, true},
      {"a thread in a single-threaded apartment", COINIT_APARTMENTTHREADED, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    bool initialized = !c.initialized;
    HRESULT afterwards = E_FAIL;
    std::thread thread([&] {
      if (c.threadApartment != ~0u) CoInitializeEx(nullptr, c.threadApartment);
      {
        LocalServer server;
        initialized = server.Configuration().comInitialized;
      }
      // Balanced: a thread that had no COM is free again to choose its apartment.
      afterwards = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
      if (SUCCEEDED(afterwards)) CoUninitialize();
      if (c.threadApartment != ~0u) CoUninitialize();
    });
    thread.join();
    EXPECT_EQ(initialized, c.initialized);
    // What the thread finds afterwards: free (its own choice), still in the multithreaded
    // apartment it joined itself, or still in its single-threaded apartment.
    const HRESULT expected = c.threadApartment == ~0u                   ? S_OK
                             : c.threadApartment == COINIT_MULTITHREADED ? RPC_E_CHANGED_MODE
                                                                         : S_FALSE;
    EXPECT_EQ(afterwards, expected);
  }
}

TEST(ConfigurationTest, PlainRules) {
  struct RootCase {
    const char* moduleName;
    const char* root;
  };
  const RootCase roots[] = {
      {"D:\\A\\kor_vel\\qm32.dll", "D:\\A"},
      {"C:\\kor_vel\\qm32.dll", "C:"},
      {"\\\\SRV\\SHARE\\kor_vel\\qm32.dll", "\\\\SRV\\SHARE"},
      {"C:\\qm32.dll", ""},
      {"qm32.dll", ""},
      {"", ""},
  };
  for (const RootCase& c : roots) {
    EXPECT_EQ(zov::server::InstallationRoot(c.moduleName), c.root) << c.moduleName;
  }
  struct StoreCase {
    const char* value;
    bool root;
  };
  const StoreCase stores[] = {{"D:\\PROGS", true}, {"D:", true},       {"\\\\S", true},
                              {"X", false},        {"", false},         {"\\X", false},
                              {"PROGS", false},    {"1:", true},        {"/:", true}};
  for (const StoreCase& c : stores) {
    EXPECT_EQ(zov::server::IsProgramStoreRoot(c.value), c.root) << c.value;
  }
  // On a double-byte code page a character may end in the byte of a backslash: it is no separator.
  const auto japanese = zov::ncpath::CodePage::WithLeadBytes("\x81\x95");
  EXPECT_EQ(zov::server::InstallationRoot("C:\\HUX\\kor_vel\\q\x95\\.dll", japanese), "C:\\HUX");
  EXPECT_EQ(zov::server::InstallationRoot("C:\\A\x95\\q.dll", japanese), "");
  EXPECT_EQ(zov::server::TempDirFromValue("C:\\\x95\\", japanese), "C:\\\x95\\\\");
  EXPECT_EQ(zov::server::TempDirFromValue("C:\\\x95\\\\", japanese), "C:\\\x95\\\\");
  EXPECT_EQ(zov::server::TempDirFromValue(""), "");
  EXPECT_EQ(zov::server::TempDirFromValue("\\"), "\\");
  EXPECT_EQ(zov::server::TempDirFromValue("X"), "X\\");
}

}  // namespace
