// The texts of the changes tree's cells and the text export of the whole
// tree, one branch and one value node.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "change_tree_test_util.h"
#include "changes/change_tree.h"
#include "changes/changes_view.h"
#include "changes/export_changes.h"

namespace cvn::changes {
namespace {

using namespace std::string_view_literals;
using namespace test;

constexpr uint32_t kRegBinary = 3, kRegExpandSz = 2;

// A record and the texts of its three cells (file kinds are the export's).
struct Cells {
  NodeKind kind;
  uint32_t type;
  std::string_view name, before, after;
  bool hex;
  const char *name_text, *before_text, *after_text;
};

const Cells kCells[] = {
    // "(Default)" names the unnamed value of a value change only.
    {NodeKind::kValueChanged, kRegSz, "", "it's\0junk"sv, "a'b", false, "(Default)", "'it''s'",
     "'a''b'"},
    {NodeKind::kValueDeleted, kRegSz, "", "", "", false, "(Default)", "''", ""},
    {NodeKind::kCounterIncremented, kRegDword, "", "", "\1\0\0\0"sv, false, "", "",
     "1 (incremented)"},
    // REG_DWORD as signed decimal; shorter than 4 bytes as bytes, not read past.
    {NodeKind::kValueChanged, kRegDword, "v", "\xFF\xFF\xFF\xFF", "\x70\x11\x01\0"sv, false, "v",
     "-1", "70000"},
    {NodeKind::kValueAdded, kRegDword, "v", "", "\x01\x02", true, "v", "", "01 02 "},
    // Anything else as binary data (in hexadecimal: the export's).
    {NodeKind::kValueAdded, kRegBinary, "v", "", "\x1F ~\x7F\x80\xFF", false, "v", "", ". ~..."},
    {NodeKind::kValueChanged, kRegBinary, "v", "", "\xAB", true, "v", "(zero length data)", "AB "},
    {NodeKind::kValueAdded, kRegExpandSz, "v", "", "%a%\0"sv, false, "v", "", "%a%."},
};

TEST(CellTextTest, EachKindShowsItsDataInItsColumns) {
  for (const Cells& c : kCells) {
    SCOPED_TRACE("kind " + std::to_string(static_cast<int>(c.kind)) + (c.hex ? " hex" : ""));
    ChangeRecord d = Record(c.kind, kHkcu, c.type, c.before, c.after);
    d.name = c.name;
    EXPECT_EQ(CellText(d, ChangeColumn::kName, c.hex), c.name_text);
    EXPECT_EQ(CellText(d, ChangeColumn::kBefore, c.hex), c.before_text);
    EXPECT_EQ(CellText(d, ChangeColumn::kAfter, c.hex), c.after_text);
  }
}

class ExportTest : public ::testing::Test {
 protected:
  void SetUp() override {
    Add(tree_, "C:\\Program Files", "App", NodeKind::kFolderAdded);
    Add(tree_, "C:\\Program Files\\App", "app.exe", NodeKind::kFileAdded, 0, 0, "",
        "05/12/2026  100\0"sv);
    Add(tree_, "C:\\Program Files\\App", "Data", NodeKind::kFolderAdded);
    Add(tree_, "C:\\Windows", "win.ini", NodeKind::kFileChanged, 0, 0, "01/01/2026  5\0"sv,
        "05/12/2026  7\0"sv);
    Add(tree_, "HKEY_CURRENT_USER\\Software", "Test", NodeKind::kKeyAdded, kHkcu);
    Add(tree_, "HKEY_CURRENT_USER\\Software\\Test", "", NodeKind::kValueAdded, kHkcu, kRegSz, "",
        "x\0"sv);
    Add(tree_, "HKEY_LOCAL_MACHINE\\Software\\X", "a", NodeKind::kValueChanged, kHklm, kRegDword,
        "\1\0\0\0"sv, "\2\0\0\0"sv);
    Add(tree_, "HKEY_LOCAL_MACHINE\\Software\\X", "b", NodeKind::kValueAdded, kHklm, kRegBinary, "",
        "A\0"sv);
    Add(tree_, "HKEY_CURRENT_USER\\Other", "p", NodeKind::kValueDeleted, kHkcu, kRegSz, "p", "");
    Add(tree_, "HKEY_CURRENT_USER\\Other", "q", NodeKind::kCounterIncremented, kHkcu, kRegDword, "",
        "\3\0\0\0"sv);
    Add(tree_, "HKEY_CURRENT_USER", "Gone", NodeKind::kKeyDeleted, kHkcu);
    Add(tree_, "C:\\Old", "m.dll", NodeKind::kFileMovedFrom, 0, 0, "1", "");
    Add(tree_, "C:\\New", "m.dll", NodeKind::kFileMovedTo, 0, 0, "", "1");
    Add(tree_, "C:\\Old", "d.txt", NodeKind::kFileDeleted, 0, 0, "2", "");
    Add(tree_, "C:\\Old", "Sub", NodeKind::kFolderDeleted);
    tree_.MarkEmptyBranches();
  }
  std::string Export(NodeId start, bool hex = false) {
    return ExportChangesText(tree_, start, {"MyApp", "06/12/2026 21:00:00", hex});
  }

