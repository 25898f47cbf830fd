// The directory namespace "TESK://domain" of the virtual controller, bound through COM as the
// server binds it: which names bind, the properties per view, and Create on the hard-disk store.
#include <gtest/gtest.h>

#include <cstring>
#include <ctime>
#include <string>
#include <vector>

#if !defined(_WIN32)
#include <filesystem>
#endif

#include "controller_setup.h"
#include "ole_text.h"
#include "scratch.h"
#include "zov/com_ptr.h"
#include "zov/unique_bstr.h"
#include "zov/unique_variant.h"

namespace {

using zov::com_ptr;
using zov::unique_bstr;
using zov::unique_variant;
using zov::test::BindName;
using zov::test::Bstr;
using zov::test::Narrow;

constexpr HRESULT kFileNotFound = static_cast<HRESULT>(0x80070002);
constexpr HRESULT kPathNotFound = static_cast<HRESULT>(0x80070003);
constexpr HRESULT kPropertyNotFound = static_cast<HRESULT>(0x8000500D);
constexpr HRESULT kObjectExists = static_cast<HRESULT>(0x8000500E);

// "TESK://domain/c:/..." for a Windows path "C:\...".
std::string DriveName(const std::string& windowsPath) {
  std::string out = "TESK://domain/" + windowsPath;
  for (char& c : out)
    if (c == '\\') c = '/';
  return out;
}

class DirectoryTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(zov::test::SetUpVirtualController()); }

  static com_ptr<IADs> Open(const std::string& name) {
    com_ptr<IADs> object;
    HRESULT hr = BindName(name, IID_IADs, object.put_void());
    EXPECT_EQ(hr, S_OK) << name;
    return object;
  }
  // The three elements of a Size or Date property.
  static std::vector<LONG> Triple(IADs* object, const char* property) {
    unique_variant value;
    EXPECT_EQ(object->Get(Bstr(property).get(), value.put()), S_OK) << property;
    std::vector<LONG> out;
    if (value.get()->vt != (VT_ARRAY | VT_I4)) {
      ADD_FAILURE() << property << " has type " << value.get()->vt;
      return out;
    }
    SAFEARRAY* array = value.get()->parray;
    LONG low = -1, high = -1;
    EXPECT_EQ(SafeArrayGetDim(array), 1u);
    SafeArrayGetLBound(array, 1, &low);
    SafeArrayGetUBound(array, 1, &high);
    EXPECT_EQ(low, 0);
    EXPECT_EQ(high, 2);
    for (LONG i = low; i <= high; ++i) {
      LONG element = 0;
      SafeArrayGetElement(array, &i, &element);
      out.push_back(element);
    }
    return out;
  }
  static SHORT Persist(IADs* object) {
    unique_variant value;
    EXPECT_EQ(object->Get(Bstr("Persist").get(), value.put()), S_OK);
    EXPECT_EQ(value.get()->vt, VT_I2);
    return value.get()->iVal;
  }
  // The WinPath property: its text, or "<empty>" for VT_EMPTY.
  static std::string WinPath(IADs* object) {
    unique_variant value;
    EXPECT_EQ(object->Get(Bstr("WinPath").get(), value.put()), S_OK);
    if (value.get()->vt == VT_EMPTY) return "<empty>";
    EXPECT_EQ(value.get()->vt, VT_BSTR);
    return value.get()->vt == VT_BSTR ? Narrow(value.get()->bstrVal) : "<wrong type>";
  }
};

struct BindCase {
  const char* name;
  HRESULT expected;
};

