// A monitoring's own target list and the continuation file that keeps it.
#include "monitoring/scan_targets.h"

#include <gtest/gtest.h>

namespace cvn::monitoring {
namespace {

TEST(ApplyTargetListTest, ExactlyTheListedHivesAndFoldersBecomeTheTargets) {
  settings::Settings settings;
  settings.scan_windows_folder = settings.scan_system_partition = settings.scan_hkcr = true;
  settings.other_folders = "D:\\Old";
  ASSERT_EQ(ApplyTargetList(" hkey_users ,HKCU,hkcc, C:\\Program Files,\\\\srv\\share", settings),
            "");
  EXPECT_TRUE(settings.scan_hku && settings.scan_hkcu && settings.scan_hkcc);
  EXPECT_FALSE(settings.scan_hkcr || settings.scan_hklm || settings.scan_windows_folder ||
               settings.scan_program_files || settings.scan_system_partition);
  EXPECT_TRUE(settings.scan_other_folders);
  EXPECT_EQ(settings.other_folders, "C:\\Program Files;\\\\srv\\share");

  ASSERT_EQ(ApplyTargetList("HKU,HKLM", settings), "");
  EXPECT_TRUE(settings.scan_hku && settings.scan_hklm && !settings.scan_hkcu);
  EXPECT_FALSE(settings.scan_other_folders);
  // A wrong list leaves the settings as they were.
  for (const char* wrong : {"", "HKLM,", "HKLM,Program Files", "C:", "C:\\A;D:\\B", "HKEY_USER"}) {
    EXPECT_NE(ApplyTargetList(wrong, settings), "") << wrong;
    EXPECT_TRUE(settings.scan_hku && settings.scan_hklm && !settings.scan_other_folders) << wrong;
  }
}

TEST(ContinuationTest, TheTargetsFollowTheIdentifierOnlyWhenGiven) {
  EXPECT_EQ(FormatContinuation({"App", ""}), "App\r\n");
  EXPECT_EQ(FormatContinuation({"App", "HKLM,C:\\X"}), "App\r\nTargets=HKLM,C:\\X\r\n");
  for (const char* text : {"App\r\nTargets=HKLM,C:\\X\r\n", "App\nTargets=HKLM,C:\\X"}) {
    const auto read = ParseContinuation(text);
    ASSERT_TRUE(read) << text;
    EXPECT_EQ(read->identifier, "App");
    EXPECT_EQ(read->targets, "HKLM,C:\\X");
  }
  EXPECT_EQ(ParseContinuation("App")->targets, "");
  EXPECT_EQ(ParseContinuation("App\r\nsomething else\r\n")->targets, "");
  EXPECT_FALSE(ParseContinuation(""));
  EXPECT_FALSE(ParseContinuation("\r\nApp\r\n"));
}

}  // namespace
}  // namespace cvn::monitoring
