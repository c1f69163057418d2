// The monitored applications on the in-memory file system: which files of
// the program folder are listed and what their columns say, damaged archives
// included; the sort orders; renaming (deleting is the list view's test).
#include "changes/monitored_applications.h"

#include <gtest/gtest.h>

#include "tests/changes/archive_test_util.h"

namespace cvn::changes {
namespace {

using test::HeaderBytes;

const std::string kFolder = "C:\\Cvn";
const platform::PatternDateTimeFormat kDates({":", "/"});
const double kCreated = MakeDateTime(2024, 3, 5, 14, 7, 9);

std::string Text(const test::Fields& bytes) {
  return std::string(bytes.vec().begin(), bytes.vec().end());
}

class MonitoredApplicationsTest : public ::testing::Test {
 protected:
  void Add(const std::string& name, const std::string& data, uint32_t attributes = 0) {
    const std::string path = kFolder + "\\" + name;
    ASSERT_TRUE(fs_.AddFile(path, data).ok()) << name;
    if (attributes != 0) {
      ASSERT_TRUE(fs_.SetAttributes(path, attributes).ok()) << name;
    }
  }
  std::vector<MonitoredApplication> List() {
    return ListMonitoredApplications(fs_, kFolder, clock_);
  }

  platform::MemoryFileSystem fs_;
  cvn::test::FixedClock clock_;
  const std::string header_ = Text(HeaderBytes(kCreated));
};

TEST_F(MonitoredApplicationsTest, EveryArchiveOfTheFolderIsListedWithItsColumns) {
  const double created = MakeDateTime(2023, 1, 2), used = MakeDateTime(2024, 6, 1, 8, 30, 5);
  Add("Beta.cvn", header_);
  Add("alpha.CVN", Text(HeaderBytes(created, 299, used, 3)), platform::attr::kReadOnly);
  Add("a.b.cvn", header_ + "records follow");
  Add("Bad.cvn", "\nC V N");                           // too short
  Add("Future.cvn", Text(HeaderBytes(created, 300)));  // refused version
  Add("Hidden.cvn", header_, platform::attr::kHidden);
  Add("System.cvn", header_, platform::attr::kSystem);
  Add(".cvn", header_);
  Add("notes.txt", header_);
  Add("Old.cvn.bak", header_);
  ASSERT_TRUE(fs_.CreateFolders(kFolder + "\\Folder.cvn").ok());

  const struct {
    const char* name;
    bool readable;
    const char* created;
    const char* last_used;
    const char* uses;
  } kExpected[] = {
      {"Beta", true, "05/03/2024 14:07:09", "", "0"},
      {"alpha", true, "02/01/2023", "01/06/2024 08:30:05", "3"},
      {"a.b", true, "05/03/2024 14:07:09", "", "0"},
      {"Bad", false, "damaged", "", ""},
      {"Future", false, "damaged", "", ""},
  };
  const std::vector<MonitoredApplication> list = List();
  ASSERT_EQ(list.size(), std::size(kExpected));
  for (size_t i = 0; i < list.size(); ++i) {
    const auto& e = kExpected[i];
    SCOPED_TRACE(e.name);
    EXPECT_EQ(list[i].readable, e.readable);
    const std::vector<std::string> texts = {
        ColumnText(list[i], kColumnName, kDates), ColumnText(list[i], kColumnCreated, kDates),
        ColumnText(list[i], kColumnLastUsed, kDates), ColumnText(list[i], kColumnUses, kDates)};
    EXPECT_EQ(texts, (std::vector<std::string>{e.name, e.created, e.last_used, e.uses}));
  }
}

TEST_F(MonitoredApplicationsTest, AFolderThatCannotBeListedGivesNoneAndSaysWhy) {
  ASSERT_TRUE(fs_.CreateFolders(kFolder).ok());
  platform::Status status;
  EXPECT_TRUE(ListMonitoredApplications(fs_, kFolder, clock_, &status).empty());
  EXPECT_TRUE(status.ok());
  Add("App.cvn", header_);
  fs_.DenyList(kFolder);
  EXPECT_TRUE(ListMonitoredApplications(fs_, kFolder, clock_, &status).empty());
  EXPECT_EQ(status.code(), platform::StatusCode::kAccessDenied);
}

TEST(SortMonitoredApplicationsTest, EachColumnBothWaysAndEqualEntriesKeepTheirOrder) {
  const std::vector<MonitoredApplication> apps = {
      {"delta", 3.0, 0.0, 2},
      {"Alpha", 1.0, 5.0, 2},
      {"charlie", 3.0, 1.0, 0},
      {"Bravo", 2.0, 0.0, 7},
  };
  using Names = std::vector<std::string>;
  const struct {
    MonitoredSort sort;
    Names names;
  } kCases[] = {
      {{kColumnName, true}, {"Alpha", "Bravo", "charlie", "delta"}},
      {{kColumnName, false}, {"delta", "charlie", "Bravo", "Alpha"}},
      {{kColumnCreated, true}, {"Alpha", "Bravo", "delta", "charlie"}},
      {{kColumnCreated, false}, {"delta", "charlie", "Bravo", "Alpha"}},
      {{kColumnLastUsed, true}, {"delta", "Bravo", "charlie", "Alpha"}},
      {{kColumnUses, false}, {"Bravo", "delta", "Alpha", "charlie"}},
      {{7, true}, {"delta", "Alpha", "charlie", "Bravo"}},
  };
  for (const auto& c : kCases) {
    Names names;
    for (const MonitoredApplication& app : SortMonitoredApplications(apps, c.sort))
      names.push_back(app.identifier);
    EXPECT_EQ(names, c.names) << "column " << c.sort.column << (c.sort.ascending ? " up" : " down");
  }
}

TEST_F(MonitoredApplicationsTest, RenameKeepsTheFileAndRefusesAnExistingOrForeignName) {
  Add("App.cvn", header_);
  Add("Other.cvn", "other");
  using platform::StatusCode;
  EXPECT_EQ(RenameMonitoredApplication(fs_, kFolder, "App", "other").code(),
            StatusCode::kAlreadyExists);
  EXPECT_EQ(RenameMonitoredApplication(fs_, kFolder, "App", "..\\Up").code(), StatusCode::kInvalid);
  EXPECT_EQ(RenameMonitoredApplication(fs_, kFolder, "App", "").code(), StatusCode::kInvalid);
  EXPECT_EQ(List().size(), 2u);
  ASSERT_TRUE(RenameMonitoredApplication(fs_, kFolder, "App", "New name").ok());
  EXPECT_FALSE(fs_.Exists(kFolder + "\\App.cvn"));
  EXPECT_EQ(List().back(), (MonitoredApplication{"New name", kCreated, 0.0, 0}));
}

}  // namespace
}  // namespace cvn::changes
