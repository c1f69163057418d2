// The printout's layout on a canvas that records its calls, with text ten
// pixels a character wide.
#include "changes/print_changes.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "change_tree_test_util.h"
#include "changes/change_tree.h"
#include "changes/changes_view.h"

namespace cvn::changes {
namespace {

using namespace std::string_view_literals;
using namespace test;

// Records "J<name>" BeginJob, "N" NewPage, "E<1|0>" EndJob, "B"/"R" bold
// and regular, "T<x>,<y> <text>", "L<x1>,<y1>-<x2>,<y2>" and
// "P<index>@<x>,<y>/<side>". The call recorded at index `fail_at` fails.
class RecordingCanvas : public PrintCanvas {
 public:
  int width = 1000, height = 2000, fail_at = -1;
  std::vector<std::string> calls;

  bool BeginJob(std::string_view name) override { return Record("J" + std::string(name)); }
  bool NewPage() override { return Record("N"); }
  bool EndJob(bool completed) override { return Record(completed ? "E1" : "E0"); }
  int PageWidth() const override { return width; }
  int PageHeight() const override { return height; }
  int FontHeight() const override { return 14; }     // a line step of 16 + 4
  int PictureHeight() const override { return 18; }  // pictures of 18
  bool SetBold(bool on) override {
    bold_ = on;
    return Record(on ? "B" : "R");
  }
  int TextHeight() override { return bold_ ? 24 : 20; }
  int TextWidth(std::string_view text) override { return 10 * Chars(text); }
  size_t FitText(std::string_view text, int width) override {
    size_t bytes = 0;
    for (int n = 0; bytes < text.size() && 10 * (n + 1) <= width; ++n)
      for (++bytes; bytes < text.size() && (text[bytes] & 0xC0) == 0x80;) ++bytes;
    return bytes;
  }
  bool DrawString(int x, int y, std::string_view text) override {
    return Record("T" + Point(x, y) + " " + std::string(text));
  }
  bool DrawLine(int x1, int y1, int x2, int y2) override {
    return Record("L" + Point(x1, y1) + "-" + Point(x2, y2));
  }
  bool DrawPicture(int index, int x, int y, int side) override {
    return Record("P" + std::to_string(index) + "@" + Point(x, y) + "/" + std::to_string(side));
  }

 private:
  static int Chars(std::string_view text) {
    int n = 0;
    for (char c : text) n += (c & 0xC0) != 0x80;
    return n;
  }
  static std::string Point(int x, int y) { return std::to_string(x) + "," + std::to_string(y); }
  bool Record(std::string call) {
    calls.push_back(std::move(call));
    return static_cast<int>(calls.size()) - 1 != fail_at;
  }
  bool bold_ = false;
};

class PrintTest : public ::testing::Test {
 protected:
  void SetUp() override {
    Add(tree_, "C:", "App", NodeKind::kFolderAdded);
    Add(tree_, "C:\\App", "a.exe", NodeKind::kFileAdded, 0, 0, "", "05/12/2026  100\0"sv);
    Add(tree_, "C:\\Windows", "win.ini", NodeKind::kFileChanged, 0, 0, "1", "2");
    Add(tree_, "HKEY_CURRENT_USER\\Software", "Test", NodeKind::kKeyAdded, kHkcu);
    Add(tree_, "HKEY_CURRENT_USER\\Software\\Test", "v", NodeKind::kValueAdded, kHkcu, kRegSz, "",
        "x\0"sv);
    Add(tree_, "HKEY_LOCAL_MACHINE\\X", "a", NodeKind::kValueChanged, kHklm, kRegDword,
        "\1\0\0\0"sv, "\2\0\0\0"sv);
    Add(tree_, "HKEY_LOCAL_MACHINE\\X", "b", NodeKind::kValueDeleted, kHklm, kRegDword,
        "\3\0\0\0"sv);
  }
  bool Print(NodeId start) {
    canvas_.calls.clear();
    return PrintChanges(tree_, start, {"MyApp", "06/12/2026 21:00:00"}, canvas_);
  }
  // The calls after the heading (the first six).
  std::vector<std::string> Body() const { return {canvas_.calls.begin() + 6, canvas_.calls.end()}; }

