// The snapshot store: the writer's records byte by byte, the reader's fields,
// and a reader that never reads past its data.
#include "engine/snapshot/db_tree.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "platform/memory/memory_filesystem.h"
#include "tests/engine/snapshot/snapshot_test_util.h"

namespace cvn::snapshot {
namespace {

using platform::MemoryFileSystem;
using test::Bytes;

constexpr char kFolder[] = "C:\\Corvane";

class DbTreeTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(fs_.CreateFolders(kFolder).ok()); }

  std::vector<uint8_t> FileBytes(std::string_view base_name) {
    std::vector<uint8_t> data;
    EXPECT_TRUE(fs_.ReadFile(SnapshotFilePath(kFolder, base_name), &data).ok());
    return data;
  }
  TDBTree OpenBytes(const std::vector<uint8_t>& bytes) {
    EXPECT_TRUE(fs_.WriteFile(SnapshotFilePath(kFolder, "T"), bytes).ok());
    return TDBTree::Open(fs_, kFolder, "T");
  }

  MemoryFileSystem fs_;
};

const std::vector<uint8_t> kDword1 = {0x01, 0x00, 0x00, 0x00};

// The root key, a key A with a REG_DWORD x = 1, and a key A\B.
void AddFourRegistryRecords(TDBTree& store) {
  store.Add("", "", {}, 0, flags::kContainer);
  store.Add("A", "", {}, 0, flags::kContainer);
  store.Add("A", "x", kDword1, 4, 0);
  store.Add("A\\B", "", {}, 0, flags::kContainer);
}

const Bytes kFourRegistryRecords = Bytes()
                                       .U32(0x11101).U32(0).U32(0)
                                       .U32(0x11101).U32(1).U32(0).Text("A")
                                       .U32(0).U32(1).U32(4).U32(1).Text("x").U32(4).Raw({1, 0, 0, 0})
                                       .U32(0x11110).U32(1).U32(0).Text("B");

TEST_F(DbTreeTest, FourRecordRegistryExampleIsWrittenByteForByte) {
  TDBTree store = TDBTree::CreateNew(fs_, kFolder, "HKLM");
  AddFourRegistryRecords(store);
  EXPECT_EQ(std::vector<uint8_t>(store.Bytes().begin(), store.Bytes().end()),
            kFourRegistryRecords.vec());
  store.Save();
  EXPECT_EQ(FileBytes("HKLM"), kFourRegistryRecords.vec());
}

TEST_F(DbTreeTest, SaveReplacesAnEarlierFile) {
  ASSERT_TRUE(fs_.AddFile("C:\\Corvane\\FIS2.sns", "an older, longer snapshot").ok());
  TDBTree store = TDBTree::CreateNew(fs_, kFolder, "FIS2");
  store.Add("C:", "a", {}, 3, 0);
  store.Save();
  EXPECT_EQ(FileBytes("FIS2"), Bytes().U32(0x1001).U32(2).U32(3).Text("C:").U32(1).Text("a").vec());
}

TEST_F(DbTreeTest, RootKeyValuesCarryTheFullPathBitWithNoPath) {
  TDBTree store = TDBTree::CreateNew(fs_, kFolder, "HKCU");
  store.Add("", "", {}, 0, flags::kContainer);
  store.Add("", "v", kDword1, 4, 0);
  store.Add("", "", kDword1, 1, 0);  // the default value
  EXPECT_EQ(std::vector<uint8_t>(store.Bytes().begin(), store.Bytes().end()),
            Bytes()
                .U32(0x11101).U32(0).U32(0)
                .U32(0x1).U32(0).U32(4).U32(1).Text("v").U32(4).Raw({1, 0, 0, 0})
                .U32(0x101).U32(0).U32(1).U32(4).Raw({1, 0, 0, 0})
                .vec());
}

TEST_F(DbTreeTest, KeyMetAgainAfterADeeperSubtreeGetsItsFullPath) {
  TDBTree store = TDBTree::CreateNew(fs_, kFolder, "HKLM");
  store.Add("A\\B\\C", "", {}, 0, flags::kContainer);
  store.Add("A\\D", "", {}, 0, flags::kContainer);
  store.Add("A\\D", "", {}, 7, 0);  // an empty default value: no name, no data
  EXPECT_EQ(std::vector<uint8_t>(store.Bytes().begin(), store.Bytes().end()),
            Bytes()
                .U32(0x11101).U32(5).U32(0).Text("A\\B\\C")
                .U32(0x11101).U32(3).U32(0).Text("A\\D")
                .U32(0x1100).U32(3).U32(7)
                .vec());
}

