// The snapshot store: the writer's records byte by byte, the reader's fields,
// and a reader that never reads past its data.
#include "engine/snapshot/db_tree.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "platform/memory/memory_filesystem.h"
#include "tests/engine/snapshot/snapshot_test_util.h"

namespace cvn::snapshot {
namespace {

using test::Add;
using test::kKey;
using test::Records;
using Data = std::vector<uint8_t>;

constexpr char kFolder[] = "C:\\Corvane";
const Data kDword1 = {1, 0, 0, 0};
// The root key, a key A with a REG_DWORD x = 1, and a key A\B.
const std::vector<Add> kFourAdds = {{"", "", {}, 0, kKey},
                                    {"A", "", {}, 0, kKey},
                                    {"A", "x", kDword1, 4, 0},
                                    {"A\\B", "", {}, 0, kKey}};
const Data kFourRecords = Records(
    {{0x11101, 0, 0}, {0x11101, 1, 0, "A"}, {0, 1, 4, "", "x", kDword1}, {0x11110, 1, 0, "B"}});

class DbTreeTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(fs_.CreateFolders(kFolder).ok()); }

  Data FileBytes(std::string_view base_name) {
    Data data;
    EXPECT_TRUE(fs_.ReadFile(SnapshotFilePath(kFolder, base_name), &data).ok());
    return data;
  }
  TDBTree OpenBytes(const Data& bytes) {
    EXPECT_TRUE(fs_.WriteFile(SnapshotFilePath(kFolder, "T"), bytes).ok());
    return TDBTree::Open(fs_, kFolder, "T");
  }
  // Reads every record: true when the data ended cleanly and the reader
  // says so, false when it reported a damaged file.
  bool ReadsToTheEnd(const Data& bytes) {
    TDBTree store = OpenBytes(bytes);
    SnapshotRecord r;
    try {
      while (store.ReadRecord(&r)) {
      }
      return store.Eof();
    } catch (const SnapshotFormatError&) {
      return false;
    }
  }

  platform::MemoryFileSystem fs_;
};

TEST_F(DbTreeTest, RecordsAreWrittenByteForByte) {
  const struct {
    const char* what;
    std::vector<Add> adds;
    Data bytes;
  } kRows[] = {
      {"four registry records", kFourAdds, kFourRecords},
      {"root key values: the full path bit with no path",
       {{"", "", {}, 0, kKey}, {"", "v", kDword1, 4, 0}, {"", "", kDword1, 1, 0}},
       Records({{0x11101, 0, 0}, {0x1, 0, 4, "", "v", kDword1}, {0x101, 0, 1, "", "", kDword1}})},
      // An empty default value has no name and no data.
      {"a key met again after a deeper subtree gets its full path",
       {{"A\\B\\C", "", {}, 0, kKey}, {"A\\D", "", {}, 0, kKey}, {"A\\D", "", {}, 7, 0}},
       Records({{0x11101, 5, 0, "A\\B\\C"}, {0x11101, 3, 0, "A\\D"}, {0x1100, 3, 7}})},
      {"a path only sharing letters with the previous one is full; comparisons are exact",
       {{"Soft", "", {}, 0, kKey}, {"Software", "", {}, 0, kKey}, {"software\\x", "", {}, 0, kKey}},
       Records({{0x11101, 4, 0, "Soft"},
                {0x11101, 8, 0, "Software"},
                {0x11101, 10, 0, "software\\x"}})},
  };
  // Saving replaces an earlier, longer file.
  ASSERT_TRUE(fs_.AddFile("C:\\Corvane\\HKLM.sns", std::string(200, 'x')).ok());
  for (const auto& r : kRows) {
    SCOPED_TRACE(r.what);
    TDBTree store = TDBTree::CreateNew(fs_, kFolder, "HKLM");
    for (const Add& a : r.adds) store.Add(a.path, a.name, a.data, a.value, a.flags);
    EXPECT_EQ(cvn::test::Hex(store.Bytes()), cvn::test::Hex(r.bytes));
    store.Save();
    EXPECT_EQ(FileBytes("HKLM"), r.bytes);
  }
  TDBTree nowhere = TDBTree::CreateNew(fs_, "C:\\Missing", "FIS2");
  nowhere.Add("C:", "a", {}, 3, 0);
  EXPECT_THROW(nowhere.Save(), SnapshotFileError);
  EXPECT_THROW(TDBTree::Open(fs_, kFolder, "HKCC"), SnapshotFileError);
}

