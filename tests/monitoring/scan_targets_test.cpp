// A monitoring's own target list, the continuation file that keeps it and
// the pending monitoring's files and start-at-logon value.
#include "monitoring/scan_targets.h"

#include <gtest/gtest.h>

#include "monitoring/pending_monitoring.h"
#include "platform/memory/memory_filesystem.h"
#include "platform/memory/memory_registry.h"
#include "tests/support/bytes.h"

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

TEST(PendingMonitoringTest, ReadTellsMissingFromDamagedAndAbandonLeavesNothing) {
  platform::MemoryFileSystem fs;
  platform::MemoryRegistry registry;
  ASSERT_TRUE(fs.CreateFolders("C:\\Cvn").ok());
  PendingMonitoring pending(fs, registry, "C:\\Cvn");
  Continuation read;
  EXPECT_EQ(pending.Read(&read), PendingMonitoring::State::kNone);
  for (const char* damaged : {"", "\r\n", "App\r\nTargets=HKLM,,\r\n"}) {
    ASSERT_TRUE(fs.WriteFile("C:\\Cvn\\Continue.dat", cvn::test::Bytes(damaged)).ok());
    EXPECT_EQ(pending.Read(&read), PendingMonitoring::State::kDamaged) << damaged;
  }
  // The Run key is not created where it is missing; where it is, it gets the value.
  ASSERT_TRUE(pending.Begin({"App", "HKLM"}, true, "C:\\Cvn\\corvane.exe").ok());
  std::unique_ptr<platform::RegKey> run;
  EXPECT_FALSE(
      registry.OpenKey(platform::RootKey::kLocalMachine, kRunKey, platform::KeyAccess::kRead, &run)
          .ok());
  ASSERT_TRUE(registry
                  .CreateKey(platform::RootKey::kLocalMachine, kRunKey,
                             platform::KeyAccess::kReadWrite, &run)
                  .ok());
  ASSERT_TRUE(pending.Begin({"App", "HKLM"}, true, "C:\\Cvn\\corvane.exe").ok());
  platform::RegValue value;
  EXPECT_TRUE(registry.QueryValue(*run, kRunValue, &value).ok());
  ASSERT_EQ(pending.Read(&read), PendingMonitoring::State::kPending);
  EXPECT_EQ(read.identifier, "App");
  EXPECT_EQ(read.targets, "HKLM");

  ASSERT_TRUE(fs.WriteFile("C:\\Cvn\\HKLM.sns", {}).ok());
  pending.Abandon();
  EXPECT_EQ(pending.Read(&read), PendingMonitoring::State::kNone);
  EXPECT_FALSE(fs.Exists("C:\\Cvn\\HKLM.sns"));
  EXPECT_FALSE(registry.QueryValue(*run, kRunValue, &value).ok());
}

}  // namespace
}  // namespace cvn::monitoring
