// The file-system comparison: what each pass reports, in which order, with
// which paths and file info texts; and the file info text itself.
#include "engine/compare/compare_fs.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "changes/change_tree.h"
#include "compare_test_util.h"
#include "engine/compare/file_info.h"

namespace cvn::compare {
namespace {

using changes::nkFileAdded;
using changes::nkFileChanged;
using changes::nkFileDeleted;
using changes::nkFolderAdded;
using changes::nkFolderDeleted;
using test::Call;
using test::Dos;
using test::RecordingSink;
using test::TreeBuilder;
using test::Z;

const platform::DateTimeSeparators kColonSlash{":", "/"};
constexpr uint32_t kNoon = Dos(2006, 12, 3, 12, 0, 0);
constexpr uint32_t kLater = Dos(2007, 1, 2, 9, 30, 0);

Call FolderCall(std::string path, std::string name, int32_t kind) {
  Call c;
  c.path_field = path.empty() ? "" : path.substr(0, path.size() - 1);
  c.path = std::move(path);
  c.name = std::move(name);
  c.kind = kind;
  return c;
}

Call FileCall(std::string folder, std::string name, int32_t kind, std::string before,
              std::string after) {
  Call c;
  c.path = folder;
  c.path_field = folder;
  c.name = std::move(name);
  c.kind = kind;
  if (!before.empty()) {
    c.has_before = true;
    c.before = Z(before);
    c.before_size = static_cast<int32_t>(before.size() + 1);
  }
  if (!after.empty()) {
    c.has_after = true;
    c.after = Z(after);
    c.after_size = static_cast<int32_t>(after.size() + 1);
  }
  return c;
}

std::vector<Call> FirstPass(const TreeBuilder& before, const TreeBuilder& after) {
  snapshot::RunToEnd run;
  RecordingSink sink;
  FileSystemComparer(run, sink, kColonSlash).CompareFS(after.Root(), before.Root(), "", false);
  return sink.calls;
}

std::vector<Call> SecondPass(const TreeBuilder& before, const TreeBuilder& after) {
  snapshot::RunToEnd run;
  RecordingSink sink;
  FileSystemComparer(run, sink, kColonSlash).CompareFS(before.Root(), after.Root(), "", true);
  return sink.calls;
}

TEST(FileInfoTextTest, TimeThenSizeWithTheGivenSeparators) {
  EXPECT_EQ(FileInfoText(Dos(2006, 12, 3, 14, 5, 36), 1024, kColonSlash), "14:05 03/12/06 1024");
  EXPECT_EQ(FileInfoText(Dos(1999, 7, 9, 0, 0, 0), 0, {".", "-"}), "00.00 09-07-99 0");
  EXPECT_EQ(FileInfoText(Dos(2107, 12, 31, 23, 59, 58), 7, {"h", ". "}), "23h59 31. 12. 07 7");
}

TEST(FileInfoTextTest, SizeIsTheLow32BitsShownSigned) {
  EXPECT_EQ(FileInfoText(kNoon, 0x80000000u, kColonSlash), "12:00 03/12/06 -2147483648");
  EXPECT_EQ(FileInfoText(kNoon, 0xFFFFFFFFu, kColonSlash), "12:00 03/12/06 -1");
}

TEST(FileInfoTextTest, FromEntryDataAndShortDataReadsAsZeros) {
  const std::vector<uint8_t> data = {0x00, 0x60, 0x83, 0x35, 0x00, 0x04, 0x00, 0x00};
  EXPECT_EQ(FileInfoText(data, kColonSlash), "12:00 03/12/06 1024");
  const std::vector<uint8_t> short_data = {0x00, 0x60, 0x83, 0x35, 0x05};
  EXPECT_EQ(FileInfoText(short_data, kColonSlash), "12:00 03/12/06 5");
  EXPECT_EQ(FileInfoText(std::span<const uint8_t>(), kColonSlash), "00:00 00/00/80 0");
}

TEST(FileInfoTextTest, DamagedTimeFieldsShowAsStoredInsteadOfFailing) {
  // Month 0, day 0, hour 31, minute 63: no valid date, but nothing to throw.
  EXPECT_EQ(FileInfoText(0x00001FFFu | (31u << 11), 3, kColonSlash), "31:63 00/00/80 3");
}

TEST(CompareFsTest, CreatedFolderIsReportedWithEverythingInItNestedInOrder) {
  TreeBuilder before, after;
  before.Node(before.Top("C:"), "Windows");
  auto* c = after.Top("C:");
  after.Node(c, "Windows");
  auto* app = after.Node(c, "App");
  after.File(app, "a.txt", kNoon, 10);
  after.File(app, "b.txt", kLater, 20);
  auto* sub = after.Node(app, "Sub");
  after.File(sub, "c.txt", kNoon, 30);

  EXPECT_EQ(FirstPass(before, after),
            (std::vector<Call>{
                FolderCall("C:\\", "App", nkFolderAdded),
                FileCall("C:\\App", "a.txt", nkFileAdded, "", "12:00 03/12/06 10"),
                FileCall("C:\\App", "b.txt", nkFileAdded, "", "09:30 02/01/07 20"),
                FolderCall("C:\\App\\", "Sub", nkFolderAdded),
                FileCall("C:\\App\\Sub", "c.txt", nkFileAdded, "", "12:00 03/12/06 30"),
            }));
  EXPECT_TRUE(SecondPass(before, after).empty());
}

TEST(CompareFsTest, RemovedFolderIsReportedInTheSecondPassWithTheOldInfoTexts) {
  TreeBuilder before, after;
  auto* c = before.Top("C:");
  auto* old = before.Node(c, "Old");
  before.File(old, "x.dll", kNoon, 5);
  before.File(before.Node(old, "Deep"), "y.dll", kLater, 6);
  after.Top("C:");

  EXPECT_TRUE(FirstPass(before, after).empty());
  EXPECT_EQ(SecondPass(before, after),
            (std::vector<Call>{
                FolderCall("C:\\", "Old", nkFolderDeleted),
                FileCall("C:\\Old", "x.dll", nkFileDeleted, "12:00 03/12/06 5", ""),
                FolderCall("C:\\Old\\", "Deep", nkFolderDeleted),
                FileCall("C:\\Old\\Deep", "y.dll", nkFileDeleted, "09:30 02/01/07 6", ""),
            }));
}

TEST(CompareFsTest, FilesInADriveRootHaveTheDriveAsTheirFolder) {
  TreeBuilder before, after;
  before.Top("C:");
  after.File(after.Top("C:"), "boot.ini", kNoon, 1);
  EXPECT_EQ(FirstPass(before, after),
            (std::vector<Call>{FileCall("C:", "boot.ini", nkFileAdded, "", "12:00 03/12/06 1")}));
}

TEST(CompareFsTest, ANewDriveIsAFolderWithAnEmptyContainingPath) {
  TreeBuilder before, after;
  before.Top("C:");
  after.Top("C:");
  after.File(after.Top("D:"), "f", kNoon, 1);
  EXPECT_EQ(FirstPass(before, after),
            (std::vector<Call>{FolderCall("", "D:", nkFolderAdded),
                               FileCall("D:", "f", nkFileAdded, "", "12:00 03/12/06 1")}));
}

TEST(CompareFsTest, ChangedTimeOrSizeIsReportedInTheFirstPassOnly) {
  TreeBuilder before, after;
  auto* b = before.Top("C:");
  before.File(b, "time.txt", Dos(2006, 12, 3, 12, 0, 0), 1);
  before.File(b, "size.txt", kNoon, 1);
  before.File(b, "same.txt", kNoon, 1);
  auto* a = after.Top("C:");
  // Two seconds later: the same text to the minute, still a change.
  after.File(a, "time.txt", Dos(2006, 12, 3, 12, 0, 2), 1);
  after.File(a, "size.txt", kNoon, 2);
  after.File(a, "same.txt", kNoon, 1);

  EXPECT_EQ(FirstPass(before, after),
            (std::vector<Call>{
                FileCall("C:", "time.txt", nkFileChanged, "12:00 03/12/06 1", "12:00 03/12/06 1"),
                FileCall("C:", "size.txt", nkFileChanged, "12:00 03/12/06 1", "12:00 03/12/06 2"),
            }));
  EXPECT_TRUE(SecondPass(before, after).empty());
}

TEST(CompareFsTest, RewriteWithinTheSameTwoSecondsAndSameSizeIsNotAChange) {
  TreeBuilder before, after;
  before.File(before.Top("C:"), "f", Dos(2006, 12, 3, 12, 0, 0), 9);
  after.File(after.Top("C:"), "f", Dos(2006, 12, 3, 12, 0, 1), 9);  // same DOS value
  EXPECT_TRUE(FirstPass(before, after).empty());
  EXPECT_TRUE(SecondPass(before, after).empty());
}

TEST(CompareFsTest, NamesChangedOnlyInLetterCaseAreNeitherCreatedNorDeleted) {
  TreeBuilder before, after;
  auto* b = before.Node(before.Top("C:"), "Program Files");
  before.File(b, "README.TXT", kNoon, 1);
  before.File(b, "\xC3\xA9t\xC3\xA9.txt", kNoon, 1);  // été.txt
  auto* a = after.Node(after.Top("c:"), "PROGRAM FILES");
  after.File(a, "readme.txt", kNoon, 1);
  after.File(a, "\xC3\x89T\xC3\x89.TXT", kNoon, 1);  // ÉTÉ.TXT
  EXPECT_TRUE(FirstPass(before, after).empty());
  EXPECT_TRUE(SecondPass(before, after).empty());
}

TEST(CompareFsTest, TheFirstOfSeveralNamesEqualInCaseIsTheMatch) {
  for (int fillers : {0, 20}) {  // a short list is scanned, a long one indexed
    SCOPED_TRACE(fillers);
    TreeBuilder before, after;
    auto* b = before.Top("C:");
    for (int i = 0; i < fillers; ++i) before.Node(b, "filler" + std::to_string(i));
    before.Node(b, "app");                              // first: empty
    before.File(before.Node(b, "APP"), "x", kNoon, 1);  // second: holds x
    auto* a = after.Top("C:");
    for (int i = 0; i < fillers; ++i) after.Node(a, "FILLER" + std::to_string(i));
    after.File(after.Node(a, "App"), "x", kNoon, 1);

    EXPECT_EQ(FirstPass(before, after),
              (std::vector<Call>{FileCall("C:\\App", "x", nkFileAdded, "", "12:00 03/12/06 1")}));
    // The second pass matches both before-folders with the one after-folder.
    EXPECT_EQ(SecondPass(before, after), std::vector<Call>{});
  }
}

TEST(CompareFsTest, DuplicateFileNamesMatchTheFirstOnTheOtherSide) {
  TreeBuilder before, after;
  auto* b = before.Top("C:");
  before.File(b, "f", kNoon, 1);
  before.File(b, "F", kNoon, 2);
  after.File(after.Top("C:"), "f", kNoon, 2);
  // Compared with the first "f" (size 1), not with the equal "F".
  EXPECT_EQ(FirstPass(before, after),
            (std::vector<Call>{
                FileCall("C:", "f", nkFileChanged, "12:00 03/12/06 1", "12:00 03/12/06 2")}));
}

TEST(CompareFsTest, MissingTreesAreEmptyLists) {
  TreeBuilder tree;
  tree.File(tree.Top("C:"), "f", kNoon, 1);
  TreeBuilder empty;
  EXPECT_EQ(FirstPass(empty, tree).size(), 2u);
  EXPECT_TRUE(SecondPass(empty, tree).empty());
  EXPECT_TRUE(FirstPass(empty, empty).empty());
}

TEST(CompareFsTest, StopRequestEndsBothPassesAtTheNextFolder) {
  TreeBuilder before, after;
  before.Top("C:");
  auto* c = after.Top("C:");
  after.File(after.Node(c, "A"), "1", kNoon, 1);
  after.File(after.Node(c, "B"), "2", kNoon, 1);

  {  // Stopped from the start: nothing.
    test::StopAfter stop(0);
    RecordingSink sink;
    FileSystemComparer(stop, sink, kColonSlash).CompareTrees(before.Root(), after.Root());
    EXPECT_TRUE(sink.calls.empty());
  }
  {  // Stopped after the pause points of A: A's changes stay, B is never reached.
    test::StopAfter stop(1);
    RecordingSink sink;
    FileSystemComparer(stop, sink, kColonSlash).CompareTrees(before.Root(), after.Root());
    EXPECT_EQ(sink.calls,
              (std::vector<Call>{FolderCall("C:\\", "A", nkFolderAdded),
                                 FileCall("C:\\A", "1", nkFileAdded, "", "12:00 03/12/06 1")}));
  }
}

TEST(CompareFsTest, CompareTreesRunsCreationsFirstThenDeletionsIntoTheTree) {
  TreeBuilder before, after;
  auto* b = before.Top("C:");
  before.File(before.Node(b, "Gone"), "old.txt", kNoon, 1);
  before.File(b, "kept.txt", kNoon, 1);
  auto* a = after.Top("C:");
  after.File(after.Node(a, "Temp"), "t.tmp", kNoon, 1);
  after.File(a, "kept.txt", kLater, 1);
  after.File(a, "new.txt", kNoon, 1);

  settings::Settings settings;
  settings.ExcludedFolders.Add("C:\\Temp");
  changes::ChangeTree tree(settings);
  snapshot::RunToEnd run;
  FileSystemComparer(run, tree, kColonSlash).CompareTrees(before.Root(), after.Root());

  const changes::NodeId drive = tree.FirstChild(tree.FileSystemRoot());
  ASSERT_NE(drive, changes::kNoNode);
  std::vector<std::string> seen;
  for (changes::NodeId n = tree.FirstChild(drive); n != changes::kNoNode; n = tree.NextSibling(n))
    seen.push_back(tree.Data(n).Name + "/" + std::to_string(tree.Data(n).Kind));
  EXPECT_EQ(seen, (std::vector<std::string>{"kept.txt/10", "new.txt/9", "Gone/8"}));
  const changes::NodeId gone = tree.LastChild(drive);
  EXPECT_EQ(tree.Data(tree.FirstChild(gone)).Name, "old.txt");
  EXPECT_EQ(changes::ZeroTerminatedText(tree.Data(tree.FirstChild(gone)).Before.get(),
                                        tree.Data(tree.FirstChild(gone)).BeforeSize),
            "12:00 03/12/06 1");
}

}  // namespace
}  // namespace cvn::compare
