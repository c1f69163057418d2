// The snapshot store: the writer's records byte by byte, a reader that never
// reads past its data, and loading a snapshot file into a snapshot tree.
#include "engine/snapshot/snapshot_store.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "engine/snapshot/load_snapshot.h"
#include "platform/memory/memory_filesystem.h"
#include "tests/engine/snapshot/snapshot_test_util.h"

namespace cvn::snapshot {

using threads::RunToEnd;
using threads::ScanControl;
namespace {

using test::Add;
using test::ChildNamed;
using test::kKey;
using test::Names;
using test::Records;
using Data = std::vector<uint8_t>;
using Strings = std::vector<std::string>;

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
  SnapshotStore Write(const std::vector<Add>& adds, std::string_view base_name) {
    SnapshotStore store = SnapshotStore::CreateNew(fs_, kFolder, base_name);
    for (const Add& a : adds) store.Add(a.path, a.name, a.data, a.value, a.flags);
    return store;
  }
  SnapshotStore OpenBytes(const Data& bytes) {
    EXPECT_TRUE(fs_.WriteFile(SnapshotFilePath(kFolder, "T"), bytes).ok());
    return SnapshotStore::Open(fs_, kFolder, "T");
  }
  // Reads every record: true when the data ended cleanly and the reader
  // says so, false when it reported a damaged file.
  bool ReadsToTheEnd(const Data& bytes) {
    SnapshotStore store = OpenBytes(bytes);
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
    SnapshotStore store = Write(r.adds, "HKLM");
    EXPECT_EQ(cvn::test::Hex(store.Bytes()), cvn::test::Hex(r.bytes));
    store.Save();
    EXPECT_EQ(FileBytes("HKLM"), r.bytes);
  }
  SnapshotStore nowhere = SnapshotStore::CreateNew(fs_, "C:\\Missing", "FIS2");
  nowhere.Add("C:", "a", {}, 3, 0);
  EXPECT_THROW(nowhere.Save(), SnapshotFileError);
  EXPECT_THROW(SnapshotStore::Open(fs_, kFolder, "HKCC"), SnapshotFileError);
}

TEST_F(DbTreeTest, TruncatedFileIsDamagedUnlessCutBetweenRecords) {
  const std::vector<size_t> record_ends = {0, 12, 25, 50, kFourRecords.size()};
  for (size_t length = 0; length <= kFourRecords.size(); ++length) {
    EXPECT_EQ(ReadsToTheEnd(Data(kFourRecords.begin(), kFourRecords.begin() + length)),
              std::find(record_ends.begin(), record_ends.end(), length) != record_ends.end())
        << "length " << length;
  }
  // The field reads too: NameLength, name and DataSize are there, 4 data bytes are not.
  SnapshotStore store = OpenBytes(Data(kFourRecords.begin(), kFourRecords.begin() + 46));
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

class LoadSnapshotTest : public DbTreeTest {
 protected:
  SnapshotTree Load(const std::vector<Add>& adds, ScanControl* control = nullptr,
                    std::string_view base_name = "HKLM") {
    Write(adds, base_name).Save();
    RunToEnd to_end;
    SnapshotTree tree = LoadSnapshot(fs_, kFolder, base_name, control ? *control : to_end);
    // Loading deletes the file, also when stopped.
    EXPECT_FALSE(fs_.Exists(SnapshotFilePath(kFolder, base_name)));
    return tree;
  }
};

TEST_F(LoadSnapshotTest, PausePointAfterEveryRecordAndAStopKeepsThePartialTree) {
  EXPECT_EQ(Load({}).Root(), nullptr);  // no records: a null tree
  std::vector<Add> adds = {{"", "", {}, 0, kKey}};
  for (int i = 0; i < 10; ++i) adds.push_back({"K", "v" + std::to_string(i), kDword1, 4, 0});
  test::StopAfter to_end;
  Load(adds, &to_end);
  EXPECT_EQ(to_end.pauses(), 11);
  test::StopAfter stop(4);
  SnapshotTree tree = Load(adds, &stop);
  // Records 1 to 4 are placed: the root, K with v0, v1, v2.
  ASSERT_NE(tree.Root(), nullptr);
  EXPECT_EQ(Names(ChildNamed(tree.Root(), "K")->values), (Strings{"v2", "v1", "v0"}));
  EXPECT_EQ(stop.pauses(), 4);
}

// A full path met again after a deeper subtree is found by name without
// regard to case; long sibling lists are looked up through an index, which
// must give the first node of the name, also after relative records put
// same-named nodes at the head.
TEST_F(LoadSnapshotTest, LongSiblingListsFindTheFirstNodeOfTheName) {
  std::vector<Add> adds = {{"", "", {}, 0, kKey}, {"K", "", {}, 0, kKey}};
  for (int i = 0; i < 20; ++i) adds.push_back({"K\\S" + std::to_string(i), "", {}, 0, kKey});
  adds.insert(adds.end(),
              {{"K\\S3\\Deep", "", {}, 0, kKey},  // full path: K's children get an index
               {"K", "", {}, 0, kKey},
               {"K\\S3", "", {}, 0, kKey},  // relative: a second S3, now first
               {"K\\S3\\Deeper", "", {}, 0, kKey},
               {"K\\s3", "newest", {}, 1, 0},       // full path: must find the head S3
               {"K\\S3\\Deep", "old", {}, 1, 0}});  // the head S3 has no Deep yet
  SnapshotTree tree = Load(adds);
  const SnapshotNode* k = ChildNamed(tree.Root(), "K");
  ASSERT_NE(k, nullptr);
  ASSERT_EQ(Names(k->child).size(), 21u);  // S0 to S19 and the second S3
  EXPECT_EQ(k->child->name, "S3");
  EXPECT_EQ(Names(k->child->values), Strings{"newest"});
  EXPECT_EQ(Names(k->child->child), (Strings{"Deeper", "Deep"}));
  EXPECT_EQ(Names(ChildNamed(k->child, "Deep")->values), Strings{"old"});
}

}  // namespace
}  // namespace cvn::snapshot
