// The server's adapters (DomainFile, NcFileStream, NcVar) against the virtual controller, bound
// through COM exactly as the server binds the host's components: what the adapters rely on, the
// controller must answer.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "controller_setup.h"
#include "counting_server.h"
#include "module_install.h"
#include "ole_text.h"
#include "scratch.h"
#include "services/domain_file.h"
#include "services/nc_file_stream.h"
#include "services/nc_var.h"
#include "virtual_controller.h"
#include "zov/com_ptr.h"
#include "zov/unique_bstr.h"
#include "zov/unique_variant.h"

namespace {

using zov::unique_bstr;
using zov::test::CountingServer;
using zov::test::Bstr;
using zov::test::Narrow;
using zov::services::DomainFile;
using zov::services::NcFileStream;
using zov::services::NcVar;

constexpr HRESULT kObjectExists = static_cast<HRESULT>(0x8000500E);  // E_ADS_OBJECT_EXISTS

// VirtualController.dll as COM loaded it, counted once more for the test's own look at
// DllCanUnloadNow.
struct ControllerModule {
  using CanUnloadFn = HRESULT(STDAPICALLTYPE*)();
  ControllerModule() {
#if defined(_WIN32)
    const std::string path = zov::test::ExecutableDir() + "VirtualController.dll";
#else
    const std::string path = zov::test::ScratchDir() + "VirtualController.dll";
#endif
    module = LoadLibraryA(path.c_str());
    if (module) canUnloadNow = zov::test::ModuleProc<CanUnloadFn>(module, "DllCanUnloadNow");
  }
  ~ControllerModule() {
    if (module) FreeLibrary(module);
  }
  ControllerModule(const ControllerModule&) = delete;
  ControllerModule& operator=(const ControllerModule&) = delete;

  HMODULE module = nullptr;
  CanUnloadFn canUnloadNow = nullptr;
};

class ServicesOnController : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(zov::test::SetUpVirtualController()); }
};

// What DomainFile reads of the controller's objects, one row per name.
TEST_F(ServicesOnController, DomainFileReadsTheStores) {
  const std::string hd = zov::test::Controller() + "hd\\";
  struct Case {
    const char* path;
    bool opens;
    LONG size;       // -1: unreadable
    LONG persist;    // 0: unreadable
    std::string winPath;  // empty: none
  } cases[] = {
      {"TESK://domain/hd-nc/WKS.DIR/PART1.ZOV/MAIN.MPF", true, 16, 3,
       hd + "WKS.DIR\\PART1.ZOV\\MAIN.MPF"},
      {"TESK://domain/hd/WKS.DIR/PART1.ZOV/HDONLY.SPF", true, 2, 1,
       hd + "WKS.DIR\\PART1.ZOV\\HDONLY.SPF"},
      {"TESK://domain/hd-nc/WKS.DIR/PART1.ZOV/NCONLY.SPF", true, 7, 2, ""},
      {"TESK://domain/nc/WKS.DIR/PART1.ZOV/MAIN.MPF", true, 18, 3, ""},
      {"TESK://domain/hd-nc/WKS.DIR/PART1.ZOV", true, 0, 3, hd + "WKS.DIR\\PART1.ZOV"},
      {"TESK://domain/hd-nc/WKS.DIR/PART1.ZOV/NOSUCH.SPF", false, -1, 0, ""},
      {"TESK://domain/hd/../hd/WKS.DIR/PART1.ZOV/MAIN.MPF", false, -1, 0, ""},
      {"TESK://domain/xx/WKS.DIR", false, -1, 0, ""},
  };
  DomainFile file;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.path);
    unique_bstr path = Bstr(c.path);
    EXPECT_EQ(file.Open(path.get()), c.opens);
    EXPECT_EQ(file.GetSize(), c.size);
    EXPECT_EQ(file.GetSize(1), c.size);  // the third element carries the size as well
    EXPECT_EQ(file.GetPersist(), c.persist);
    if (c.opens) {
      EXPECT_GT(file.GetDate(), 0);
    } else {
      EXPECT_EQ(file.GetDate(), 0);
    }
    unique_bstr winPath(file.GetWinPath());
    EXPECT_EQ(winPath.get() != nullptr, !c.winPath.empty());
    if (winPath.get()) {
      EXPECT_EQ(Narrow(winPath.get()), c.winPath);
      EXPECT_TRUE(zov::test::FileExists(c.winPath) ||
                  GetFileAttributesA(c.winPath.c_str()) != INVALID_FILE_ATTRIBUTES);
    }
  }
}