TEST_F(DirectoryTest, NamesBindWhenTheirObjectExistsInTheirView) {
  const BindCase cases[] = {
      {"TESK://domain/hd/WKS.DIR/PART1.ZOV/MAIN.MPF", S_OK},
      {"TESK://domain/HD/wks.dir/part1.zov/main.mpf", S_OK},
      {"tesk://DOMAIN/hd/WKS.DIR/PART1.ZOV/MAIN.MPF", S_OK},
      {"TESK://domain/hd/WKS.DIR/PART1.ZOV/", S_OK},
      {"TESK://domain/hd", S_OK},
      {"TESK://domain/nc", S_OK},
      {"TESK://domain/Hd-Nc", S_OK},
      {"TESK://domain/nc/WKS.DIR/PART1.ZOV/NCONLY.SPF", S_OK},
      {"TESK://domain/hd-nc/WKS.DIR/PART1.ZOV/NCONLY.SPF", S_OK},
      {"TESK://domain/hd-nc/WKS.DIR/PART1.ZOV/HDONLY.SPF", S_OK},
      {"TESK://domain/hd/WKS.DIR/PART1.ZOV/NCONLY.SPF", kFileNotFound},
      {"TESK://domain/nc/WKS.DIR/PART1.ZOV/HDONLY.SPF", kFileNotFound},
      {"TESK://domain/hd-nc/WKS.DIR/PART1.ZOV/NONE.MPF", kFileNotFound},
      {"TESK://domain/hd-nc/NONE.DIR/X.MPF", kFileNotFound},
      {"TESK://domain/sd/WKS.DIR", kPathNotFound},
      // Names that would lead out of their view are not found.
      {"TESK://domain/hd/..", kPathNotFound},
      {"TESK://domain/hd/WKS.DIR/../../controller.ini", kPathNotFound},
      {"TESK://domain/hd-nc/WKS.DIR/PART1.ZOV/../../../ncu/NCU1.ini", kPathNotFound},
      {"TESK://domain/nc/./WKS.DIR", kPathNotFound},
      {"TESK://domain/hd/WKS.DIR/PART1.ZOV/MAIN.MPF.", kPathNotFound},
      {"TESK://domain/hd/c:/x", kPathNotFound},
      {"TESK://domain/1:/x", kPathNotFound},
      {"TESK://domain/hd/WKS.DIR/CON", kPathNotFound},
      {"TESK://domain/hd-nc/WKS.DIR/PART1.ZOV/nul.mpf", kPathNotFound},
  };
  for (const BindCase& c : cases) {
    com_ptr<IADs> object;
    EXPECT_EQ(BindName(c.name, IID_IADs, object.put_void()), c.expected) << c.name;
    EXPECT_EQ(static_cast<bool>(object), c.expected == S_OK) << c.name;
  }
}

TEST_F(DirectoryTest, PropertiesFollowTheView) {
  const LONG mainHd = static_cast<LONG>(std::strlen(zov::test::kMainHd));
  const LONG mainNc = static_cast<LONG>(std::strlen(zov::test::kMainNc));
  const std::string hdMain = zov::test::Controller() + "hd\\WKS.DIR\\PART1.ZOV\\MAIN.MPF";
  struct Case {
    const char* name;
    LONG size;
    SHORT persist;
    std::string winPath;
  } cases[] = {
      {"TESK://domain/hd/WKS.DIR/PART1.ZOV/MAIN.MPF", mainHd, 3, hdMain},
      {"TESK://domain/hd-nc/WKS.DIR/PART1.ZOV/MAIN.MPF", mainHd, 3, hdMain},
      {"TESK://domain/nc/WKS.DIR/PART1.ZOV/MAIN.MPF", mainNc, 3, "<empty>"},
      {"TESK://domain/hd-nc/WKS.DIR/PART1.ZOV/NCONLY.SPF", 7, 2, "<empty>"},
      {"TESK://domain/hd-nc/WKS.DIR/PART1.ZOV/HDONLY.SPF", 2, 1,
       zov::test::Controller() + "hd\\WKS.DIR\\PART1.ZOV\\HDONLY.SPF"},
      {"TESK://domain/hd-nc/WKS.DIR/PART1.ZOV", 0, 3,
       zov::test::Controller() + "hd\\WKS.DIR\\PART1.ZOV"},
  };
  const long long now = static_cast<long long>(std::time(nullptr));
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    com_ptr<IADs> object = Open(c.name);
    if (!object) continue;
    EXPECT_EQ(Triple(object.get(), "Size"), (std::vector<LONG>{c.size, 0, c.size}));
    std::vector<LONG> date = Triple(object.get(), "Date");
    ASSERT_EQ(date.size(), 3u);
    EXPECT_EQ(date[1], 0);
    EXPECT_EQ(date[2], date[0]);
    EXPECT_LT(now - date[0], 86400) << "the date is the last write, in seconds since 1970";
    EXPECT_GE(now - date[0], -86400);
    EXPECT_EQ(Persist(object.get()), c.persist);
    EXPECT_EQ(WinPath(object.get()), c.winPath);
  }
}

