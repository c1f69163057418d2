// The texts of the changes tree's cells, its pictures, and the text export
// of the whole tree, one branch and one value node.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "change_tree_test_util.h"
#include "changes/change_tree.h"
#include "changes/changes_view.h"
#include "changes/export_changes.h"
#include "platform/memory/memory_filesystem.h"

namespace cvn::changes {
namespace {

using test::At;
using test::Record;

constexpr uint32_t kHkcu = 0x80000001;
constexpr uint32_t kHklm = 0x80000002;
constexpr uint32_t kRegBinary = 3;

std::vector<uint8_t> Bytes(std::string_view text) { return {text.begin(), text.end()}; }
std::vector<uint8_t> Dword(uint32_t v) {
  return {uint8_t(v), uint8_t(v >> 8), uint8_t(v >> 16), uint8_t(v >> 24)};
}

TNodeData Value(int32_t kind, uint32_t type, const std::vector<uint8_t>& before,
                const std::vector<uint8_t>& after, std::string name = "v") {
  TNodeData d = Record(kind, kHkcu);
  d.Name = std::move(name);
  d.ValueType = type;
  d.Before = CopyBuffer(before);
  d.BeforeSize = static_cast<int32_t>(before.size());
  d.After = CopyBuffer(after);
  d.AfterSize = static_cast<int32_t>(after.size());
  return d;
}

TNodeData File(int32_t kind, std::string name, std::string_view before, std::string_view after) {
  TNodeData d = Record(kind);
  d.Name = std::move(name);
  if (!before.empty()) {
    d.Before = TextBuffer(before);
    d.BeforeSize = static_cast<int32_t>(before.size() + 1);
  }
  if (!after.empty()) {
    d.After = TextBuffer(after);
    d.AfterSize = static_cast<int32_t>(after.size() + 1);
  }
  return d;
}

TEST(CellTextTest, DefaultValueCreatedShowsDefaultNameAndQuotedText) {
  TNodeData d = Value(nkValueAdded, kRegSz, {}, Bytes(std::string("x\0", 2)), "");
  EXPECT_EQ(CellText(d, kColumnName, false), "(Default)");
  EXPECT_EQ(CellText(d, kColumnBefore, false), "");
  EXPECT_EQ(CellText(d, kColumnAfter, false), "'x'");
}

TEST(CellTextTest, DefaultNameOnlyForValueChanges) {
  EXPECT_EQ(CellText(Value(nkValueDeleted, kRegSz, {}, {}, ""), kColumnName, false), "(Default)");
  EXPECT_EQ(CellText(Value(nkCounterIncremented, kRegDword, {}, Dword(1), ""), kColumnName, false),
            "");
  EXPECT_EQ(CellText(File(nkFileAdded, "", "", "x"), kColumnName, false), "");
}

TEST(CellTextTest, QuotesInsideRegSzAreDoubledAndTextEndsAtFirstZero) {
  TNodeData d = Value(nkValueChanged, kRegSz, Bytes(std::string("it's\0junk", 9)),
                      Bytes("a'b"));
  EXPECT_EQ(CellText(d, kColumnBefore, false), "'it''s'");
  EXPECT_EQ(CellText(d, kColumnAfter, false), "'a''b'");
}

TEST(CellTextTest, EmptyRegSzShowsTwoQuotes) {
  TNodeData d = Value(nkValueDeleted, kRegSz, {}, {});
  EXPECT_EQ(CellText(d, kColumnBefore, false), "''");
  EXPECT_EQ(CellText(d, kColumnAfter, false), "");
}

TEST(CellTextTest, DwordIsSignedDecimal) {
  TNodeData d = Value(nkValueChanged, kRegDword, Dword(0xFFFFFFFF), Dword(70000));
  EXPECT_EQ(CellText(d, kColumnBefore, false), "-1");
  EXPECT_EQ(CellText(d, kColumnAfter, false), "70000");
}

TEST(CellTextTest, ShortDwordIsShownAsBytesNotReadPastItsEnd) {
  TNodeData d = Value(nkValueAdded, kRegDword, {}, {0x01, 0x02});
  EXPECT_EQ(CellText(d, kColumnAfter, true), "01 02 ");
}

TEST(CellTextTest, BinaryInHexaAndTextModes) {
  TNodeData d = Value(nkValueAdded, kRegBinary, {}, {0x41, 0x00, 0x7F});
  EXPECT_EQ(CellText(d, kColumnAfter, true), "41 00 7F ");
  EXPECT_EQ(CellText(d, kColumnAfter, false), "A..");
  EXPECT_EQ(FormatBinaryData(std::vector<uint8_t>{0x0A, 0x1F}, true), "0A 1F ");
  EXPECT_EQ(FormatBinaryData(std::vector<uint8_t>{0x20, 0x7E, 0x80, 0xFF}, false), " ~..");
}

TEST(CellTextTest, ZeroLengthBinaryInEitherMode) {
  TNodeData d = Value(nkValueChanged, kRegBinary, {}, {0xAB});
  EXPECT_EQ(CellText(d, kColumnBefore, true), "(zero length data)");
  EXPECT_EQ(CellText(d, kColumnBefore, false), "(zero length data)");
  EXPECT_EQ(CellText(d, kColumnAfter, false), ".");
}

TEST(CellTextTest, ExpandAndMultiStringsAreShownAsBinaryData) {
  TNodeData d = Value(nkValueAdded, 2, {}, Bytes(std::string("%a%\0", 4)));
  EXPECT_EQ(CellText(d, kColumnAfter, false), "%a%.");
}

TEST(CellTextTest, CounterShowsIncrementOnlyAfter) {
  TNodeData d = Value(nkCounterIncremented, kRegDword, {}, Dword(1));
  EXPECT_EQ(CellText(d, kColumnBefore, false), "");
  EXPECT_EQ(CellText(d, kColumnAfter, false), "1 (incremented)");
}

TEST(CellTextTest, FileInfoIsFollowedByBytes) {
  TNodeData changed = File(nkFileChanged, "f", "01/02/2020 10:00:00  10", "03/04/2021 11:00:00  20");
  EXPECT_EQ(CellText(changed, kColumnBefore, false), "01/02/2020 10:00:00  10 bytes");
  EXPECT_EQ(CellText(changed, kColumnAfter, false), "03/04/2021 11:00:00  20 bytes");
  TNodeData from = File(nkFileMovedFrom, "f", "1", "");
  EXPECT_EQ(CellText(from, kColumnBefore, false), "1 bytes");
  EXPECT_EQ(CellText(from, kColumnAfter, false), "");
  TNodeData to = File(nkFileMovedTo, "f", "", "2");
  EXPECT_EQ(CellText(to, kColumnBefore, false), "");
  EXPECT_EQ(CellText(to, kColumnAfter, false), "2 bytes");
  EXPECT_EQ(CellText(File(nkFileDeleted, "f", "3", ""), kColumnBefore, false), "3 bytes");
  EXPECT_EQ(CellText(File(nkFileAdded, "f", "", "4"), kColumnAfter, false), "4 bytes");
}

TEST(CellTextTest, StructureAndKeyNodesShowOnlyTheirName) {
  TNodeData key = Record(nkKeyAdded, kHkcu);
  key.Name = "K";
  EXPECT_EQ(CellText(key, kColumnName, true), "K");
  EXPECT_EQ(CellText(key, kColumnBefore, true), "");
  EXPECT_EQ(CellText(key, kColumnAfter, true), "");
}

TEST(ImageIndexTest, EachKindHasItsPictureAndTextValuesTheirOwn) {
  const std::vector<std::pair<int32_t, int>> expected = {
      {nkMyComputer, 0}, {nkFileSystem, 1},  {nkRegistry, 2},      {nkDrive, 3},
      {nkPathNode, 4},   {nkKeyAdded, 5},    {nkFolderAdded, 5},   {nkKeyDeleted, 6},
      {nkFolderDeleted, 6}, {nkValueAdded, 7}, {nkValueDeleted, 8}, {nkValueChanged, 9},
      {nkCounterIncremented, 10}, {nkFileAdded, 15}, {nkFileDeleted, 16}, {nkFileChanged, 17},
      {nkFileMovedFrom, 18}, {nkFileMovedTo, 19}};
  for (auto [kind, image] : expected) {
    TNodeData d = Record(kind);
    d.ValueType = kRegDword;
    EXPECT_EQ(ImageIndex(d), image) << "kind " << kind;
  }
  const std::vector<std::pair<int32_t, int>> text = {
      {nkValueAdded, 11}, {nkValueDeleted, 12}, {nkValueChanged, 13}, {nkCounterIncremented, 14}};
  for (auto [kind, image] : text) {
    TNodeData d = Record(kind);
    d.ValueType = kRegSz;
    EXPECT_EQ(ImageIndex(d), image) << "kind " << kind;
  }
}

class ExportTest : public ::testing::Test {
 protected:
  void SetUp() override {
    AddRecord("C:\\Program Files", File(nkFolderAdded, "App", "", ""));
    AddRecord("C:\\Program Files\\App", File(nkFileAdded, "app.exe", "", "05/12/2026 10:00:00  100"));
    AddRecord("C:\\Program Files\\App", File(nkFolderAdded, "Data", "", ""));
    AddRecord("C:\\Windows", File(nkFileChanged, "win.ini", "01/01/2026 09:00:00  5",
                                  "05/12/2026 10:00:01  7"));
    AddRecord("HKEY_CURRENT_USER\\Software", Value(nkKeyAdded, 0, {}, {}, "Test"));
    AddRecord("HKEY_CURRENT_USER\\Software\\Test",
              Value(nkValueAdded, kRegSz, {}, Bytes(std::string("x\0", 2)), ""));
    AddRecord("HKEY_LOCAL_MACHINE\\Software\\X", Value(nkValueChanged, kRegDword, Dword(1), Dword(2), "a"));
    AddRecord("HKEY_LOCAL_MACHINE\\Software\\X", Value(nkValueAdded, kRegBinary, {}, {0x41, 0x00}, "b"));
    tree_.MarkEmptyBranches();
  }
  NodeId AddRecord(std::string_view path, TNodeData record) {
    if (record.Kind <= nkCounterIncremented && path.starts_with("HKEY_LOCAL"))
      record.RootKey = kHklm;
    const std::string name = record.Name;
    tree_.AddToTree(path, name, record);
    return tree_.LastInserted();
  }
  std::string Export(NodeId start, bool hexa = false) {
    return ExportChangesText(tree_, start, {"MyApp", "06/12/2026 21:00:00", hexa});
  }

