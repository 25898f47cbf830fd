// NcFileStream against a counted domain object: blocks of the caller's size made of the pieces
// the object hands out, with the bytes that do not fit kept for the next call.
#include <gtest/gtest.h>

#include <string>

#include "fakes.h"
#include "nc_file_stream.h"

namespace {

using zov::services::NcFileStream;
using namespace zov::test;

const char kDomain[] = "KalTeskDomain.TeskDomain.1:";
const char kPath[] = "/NC/WKS.DIR/PART1.ZOV/MAIN.MPF";

class NcFileStreamTest : public ::testing::Test {
 protected:
  void SetUp() override {
    FakeBinder::Reset();
    FakeBinder::Add(kDomain, &domain);
  }
  void TearDown() override { FakeBinder::Reset(); }

  // One Read into a buffer of `size` bytes: the bytes placed, or "<-1>" and the like.
  std::string Read(NcFileStream& stream, int size) {
    std::string buffer(static_cast<size_t>(size) + 8, '#');
    const int n = stream.Read(&buffer[0], size);
    if (n < 0) return "<" + std::to_string(n) + ">";
    EXPECT_EQ(buffer[static_cast<size_t>(n)], '\0') << "terminating zero";
    EXPECT_EQ(buffer[static_cast<size_t>(size)], '#') << "nothing written past the block";
    return buffer.substr(0, static_cast<size_t>(n));
  }

  FakeDomainFile domain;
};

TEST_F(NcFileStreamTest, BindsTheDomainObjectAndOpensForReading) {
  {
    NcFileStream stream(FakeBinder::Bind);
    EXPECT_TRUE(stream.IsBound());
    EXPECT_EQ(FakeBinder::Log(), std::vector<std::string>{kDomain});
    EXPECT_EQ(stream.Open(Bstr(kPath).get()), S_OK);
    EXPECT_TRUE(stream.IsOpen());
    EXPECT_EQ(domain.lastPath, kPath);
    EXPECT_EQ(domain.lastMode, 1);
    EXPECT_EQ(domain.references(), 2);
  }
  // Destruction closes the file and releases the object.
  EXPECT_EQ(domain.closes, 1);
  EXPECT_EQ(domain.references(), 1);
}

TEST_F(NcFileStreamTest, FailingOpenPassesThroughAndLeavesItClosed) {
  domain.openResult = HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND);
  domain.AddPiece("N10");
  NcFileStream stream(FakeBinder::Bind);
  EXPECT_EQ(stream.Open(Bstr(kPath).get()), HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND));
  EXPECT_FALSE(stream.IsOpen());
  EXPECT_EQ(Read(stream, 16), "<-1>");
  EXPECT_EQ(domain.reads, 0);
}

TEST_F(NcFileStreamTest, UnboundStreamRefusesEverything) {
  FakeBinder::Fail(kDomain, REGDB_E_CLASSNOTREG);
  NcFileStream stream(FakeBinder::Bind);
  EXPECT_FALSE(stream.IsBound());
  EXPECT_EQ(stream.Open(Bstr(kPath).get()), static_cast<HRESULT>(-1));
  EXPECT_EQ(Read(stream, 16), "<-1>");
  stream.Close();
  EXPECT_EQ(domain.opens + domain.reads + domain.closes, 0);
}

TEST_F(NcFileStreamTest, BadArgumentsReadNothing) {
  domain.AddPiece("N10 G0");
  NcFileStream stream(FakeBinder::Bind);
  EXPECT_EQ(Read(stream, 16), "<-1>");  // not open yet
  ASSERT_EQ(stream.Open(Bstr(kPath).get()), S_OK);
  EXPECT_EQ(stream.Read(nullptr, 16), -1);
  EXPECT_EQ(Read(stream, 1), "<-1>");
  EXPECT_EQ(Read(stream, 0), "<-1>");
  EXPECT_EQ(Read(stream, -5), "<-1>");
  EXPECT_EQ(domain.reads, 0);
  EXPECT_EQ(Read(stream, 2), "N");  // the smallest block: one byte
}

