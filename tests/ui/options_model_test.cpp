// The options' rules on the settings they edit: which folders may be
// excluded, the program folder kept out of sight, ignored files and keys,
// the log classes.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "ui/options_model.h"

namespace cvn::ui {
namespace {

settings::PathList ListOf(std::initializer_list<const char*> entries) {
  settings::PathList list;
  for (const char* entry : entries) list.Add(entry);
  return list;
}

TEST(OptionsModelTest, RefusesFoldersCoveredByOrCoveringAnExcludedOne) {
  struct Case {
    const char* excluded;
    const char* chosen;
    FolderRefusal refusal;
  };
  const Case cases[] = {
      {"C:\\Data", "C:\\Data\\Sub", FolderRefusal::kAlreadyExcluded},
      {"C:\\Data", "c:\\DATA", FolderRefusal::kAlreadyExcluded},
      {"C:\\Data", "C:\\\\Data\\\\Sub", FolderRefusal::kAlreadyExcluded},
      {"C:\\Data\\Sub", "C:\\Data", FolderRefusal::kContainsExcluded},
      {"C:\\Data", "C:\\Data2", FolderRefusal::kNone},
      {"C:\\Data2", "C:\\Data", FolderRefusal::kNone},
      // The program folder is not listed, so it covers nothing.
      {"C:\\Apps\\Corvane", "C:\\Apps", FolderRefusal::kNone},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.excluded) + " / " + c.chosen);
    settings::Settings settings;
    settings.program_folder = "C:\\Apps\\Corvane";
    settings.excluded_folders = ListOf({c.excluded});
    OptionsModel model(settings);
    const size_t before = model.excluded_folders().size();
    EXPECT_EQ(model.AddExcludedFolder(c.chosen), c.refusal);
    EXPECT_EQ(model.excluded_folders().size(), before + (c.refusal == FolderRefusal::kNone));
  }
}

TEST(OptionsModelTest, RefusalTextsNameTheFolderWithItsBackslash) {
  EXPECT_EQ(OptionsModel::RefusalText(FolderRefusal::kAlreadyExcluded, "C:\\Data\\Sub"),
            "The folder 'C:\\Data\\Sub\\' is already excluded !");
  EXPECT_EQ(OptionsModel::RefusalText(FolderRefusal::kContainsExcluded, "C:\\Data"),
            "The folder 'C:\\Data\\' contains excluded folders.\nRemove these first.");
}

TEST(OptionsModelTest, ProgramFolderIsHiddenYetStoredInUpperCase) {
  for (const char* stored : {"C:\\Apps\\Corvane", "c:\\apps\\corvane"}) {
    SCOPED_TRACE(stored);
    settings::Settings settings;
    settings.program_folder = "C:\\Apps\\Corvane";
    settings.excluded_folders = ListOf({stored, "D:\\Temp"});
    OptionsModel model(settings);
    EXPECT_EQ(model.excluded_folders(), ListOf({"D:\\Temp"}));
    EXPECT_EQ(model.Result().excluded_folders.entries(),
              (std::vector<std::string>{"C:\\APPS\\CORVANE", "D:\\Temp"}));
  }
}

TEST(OptionsModelTest, IgnoredFilesAndKeysAreAddedOnceInAnyLetterCase) {
  OptionsModel model{settings::Settings{}};
  EXPECT_TRUE(model.AddIgnoredFile("C:\\Logs\\App.log"));
  EXPECT_FALSE(model.AddIgnoredFile("c:\\LOGS\\app.LOG"));
  EXPECT_TRUE(model.AddIgnoredKey("HKLM\\Software\\Foo"));
  EXPECT_FALSE(model.AddIgnoredKey("hkey_local_machine\\SOFTWARE\\foo"));
  EXPECT_EQ(model.ignored_files(), ListOf({"C:\\Logs\\App.log"}));
  EXPECT_EQ(model.ignored_keys(), ListOf({"HKEY_LOCAL_MACHINE\\Software\\Foo"}));
}

TEST(OptionsModelTest, KeysMustBeginWithARootKeysFullName) {
  struct Case {
    const char* typed;
    const char* shown;
    bool valid;
  };
  const Case cases[] = {
      {"HKLM\\Software\\Foo", "HKEY_LOCAL_MACHINE\\Software\\Foo", true},
      {"hkcu\\Software", "HKEY_CURRENT_USER\\Software", true},
      {"HKCR\\.txt", "HKEY_CLASSES_ROOT\\.txt", true},
      {"HKU\\S-1-5-18", "HKEY_USERS\\S-1-5-18", true},
      {"HKCC", "HKEY_CURRENT_CONFIG", true},
      {"HKEY_USERS\\.DEFAULT", "HKEY_USERS\\.DEFAULT", true},
      {"HKLMX\\Software", "HKLMX\\Software", false},
      {"HKEY_USERSX\\A", "HKEY_USERSX\\A", false},
      {"Software\\Foo", "Software\\Foo", false},
      {"\\HKLM\\Software", "\\HKLM\\Software", false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.typed);
    // Typed in the dialog, or stored so by an earlier version.
    settings::Settings stored;
    stored.ignored_keys = ListOf({c.typed});
    OptionsModel typed{settings::Settings{}};
    typed.AddIgnoredKey(c.typed);
    for (const OptionsModel& model : {typed, OptionsModel(stored)}) {
      EXPECT_EQ(model.ignored_keys(), ListOf({c.shown}));
      EXPECT_EQ(model.FirstInvalidKey(), c.valid ? std::nullopt : std::optional(c.shown));
    }
  }
}

TEST(OptionsModelTest, LogBoxesMakeTheLogLevel) {
  struct Case {
    bool errors, warnings, successes;
    int level;
  };
  const Case cases[] = {{false, false, false, 0}, {true, false, false, 1}, {true, true, false, 3},
                        {true, false, true, 5},   {false, true, true, 6},  {true, true, true, 7}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.level);
    settings::Settings settings;
    settings.log_level = 7 - c.level;  // every box changes
    OptionsModel model(settings);
    model.set_log_class(kLogErrors, c.errors);
    model.set_log_class(kLogWarnings, c.warnings);
    model.set_log_class(kLogSuccesses, c.successes);
    EXPECT_EQ(model.Result().log_level, c.level);
    EXPECT_EQ(OptionsModel(model.Result()).log_class(kLogWarnings), c.warnings);
  }
}

}  // namespace
}  // namespace cvn::ui