TEST_F(DirectoryTest, OtherPropertiesAreNotFound) {
  com_ptr<IADs> object = Open("TESK://domain/hd/WKS.DIR/PART1.ZOV/MAIN.MPF");
  ASSERT_TRUE(object);
  for (const char* property : {"Length", "", "Sizes"}) {
    unique_variant value;
    EXPECT_EQ(object->Get(Bstr(property).get(), value.put()), kPropertyNotFound) << property;
    EXPECT_EQ(value.get()->vt, VT_EMPTY);
  }
  unique_variant lowerCase;
  EXPECT_EQ(object->Get(Bstr("size").get(), lowerCase.put()), S_OK) << "names ignore case";
}

TEST_F(DirectoryTest, AdsPathIsTheCanonicalName) {
  const std::pair<const char*, const char*> cases[] = {
      {"TESK://domain/HD-NC/WKS.DIR//PART1.ZOV/", "TESK://domain/hd-nc/WKS.DIR/PART1.ZOV"},
      {"tesk://domain/Hd", "TESK://domain/hd"},
      {"TESK://domain/nc/WKS.DIR/PART1.ZOV/MAIN.MPF", "TESK://domain/nc/WKS.DIR/PART1.ZOV/MAIN.MPF"},
  };
  for (const auto& c : cases) {
    com_ptr<IADs> object = Open(c.first);
    if (!object) continue;
    unique_bstr path;
    EXPECT_EQ(object->get_ADsPath(path.put()), S_OK);
    EXPECT_EQ(Narrow(path.get()), c.second);
  }
}

TEST_F(DirectoryTest, DrivePathsAreHostFiles) {
  const std::string folder = zov::test::NewScratchFolder("drive");
  ASSERT_TRUE(zov::test::WriteFileBytes(folder + "X.MPF", "12345"));
  com_ptr<IADs> object = Open(DriveName(folder + "X.MPF"));
  ASSERT_TRUE(object);
  EXPECT_EQ(Triple(object.get(), "Size"), (std::vector<LONG>{5, 0, 5}));
  EXPECT_EQ(Persist(object.get()), 1);
  EXPECT_EQ(WinPath(object.get()), folder + "X.MPF");

  com_ptr<IADs> missing;
  EXPECT_EQ(BindName(DriveName(folder + "Y.MPF"), IID_IADs, missing.put_void()), kFileNotFound);
  EXPECT_EQ(BindName(DriveName(folder + "..\\X.MPF"), IID_IADs, missing.put_void()),
            kPathNotFound);
}

TEST_F(DirectoryTest, SharePathsAreHostFiles) {
#if defined(_WIN32)
  GTEST_SKIP() << "a network share cannot be made from the test under Wine";
#else
  const std::string share = std::string(ZovGetMachineFolder()) + "/unc/SRV/SHARE";
  std::filesystem::create_directories(share);
  ASSERT_TRUE(zov::test::WriteFileBytes("\\\\SRV\\SHARE\\X.MPF", "abc"));
  com_ptr<IADs> object = Open("TESK://domain//srv/share/x.mpf");
  ASSERT_TRUE(object);
  EXPECT_EQ(Triple(object.get(), "Size"), (std::vector<LONG>{3, 0, 3}));
  EXPECT_EQ(Persist(object.get()), 1);
  EXPECT_EQ(WinPath(object.get()), "\\\\srv\\share\\x.mpf");
  com_ptr<IADs> missing;
  EXPECT_EQ(BindName("TESK://domain//SRV/OTHER/X.MPF", IID_IADs, missing.put_void()),
            kFileNotFound);
#endif
}

TEST_F(DirectoryTest, OnlyFoldersAreContainers) {
  com_ptr<IADsContainer> container;
  EXPECT_EQ(BindName("TESK://domain/hd/WKS.DIR", IID_IADsContainer, container.put_void()), S_OK);
  EXPECT_EQ(BindName("TESK://domain/hd/WKS.DIR/PART1.ZOV/MAIN.MPF", IID_IADsContainer,
                     container.put_void()),
            E_NOINTERFACE);
}

struct CreateCase {
  const char* container;
  const char* className;
  const char* relativeName;
  HRESULT expected;
  bool folder;  // what the new object is on the hard disk
};

