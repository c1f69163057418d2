// The file-system comparison: what each pass reports, in which order, with
// which paths and file info texts; and the file info text itself.
#include "engine/compare/compare_fs.h"

#include <gtest/gtest.h>

#include "changes/change_tree.h"
#include "compare_test_util.h"
#include "engine/compare/file_info.h"

namespace cvn::compare {
namespace {

using namespace changes;
using Calls = std::vector<std::string>;
using Data = std::vector<uint8_t>;
using test::Dos;
using test::TreeBuilder;

const platform::DateTimeSeparators kColonSlash{":", "/"};
constexpr uint32_t kNoon = Dos(2006, 12, 3, 12, 0, 0), kLater = Dos(2007, 1, 2, 9, 30, 0);

// A folder record; `path` is the containing path with its trailing backslash.
std::string Folder(std::string path, std::string name, int32_t kind) {
  return test::Call(path, name, kind, path.substr(0, path.empty() ? 0 : path.size() - 1), 0, 0,
                    nullptr, nullptr);
}
// A file record with its info texts before and after ("" when absent).
std::string File(std::string folder, std::string name, int32_t kind, std::string before,
                 std::string after) {
  const Data b = test::SzData(before), a = test::SzData(after);
  return test::Call(folder, name, kind, folder, 0, 0, before.empty() ? nullptr : &b,
                    after.empty() ? nullptr : &a);
}

// The first pass (created and changed) or the second (deleted).
Calls Pass(const TreeBuilder& before, const TreeBuilder& after, bool second) {
  snapshot::RunToEnd run;
  test::RecordingSink sink;
  FileSystemComparer c(run, sink, kColonSlash);
  if (second)
    c.CompareFS(before.Root(), after.Root(), "", true);
  else
    c.CompareFS(after.Root(), before.Root(), "", false);
  return sink.calls;
}

TEST(FileInfoTextTest, TimeThenSizeAsStored) {
  const struct {
    uint32_t dos, size;
    platform::DateTimeSeparators sep;
    const char* text;
  } kRows[] = {
      {Dos(2006, 12, 3, 14, 5, 36), 1024, kColonSlash, "14:05 03/12/06 1024"},
      {Dos(1999, 7, 9, 0, 0, 0), 0, {".", "-"}, "00.00 09-07-99 0"},
      {Dos(2107, 12, 31, 23, 59, 58), 7, {"h", ". "}, "23h59 31. 12. 07 7"},
      {kNoon, 0x80000000u, kColonSlash, "12:00 03/12/06 -2147483648"},  // low 32 bits, signed
      {kNoon, 0xFFFFFFFFu, kColonSlash, "12:00 03/12/06 -1"},
      {0x00001FFFu | (31u << 11), 3, kColonSlash, "31:63 00/00/80 3"},  // damaged: shown as stored
  };
  for (const auto& r : kRows) EXPECT_EQ(FileInfoText(r.dos, r.size, r.sep), r.text);
  EXPECT_EQ(
      FileInfoText(std::vector<uint8_t>{0x00, 0x60, 0x83, 0x35, 0x00, 0x04, 0, 0}, kColonSlash),
      "12:00 03/12/06 1024");
  // Short entry data reads as zeros past its end.
  EXPECT_EQ(FileInfoText(std::vector<uint8_t>{0x00, 0x60, 0x83, 0x35, 0x05}, kColonSlash),
            "12:00 03/12/06 5");
  EXPECT_EQ(FileInfoText(std::span<const uint8_t>(), kColonSlash), "00:00 00/00/80 0");
}

TEST(CompareFsTest, CreatedFolderIsReportedWithEverythingInItNestedInOrder) {
  TreeBuilder before, after;
  before.Node(before.Top("C:"), "Windows");
  auto* c = after.Top("C:");
  after.Node(c, "Windows");
  auto* app = after.Node(c, "App");
  after.File(app, "a.txt", kNoon, 10);
  after.File(app, "b.txt", kLater, 20);
  after.File(after.Node(app, "Sub"), "c.txt", kNoon, 30);
  after.File(after.Top("D:"), "f", kNoon, 1);  // a new drive: no containing path
  EXPECT_EQ(Pass(before, after, false),
            (Calls{Folder("C:\\", "App", nkFolderAdded),
                   File("C:\\App", "a.txt", nkFileAdded, "", "12:00 03/12/06 10"),
                   File("C:\\App", "b.txt", nkFileAdded, "", "09:30 02/01/07 20"),
                   Folder("C:\\App\\", "Sub", nkFolderAdded),
                   File("C:\\App\\Sub", "c.txt", nkFileAdded, "", "12:00 03/12/06 30"),
                   Folder("", "D:", nkFolderAdded),
                   File("D:", "f", nkFileAdded, "", "12:00 03/12/06 1")}));
  EXPECT_TRUE(Pass(before, after, true).empty());
}

TEST(CompareFsTest, RemovedFolderIsReportedInTheSecondPassWithTheOldInfoTexts) {
  TreeBuilder before, after;
  auto* c = before.Top("C:");
  auto* old = before.Node(c, "Old");
  before.File(old, "x.dll", kNoon, 5);
  before.File(before.Node(old, "Deep"), "y.dll", kLater, 6);
  before.File(c, "boot.ini", kNoon, 1);  // in the drive root: the drive is its folder
  after.Top("C:");
  EXPECT_TRUE(Pass(before, after, false).empty());
  EXPECT_EQ(Pass(before, after, true),
            (Calls{File("C:", "boot.ini", nkFileDeleted, "12:00 03/12/06 1", ""),
                   Folder("C:\\", "Old", nkFolderDeleted),
                   File("C:\\Old", "x.dll", nkFileDeleted, "12:00 03/12/06 5", ""),
                   Folder("C:\\Old\\", "Deep", nkFolderDeleted),
                   File("C:\\Old\\Deep", "y.dll", nkFileDeleted, "09:30 02/01/07 6", "")}));
}

TEST(CompareFsTest, ChangedTimeOrSizeIsReportedInTheFirstPassOnly) {
  TreeBuilder before, after;
  auto* b = before.Top("C:");
  auto* a = after.Top("C:");
  const struct {
    const char* name;
    uint32_t t0, s0, t1, s1;
  } kFiles[] = {
      {"time.txt", kNoon, 1, Dos(2006, 12, 3, 12, 0, 2), 1},  // same text to the minute
      {"size.txt", kNoon, 1, kNoon, 2},
      {"same.txt", kNoon, 1, kNoon, 1},
      {"two.txt", kNoon, 9, Dos(2006, 12, 3, 12, 0, 1), 9},  // the same DOS value
  };
  for (const auto& f : kFiles) {
    before.File(b, f.name, f.t0, f.s0);
    after.File(a, f.name, f.t1, f.s1);
  }
  EXPECT_EQ(Pass(before, after, false),
            (Calls{File("C:", "time.txt", nkFileChanged, "12:00 03/12/06 1", "12:00 03/12/06 1"),
                   File("C:", "size.txt", nkFileChanged, "12:00 03/12/06 1", "12:00 03/12/06 2")}));
  EXPECT_TRUE(Pass(before, after, true).empty());
}

TEST(CompareFsTest, TheFirstOfSeveralNamesEqualInCaseIsTheMatch) {
  for (int fillers : {0, 20}) {  // a short list is scanned, a long one indexed
    SCOPED_TRACE(fillers);
    TreeBuilder before, after;
    auto* b = before.Top("C:");
    auto* a = after.Top("C:");
    for (int i = 0; i < fillers; ++i) {
      before.Node(b, "filler" + std::to_string(i));
      after.Node(a, "FILLER" + std::to_string(i));
    }
    before.Node(b, "app");                              // first: empty
    before.File(before.Node(b, "APP"), "x", kNoon, 1);  // second: holds x
    after.File(after.Node(a, "App"), "x", kNoon, 1);
    before.File(b, "f", kNoon, 1);
    before.File(b, "F", kNoon, 2);
    after.File(a, "f", kNoon, 2);
    EXPECT_EQ(Pass(before, after, false),
              (Calls{// Compared with the first "f" (size 1), not the equal "F".
                     File("C:", "f", nkFileChanged, "12:00 03/12/06 1", "12:00 03/12/06 2"),
                     File("C:\\App", "x", nkFileAdded, "", "12:00 03/12/06 1")}));
    // The second pass matches both before-folders with the one after-folder.
    EXPECT_TRUE(Pass(before, after, true).empty());
  }
}

TEST(CompareFsTest, StopRequestEndsBothPassesAtTheNextFolder) {
  TreeBuilder before, after;
  before.Top("C:");
  auto* c = after.Top("C:");
  after.File(after.Node(c, "A"), "1", kNoon, 1);
  after.File(after.Node(c, "B"), "2", kNoon, 1);
  const Calls a_only = {Folder("C:\\", "A", nkFolderAdded),
                        File("C:\\A", "1", nkFileAdded, "", "12:00 03/12/06 1")};
  // Stopped from the start: nothing; after A's pause point: B is never reached.
  for (long limit : {0L, 1L}) {
    test::StopAfter stop(limit);
    test::RecordingSink sink;
    FileSystemComparer(stop, sink, kColonSlash).CompareTrees(before.Root(), after.Root());
    EXPECT_EQ(sink.calls, limit == 0 ? Calls{} : a_only) << limit;
  }
}

}  // namespace
}  // namespace cvn::compare
