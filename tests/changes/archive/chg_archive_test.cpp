// The changes archive byte for byte: header, every record kind, the typed
// reads at the end of the data, atomic replacement and the usage stamp.
#include <gtest/gtest.h>

#include "changes/chg_archive.h"
#include "changes/save_changes_tree.h"
#include "platform/memory/memory_filesystem.h"
#include "settings/settings.h"
#include "tests/changes/archive/archive_test_util.h"

namespace cvn::changes {
namespace {

using namespace std::string_view_literals;
using test::Bytes;
using test::FixedClock;
using test::HeaderBytes;

const double kCreated = MakeDateTime(2024, 3, 5, 14, 30, 0);

class ChgArchiveTest : public ::testing::Test {
 protected:
  std::vector<uint8_t> FileBytes(std::string_view path = "C:\\Cvn\\App.cvn") {
    std::vector<uint8_t> data;
    EXPECT_TRUE(fs_.ReadFile(path, &data).ok()) << path;
    return data;
  }
  void Put(const std::vector<uint8_t>& bytes, std::string_view path = "C:\\Cvn\\App.cvn") {
    ASSERT_TRUE(fs_.WriteFile(path, bytes).ok());
  }

  platform::MemoryFileSystem fs_;
  FixedClock clock_{kCreated};
  settings::Settings settings_;
  void SetUp() override { ASSERT_TRUE(fs_.CreateFolders("C:\\Cvn").ok()); }
};

TEST(DateTimeTest, DaysSince18991230WithTheTimeAsFraction) {
  EXPECT_EQ(MakeDateTime(1899, 12, 30), 0.0);
  EXPECT_EQ(MakeDateTime(1900, 1, 1), 2.0);
  EXPECT_EQ(MakeDateTime(2000, 1, 1), 36526.0);
  EXPECT_DOUBLE_EQ(MakeDateTime(2024, 3, 5, 18, 0, 0), 45356.75);
}

TEST_F(ChgArchiveTest, CreateHeaderWritesTheFixed56Bytes) {
  TChgArchive archive(fs_, "C:\\Cvn\\App", clock_);
  ASSERT_TRUE(archive.CreateHeader());
  EXPECT_EQ(archive.Position(), 56u);
  EXPECT_FALSE(archive.Eof());
  EXPECT_EQ(std::vector<uint8_t>(archive.Bytes().begin(), archive.Bytes().end()),
            HeaderBytes(kCreated).vec());
}

TEST_F(ChgArchiveTest, EmptyTreeMakesA56ByteFileThatOpens) {
  ChangeTree tree(settings_);
  SaveChangesTree(tree, fs_, "C:\\Cvn", "App", clock_);
  EXPECT_EQ(FileBytes(), HeaderBytes(kCreated).vec());
  TChgArchive archive(fs_, "C:\\Cvn\\App", clock_);
  ASSERT_TRUE(archive.Open());
  EXPECT_EQ(archive.Position(), 56u);
  EXPECT_EQ(archive.PercentRead(), 0);
  archive.ReadInt();
  EXPECT_TRUE(archive.Eof());
  EXPECT_FALSE(archive.Damaged());
}

TEST_F(ChgArchiveTest, OpenAcceptsVersion299AndRefuses300) {
  Put(HeaderBytes(kCreated, 299).vec());
  EXPECT_TRUE(TChgArchive(fs_, "C:\\Cvn\\App").Open());
  Put(HeaderBytes(kCreated, 300).vec());
  EXPECT_FALSE(TChgArchive(fs_, "C:\\Cvn\\App").Open());
}

TEST_F(ChgArchiveTest, OpenRefusesShortFilesOtherSignaturesAndMissingFiles) {
  EXPECT_FALSE(TChgArchive(fs_, "C:\\Cvn\\Missing").Open());
  std::vector<uint8_t> bytes = HeaderBytes(kCreated).vec();
  bytes.pop_back();
  Put(bytes);
  EXPECT_FALSE(TChgArchive(fs_, "C:\\Cvn\\App").Open());
  bytes = HeaderBytes(kCreated).vec();
  bytes[3] = 'x';
  Put(bytes);
  EXPECT_FALSE(TChgArchive(fs_, "C:\\Cvn\\App").Open());
  bytes = HeaderBytes(kCreated).vec();
  bytes[0] = 9;
  Put(bytes);
  EXPECT_FALSE(TChgArchive(fs_, "C:\\Cvn\\App").Open());
  // The reserved bytes are not looked at.
  bytes = HeaderBytes(kCreated).vec();
  bytes[11] = 0xFF;
  bytes[40] = 0xFF;
  Put(bytes);
  EXPECT_TRUE(TChgArchive(fs_, "C:\\Cvn\\App").Open());
}

TEST_F(ChgArchiveTest, DefaultValueOfTypeSzIsStoredAsTheExampleSays) {
  ChangeTree tree(settings_);
  test::AddChange(tree, "HKEY_CURRENT_USER\\Soft\\App", "", nkValueAdded, test::kHKCU, {}, "ab\0"sv,
                  1, "Soft\\App");
  SaveChangesTree(tree, fs_, "C:\\Cvn", "App", clock_);
  Bytes expected = HeaderBytes(kCreated);
  expected.U32(3).U32(0x80000001).Str("Soft\\App").Str("").U32(1).U32(3).Raw("ab\0"sv);
  EXPECT_EQ(FileBytes(), expected.vec());
}

TEST_F(ChgArchiveTest, EveryKindIsWrittenInTreeOrderByteForByte) {
  ChangeTree tree(settings_);
  test::FillEveryKind(tree);
  SaveChangesTree(tree, fs_, "C:\\Cvn", "App", clock_);

  Bytes e = HeaderBytes(kCreated);
  const uint32_t cu = 0x80000001, lm = 0x80000002;
  e.U32(1).U32(cu).Str("\\NewKey");
  e.U32(3).U32(cu).Str("NewKey").Str("").U32(1).U32(3).Raw("ab\0"sv);
  e.U32(1).U32(cu).Str("NewKey\\Sub");
  e.U32(2).U32(cu).Str("Old\\Key\\Gone");
  e.U32(4)
      .U32(cu)
      .Str("App")
      .Str("Bin")
      .U32(3)
      .U32(3)
      .Raw("\x03\x04\x05"sv)
      .U32(2)
      .Raw("\x01\x02"sv);
  e.U32(5).U32(cu).Str("App").Str("Was").U32(4).U32(4).Raw("\x07\0\0\0"sv);
  e.U32(3).U32(cu).Str("").Str("RootValue").U32(3).U32(1).Raw("\x09"sv);
  e.U32(6).U32(lm).Str("S\\SharedDLLs").Str("C:\\x.dll").U32(4).U32(1);
  e.U32(6).U32(lm).Str("S\\SharedDLLs").Str("C:\\y.dll").U32(1).Str("3");
  e.U32(6).U32(lm).Str("S\\SharedDLLs").Str("C:\\z.dll").U32(3);
  e.U32(7).Str("C:\\NewDir");
  e.U32(9).Str("C:\\NewDir\\a.txt").Str("10:00 01/02/24 5");
  e.U32(11).Str("C:\\Data\\old.txt").Str("09:00 01/01/24 7");
  e.U32(10).Str("C:\\Data\\chg.txt").Str("09:00 01/01/24 1").Str("10:00 01/02/24 2");
  e.U32(8).Str("C:\\Data\\OldSub");
  e.U32(12).Str("C:\\Data\\m.bin").Str("08:00 01/01/24 9");
  e.U32(13).Str("D:\\Else\\m.bin").Str("08:00 01/01/24 9");
  EXPECT_EQ(test::Hex(FileBytes()), test::Hex(e.vec()));
}

TEST_F(ChgArchiveTest, TypedReadsStopAtTheEndOfTheData) {
  Put(Bytes(HeaderBytes(kCreated)).U32(7).Str("ab").U32(0).Raw("xy"sv).vec());
  TChgArchive a(fs_, "C:\\Cvn\\App", clock_);
  ASSERT_TRUE(a.Open());
  EXPECT_EQ(a.ReadInt(), 7u);
  std::string text = "keep";
  a.ReadString(text);
  EXPECT_EQ(text, "ab");
  a.ReadString(text);  // an empty text in the middle
  EXPECT_EQ(text, "");
  EXPECT_FALSE(a.Eof());
  EXPECT_EQ(a.ReadInt(), 0u);  // two bytes left: no int
  EXPECT_TRUE(a.Eof());
  EXPECT_TRUE(a.Damaged());
  EXPECT_EQ(a.Position(), a.Size() - 2);
}

TEST_F(ChgArchiveTest, StringLongerThanTheRestLeavesTheTextAndPosition) {
  Put(Bytes(HeaderBytes(kCreated)).U32(5).Raw("abc"sv).vec());
  TChgArchive a(fs_, "C:\\Cvn\\App", clock_);
  ASSERT_TRUE(a.Open());
  std::string text = "keep";
  a.ReadString(text);
  EXPECT_EQ(text, "keep");
  EXPECT_TRUE(a.Eof());
  EXPECT_TRUE(a.Damaged());
}

TEST_F(ChgArchiveTest, BlockBeyondTheEndGivesNothing) {
  Put(Bytes(HeaderBytes(kCreated)).Raw("abcd"sv).vec());
  TChgArchive a(fs_, "C:\\Cvn\\App", clock_);
  ASSERT_TRUE(a.Open());
  EXPECT_TRUE(a.ReadBlock(0xFFFFFFFFu).empty());
  EXPECT_TRUE(a.Eof());
  TChgArchive b(fs_, "C:\\Cvn\\App", clock_);
  ASSERT_TRUE(b.Open());
  const auto view = b.ReadBlock(4);
  EXPECT_EQ(test::AsText(std::vector<uint8_t>(view.begin(), view.end())), "abcd");
  EXPECT_FALSE(b.Eof());
  EXPECT_TRUE(b.ReadBlock(1).empty());
  EXPECT_TRUE(b.Eof());
  EXPECT_FALSE(b.Damaged());  // at the very end: nothing was cut short
}

TEST_F(ChgArchiveTest, PercentReadIsTheShareOfTheRecordsPassed) {
  Put(Bytes(HeaderBytes(kCreated)).U32(1).U32(2).U32(3).vec());
  TChgArchive a(fs_, "C:\\Cvn\\App", clock_);
  ASSERT_TRUE(a.Open());
  EXPECT_EQ(a.PercentRead(), 0);
  a.ReadInt();
  EXPECT_EQ(a.PercentRead(), 33);
  a.ReadInt();
  EXPECT_EQ(a.PercentRead(), 66);
  a.ReadInt();
  EXPECT_EQ(a.PercentRead(), 100);
}

TEST_F(ChgArchiveTest, ReadHeaderCopiesTheHeaderFields) {
  Put(Bytes(HeaderBytes(kCreated, 250, 45000.5, 3)).U32(7).vec());
  TChgArchive a(fs_, "C:\\Cvn\\App", clock_);
  ASSERT_TRUE(a.Open());
  std::array<uint8_t, kArchiveHeaderSize> raw{};
  a.ReadHeader(raw);
  const ArchiveHeader h = ParseHeader(raw);
  EXPECT_EQ(h.version, 250u);
  EXPECT_EQ(h.created, kCreated);
  EXPECT_EQ(h.last_used, 45000.5);
  EXPECT_EQ(h.uses, 3u);
}

TEST_F(ChgArchiveTest, UpdateUsageStampsTheHeaderAndKeepsTheRecords) {
  ChangeTree tree(settings_);
  test::FillEveryKind(tree);
  SaveChangesTree(tree, fs_, "C:\\Cvn", "App", clock_);
  const std::vector<uint8_t> before = FileBytes();

  const double later = MakeDateTime(2024, 4, 1, 9, 0, 0);
  clock_.Set(later);
  TChgArchive(fs_, "C:\\Cvn\\App", clock_).UpdateUsage();
  TChgArchive(fs_, "C:\\Cvn\\App", clock_).UpdateUsage();
  const std::vector<uint8_t> after = FileBytes();

  ASSERT_EQ(after.size(), before.size());
  const ArchiveHeader h = ParseHeader(std::span<const uint8_t, 56>(after.data(), 56));
  EXPECT_EQ(h.version, 200u);
  EXPECT_EQ(h.created, kCreated);
  EXPECT_EQ(h.last_used, later);
  EXPECT_EQ(h.uses, 2u);
  EXPECT_TRUE(std::equal(before.begin() + 56, before.end(), after.begin() + 56));
  EXPECT_FALSE(fs_.Exists("C:\\Cvn\\App.cvn.tmp"));
}

TEST_F(ChgArchiveTest, UpdateUsageOfAMissingOrShortFileThrows) {
  EXPECT_THROW(TChgArchive(fs_, "C:\\Cvn\\None", clock_).UpdateUsage(), ArchiveFileError);
  Put(std::vector<uint8_t>(20, 1));
  EXPECT_THROW(TChgArchive(fs_, "C:\\Cvn\\App", clock_).UpdateUsage(), ArchiveFileError);
  EXPECT_EQ(FileBytes(), std::vector<uint8_t>(20, 1));
}

// Regression: a save that failed half-way used to leave a truncated archive
// in place of the good one.
TEST_F(ChgArchiveTest, SaveFailingHalfWayKeepsThePreviousArchive) {
  ChangeTree small(settings_);
  test::AddChange(small, "C:", "Only", nkFolderAdded, 0, {}, {});
  SaveChangesTree(small, fs_, "C:\\Cvn", "App", clock_);
  const std::vector<uint8_t> good = FileBytes();

  ChangeTree big(settings_);
  test::FillEveryKind(big);
  fs_.FailNextWrite(100);
  EXPECT_THROW(SaveChangesTree(big, fs_, "C:\\Cvn", "App", clock_), ArchiveFileError);
  EXPECT_EQ(FileBytes(), good);
  EXPECT_FALSE(fs_.Exists("C:\\Cvn\\App.cvn.tmp"));

  fs_.FailNextMove();
  EXPECT_THROW(SaveChangesTree(big, fs_, "C:\\Cvn", "App", clock_), ArchiveFileError);
  EXPECT_EQ(FileBytes(), good);
  EXPECT_FALSE(fs_.Exists("C:\\Cvn\\App.cvn.tmp"));

  SaveChangesTree(big, fs_, "C:\\Cvn", "App", clock_);
  EXPECT_GT(FileBytes().size(), good.size());
}

TEST_F(ChgArchiveTest, UpdateUsageFailingHalfWayKeepsTheFile) {
  ChangeTree tree(settings_);
  test::FillEveryKind(tree);
  SaveChangesTree(tree, fs_, "C:\\Cvn", "App", clock_);
  const std::vector<uint8_t> good = FileBytes();
  fs_.FailNextWrite(30);
  EXPECT_THROW(TChgArchive(fs_, "C:\\Cvn\\App", clock_).UpdateUsage(), ArchiveFileError);
  EXPECT_EQ(FileBytes(), good);
  fs_.FailNextMove();
  EXPECT_THROW(TChgArchive(fs_, "C:\\Cvn\\App", clock_).UpdateUsage(), ArchiveFileError);
  EXPECT_EQ(FileBytes(), good);
}

TEST_F(ChgArchiveTest, SavingAgainReplacesTheCreationDate) {
  ChangeTree tree(settings_);
  SaveChangesTree(tree, fs_, "C:\\Cvn", "App", clock_);
  clock_.Set(kCreated + 1.0);
  SaveChangesTree(tree, fs_, "C:\\Cvn", "App", clock_);
  EXPECT_EQ(FileBytes(), HeaderBytes(kCreated + 1.0).vec());
}

}  // namespace
}  // namespace cvn::changes