TEST_F(DbTreeTest, TruncatedFileIsDamagedUnlessCutBetweenRecords) {
  const std::vector<size_t> record_ends = {0, 12, 25, 50, kFourRecords.size()};
  for (size_t length = 0; length <= kFourRecords.size(); ++length) {
    EXPECT_EQ(ReadsToTheEnd(Data(kFourRecords.begin(), kFourRecords.begin() + length)),
              std::find(record_ends.begin(), record_ends.end(), length) != record_ends.end())
        << "length " << length;
  }
  // The field reads too: NameLength, name and DataSize are there, 4 data bytes are not.
  TDBTree store = OpenBytes(Data(kFourRecords.begin(), kFourRecords.begin() + 46));
  std::string path, name;
  Data data;
  for (int i = 0; i < 3; ++i) {
    store.ReadHeader(path);
    store.ReadName(name);
    if (i < 2) store.ReadData(data);
  }
  EXPECT_THROW(store.ReadData(data), SnapshotFormatError);
}

TEST_F(DbTreeTest, DamagedBytesNeverMakeTheReaderReadPastItsData) {
  size_t damaged = 0;
  for (size_t at = 0; at < kFourRecords.size(); ++at) {
    for (uint8_t mask : {0x01, 0x10, 0x80, 0xFF}) {
      Data bytes = kFourRecords;
      bytes[at] ^= mask;
      damaged += !ReadsToTheEnd(bytes);
    }
  }
  // Many flips (in lengths and flags) must be caught; the sanitizers check
  // that none of them read out of bounds.
  EXPECT_GT(damaged, 20u);
  // Huge lengths are damage, not allocations.
  Data path = Records({{0x1, 0xFFFFFFFF, 0, "A"}});
  Data name = Records({{0x1001, 1, 0, "A", "x"}});
  name[16] = 0xF0;  // the name length's high byte
  Data data = Records({{0x100, 0, 0, "", "", {1, 2, 3}}});
  std::fill(data.begin() + 12, data.begin() + 16, 0xFF);
  for (const Data& bytes : {path, name, data})
    EXPECT_FALSE(ReadsToTheEnd(bytes)) << cvn::test::Hex(bytes);
}

TEST_F(DbTreeTest, DeleteSnapshotFilesRemovesTheSevenFilesAndNothingElse) {
  for (const char* name :
       {"HKCR.sns", "HKLM.SNS", "hkcu.sns", "FIS1.SNS", "FIS2.sns", "App.cvn", "Log.txt"})
    ASSERT_TRUE(fs_.AddFile(std::string(kFolder) + "\\" + name, "x").ok());
  DeleteSnapshotFiles(fs_, kFolder);  // HKUS and HKCC are missing: ignored
  for (const char* name : {"HKCR.SNS", "HKLM.SNS", "HKCU.SNS", "FIS1.SNS", "FIS2.SNS"})
    EXPECT_FALSE(fs_.Exists(std::string(kFolder) + "\\" + name)) << name;
  EXPECT_TRUE(fs_.Exists("C:\\Corvane\\App.cvn"));
  EXPECT_TRUE(fs_.Exists("C:\\Corvane\\Log.txt"));
  EXPECT_EQ(fs_.CurrentDirectory(), kFolder);
}

}  // namespace
}  // namespace cvn::snapshot