  settings::Settings settings_;
  ChangeTree tree_{settings_};
};

const std::string kHeader = "'MyApp' changes\r\nCorvane,    06/12/2026 21:00:00\r\n\r\n";
const std::string kFileSystemPart =
    "\r\n"
    "  File System\r\n"
    "  ===============\r\n"
    "    (FOLDER) C:\\New\r\n"
    "      (MOVED TO)(FILE) m.dll = 1 bytes\r\n"
    "    (FOLDER) C:\\Old\r\n"
    "      (-)(FILE) d.txt = 2 bytes\r\n"
    "      (MOVED FROM)(FILE) m.dll = 1 bytes\r\n"
    "    (-)(FOLDER) C:\\Old\\Sub\r\n"
    "    (+)(FOLDER) C:\\Program Files\\App\r\n"
    "      (+)(FILE) app.exe = 05/12/2026  100 bytes\r\n"
    "    (+)(FOLDER) C:\\Program Files\\App\\Data\r\n"
    "    (FOLDER) C:\\Windows\r\n"
    "      (*)(FILE) win.ini\r\n"
    "        01/01/2026  5 bytes ==> 05/12/2026  7 bytes\r\n";
const std::string kRegistryPart =
    "\r\n"
    "  Registry\r\n"
    "  ===============\r\n"
    "    (-)(REG KEY) HKEY_CURRENT_USER\\Gone\r\n"
    "    (REG KEY) HKEY_CURRENT_USER\\Other\r\n"
    "      (-)(REG VAL) p = 'p'\r\n"
    "      (INCREMENTED) (REG VAL) q = 3 (incremented)\r\n"
    "    (+)(REG KEY) HKEY_CURRENT_USER\\Software\\Test\r\n"
    "      (+)(REG VAL) (Default) = 'x'\r\n"
    "    (REG KEY) HKEY_LOCAL_MACHINE\\Software\\X\r\n"
    "      (+)(REG VAL) b = A.\r\n"
    "      (*)(REG VAL) a\r\n"
    "        1 ==> 2\r\n";

TEST_F(ExportTest, EveryMarkerWholeTreeOneBranchOneDriveOrOneValue) {
  const std::string whole =
      kHeader + "My Computer\r\n===============\r\n" + kFileSystemPart + kRegistryPart;
  EXPECT_EQ(Export(kNoNode), whole);
  EXPECT_EQ(Export(tree_.RegistryRoot()), kHeader + kRegistryPart);
  EXPECT_EQ(Export(tree_.FileSystemRoot()), kHeader + kFileSystemPart);
  // A drive starts with an empty prefix; a value writes its group header from the hive.
  EXPECT_EQ(Export(At(tree_, tree_.FileSystemRoot(), "C:")),
            kHeader + kFileSystemPart.substr(kFileSystemPart.find("=\r\n") + 3));
  EXPECT_EQ(Export(At(tree_, tree_.RegistryRoot(), "HKEY_LOCAL_MACHINE\\Software\\X\\a")),
            kHeader +
                "    (REG KEY) HKEY_LOCAL_MACHINE\\Software\\X\r\n      (*)(REG VAL) a\r\n"
                "        1 ==> 2\r\n");
  EXPECT_NE(Export(tree_.RegistryRoot(), true).find("      (+)(REG VAL) b = 41 00 \r\n"),
            std::string::npos);
  tree_.Reset();
  tree_.MarkEmptyBranches();
  EXPECT_EQ(Export(tree_.RegistryRoot()),
            kHeader + "\r\n  Registry (no changes)\r\n  ===============\r\n");
}

}  // namespace
}  // namespace cvn::changes