TEST_F(DirectoryTest, CreateMakesFoldersAndEmptyFilesOnTheHardDisk) {
  ASSERT_TRUE(zov::test::WriteControllerFile("hd\\CREATE.DIR\\OLD.DAT", "x"));
  const CreateCase cases[] = {
      {"TESK://domain/hd/CREATE.DIR", "*.ZOV", "NEW.ZOV", S_OK, true},
      {"TESK://domain/hd/CREATE.DIR", "*.DIR", "SUB.DIR", S_OK, true},
      {"TESK://domain/hd/CREATE.DIR", "*.WPD", "W.WPD", S_OK, true},
      {"TESK://domain/hd/CREATE.DIR", "*.DAT", "NEW.DAT", S_OK, false},
      {"TESK://domain/hd/CREATE.DIR", "*.mpf", "lower.MPF", S_OK, false},
      {"TESK://domain/hd/CREATE.DIR", "*.DAT", "OLD.DAT", kObjectExists, false},
      {"TESK://domain/hd/CREATE.DIR", "*.ZOV", "NEW.ZOV", kObjectExists, true},
      {"TESK://domain/hd/CREATE.DIR", "*.DAT", "X.MPF", E_INVALIDARG, false},
      {"TESK://domain/hd/CREATE.DIR", "DAT", "X.DAT", E_INVALIDARG, false},
      {"TESK://domain/hd/CREATE.DIR", "*.DAT", "..\\X.DAT", E_INVALIDARG, false},
      {"TESK://domain/hd/CREATE.DIR", "*.DAT", "A/X.DAT", E_INVALIDARG, false},
      {"TESK://domain/hd/CREATE.DIR", "*.DAT", "NUL.DAT", E_INVALIDARG, false},
      {"TESK://domain/hd/CREATE.DIR", "*.ZOV", "com1.ZOV", E_INVALIDARG, false},
      {"TESK://domain/hd-nc/CREATE.DIR", "*.DAT", "VIEW.DAT", E_ACCESSDENIED, false},
      {"TESK://domain/nc/WKS.DIR", "*.DAT", "VIEW.DAT", E_ACCESSDENIED, false},
  };
  for (const CreateCase& c : cases) {
    SCOPED_TRACE(std::string(c.container) + " " + c.relativeName);
    com_ptr<IADsContainer> container;
    ASSERT_EQ(BindName(c.container, IID_IADsContainer, container.put_void()), S_OK);
    const bool existed = zov::test::FileExists(zov::test::Controller() + "hd\\CREATE.DIR\\" +
                                               c.relativeName);
    com_ptr<IDispatch> created;
    EXPECT_EQ(container->Create(Bstr(c.className).get(), Bstr(c.relativeName).get(),
                                created.put()),
              c.expected);
    EXPECT_EQ(static_cast<bool>(created), c.expected == S_OK);
    const std::string hdPath = zov::test::Controller() + "hd\\CREATE.DIR\\" + c.relativeName;
    if (c.expected == S_OK) {
      DWORD attributes = GetFileAttributesA(hdPath.c_str());
      ASSERT_NE(attributes, INVALID_FILE_ATTRIBUTES);
      EXPECT_EQ((attributes & FILE_ATTRIBUTE_DIRECTORY) != 0, c.folder);
      if (!c.folder) {
        std::string bytes;
        EXPECT_TRUE(zov::test::ReadFileBytes(hdPath, &bytes));
        EXPECT_EQ(bytes, "");
      }
      // The new object is the hard disk's, and answers as one.
      com_ptr<IADs> ads = created.query<IADs>(IID_IADs);
      ASSERT_TRUE(ads);
      unique_bstr path;
      EXPECT_EQ(ads->get_ADsPath(path.put()), S_OK);
      EXPECT_EQ(Narrow(path.get()), std::string("TESK://domain/hd/CREATE.DIR/") + c.relativeName);
      EXPECT_EQ(WinPath(ads.get()), hdPath);
    } else if (!existed && std::string(c.relativeName).find_first_of("\\/") == std::string::npos) {
      EXPECT_FALSE(zov::test::FileExists(hdPath)) << "a refused Create makes nothing";
    }
  }
  EXPECT_FALSE(zov::test::FileExists(zov::test::Controller() + "hd\\X.DAT"));
}

}  // namespace
