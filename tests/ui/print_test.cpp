// The printout through the real Win32 canvas into metafile pages, and the
// print job on a system without a printer.
#include "platform/win32/windows_api.h"

#include <gtest/gtest.h>
#include <winspool.h>

#include <string>
#include <vector>

#include "changes/print_changes.h"
#include "platform/win32/wide_text.h"
#include "tests/changes/change_tree_test_util.h"
#include "ui/print_canvas_win32.h"
#include "ui/print_job.h"

namespace cvn::ui {
namespace {

using changes::NodeKind;

// What a page holds: its texts with their bounds, and its pictures' sizes.
struct PageContent {
  std::vector<std::string> texts;
  std::vector<RECTL> text_bounds;
  std::vector<int> picture_sides;
};

int CALLBACK CollectRecord(HDC, HANDLETABLE*, const ENHMETARECORD* record, int, LPARAM data) {
  PageContent& page = *reinterpret_cast<PageContent*>(data);
  if (record->iType == EMR_EXTTEXTOUTW) {
    const auto* text = reinterpret_cast<const EMREXTTEXTOUTW*>(record);
    const auto* chars = reinterpret_cast<const wchar_t*>(reinterpret_cast<const char*>(record) +
                                                         text->emrtext.offString);
    page.texts.push_back(platform::win32::ToUtf8({chars, text->emrtext.nChars}));
    page.text_bounds.push_back(text->rclBounds);
  } else if (record->iType == EMR_STRETCHDIBITS) {
    const auto* picture = reinterpret_cast<const EMRSTRETCHDIBITS*>(record);
    EXPECT_EQ(picture->cxDest, picture->cyDest);
    page.picture_sides.push_back(picture->cxDest);
  }
  return 1;
}

PageContent Content(HENHMETAFILE page) {
  PageContent content;
  EnumEnhMetaFile(nullptr, page, CollectRecord, &content, nullptr);
  return content;
}

// A page whose second page cannot be started.
class SecondPageFails : public MetafileDevice {
 public:
  using MetafileDevice::MetafileDevice;
  HDC StartPage() override { return pages().empty() ? MetafileDevice::StartPage() : nullptr; }
  bool EndDocument(bool completed) override {
    ends.push_back(completed);
    return MetafileDevice::EndDocument(completed);
  }
  std::vector<bool> ends;
};

class PrintTest : public ::testing::Test {
 protected:
  void SetUp() override {
    pictures_ = ImageList_Create(16, 16, ILC_COLOR32, 20, 0);
    ImageList_SetImageCount(pictures_, 20);
    for (int i = 0; i < 150; ++i) {
      changes::test::Add(tree_, "HKEY_CURRENT_USER\\Software\\Quillfern\\Recent",
                         "File" + std::to_string(i), NodeKind::kValueAdded, changes::test::kHkcu, 1,
                         "",
                         "C:\\Users\\Public\\Documents\\Letter " + std::to_string(i) +
                             " to the committee about the annual garden show.qfd");
    }
    changes::test::Add(tree_, "C:\\ProgramData", std::string(300, 'x') + " tail",
                       NodeKind::kFolderAdded);
  }
  void TearDown() override { ImageList_Destroy(pictures_); }

  bool Print(MetafileDevice& device) {
    Win32PrintCanvas canvas(device, {"Tahoma", 8, DEFAULT_CHARSET}, pictures_);
    return changes::PrintChanges(tree_, changes::kNoNode, {"Quillfern", "12/7/2026 9:00"}, canvas);
  }

  settings::Settings settings_;
  changes::ChangeTree tree_{settings_};
  HIMAGELIST pictures_ = nullptr;
};

TEST_F(PrintTest, PagesAreNumberedFromTheSecondAndStayInsideTheMargins) {
  MetafileDevice device(1240, 1754, 150);  // A4 at 150 DPI: a font height of 17
  ASSERT_TRUE(Print(device));
  ASSERT_GE(device.pages().size(), 3u);
  for (size_t i = 0; i < device.pages().size(); ++i) {
    SCOPED_TRACE("page " + std::to_string(i + 1));
    const PageContent page = Content(device.pages()[i]);
    ASSERT_FALSE(page.texts.empty());
    EXPECT_EQ(page.texts[0], i == 0 ? "'Quillfern' changes" : "Page: " + std::to_string(i + 1));
    for (size_t t = 1; t < page.texts.size(); ++t)
      EXPECT_EQ(page.texts[t].find("Page:"), std::string::npos);
    // Text (with the white half millimetre around it) within the margins.
    for (const RECTL& bounds : page.text_bounds) {
      EXPECT_GE(bounds.left, 50 - 3);
      EXPECT_LE(bounds.right, 1240 - 50 + 3);
      EXPECT_LE(bounds.bottom, 1754 - 30);
    }
    EXPECT_FALSE(page.picture_sides.empty());
    for (int side : page.picture_sides) EXPECT_EQ(side, 17);
  }
  // The path without spaces broke inside its word, into lines of x.
  const PageContent first = Content(device.pages()[0]);
  size_t at = 0;
  while (at < first.texts.size() && !first.texts[at].starts_with("C:\\ProgramData\\x")) ++at;
  ASSERT_LT(at + 2, first.texts.size());
  EXPECT_EQ(first.texts[at + 1], std::string(first.texts[at + 1].size(), 'x'));
  std::string joined;
  while (at < first.texts.size() && !joined.ends_with("tail")) joined += first.texts[at++];
  EXPECT_EQ(joined, "C:\\ProgramData\\" + std::string(300, 'x') + " tail");
}

TEST_F(PrintTest, AFailedPageEndsTheJobOnce) {
  SecondPageFails device(1240, 1754, 150);
  EXPECT_FALSE(Print(device));
  EXPECT_EQ(device.pages().size(), 1u);
  EXPECT_FALSE(device.PageOpen());
  EXPECT_EQ(device.ends, std::vector<bool>{false});
}

TEST_F(PrintTest, WithoutAPrinterNoDialogShows) {
  DWORD needed = 0, count = 0;
  EnumPrintersW(PRINTER_ENUM_LOCAL | PRINTER_ENUM_CONNECTIONS, nullptr, 4, nullptr, 0, &needed,
                &count);
  if (needed > 0) GTEST_SKIP() << "a printer is installed";
  // With a dialog this would wait for a person.
  EXPECT_EQ(PrintChangesWithDialog(nullptr, tree_, changes::kNoNode, {}), PrintResult::kNoPrinter);
  EXPECT_EQ(PrintResultMessage(PrintResult::kNoPrinter), "No printer is installed.");
  EXPECT_EQ(PrintResultMessage(PrintResult::kFailed), "Printing error !");
  EXPECT_EQ(PrintResultMessage(PrintResult::kCancelled), "");
}

}  // namespace
}  // namespace cvn::ui
