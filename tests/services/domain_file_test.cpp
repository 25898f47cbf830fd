// DomainFile against a counted directory provider: binding by path, the element rules of "Size"
// and "Date", "WinPath" and "Persist", and creation in a container.
#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "domain_file.h"
#include "fakes.h"
#include "zov/unique_bstr.h"

namespace {

using zov::unique_bstr;
using zov::unique_variant;
using zov::services::DomainFile;
using namespace zov::test;

const char kPart[] = "TESK://domain/hd/WKS.DIR/PART1.ZOV";
const char kMain[] = "TESK://domain/hd/WKS.DIR/PART1.ZOV/MAIN.MPF";
const char kWks[] = "TESK://domain/hd/WKS.DIR";

class DomainFileTest : public ::testing::Test {
 protected:
  void SetUp() override { FakeBinder::Reset(); }
  void TearDown() override { FakeBinder::Reset(); }
  bool Open(DomainFile& file, const char* path) { return file.Open(Bstr(path).get()); }
};

std::string Bound(const DomainFile& file) {
  return file.BoundPath() ? Narrow(file.BoundPath()) : std::string("<none>");
}

TEST_F(DomainFileTest, OpenBindsExistingObjectsOnly) {
  FakeAdsObject part(kPart);
  FakeAdsObject main(kMain);
  FakeBinder::Add(kPart, &part);
  FakeBinder::Add(kMain, &main);
  FakeBinder::Fail(kWks, E_ACCESSDENIED);
  {
    DomainFile file(FakeBinder::Bind);
    EXPECT_FALSE(file.IsBound());

    EXPECT_TRUE(Open(file, kPart));
    EXPECT_EQ(Bound(file), kPart);
    EXPECT_EQ(part.references(), 2);

    // Rebinding releases the old object.
    EXPECT_TRUE(Open(file, kMain));
    EXPECT_EQ(Bound(file), kMain);
    EXPECT_EQ(part.references(), 1);
    EXPECT_EQ(main.references(), 2);

    // A failed binding drops the old one as well.
    EXPECT_FALSE(Open(file, "TESK://domain/hd/WKS.DIR/NONE.ZOV"));
    EXPECT_FALSE(file.IsBound());
    EXPECT_EQ(Bound(file), "<none>");
    EXPECT_EQ(main.references(), 1);
    EXPECT_EQ(file.GetPersist(), 0);
    EXPECT_EQ(main.totalGets(), 0);

    EXPECT_TRUE(Open(file, kMain));
    EXPECT_FALSE(Open(file, kWks));  // the provider refuses
    EXPECT_FALSE(file.IsBound());

    // A null path binds nothing and asks nobody.
    const int binds = FakeBinder::TotalBinds();
    EXPECT_TRUE(Open(file, kPart));
    EXPECT_FALSE(file.Open(nullptr));
    EXPECT_FALSE(file.IsBound());
    EXPECT_EQ(FakeBinder::TotalBinds(), binds + 1);

    EXPECT_TRUE(Open(file, kPart));
  }
  EXPECT_EQ(part.references(), 1);
  EXPECT_EQ(main.references(), 1);
}

struct ElementCase {
  const char* name;
  std::function<unique_variant()> value;  // null: the property is missing
  int selector;
  LONG size;  // expected GetSize; -1 = cannot be read
};

TEST_F(DomainFileTest, SizeAndDateElementRules) {
  const ElementCase cases[] = {
      {"three elements, selector 0", [] { return I4Array(0, {10, 20, 30}); }, 0, 10},
      {"three elements, selector 1", [] { return I4Array(0, {10, 20, 30}); }, 1, 30},
      {"any non-zero selector is the third", [] { return I4Array(0, {10, 20, 30}); }, -7, 30},
      {"upper bound 1", [] { return I4Array(0, {10, 20}); }, 0, -1},
      {"lower bound above upper bound", [] { return I4Array(3, {}); }, 0, -1},
      {"two dimensions", [] { return I4Matrix(3, 3); }, 0, -1},
      {"16-bit array", [] { return I2Array(0, {10, 20, 30}); }, 0, -1},
      {"a plain integer", [] { return I4(10); }, 0, -1},
      {"a string", [] { return Text("10"); }, 0, -1},
      // Elements are counted from the start of the data whatever the lower bound.
      {"negative lower bound, selector 0", [] { return I4Array(-2, {1, 2, 3, 4, 5}); }, 0, 1},
      {"negative lower bound, selector 1", [] { return I4Array(-2, {1, 2, 3, 4, 5}); }, 1, 3},
      {"negative lower bound, upper bound 1", [] { return I4Array(-3, {1, 2, 3, 4, 5}); }, 0, -1},
      // Upper bound 2 with a single element: the first is there, a third is not.
      {"one element at index 2, selector 0", [] { return I4Array(2, {7}); }, 0, 7},
      {"one element at index 2, selector 1", [] { return I4Array(2, {7}); }, 1, -1},
      {"missing property", nullptr, 0, -1},
  };
  for (const ElementCase& c : cases) {
    FakeBinder::Reset();
    FakeAdsObject object(kMain);
    if (c.value) {
      object.Set("Size", c.value());
      object.Set("Date", c.value());
    }
    FakeBinder::Add(kMain, &object);
    {
      DomainFile file(FakeBinder::Bind);
      ASSERT_TRUE(Open(file, kMain)) << c.name;
      EXPECT_EQ(file.GetSize(c.selector), c.size) << c.name;
      EXPECT_EQ(file.GetDate(c.selector), c.size == -1 ? 0 : c.size) << c.name;
      EXPECT_EQ(object.Gets("Size"), 1) << c.name;
      EXPECT_EQ(object.Gets("Date"), 1) << c.name;
      // The object stays bound for further reads.
      EXPECT_EQ(Bound(file), kMain) << c.name;
    }
    EXPECT_EQ(object.references(), 1) << c.name;
  }
}

TEST_F(DomainFileTest, ReadersAskNothingWhenUnbound) {
  FakeAdsObject object(kMain);
  object.Set("Size", I4Array(0, {1, 2, 3}));
  object.Set("WinPath", Text("C:\\X"));
  object.Set("Persist", I2(1));
  DomainFile file(FakeBinder::Bind);
  EXPECT_EQ(file.GetSize(), -1);
  EXPECT_EQ(file.GetDate(), 0);
  EXPECT_EQ(unique_bstr(file.GetWinPath()).get(), nullptr);
  EXPECT_EQ(file.GetPersist(), 0);
  EXPECT_EQ(object.totalGets(), 0);
}

TEST_F(DomainFileTest, WinPathTable) {
  const struct {
    const char* name;
    std::function<unique_variant()> value;
    HRESULT getResult;
    const char* expected;  // null: none
  } cases[] = {
      {"a string", [] { return Text("D:\\WKS.DIR\\PART1.ZOV\\MAIN.MPF"); }, S_OK,
       "D:\\WKS.DIR\\PART1.ZOV\\MAIN.MPF"},
      {"an empty string", [] { return Text(""); }, S_OK, ""},
      {"a null string", [] { return Text(nullptr); }, S_OK, nullptr},
      {"an integer", [] { return I4(5); }, S_OK, nullptr},
      {"Get fails", [] { return Text("C:\\X"); }, E_FAIL, nullptr},
  };
  for (const auto& c : cases) {
    FakeBinder::Reset();
    FakeAdsObject object(kMain);
    object.Set("WinPath", c.value());
    if (FAILED(c.getResult)) object.FailGet("WinPath", c.getResult);
    FakeBinder::Add(kMain, &object);
    {
      DomainFile file(FakeBinder::Bind);
      ASSERT_TRUE(Open(file, kMain));
      unique_bstr path(file.GetWinPath());
      if (c.expected) {
        ASSERT_NE(path.get(), nullptr) << c.name;
        EXPECT_EQ(Narrow(path.get()), c.expected) << c.name;
        // A copy of its own for the caller: a second call gives another string.
        unique_bstr again(file.GetWinPath());
        EXPECT_NE(again.get(), path.get()) << c.name;
      } else {
        EXPECT_EQ(path.get(), nullptr) << c.name;
      }
    }
    EXPECT_EQ(object.references(), 1) << c.name;
  }
}

TEST_F(DomainFileTest, PersistTable) {
  const struct {
    const char* name;
    std::function<unique_variant()> value;
    LONG expected;
  } cases[] = {
      {"1", [] { return I2(1); }, 1},
      {"3", [] { return I2(3); }, 3},
      {"negative, sign-extended", [] { return I2(-1); }, -1},
      {"lowest 16-bit value", [] { return I2(-32768); }, -32768},
      {"a 32-bit integer", [] { return I4(2); }, 0},
      {"a string", [] { return Text("2"); }, 0},
      {"missing", nullptr, 0},
  };
  for (const auto& c : cases) {
    FakeBinder::Reset();
    FakeAdsObject object(kMain);
    if (c.value) object.Set("Persist", c.value());
    FakeBinder::Add(kMain, &object);
    DomainFile file(FakeBinder::Bind);
    ASSERT_TRUE(Open(file, kMain));
    EXPECT_EQ(file.GetPersist(), c.expected) << c.name;
    EXPECT_EQ(object.Gets("Persist"), 1) << c.name;
  }
}

TEST_F(DomainFileTest, CreateInContainerTable) {
  const HRESULT tooLong = HRESULT_FROM_WIN32(ERROR_FILENAME_EXCED_RANGE);
  const std::string name47(47, 'N');  // with ".ZOV" and the terminator: exactly 52 bytes
  const std::string name48(48, 'N');
  const struct {
    const char* label;
    bool containerBinds;
    HRESULT createResult;
    std::string name;
    std::string extension;
    HRESULT expected;
    int creates;
    const char* boundAfter;  // "old": the previous binding; null: none; else the path
  } cases[] = {
      {"success binds the new file", true, S_OK, "PART1", "ZOV", S_OK, 1,
       "TESK://domain/hd/WKS.DIR/PART1.ZOV"},
      {"container cannot be bound", false, S_OK, "PART1", "ZOV", static_cast<HRESULT>(-1), 0,
       "old"},
      {"creation fails", true, E_ACCESSDENIED, "PART1", "ZOV", E_ACCESSDENIED, 1, nullptr},
      {"creation gives S_FALSE", true, S_FALSE, "PART1", "ZOV", S_FALSE, 1, nullptr},
      {"relative name of 52 bytes", true, S_OK, name47, "ZOV", S_OK, 1,
       "TESK://domain/hd/WKS.DIR/PART1.ZOV"},
      {"relative name of 53 bytes", true, S_OK, name48, "ZOV", tooLong, 0, "old"},
      {"class of 12 bytes", true, S_OK, "P", "ABCDEFGHI", S_OK, 1,
       "TESK://domain/hd/WKS.DIR/PART1.ZOV"},
      {"class of 13 bytes", true, S_OK, "P", "ABCDEFGHIJ", tooLong, 0, "old"},
  };
  for (const auto& c : cases) {
    FakeBinder::Reset();
    FakeAdsObject old(kMain);
    FakeAdsObject created("TESK://domain/hd/WKS.DIR/PART1.ZOV");
    created.Set("Persist", I2(1));
    FakeAdsContainer container;
    container.createResult = c.createResult;
    container.created = static_cast<IADs*>(&created);
    FakeBinder::Add(kMain, &old);
    if (c.containerBinds)
      FakeBinder::Add(kWks, &container);
    else
      FakeBinder::Fail(kWks, E_FAIL);
    {
      DomainFile file(FakeBinder::Bind);
      ASSERT_TRUE(Open(file, kMain));
      const HRESULT hr = file.CreateInContainer(Bstr(kWks).get(), Bstr(c.name.c_str()).get(),
                                                Bstr(c.extension.c_str()).get());
      EXPECT_EQ(hr, c.expected) << c.label;
      EXPECT_EQ(container.creates, c.creates) << c.label;
      if (c.creates > 0) {
        EXPECT_EQ(container.lastClass, "*." + c.extension) << c.label;
        EXPECT_EQ(container.lastName, c.name + "." + c.extension) << c.label;
      }
      if (!c.boundAfter) {
        EXPECT_FALSE(file.IsBound()) << c.label;
        EXPECT_EQ(file.GetPersist(), 0) << c.label;
        EXPECT_EQ(created.references(), 1) << c.label;
      } else if (std::string(c.boundAfter) == "old") {
        EXPECT_EQ(Bound(file), kMain) << c.label;
        EXPECT_EQ(old.references(), 2) << c.label;
      } else {
        EXPECT_EQ(Bound(file), c.boundAfter) << c.label;
        EXPECT_EQ(created.adsPathCalls, 1) << c.label;
        EXPECT_EQ(file.GetPersist(), 1) << c.label;
        EXPECT_EQ(old.references(), 1) << c.label;
      }
      // Create alone makes the file: nothing is written back.
      EXPECT_EQ(created.setInfoCalls, 0) << c.label;
    }
    EXPECT_EQ(old.references(), 1) << c.label;
    EXPECT_EQ(created.references(), 1) << c.label;
    EXPECT_EQ(container.references(), 1) << c.label;
  }
}

}  // namespace
