// The changes archive byte for byte: header, every record kind, atomic
// replacement and the usage stamp (reads of cut data are the fuzz test's).
#include <gtest/gtest.h>

#include <functional>

#include "changes/changes_archive.h"
#include "tests/changes/archive_test_util.h"

namespace cvn::changes {
namespace {

using namespace std::string_view_literals;
using cvn::test::Hex;
using test::Fields;
using test::HeaderBytes;

const double kCreated = MakeDateTime(2024, 3, 5, 14, 30, 0);

class ChgArchiveTest : public test::ArchiveFixture {
 protected:
  void SetUp() override {
    ArchiveFixture::SetUp();
    clock_.Set(kCreated);
  }
  ChangeTree every_{settings_};
};

TEST_F(ChgArchiveTest, EmptyTreeMakesTheBare56ByteHeader) {
  Save(ChangeTree(settings_));
  EXPECT_EQ(Hex(FileBytes()), Hex(HeaderBytes(kCreated).vec()));
  // Saving again replaces the creation date.
  clock_.Set(kCreated + 1.0);
  Save(ChangeTree(settings_));
  EXPECT_EQ(FileBytes(), HeaderBytes(kCreated + 1.0).vec());
}

TEST_F(ChgArchiveTest, OpenChecksSizeSignatureAndVersionOnly) {
  const struct {
    const char* what;
    std::function<void(std::vector<uint8_t>&)> change;
    bool opens;
  } kCases[] = {
      {"version 299", [](auto& b) { b = HeaderBytes(kCreated, 299).vec(); }, true},
      {"version 300", [](auto& b) { b = HeaderBytes(kCreated, 300).vec(); }, false},
      {"one byte short", [](auto& b) { b.pop_back(); }, false},
      {"another signature", [](auto& b) { b[3] = 'x'; }, false},
      {"reserved bytes", [](auto& b) { b[11] = b[40] = 0xFF; }, true},
  };
  for (const auto& c : kCases) {
    std::vector<uint8_t> bytes = HeaderBytes(kCreated).vec();
    c.change(bytes);
    Put(bytes);
    EXPECT_EQ(ChangesArchive(fs_, "C:\\Cvn\\App").Open(), c.opens) << c.what;
  }
  EXPECT_FALSE(ChangesArchive(fs_, "C:\\Cvn\\Missing").Open());
}

TEST_F(ChgArchiveTest, EveryKindIsWrittenInTreeOrderByteForByte) {
  test::FillEveryKind(every_);
  Save(every_);
  const uint32_t cu = 0x80000001, lm = 0x80000002;
  Fields e = HeaderBytes(kCreated);
  e.U32(1).U32(cu).Str("\\NewKey");
  // A default value of type REG_SZ.
  e.U32(3).U32(cu).Str("NewKey").Str("").U32(1).U32(3).Raw("ab\0"sv);
  e.U32(1).U32(cu).Str("NewKey\\Sub");
  e.U32(2).U32(cu).Str("Old\\Key\\Gone");
  e.U32(4).U32(cu).Str("App").Str("Bin").U32(3).U32(3).Raw("\x03\x04\x05").U32(2).Raw("\x01\x02");
  e.U32(5).U32(cu).Str("App").Str("Was").U32(4).U32(4).Raw("\x07\0\0\0"sv);
  e.U32(3).U32(cu).Str("").Str("RootValue").U32(3).U32(1).Raw("\x09");
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
  EXPECT_EQ(Hex(FileBytes()), Hex(e.vec()));
}

TEST_F(ChgArchiveTest, UpdateUsageStampsTheHeaderAndKeepsTheRecords) {
  test::FillEveryKind(every_);
  Save(every_);
  const std::vector<uint8_t> before = FileBytes();
  const double later = MakeDateTime(2024, 4, 1, 9, 0, 0);
  clock_.Set(later);
  ChangesArchive(fs_, "C:\\Cvn\\App", clock_).UpdateUsage();
  ChangesArchive(fs_, "C:\\Cvn\\App", clock_).UpdateUsage();
  const std::vector<uint8_t> after = FileBytes();
  ASSERT_EQ(after.size(), before.size());
  EXPECT_EQ(Hex(after), Hex(HeaderBytes(kCreated, 200, later, 2).vec()) +
                            Hex(std::span(before).subspan(kArchiveHeaderSize)));
  EXPECT_FALSE(fs_.Exists("C:\\Cvn\\App.cvn.tmp"));
  // A short file cannot be stamped, and stays as it was.
  Put(std::vector<uint8_t>(20, 1));
  EXPECT_THROW(ChangesArchive(fs_, "C:\\Cvn\\App", clock_).UpdateUsage(), ArchiveFileError);
  EXPECT_EQ(FileBytes(), std::vector<uint8_t>(20, 1));
}

// Regression: a save that failed half-way used to leave a truncated archive
// in place of the good one. Stamping the usage must not do so either.
TEST_F(ChgArchiveTest, SaveOrStampFailingHalfWayKeepsThePreviousArchive) {
  ChangeTree small(settings_);
  test::Add(small, "C:", "Only", NodeKind::kFolderAdded);
  Save(small);
  const std::vector<uint8_t> good = FileBytes();
  test::FillEveryKind(every_);
  const std::function<void()> writes[] = {
      [&] { Save(every_); }, [&] { ChangesArchive(fs_, "C:\\Cvn\\App", clock_).UpdateUsage(); }};
  for (const auto& write : writes) {
    fs_.FailNextWrite(30);
    EXPECT_THROW(write(), ArchiveFileError);
    EXPECT_EQ(FileBytes(), good);
    fs_.FailNextMove();
    EXPECT_THROW(write(), ArchiveFileError);
    EXPECT_EQ(FileBytes(), good);
    EXPECT_FALSE(fs_.Exists("C:\\Cvn\\App.cvn.tmp"));
  }
  Save(every_);
  EXPECT_GT(FileBytes().size(), good.size());
}

}  // namespace
}  // namespace cvn::changes