  settings::Settings settings_;
  ChangeTree tree_{settings_};
};

constexpr std::string_view kHeader =
    "'MyApp' changes\r\n"
    "Corvane,    06/12/2026 21:00:00\r\n"
    "\r\n";

constexpr std::string_view kFileSystemPart =
    "\r\n"
    "  File System\r\n"
    "  ===============\r\n"
    "    (+)(FOLDER) C:\\Program Files\\App\r\n"
    "      (+)(FILE) app.exe = 05/12/2026 10:00:00  100 bytes\r\n"
    "    (+)(FOLDER) C:\\Program Files\\App\\Data\r\n"
    "    (FOLDER) C:\\Windows\r\n"
    "      (*)(FILE) win.ini\r\n"
    "        01/01/2026 09:00:00  5 bytes ==> 05/12/2026 10:00:01  7 bytes\r\n";

constexpr std::string_view kRegistryPartText =
    "\r\n"
    "  Registry\r\n"
    "  ===============\r\n"
    "    (+)(REG KEY) HKEY_CURRENT_USER\\Software\\Test\r\n"
    "      (+)(REG VAL) (Default) = 'x'\r\n"
    "    (REG KEY) HKEY_LOCAL_MACHINE\\Software\\X\r\n"
    "      (+)(REG VAL) b = A.\r\n"
    "      (*)(REG VAL) a\r\n"
    "        1 ==> 2\r\n";

TEST_F(ExportTest, WholeTreeWithNothingSelected) {
  const std::string expected = std::string(kHeader) + "My Computer\r\n===============\r\n" +
                               std::string(kFileSystemPart) + std::string(kRegistryPartText);
  EXPECT_EQ(Export(kNoNode), expected);
  EXPECT_EQ(Export(tree_.Top()), expected);
}

TEST_F(ExportTest, RegistryBranchAlone) {
  EXPECT_EQ(Export(tree_.RegistryRoot()), std::string(kHeader) + std::string(kRegistryPartText));
}

TEST_F(ExportTest, HexaModeShowsDigitPairs) {
  const std::string text = Export(tree_.RegistryRoot(), true);
  EXPECT_NE(text.find("      (+)(REG VAL) b = 41 00 \r\n"), std::string::npos) << text;
}

TEST_F(ExportTest, OneValueNodeWritesItsGroupHeaderFromTheHive) {
  const NodeId a = At(tree_, tree_.RegistryRoot(), {"HKEY_LOCAL_MACHINE", "Software", "X", "a"});
  ASSERT_NE(a, kNoNode);
  EXPECT_EQ(Export(a), std::string(kHeader) +
                           "    (REG KEY) HKEY_LOCAL_MACHINE\\Software\\X\r\n"
                           "      (*)(REG VAL) a\r\n"
                           "        1 ==> 2\r\n");
}

TEST_F(ExportTest, OneDriveBranchStartsWithAnEmptyPrefix) {
  const NodeId drive = At(tree_, tree_.FileSystemRoot(), {"C:"});
  ASSERT_NE(drive, kNoNode);
  const std::string part(kFileSystemPart);
  EXPECT_EQ(Export(drive), std::string(kHeader) + part.substr(part.find("=\r\n") + 3));
}

TEST_F(ExportTest, TwoValuesOfOneKeyShareOneHeader) {
  AddRecord("HKEY_CURRENT_USER\\Software\\Other", Value(nkValueDeleted, kRegSz, Bytes("p"), {}, "p"));
  AddRecord("HKEY_CURRENT_USER\\Software\\Other", Value(nkCounterIncremented, kRegDword, {}, Dword(3), "q"));
  const std::string text = Export(tree_.RegistryRoot());
  const std::string group =
      "    (REG KEY) HKEY_CURRENT_USER\\Software\\Other\r\n"
      "      (-)(REG VAL) p = 'p'\r\n"
      "      (INCREMENTED) (REG VAL) q = 3 (incremented)\r\n";
  EXPECT_NE(text.find(group), std::string::npos) << text;
}

TEST_F(ExportTest, MovedFilesHaveTheirMarkers) {
  AddRecord("C:\\Old", File(nkFileMovedFrom, "m.dll", "1", ""));
  AddRecord("C:\\New", File(nkFileMovedTo, "m.dll", "", "1"));
  AddRecord("C:\\Old", File(nkFileDeleted, "d.txt", "2", ""));
  const std::string text = Export(tree_.FileSystemRoot());
  EXPECT_NE(text.find("    (FOLDER) C:\\New\r\n      (MOVED TO)(FILE) m.dll = 1 bytes\r\n"),
            std::string::npos)
      << text;
  EXPECT_NE(text.find("    (FOLDER) C:\\Old\r\n      (-)(FILE) d.txt = 2 bytes\r\n"
                      "      (MOVED FROM)(FILE) m.dll = 1 bytes\r\n"),
            std::string::npos)
      << text;
}

TEST_F(ExportTest, SameTreeExportedTwiceGivesIdenticalFiles) {
  platform::MemoryFileSystem fs;
  ASSERT_TRUE(fs.CreateFolder("C:\\Out").ok());
  ASSERT_TRUE(ExportChanges(fs, tree_, kNoNode, "C:\\Out\\a.txt", {"MyApp", "t", false}).ok());
  ASSERT_TRUE(ExportChanges(fs, tree_, kNoNode, "C:\\Out\\b.txt", {"MyApp", "t", false}).ok());
  std::vector<uint8_t> a, b;
  ASSERT_TRUE(fs.ReadFile("C:\\Out\\a.txt", &a).ok());
  ASSERT_TRUE(fs.ReadFile("C:\\Out\\b.txt", &b).ok());
  EXPECT_EQ(a, b);
  EXPECT_EQ(std::string(a.begin(), a.end()), ExportChangesText(tree_, kNoNode, {"MyApp", "t", false}));
}

TEST_F(ExportTest, UnwritableFileReportsTheFileSystemError) {
  platform::MemoryFileSystem fs;
  EXPECT_FALSE(ExportChanges(fs, tree_, kNoNode, "Q:\\missing\\a.txt", {"MyApp", "t", false}).ok());
}

TEST_F(ExportTest, EmptyRegistryShowsItsNoChangesCaption) {
  settings::Settings settings;
  ChangeTree empty(settings);
  empty.MarkEmptyBranches();
  EXPECT_EQ(ExportChangesText(empty, empty.RegistryRoot(), {"E", "t", false}),
            "'E' changes\r\nCorvane,    t\r\n\r\n\r\n  Registry (no changes)\r\n  ===============\r\n");
}

}  // namespace
}  // namespace cvn::changes