// Each case queues pieces, then reads blocks of the given sizes; each block's text is checked,
// with the number of calls to the object's Read it took so far.
struct ReadCase {
  const char* name;
  std::vector<std::string> pieces;  // "<fail>": the call fails; "<bstr>"/"<i4>": another type
  std::vector<int> sizes;
  std::vector<std::string> blocks;
  std::vector<int> readsAfter;
};

TEST_F(NcFileStreamTest, ReadTable) {
  const ReadCase cases[] = {
      {"pieces joined into one block", {"ABC", "DEF"}, {100, 100}, {"ABCDEF", ""}, {3, 4}},
      {"piece larger than the block is kept",
       {"0123456789"},
       {5, 5, 5, 5},
       {"0123", "4567", "89", ""},
       {1, 1, 2, 3}},
      {"kept bytes come first, then new pieces", {"0123456", "AB"}, {4, 100}, {"012", "3456AB"}, {1, 3}},
      {"kept bytes fill the block alone", {"0123456789"}, {6, 3}, {"01234", "56"}, {1, 1}},
      {"block exactly full", {"ABCD"}, {5, 5}, {"ABCD", ""}, {1, 2}},
      {"empty piece ends the block", {"AB", "", "CD"}, {100, 100}, {"AB", "CD"}, {2, 4}},
      {"failure ends the block", {"AB", "<fail>", "CD"}, {100, 100}, {"AB", "CD"}, {2, 4}},
      {"another type ends the block", {"AB", "<bstr>", "<i4>"}, {100, 100}, {"AB", ""}, {2, 3}},
      {"NUL bytes are kept across calls",
       {std::string("A\0B\0C", 5)},
       {3, 3, 3},
       {std::string("A\0", 2), std::string("B\0", 2), "C"},
       {1, 1, 2}},
  };
  for (const ReadCase& c : cases) {
    FakeBinder::Reset();
    FakeDomainFile file;
    FakeBinder::Add(kDomain, &file);
    for (const std::string& piece : c.pieces) {
      if (piece == "<fail>")
        file.AddFailure(E_FAIL);
      else if (piece == "<bstr>")
        file.AddValue(Text("AB"));
      else if (piece == "<i4>")
        file.AddValue(I4(4));
      else
        file.AddPiece(piece);
    }
    {
      NcFileStream stream(FakeBinder::Bind);
      ASSERT_EQ(stream.Open(Bstr(kPath).get()), S_OK) << c.name;
      for (size_t i = 0; i < c.sizes.size(); ++i) {
        EXPECT_EQ(Read(stream, c.sizes[i]), c.blocks[i]) << c.name << ", block " << i;
        EXPECT_EQ(file.reads, c.readsAfter[i]) << c.name << ", block " << i;
      }
    }
    EXPECT_EQ(file.references(), 1) << c.name;
  }
}

TEST_F(NcFileStreamTest, CloseDropsKeptBytes) {
  domain.AddPiece("0123456789");
  domain.AddPiece("second");
  NcFileStream stream(FakeBinder::Bind);
  ASSERT_EQ(stream.Open(Bstr(kPath).get()), S_OK);
  EXPECT_EQ(Read(stream, 5), "0123");
  EXPECT_EQ(stream.Pending(), 6u);
  stream.Close();
  EXPECT_FALSE(stream.IsOpen());
  EXPECT_EQ(stream.Pending(), 0u);
  EXPECT_EQ(domain.closes, 1);
  EXPECT_EQ(Read(stream, 5), "<-1>");
  // Opened again, the stream starts with what the object hands out, not with old bytes.
  ASSERT_EQ(stream.Open(Bstr(kPath).get()), S_OK);
  EXPECT_EQ(Read(stream, 100), "second");
}

TEST_F(NcFileStreamTest, OpeningAnotherFileDropsKeptBytes) {
  domain.AddPiece("0123456789");
  domain.AddPiece("other");
  NcFileStream stream(FakeBinder::Bind);
  ASSERT_EQ(stream.Open(Bstr(kPath).get()), S_OK);
  EXPECT_EQ(Read(stream, 5), "0123");
  ASSERT_EQ(stream.Open(Bstr("/NC/WKS.DIR/PART1.ZOV/OTHER.MPF").get()), S_OK);
  EXPECT_EQ(stream.Pending(), 0u);
  EXPECT_EQ(Read(stream, 100), "other");
}

}  // namespace