// CreateInContainer makes workpiece folders and DAT files on the hard-disk store only.
TEST_F(ServicesOnController, DomainFileCreatesOnTheHardDisk) {
  DomainFile file;
  unique_bstr main = Bstr("TESK://domain/hd-nc/WKS.DIR/PART1.ZOV/MAIN.MPF");
  ASSERT_TRUE(file.Open(main.get()));

  unique_bstr workpieces = Bstr("TESK://domain/hd/WKS.DIR");
  static int run = 0;  // a fresh name on every run of the test in this process
  unique_bstr name = Bstr("CREATED" + std::to_string(++run));
  unique_bstr zov = Bstr("ZOV");
  ASSERT_EQ(file.CreateInContainer(workpieces.get(), name.get(), zov.get()), S_OK);
  EXPECT_EQ(file.GetPersist(), 1);
  const std::string folder =
      zov::test::Controller() + "hd\\WKS.DIR\\" + Narrow(name.get()) + ".ZOV";
  EXPECT_NE(GetFileAttributesA(folder.c_str()) & FILE_ATTRIBUTE_DIRECTORY, 0u);
  unique_bstr folderWinPath(file.GetWinPath());
  EXPECT_EQ(Narrow(folderWinPath.get()), folder);

  // A DAT file in the new workpiece, then the same name again.
  unique_bstr container = Bstr("TESK://domain/hd/WKS.DIR/" + Narrow(name.get()) + ".ZOV");
  unique_bstr dat = Bstr("DAT");
  ASSERT_EQ(file.CreateInContainer(container.get(), name.get(), dat.get()), S_OK);
  EXPECT_EQ(file.GetSize(), 0);
  EXPECT_TRUE(zov::test::FileExists(folder + "\\" + Narrow(name.get()) + ".DAT"));
  EXPECT_EQ(file.CreateInContainer(container.get(), name.get(), dat.get()), kObjectExists);
  EXPECT_FALSE(file.IsBound());

  // A container that cannot be bound leaves the binding as it was.
  ASSERT_TRUE(file.Open(main.get()));
  unique_bstr missing = Bstr("TESK://domain/hd/NOSUCH.DIR");
  EXPECT_EQ(file.CreateInContainer(missing.get(), name.get(), dat.get()), -1);
  EXPECT_EQ(Narrow(file.BoundPath()), Narrow(main.get()));
  EXPECT_EQ(file.GetPersist(), 3);

  // The NC's own store is not written through the directory.
  unique_bstr ncFolder = Bstr("TESK://domain/nc/WKS.DIR");
  EXPECT_EQ(file.CreateInContainer(ncFolder.get(), name.get(), zov.get()), E_ACCESSDENIED);
}

// The NC file stream hands the file out whole through any buffer size.
TEST_F(ServicesOnController, NcFileStreamReadsAnNcFile) {
  for (int size : {2, 5, 64, 4096}) {
    SCOPED_TRACE(size);
    NcFileStream stream;
    ASSERT_TRUE(stream.IsBound());
    unique_bstr path = Bstr("/NC/WKS.DIR/PART1.ZOV/MAIN.MPF");
    ASSERT_EQ(stream.Open(path.get()), S_OK);
    std::string text;
    std::vector<char> buffer(static_cast<size_t>(size));
    for (int n; (n = stream.Read(buffer.data(), size)) > 0;) {
      ASSERT_LT(n, size);
      EXPECT_EQ(buffer[static_cast<size_t>(n)], '\0');
      text.append(buffer.data(), static_cast<size_t>(n));
    }
    EXPECT_EQ(text, zov::test::kMainNc);
    stream.Close();
    EXPECT_EQ(stream.Read(buffer.data(), size), -1);
  }
  NcFileStream stream;
  unique_bstr missing = Bstr("/NC/WKS.DIR/PART1.ZOV/NOSUCH.MPF");
  EXPECT_TRUE(FAILED(stream.Open(missing.get())));
  EXPECT_FALSE(stream.IsOpen());
}