TEST_F(DbTreeTest, PathThatOnlySharesLettersWithThePreviousOneIsFull) {
  TDBTree store = TDBTree::CreateNew(fs_, kFolder, "HKLM");
  store.Add("Soft", "", {}, 0, flags::kContainer);
  store.Add("Software", "", {}, 0, flags::kContainer);  // not below "Soft"
  store.Add("software\\x", "", {}, 0, flags::kContainer);  // comparisons are exact
  EXPECT_EQ(std::vector<uint8_t>(store.Bytes().begin(), store.Bytes().end()),
            Bytes()
                .U32(0x11101).U32(4).U32(0).Text("Soft")
                .U32(0x11101).U32(8).U32(0).Text("Software")
                .U32(0x11101).U32(10).U32(0).Text("software\\x")
                .vec());
}

TEST_F(DbTreeTest, ReaderFollowsTheRecordsFieldByField) {
  TDBTree store = OpenBytes(kFourRegistryRecords);
  EXPECT_FALSE(store.Writing());
  std::string path = "before", name;
  std::vector<uint8_t> data = {9};

  store.ReadHeader(path);
  ASSERT_FALSE(store.Eof());
  EXPECT_EQ(store.Flags(), 0x11101u);
  EXPECT_EQ(path, "");
  store.ReadName(name);
  store.ReadData(data);
  EXPECT_EQ(name, "");
  EXPECT_EQ(store.DataSize(), 0u);
  EXPECT_TRUE(data.empty());

  store.ReadHeader(path);
  store.ReadName(name);
  store.ReadData(data);
  EXPECT_EQ(path, "A");

  store.ReadHeader(path);
  EXPECT_EQ(store.Flags(), 0u);
  EXPECT_EQ(store.Value(), 4u);
  EXPECT_EQ(path, "A");  // a same-path record leaves the path alone
  store.ReadName(name);
  EXPECT_EQ(name, "x");
  EXPECT_EQ(store.DataSize(), 4u);
  store.ReadData(data);
  EXPECT_EQ(data, kDword1);

  store.ReadHeader(path);
  EXPECT_EQ(store.Flags(), 0x11110u);
  EXPECT_EQ(path, "B");  // the relative part only
  store.ReadName(name);
  store.ReadData(data);
  EXPECT_FALSE(store.Eof());

  store.ReadHeader(path);
  EXPECT_TRUE(store.Eof());
}

TEST_F(DbTreeTest, ReadRecordGivesTheSameFieldsWithoutCopying) {
  TDBTree store = OpenBytes(kFourRegistryRecords);
  SnapshotRecord r;
  ASSERT_TRUE(store.ReadRecord(&r));
  ASSERT_TRUE(store.ReadRecord(&r));
  EXPECT_EQ(r.path_text, "A");
  ASSERT_TRUE(store.ReadRecord(&r));
  EXPECT_EQ(r.flags, 0u);
  EXPECT_EQ(r.value, 4u);
  EXPECT_EQ(r.name, "x");
  EXPECT_EQ(std::vector<uint8_t>(r.data.begin(), r.data.end()), kDword1);
  ASSERT_TRUE(store.ReadRecord(&r));
  EXPECT_EQ(r.flags, 0x11110u);
  EXPECT_FALSE(store.ReadRecord(&r));
  EXPECT_TRUE(store.Eof());
}

TEST_F(DbTreeTest, OpeningAMissingFileThrowsTheFileError) {
  EXPECT_THROW(TDBTree::Open(fs_, kFolder, "HKCC"), SnapshotFileError);
}

TEST_F(DbTreeTest, SavingIntoAMissingFolderThrowsTheFileError) {
  TDBTree store = TDBTree::CreateNew(fs_, "C:\\Missing", "FIS2");
  store.Add("C:", "a", {}, 3, 0);
  EXPECT_THROW(store.Save(), SnapshotFileError);
}