  settings::Settings settings_;
  ChangeTree tree_{settings_};
  RecordingCanvas canvas_;
};

using Calls = std::vector<std::string>;

TEST_F(PrintTest, WholeTreeHeadingIndentationGroupHeadersAndChangedValues) {
  ASSERT_TRUE(Print(kNoNode));
  const Calls heading = {"J'MyApp' changes",
                         "B",
                         "T425,30 'MyApp' changes",
                         "R",
                         "T50,54 Corvane,    06/12/2026 21:00:00",
                         "L50,79-950,79"};
  EXPECT_EQ(Calls(canvas_.calls.begin(), canvas_.calls.begin() + 6), heading);
  // Parts at 50 + 20, changes at 90, their items at 110; a file under the
  // folder just printed has no header, each other place one.
  // clang-format off
  EXPECT_EQ(Calls(canvas_.calls.begin() + 6, canvas_.calls.end()),
            (Calls{"P0@50,83/18", "T74,83 My Computer",
                   "P1@70,108/18", "T94,108 File System",
                   "P5@90,133/18", "T114,133 C:\\App",
                   "P15@110,158/18", "T134,158 a.exe  =  05/12/2026  100 bytes",
                   "P4@90,183/18", "T114,183 C:\\Windows",
                   "P17@110,208/18", "T134,208 win.ini", "T134,233 1 bytes  --->  2 bytes",
                   "P2@70,258/18", "T94,258 Registry",
                   "P5@90,283/18", "T114,283 HKEY_CURRENT_USER\\Software\\Test",
                   "P11@110,308/18", "T134,308 v  =  'x'",
                   "P4@90,333/18", "T114,333 HKEY_LOCAL_MACHINE\\X",
                   "P9@110,358/18", "T134,358 a", "T134,383 1  --->  2",
                   "P8@110,408/18", "T134,408 b  =  3", "E1"}));
  // clang-format on
}

TEST_F(PrintTest, BranchStarts) {
  ASSERT_TRUE(Print(tree_.FileSystemRoot()));
  EXPECT_EQ(Body()[0], "P1@50,83/18");
  ASSERT_TRUE(Print(tree_.RegistryRoot()));
  EXPECT_EQ(Body()[0], "P2@70,83/18");
  ASSERT_TRUE(Print(At(tree_, tree_.RegistryRoot(), "HKEY_CURRENT_USER\\Software\\Test")));
  EXPECT_EQ(Body(), (Calls{"P5@90,83/18", "T114,83 HKEY_CURRENT_USER\\Software\\Test",
                           "P11@110,108/18", "T134,108 v  =  'x'", "E1"}));
  ASSERT_TRUE(Print(At(tree_, tree_.RegistryRoot(), "HKEY_LOCAL_MACHINE\\X\\b")));
  EXPECT_EQ(Body(), (Calls{"P4@90,83/18", "T114,83 HKEY_LOCAL_MACHINE\\X", "P8@110,108/18",
                           "T134,108 b  =  3", "E1"}));
}

TEST_F(PrintTest, PagesAfterTheFirstStartWithTheirNumberOverARule) {
  canvas_.height = 260;
  ASSERT_TRUE(Print(kNoNode));
  const Calls& calls = canvas_.calls;
  std::vector<size_t> pages;
  for (size_t i = 0; i < calls.size(); ++i) {
    if (calls[i] == "N") pages.push_back(i);
    // Everything drawn ends 30 pixels above the page's bottom.
    if (calls[i][0] == 'T') {
      EXPECT_LE(std::stoi(calls[i].substr(calls[i].find(',') + 1)), 210) << calls[i];
    }
  }
  ASSERT_EQ(pages.size(), 2u);
  for (size_t i = 0; i < pages[0]; ++i) EXPECT_EQ(calls[i].find("Page"), std::string::npos);
  EXPECT_EQ(calls[pages[0] + 1], "L50,40-950,40");
  EXPECT_EQ(calls[pages[0] + 2], "T880,30 Page: 2");
  // The next line at 30 + 20 + 2: a changed file's data line alone, a value.
  EXPECT_EQ(calls[pages[0] + 3], "T134,52 1 bytes  --->  2 bytes");
  EXPECT_EQ(calls[pages[1] + 2], "T880,30 Page: 3");
  EXPECT_EQ(calls[pages[1] + 3], "P8@110,52/18");
}

TEST_F(PrintTest, LongPathsWrapAtSpacesAndInsideWords) {
  canvas_.width = 400;  // 23 characters from x 114
  tree_.Reset();
  Add(tree_, "C:\\Some Folder", "VeryLongFolderNameWithoutAnySpaces", NodeKind::kFolderAdded);
  Add(tree_, "C:\\Other", "f", NodeKind::kFileAdded, 0, 0, "", "1");
  ASSERT_TRUE(Print(tree_.FileSystemRoot()));
  EXPECT_EQ(Body(),
            (Calls{"P1@50,83/18", "T74,83 File System", "P4@90,108/18", "T114,108 C:\\Other",
                   "P15@110,133/18", "T134,133 f  =  1 bytes", "P5@90,158/18", "T114,158 C:\\Some",
                   "T114,178 Folder\\VeryLongFolderNa", "T114,198 meWithoutAnySpaces", "E1"}));
  // A text taller than what is left of a page goes on over the next one.
  canvas_.height = 130;
  ASSERT_TRUE(Print(tree_.FileSystemRoot()));
  EXPECT_EQ(Calls(canvas_.calls.end() - 8, canvas_.calls.end()),
            (Calls{"P5@90,52/18", "T114,52 C:\\Some", "T114,72 Folder\\VeryLongFolderNa", "N",
                   "L50,40-350,40", "T280,30 Page: 5", "T114,52 meWithoutAnySpaces", "E1"}));
  // Texts without room, empty, with control characters or wider characters.
  EXPECT_EQ(canvas_.WrapText("ab", 0), (std::vector<std::string_view>{"a", "b"}));
  EXPECT_EQ(canvas_.WrapText("", 100), (std::vector<std::string_view>{""}));
  EXPECT_EQ(canvas_.WrapText("a\tb\r\nc  d", 50),
            (std::vector<std::string_view>{"a\tb\r\n", "c  d"}));
  EXPECT_EQ(canvas_.WrapText("\xC3\xA9\xC3\xA9 \xC3\xA9", 15),
            (std::vector<std::string_view>{"\xC3\xA9", "\xC3\xA9", "\xC3\xA9"}));
  EXPECT_EQ(canvas_.MeasureWrapped(std::string(100000, 'x'), 1000), 1000 * 20);
}

TEST_F(PrintTest, AFailedCallEndsTheJobAtOnce) {
  ASSERT_TRUE(Print(kNoNode));
  const int count = static_cast<int>(canvas_.calls.size());
  for (int fail_at = 0; fail_at < count; ++fail_at) {
    SCOPED_TRACE("failing call " + std::to_string(fail_at));
    canvas_.fail_at = fail_at;
    EXPECT_FALSE(Print(kNoNode));
    // The job ends right after the failed call; a failed end is the last.
    const int ended = fail_at == count - 1 ? count : fail_at + 2;
    EXPECT_EQ(canvas_.calls.size(), static_cast<size_t>(ended));
    EXPECT_EQ(canvas_.calls.back(), fail_at == count - 1 ? "E1" : "E0");
  }
}

}  // namespace
}  // namespace cvn::changes
