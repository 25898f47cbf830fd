// FileList: appending copies, clearing, assigning and the channel lookup.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "ole_text.h"
#include "server/file_list.h"

namespace {

using zov::server::FileEntry;
using zov::server::FileList;
using zov::test::Narrow;
using zov::test::Ole;

struct Row {
  const char* name;
  SHORT channel;
  const char* ncName;  // null stays null
  LONG disk;
};

void AppendRows(FileList* list, const std::vector<Row>& rows) {
  for (const Row& row : rows) {
    std::basic_string<OLECHAR> name = Ole(row.name);
    std::basic_string<OLECHAR> nc = row.ncName ? Ole(row.ncName) : std::basic_string<OLECHAR>();
    ASSERT_EQ(list->Append(name.c_str(), row.channel, row.ncName ? nc.c_str() : nullptr, row.disk), 1);
  }
}

void ExpectRows(const FileList& list, const std::vector<Row>& rows) {
  ASSERT_EQ(list.Count(), static_cast<LONG>(rows.size()));
  for (size_t i = 0; i < rows.size(); ++i) {
    SCOPED_TRACE(i);
    const FileEntry* entry = list.At(static_cast<LONG>(i));
    ASSERT_NE(entry, nullptr);
    ASSERT_NE(entry->name.get(), nullptr);
    EXPECT_EQ(Narrow(entry->name.get()), rows[i].name);
    EXPECT_EQ(entry->channel, rows[i].channel);
    EXPECT_EQ(entry->ncName.get() == nullptr, rows[i].ncName == nullptr);
    if (rows[i].ncName) {
      EXPECT_EQ(Narrow(entry->ncName.get()), rows[i].ncName);
    }
    EXPECT_EQ(entry->disk, rows[i].disk);
  }
}

const std::vector<Row> kRows = {
    {"MAIN.MPF", 1, nullptr, 0},
    {"C:\\WKS.DIR\\PART1.ZOV\\SUB.SPF", 2, "NCU2", 1},
    {"", -3, "", 0},
};

TEST(FileListTest, EmptyList) {
  FileList list;
  EXPECT_EQ(list.Count(), 0);
  EXPECT_EQ(list.At(0), nullptr);
  EXPECT_EQ(list.ChannelAt(0), -1);
  list.Clear();
  EXPECT_EQ(list.Count(), 0);
}

TEST(FileListTest, AppendKeepsOrderAndCopiesStrings) {
  FileList list;
  AppendRows(&list, kRows);
  ExpectRows(list, kRows);
  // The entry owns copies: the caller's text is not kept.
  OLECHAR name[] = OLESTR("X.MPF");
  ASSERT_EQ(list.Append(name, 4, nullptr, 0), 1);
  name[0] = 'Y';
  EXPECT_EQ(Narrow(list.At(3)->name.get()), "X.MPF");
}

TEST(FileListTest, ChannelAt) {
  FileList list;
  AppendRows(&list, kRows);
  struct Case {
    LONG index;
    SHORT channel;
  } cases[] = {{0, 1}, {1, 2}, {2, -3}, {3, -1}, {-1, -1}, {0x7fffffff, -1}, {-0x7fffffff - 1, -1}};
  for (const Case& c : cases) EXPECT_EQ(list.ChannelAt(c.index), c.channel) << c.index;
}

TEST(FileListTest, ClearEmptiesAndTheListIsUsableAgain) {
  FileList list;
  AppendRows(&list, kRows);
  list.Clear();
  EXPECT_EQ(list.Count(), 0);
  EXPECT_EQ(list.At(0), nullptr);
  AppendRows(&list, {kRows[1]});
  ExpectRows(list, {kRows[1]});
}

TEST(FileListTest, Assign) {
  struct Case {
    const char* what;
    std::vector<Row> before;
    std::vector<Row> other;
  } cases[] = {
      {"into an empty list", {}, kRows},
      {"replacing entries", {{"OLD.MPF", 9, "NCU9", 1}}, kRows},
      {"from an empty list", kRows, {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    FileList list, other;
    AppendRows(&list, c.before);
    AppendRows(&other, c.other);
    EXPECT_EQ(list.Assign(other), 1);
    ExpectRows(list, c.other);
    ExpectRows(other, c.other);  // the source is untouched
    // The copies are the list's own.
    other.Clear();
    ExpectRows(list, c.other);
  }
}

TEST(FileListTest, AssignToItselfChangesNothing) {
  FileList list;
  AppendRows(&list, kRows);
  EXPECT_EQ(list.Assign(list), 1);
  ExpectRows(list, kRows);
}

}  // namespace