// Reads every record; true when the data ended cleanly, false when the
// reader reported a damaged file.
bool ReadsToTheEnd(TDBTree& store) {
  SnapshotRecord r;
  try {
    while (store.ReadRecord(&r)) {
    }
    return true;
  } catch (const SnapshotFormatError&) {
    return false;
  }
}

TEST_F(DbTreeTest, TruncatedFileIsReportedDamagedUnlessCutBetweenRecords) {
  const std::vector<uint8_t>& whole = kFourRegistryRecords.vec();
  const std::vector<size_t> record_ends = {0, 12, 25, 50, whole.size()};
  for (size_t length = 0; length <= whole.size(); ++length) {
    SCOPED_TRACE("length " + std::to_string(length));
    TDBTree store = OpenBytes(std::vector<uint8_t>(whole.begin(), whole.begin() + length));
    const bool at_record_end =
        std::find(record_ends.begin(), record_ends.end(), length) != record_ends.end();
    EXPECT_EQ(ReadsToTheEnd(store), at_record_end);
  }
}

TEST_F(DbTreeTest, TruncatedFileIsReportedDamagedByTheFieldReadsToo) {
  const std::vector<uint8_t>& whole = kFourRegistryRecords.vec();
  TDBTree store = OpenBytes(std::vector<uint8_t>(whole.begin(), whole.begin() + 46));
  std::string path, name;
  std::vector<uint8_t> data;
  for (int i = 0; i < 2; ++i) {
    store.ReadHeader(path);
    store.ReadName(name);
    store.ReadData(data);
  }
  store.ReadHeader(path);
  store.ReadName(name);  // NameLength, name and DataSize are there
  EXPECT_THROW(store.ReadData(data), SnapshotFormatError);  // 4 data bytes are not
}

TEST_F(DbTreeTest, FlippedBytesNeverMakeTheReaderReadPastItsData) {
  const std::vector<uint8_t>& whole = kFourRegistryRecords.vec();
  size_t damaged = 0;
  for (size_t at = 0; at < whole.size(); ++at) {
    for (uint8_t mask : {0x01, 0x10, 0x80, 0xFF}) {
      std::vector<uint8_t> bytes = whole;
      bytes[at] ^= mask;
      TDBTree store = OpenBytes(bytes);
      if (!ReadsToTheEnd(store)) ++damaged;
    }
  }
  // Many flips (in lengths and flags) must be caught; the sanitizers check
  // that none of them read out of bounds.
  EXPECT_GT(damaged, 20u);
}

TEST_F(DbTreeTest, HugeLengthsAreDamageNotAllocations) {
  for (const Bytes& bytes :
       {Bytes().U32(0x1).U32(0xFFFFFFFF).U32(0).Text("A"),
        Bytes().U32(0x1).U32(1).U32(0).Text("A").U32(0xFFFFFFF0).Text("x"),
        Bytes().U32(0x100).U32(0).U32(0).U32(0xFFFFFFFF).Raw({1, 2, 3})}) {
    TDBTree store = OpenBytes(bytes);
    EXPECT_FALSE(ReadsToTheEnd(store));
  }
}

TEST_F(DbTreeTest, DeleteSnapshotFilesRemovesTheSevenFilesAndNothingElse) {
  for (const char* name : {"HKCR.sns", "HKLM.SNS", "hkcu.sns", "FIS1.SNS", "FIS2.sns"})
    ASSERT_TRUE(fs_.AddFile(std::string(kFolder) + "\\" + name, "x").ok());
  ASSERT_TRUE(fs_.AddFile("C:\\Corvane\\App.cvn", "keep").ok());
  ASSERT_TRUE(fs_.AddFile("C:\\Corvane\\Log.txt", "keep").ok());

  DeleteSnapshotFiles(fs_, kFolder);  // HKUS and HKCC are missing: ignored

  for (const char* name : {"HKCR.SNS", "HKLM.SNS", "HKCU.SNS", "FIS1.SNS", "FIS2.SNS"})
    EXPECT_FALSE(fs_.Exists(std::string(kFolder) + "\\" + name)) << name;
  EXPECT_TRUE(fs_.Exists("C:\\Corvane\\App.cvn"));
  EXPECT_TRUE(fs_.Exists("C:\\Corvane\\Log.txt"));
  EXPECT_EQ(fs_.CurrentDirectory(), kFolder);
}

}  // namespace
}  // namespace cvn::snapshot