// Channel assignment per NCU, as the DAT file check asks it.
TEST_F(ServicesOnController, NcVarAnswersPerNcu) {
  struct Case {
    const char* ncu;  // "" for the default NCU
    SHORT channel;
    bool assigned;
    SHORT channelCount;  // after the query
  } cases[] = {
      {"", 1, true, 2},        // NCU1: chanAssignment[1] = 1
      {"", 2, false, 2},       // chanAssignment[2] = 0 (as a VARIANT array)
      {"", 3, false, 2},       // above maxnumChannels: not asked
      {"ncu1", 1, true, 2},    // the default NCU by name, letter case aside
      {"NCU2", 3, false, 4},   // no chanAssignment[3]: the read fails
      {"NCU2", 5, false, 4},
      {"NCU3", 1, false, 20},  // offline: maxnumChannels unreadable, 20 channels queried
      {"NCU3", 20, false, 20},
  };
  NcVar var;
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.ncu) + " channel " + std::to_string(c.channel));
    unique_bstr ncu = Bstr(c.ncu);
    EXPECT_EQ(var.IsChannelAssigned(c.channel, ncu.get()), c.assigned);
    EXPECT_EQ(var.ChannelCount(), c.channelCount);
  }

  // An NCU the controller does not know does not bind; its reads fail before any call.
  unique_bstr unknown = Bstr("NCU9");
  zov::unique_variant values;
  EXPECT_FALSE(var.Bind(unknown.get()));
  EXPECT_EQ(var.ReadVariable("/Bag/State/Opmode", values.put(), unknown.get()), -1);

  // A good value, a variable the NCU lacks, and an offline NCU.
  unique_bstr ncu2 = Bstr("NCU2");
  EXPECT_EQ(var.ReadVariable("/Bag/State/Opmode", values.put(), ncu2.get()), S_OK);
  SHORT opmode = 0;
  EXPECT_TRUE(NcVar::FirstShort(values.get(), &opmode));
  EXPECT_EQ(opmode, 2);
  EXPECT_EQ(var.ReadVariable("/Channel/ProgramPointer/progName[u1]", values.put(), ncu2.get()), -2);
  unique_bstr ncu3 = Bstr("NCU3");
  EXPECT_TRUE(FAILED(var.ReadVariable("/Bag/State/Opmode", values.put(), ncu3.get())));
}

// Every object the controller hands out holds its module: DllCanUnloadNow answers S_FALSE while
// one lives and S_OK once all are released, so a host can unload the controller safely.
TEST_F(ServicesOnController, ControllerObjectsHoldTheModule) {
  ControllerModule controller;
  auto canUnloadNow = controller.canUnloadNow;
  ASSERT_NE(canUnloadNow, nullptr);
  EXPECT_EQ(canUnloadNow(), S_OK);
  {
    DomainFile file;
    unique_bstr main = Bstr("TESK://domain/hd-nc/WKS.DIR/PART1.ZOV/MAIN.MPF");
    ASSERT_TRUE(file.Open(main.get()));
    NcFileStream stream;
    ASSERT_TRUE(stream.IsBound());
    NcVar var;
    unique_bstr ncu = Bstr("NCU2");
    ASSERT_TRUE(var.Bind(ncu.get()));
    EXPECT_EQ(canUnloadNow(), S_FALSE);
  }
  EXPECT_EQ(canUnloadNow(), S_OK);
}

// A cancel target holds the module too, from the call that sets it to the one that clears it, so
// that the module is not unloaded (and the target released inside its DllMain) while the host
// counts on the hook. Each step goes through a domain object released before the module is asked.
TEST_F(ServicesOnController, TheCancelTargetHoldsTheModule) {
  ControllerModule controller;
  auto canUnloadNow = controller.canUnloadNow;
  ASSERT_NE(canUnloadNow, nullptr);
  EXPECT_EQ(canUnloadNow(), S_OK);
  {
    CountingServer server;
    zov::test::CancelHookScope hook;
    const struct {
      const char* name;
      bool set;  // SetCancelTarget(&server), else SetCancelTarget(NULL)
      HRESULT canUnload;
      ULONG serverRefs;
    } steps[] = {
        {"set", true, S_FALSE, 2},
        {"set again: still one hold", true, S_FALSE, 2},
        {"cleared", false, S_OK, 1},
        {"cleared again: no second release", false, S_OK, 1},
        {"set once more", true, S_FALSE, 2},
        {"cleared once more", false, S_OK, 1},
    };
    for (const auto& step : steps) {
      SCOPED_TRACE(step.name);
      {
        zov::com_ptr<IVirtualController> control;
        ASSERT_EQ(zov::test::BindName("KalTeskDomain.TeskDomain.1:", IID_IVirtualController,
                                      control.put_void()),
                  S_OK);
        ASSERT_EQ(control->SetCancelTarget(step.set ? &server : nullptr), S_OK);
      }
      EXPECT_EQ(canUnloadNow(), step.canUnload);
      EXPECT_EQ(server.refs, step.serverRefs);
    }
  }
}

}  // namespace
